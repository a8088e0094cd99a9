#include "BatchLife.h"

#include <QDateTime>

#include "CueSheet.h"
#include "DiscIds.h"
#include "FileNames.h"
#include "OffsetDetection.h"
#include "RipReport.h"

namespace Rip {

TBatchLife::TBatchLife(TBatchWindow& window, CDRipIntf::TCDSession& session, TEncoders& encoders,
                       TEvents events, QString accurateRip)
    : window_(window),
      session_(session),
      encoders_(encoders),
      events_(std::move(events)),
      accurateRip_(std::move(accurateRip)) {}

TBatchLife::~TBatchLife() {
    // A batch still running would call a window that is gone.
    EndBatch();
    FlushReports();
}

bool TBatchLife::selectionReady(const QString& command) {
    const int current = window_.CurrentTrackLine();
    if (current != -1 && window_.TrackLineSelected(current)) return true;
    window_.ShowInformation(QStringLiteral("Please select track(s) to %1.").arg(command));
    return false;
}

void TBatchLife::Rip(TRipFormat format, const TBatchRequest& request) {
    // The same question for every command, in its own words.
    if (!selectionReady(format == TRipFormat::Verify ? QStringLiteral("Verify")
                                                     : QStringLiteral("Rip")))
        return;
    std::optional<TBatchPlan> planned = plan(format, request);
    if (planned) start(format, std::move(*planned));
}

bool TBatchLife::libraryReady() {
    if (session_.Ready()) return true;
    window_.SetStatus(QStringLiteral("Sonvale is not ready."));
    return false;
}

bool TBatchLife::readyToRead(const TBatchRequest& request) {
    // Nothing is named after the recording name: no file is written.
    if (window_.TrackLineCount() == 0) {
        window_.ShowInformation(QStringLiteral("Track List is Empty."));
        return false;
    }
    return libraryReady() && request.DiscReady();
}

std::optional<TBatchPlan> TBatchLife::plan(TRipFormat format, const TBatchRequest& request) {
    // The checks run in the order each command has always made them.
    const auto listed = [this] {
        if (window_.TrackLineCount() == 0) {
            window_.ShowInformation(QStringLiteral("Track List is Empty."));
            return false;
        }
        if (window_.Choices().RecordingName.isEmpty()) {
            window_.ShowInformation(QStringLiteral("Please insert a Recording Name."));
            return false;
        }
        return true;
    };
    if (format == TRipFormat::Verify) {
        if (!readyToRead(request)) return std::nullopt;
    } else if (format == TRipFormat::Wave) {
        if (!listed() || !libraryReady() || !request.DiscReady()) return std::nullopt;
    } else {
        if (!request.DiscReady()) return std::nullopt;
        if (format == TRipFormat::Ogg && !encoders_.VorbisLibraryReady()) {
            window_.ShowMessageBox(QStringLiteral("Vorbis.DLL is not Ready."),
                                   QStringLiteral("OK"));
            return std::nullopt;
        }
        if (!listed()) return std::nullopt;
    }
    // One batch at a time.
    if (Running()) return std::nullopt;
    TBatchPlan plan;
    for (int i = 0; i < window_.TrackLineCount(); ++i)
        if (window_.TrackLineSelected(i)) plan.Lines.push_back(i);
    plan.Disc = request.Disc;
    plan.Names = request.Names;
    plan.TrackArtists = request.TrackArtists;
    // A verify writes nothing: its one read is all there is to compare with the database.
    plan.TestAndCopy = request.TestAndCopy && format != TRipFormat::Verify;
    plan.FullTags = request.FullTags;
    plan.Art = request.Art;
    return plan;
}

void TBatchLife::start(TRipFormat format, TBatchPlan plan) {
    TBatchRecord record;
    switch (format) {
        case TRipFormat::Wave:
            record.Action = QStringLiteral("Rip to WAV");
            break;
        case TRipFormat::Mp3:
            record.Action = QStringLiteral("Rip to MP3");
            break;
        case TRipFormat::Ogg:
            record.Action = QStringLiteral("Rip to Ogg Vorbis");
            break;
        case TRipFormat::Flac:
            record.Action = QStringLiteral("Rip to FLAC");
            break;
        case TRipFormat::Opus:
            record.Action = QStringLiteral("Rip to Opus");
            break;
        case TRipFormat::Verify:
            record.Action = QStringLiteral("Verify");
            break;
        case TRipFormat::DetectOffset:
            break;  // reports nothing
    }
    const TRipChoices choices = window_.Choices();
    record.Directory = choices.Directory;
    record.Album = choices.Album;
    record.Artist = choices.Artist;
    // Only the batches that embed it keep a copy beside their files.
    const bool embedsArt =
        format == TRipFormat::Flac || format == TRipFormat::Opus ||
        (plan.FullTags && (format == TRipFormat::Mp3 || format == TRipFormat::Ogg));
    if (embedsArt) record.Art = plan.Art;
    for (int n = 1; n <= plan.Disc.TrackCount; ++n) {
        record.Titles.push_back(plan.Names.TrackName(n));
        record.Performers.push_back(plan.TrackArtists ? plan.Names.TrackArtist(n) : QString());
    }
    record.Drive = QString::fromUtf8(session_.CR_GetCDROMIDByIndex(session_.CR_GetActiveCDROM()));
    session_.CR_GetDriveIdentity(&record.DriveIdentity);
    record.ReadOffset = session_.CR_GetReadOffset();
    record.ReadOffsetFrom = session_.CR_GetReadOffsetFrom();
    record.Disc = plan.Disc;
    record.Ids = CDRipIntf::DiscIdsOf(plan.Disc);
    record.Selected = static_cast<int>(plan.Lines.size());
    record.Started = QDateTime::currentDateTime();
    // Asked now, the answer is mostly in by the time the batch ends.
    if (record.Ids.Valid) accurateRip_.Look(record.Ids, [](const TAccurateRipResult&) {});
    launch(format, std::move(plan), std::move(record), true);
}

void TBatchLife::launch(TRipFormat format, TBatchPlan plan, TBatchRecord record, bool announce) {
    job_ = std::make_unique<TRipJob>(window_, format, std::move(plan), session_, encoders_,
                                     MakeRipControl ? MakeRipControl() : nullptr);
    job_->Record() = std::move(record);
    if (announce && events_.Started) events_.Started();
    job_->Start([this] { ended(); });
}

void TBatchLife::DetectOffset(const TBatchRequest& request, std::function<void(int)> found) {
    if (Running() || !readyToRead(request)) return;
    if (!session_.FindsReadOffsets()) {
        window_.SetStatus(NotDetectedText(QStringLiteral("the CD library cannot read without it")));
        return;
    }
    const CDRipIntf::TDiscIds ids = CDRipIntf::DiscIdsOf(request.Disc);
    if (!ids.Valid) {
        window_.SetStatus(NotDetectedText(QStringLiteral("the disc has no AccurateRip ID")));
        return;
    }
    offsetFound_ = std::move(found);
    const int number = ++detectCommands_;
    detectWait_ = TDetectWait{request.Disc, ids, number};
    if (events_.Started) events_.Started();
    window_.SetRipStatus(QStringLiteral("Detecting Read Offset"));
    window_.SetStatus(QStringLiteral("Looking up the Disc in the AccurateRip Database..."));
    // Answered at once when the disc was looked up already.
    accurateRip_.Look(ids, [this, number](const TAccurateRipResult& database) {
        if (detectWait_ && detectWait_->Number == number) detectAnswered(database);
    });
}

void TBatchLife::detectAnswered(const TAccurateRipResult& database) {
    const TDetectWait wait = std::move(*detectWait_);
    QString why;
    TBatchPlan plan;
    if (database.Kind == TAccurateRipResult::TKind::NotInDatabase) {
        why = QStringLiteral("the disc is not in the AccurateRip database");
    } else if (database.Kind == TAccurateRipResult::TKind::NotChecked) {
        why =
            QStringLiteral("the AccurateRip database could not be asked (%1)").arg(database.Reason);
    } else {
        plan.OffsetTracks = OffsetTracks(wait.Disc, wait.Ids, database.Blocks);
        if (plan.OffsetTracks.empty())
            why = AnyTrackLongEnough(wait.Disc)
                      ? QStringLiteral("the database has no offset-finding checksums for the disc")
                      : QStringLiteral("no track is long enough (460 sectors, 6.13 seconds)");
    }
    if (!why.isNull()) return endDetectWait(NotDetectedText(why));
    detectWait_.reset();
    plan.Disc = wait.Disc;
    TBatchRecord record;
    record.Disc = wait.Disc;
    record.Ids = wait.Ids;
    launch(TRipFormat::DetectOffset, std::move(plan), std::move(record), false);
}

void TBatchLife::endDetectWait(const QString& status) {
    detectWait_.reset();
    offsetFound_ = nullptr;
    window_.SetRipStatus(QString());
    if (!status.isNull()) window_.SetStatus(status);
    if (events_.Ended) events_.Ended();
}

void TBatchLife::Cancel() {
    if (detectWait_)
        endDetectWait(QStringLiteral("Drive Read Offset Detection Canceled."));
    else if (job_ && !job_->Cancelled())
        job_->Cancel();
    else if (!job_)
        window_.SetStatus(QStringLiteral("CD/DVD-ROM is Not Ripping any Data."));
}

void TBatchLife::CancelForRemoval() {
    // The batch rips from its own copy of the disc's table, so the listing may forget the
    // disc at once. A detection waiting for the database has nothing to read any more.
    if (detectWait_) return endDetectWait(QString());
    if (!job_) return;
    job_->CancelForRemoval();
    removedDuringBatch_ = true;
}

void TBatchLife::ended() {
    if (!job_) return;
    TBatchRecord record = std::move(job_->Record());
    const TOffsetDetection detection = job_->Detection();
    job_.reset();
    const std::function<void(int)> keepOffset = std::exchange(offsetFound_, nullptr);
    // The batch's last word may have come after the notice: what the window shows now, an
    // empty list, is what the status line ends with, unless the disc is back already.
    const bool removed = removedDuringBatch_;
    if (removed && !session_.CR_IsUnitReady())
        window_.SetStatus(QStringLiteral("Media is Removed."));
    removedDuringBatch_ = false;
    if (events_.Ended) events_.Ended();
    if (detection.End == TOffsetDetection::TEnd::Found && !removed && keepOffset)
        keepOffset(detection.Offset);
    if (!record.Tracks.empty()) report(std::move(record), !removed);
}

void TBatchLife::report(TBatchRecord record, bool sayResult) {
    if (!record.Ids.Valid) {
        TAccurateRipResult none;
        none.Reason = QStringLiteral("the disc has no AccurateRip ID");
        write(record, none, sayResult);
        return;
    }
    const int number = nextReport_++;
    const CDRipIntf::TDiscIds ids = record.Ids;
    waitingReports_.emplace(number, std::move(record));
    accurateRip_.Look(ids, [this, number, sayResult](const TAccurateRipResult& database) {
        const auto waiting = waitingReports_.find(number);
        if (waiting == waitingReports_.end()) return;
        const TBatchRecord done = std::move(waiting->second);
        waitingReports_.erase(waiting);
        // A batch that started meanwhile has the status line.
        write(done, database, sayResult && !Running());
    });
}

void TBatchLife::write(const TBatchRecord& record, const TAccurateRipResult& database,
                       bool sayResult) {
    // Before the report, whose failure is the word to keep.
    if (const QString sheet = FormatCueSheet(record); !sheet.isNull()) {
        const QString cuePath = CueSheetPath(record);
        if (!WriteWholeFile(cuePath, sheet.toUtf8()))
            window_.SetStatus(QStringLiteral("Error : Cannot write the cue sheet ") + cuePath);
    }
    if (!record.Art.Empty()) {
        const QString artPath =
            record.Directory + QLatin1Char('/') +
            AlbumFileName(record.Album, record.Art.Extension, TFolderRules::Of(record.Directory));
        if (!WriteWholeFile(artPath, record.Art.Bytes))
            window_.SetStatus(QStringLiteral("Error : Cannot write the cover art ") + artPath);
    }
    const QString path = RipReportPath(record);
    const QString text = FormatRipReport(record, database, QStringLiteral(SONVALE_VERSION),
                                         QDateTime::currentDateTime());
    if (!AppendRipReport(path, text)) {
        // Said even after a track's own failure: the proof of the tracks that were ripped
        // is lost with it, which that failure's text does not tell.
        window_.SetStatus(QStringLiteral("Error : Cannot write the rip report ") + path);
        return;
    }
    // A batch that ended early keeps its own last word (an error, the tracks not ripped):
    // the summary of the tracks it did read would pass for the whole batch's.
    const QString summary = AccurateRipSummary(record, database);
    if (sayResult && record.Completed && !summary.isNull()) window_.SetStatus(summary);
}

void TBatchLife::FlushReports() {
    TAccurateRipResult none;
    none.Reason = QStringLiteral("the program closed before the database answered");
    for (auto& [number, record] : waitingReports_) write(record, none, false);
    waitingReports_.clear();
}

void TBatchLife::EndBatch() {
    if (detectWait_) return endDetectWait(QString());
    if (!job_) return;
    job_->Cancel();
    // The batch may still ask the window something (its choices, a dialog), so the window
    // answers while it waits. Its end clears job_.
    while (job_) job_->WaitAndDeliver();
}

}  // namespace Rip
