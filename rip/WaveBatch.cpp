#include "WaveBatch.h"

#include "CDSession.h"
#include "TestAndCopy.h"

namespace Rip {

using namespace CDRipIntf;

namespace {

// A block of the batch's own: the window's thread may save the settings meanwhile.
void setDriveParameters(TRipWindow& window, TCDSession& session) {
    TDriveParams params{};
    if (session.CR_GetCDROMParameters(&params) != 0) {
        window.SetStatus(QStringLiteral("Error at getting CDROM parameters"));
        return;
    }
    SetParam(params, kParamSpeed, 8);
    SetParam(params, kParamJitterCorrection, -1);
    SetParam(params, kParamRipMode, 1);
    SetParam(params, kParamParanoiaMode, 0xDF);
    window.SetStatus(session.CR_SetCDROMParameters(&params) == 0
                         ? QStringLiteral("Set CDROM Parameters OK")
                         : QStringLiteral("Error at setting CDROM parameters"));
}

// Every end of a batch leaves the window and the drive as they were before it: the
// headline cleared, the bar at 0 and the tray free. A null status leaves the last word to
// whoever said it (a file that could not be created or written names itself).
void endBatch(TRipWindow& window, TCDSession& session, const QString& status) {
    if (!status.isNull()) window.SetStatus(status);
    window.SetRipStatus(QString());
    window.SetProgress(0);
    session.CR_LockCD(0);
}

// The end of a track as the ripper's result says it; the sums may yet cut it short.
TTrackRecord::TEnd endOf(int32_t result) {
    return result == 0   ? TTrackRecord::TEnd::Whole
           : result == 3 ? TTrackRecord::TEnd::Errors
                         : TTrackRecord::TEnd::Failed;
}

}  // namespace

void RipTracksToWave(TRipWindow& window, TRipControl& control, TWaveRipper& ripper,
                     const TBatchPlan& plan, TBatchRecord* record) {
    const QString cancelled = QStringLiteral("Ripping and Encoding Canceled.");
    TCDSession& session = ripper.Session();
    session.CR_StopPlayTrack();
    // Two tracks whose names repeat must not write one file.
    TBatchFileNames names;
    ripper.SetBatchNames(&names);
    struct TForget {
        TWaveRipper& ripper;
        ~TForget() { ripper.SetBatchNames(nullptr); }
    } forget{ripper};
    TTestAndCopy reads(window, control, session, plan.TestAndCopy);
    for (const int line : plan.Lines) {
        const int n = line + 1;
        // A cancel that came between two tracks (Exit, a removed disc, the Cancel button in
        // the pause) ends the batch before the next one makes a file, or names it.
        if (control.Cancelled()) return endBatch(window, session, cancelled);
        window.SetRipStatus(QStringLiteral("Ripping to Wave Format"));
        if (window.Choices().MultipleTracks) window.SetRecordingName(plan.Names.TrackName(n));
        setDriveParameters(window, session);
        if (control.Cancelled()) return endBatch(window, session, cancelled);
        const bool audio =
            n <= plan.Disc.TrackCount && n <= kMaxTracks && plan.Disc.Entry(n).Audio == 1;
        if (audio && !reads.Test(plan.Disc, n, record)) return endBatch(window, session, cancelled);

        const int32_t result = ripper.RipChunk(plan.Disc, static_cast<uint8_t>(n));
        if (record) {
            // A data track makes no file and has nothing to sum: the batch ends there, as
            // with any track it cannot rip.
            if (!audio) {
                record->Add(n, QString(), TTrackRecord::TEnd::NotAudio, std::nullopt, plan.Disc,
                            false);
            } else {
                record->Add(n, ripper.LastBaseName(), endOf(result), ripper.LastChecksum().Sums(),
                            plan.Disc, control.Cancelled(),
                            ripper.LastDiscRemoved() || control.DiscRemoved());
                reads.Copied(record, ripper.LastSuspicious());
            }
        }
        if (result == 3) {
            session.CR_CloseRipper();
            return endBatch(window, session,
                            QStringLiteral("Encountered Jitter error(s) during Ripping"));
        }
        if (result != 0) {
            session.CR_CloseRipper();
            return endBatch(window, session,
                            ripper.LastOutputFailure() == TOutputFailure::None
                                ? QStringLiteral("Encountered error(s) during Ripping")
                                : QString());
        }
        if (control.Cancelled()) {
            session.CR_CloseRipper();
            return endBatch(window, session, cancelled);
        }
        if (session.CR_CloseRipper() != 0)
            return endBatch(window, session,
                            QStringLiteral("Error : error at Closing Ripping Process."));
        // Named as written: the texts may have been edited while the track was ripped.
        window.SetStatus(QStringLiteral("Ripping Successfully Ended - Audio Data is Saved as ") +
                         ripper.LastBaseName() + QStringLiteral(" File."));
        window.DeselectTrackLine(line);
        control.Pause(kPauseBetweenTracks);
    }
    // Every track was ripped: a cancel in the last pause took nothing away.
    if (record) record->Completed = true;
    window.SetRipStatus(QString());
    window.SetStatus(QStringLiteral("Ripping Completed."));
    window.Flash();
    window.SetProgress(0);
    session.CR_LockCD(0);
}

void VerifyTracks(TRipWindow& window, TRipControl& control, TWaveRipper& ripper,
                  const TBatchPlan& plan, TBatchRecord& record) {
    TCDSession& session = ripper.Session();
    session.CR_StopPlayTrack();
    ripper.SetVerifyOnly(true);
    window.SetRipStatus(QStringLiteral("Verifying Tracks"));
    int failed = 0;
    int read = 0;
    bool removed = false;
    for (const int line : plan.Lines) {
        const int n = line + 1;
        if (n > plan.Disc.TrackCount || n > kMaxTracks || plan.Disc.Entry(n).Audio != 1) {
            record.Add(n, QString(), TTrackRecord::TEnd::NotAudio, std::nullopt, plan.Disc, false);
            continue;
        }
        setDriveParameters(window, session);
        if (control.Cancelled()) break;
        const int32_t result = ripper.RipChunk(plan.Disc, static_cast<uint8_t>(n));
        session.CR_CloseRipper();
        // A verify makes no file.
        removed = ripper.LastDiscRemoved() || control.DiscRemoved();
        record.Add(n, QString(), endOf(result), ripper.LastChecksum().Sums(), plan.Disc,
                   control.Cancelled(), removed);
        record.Tracks.back().Suspicious = ripper.LastSuspicious();
        // With the disc gone every later track would fail the same way: none is read.
        if (control.Cancelled() && !removed) break;
        ++read;
        if (record.Tracks.back().End != TTrackRecord::TEnd::Whole) ++failed;
        if (removed) break;
    }
    if (control.Cancelled() && !removed)
        return endBatch(window, session, QStringLiteral("Verification Canceled."));
    record.Completed = failed == 0 && !removed;
    endBatch(window, session,
             failed == 0 ? QStringLiteral("Verification Completed.")
                         : QStringLiteral("Verification Ended with Errors - ") +
                               QString::number(failed) + QStringLiteral(" of ") +
                               QString::number(read) + QStringLiteral(" Track(s) not Read Whole."));
    window.Flash();
}

}  // namespace Rip
