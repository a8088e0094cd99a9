#include "RipReport.h"

#include <QFile>
#include <QStringList>

#include "AccurateRip.h"

namespace Rip {

using namespace CDRipIntf;

namespace {

QString hex8(uint32_t v) {
    return QStringLiteral("%1").arg(v, 8, 16, QLatin1Char('0'));
}

QString endText(const TTrackRecord& t, bool verify) {
    switch (t.End) {
        case TTrackRecord::TEnd::Whole:
            return verify ? QStringLiteral("read") : QStringLiteral("ripped");
        case TTrackRecord::TEnd::Errors:
            return verify ? QStringLiteral("read with errors")
                          : QStringLiteral("ripped with errors");
        case TTrackRecord::TEnd::Cancelled:
            return QStringLiteral("cancelled");
        case TTrackRecord::TEnd::Failed:
            return QStringLiteral("failed");
        case TTrackRecord::TEnd::NotAudio:
            return QStringLiteral("not an audio track");
        case TTrackRecord::TEnd::Removed:
            return QStringLiteral("disc removed");
    }
    return {};
}

// An answer none of whose blocks is filed under the disc's ids says nothing of this disc:
// it is not in the database, rather than every track "not accurate (0 results ...)".
const TAccurateRipResult& forDisc(const TAccurateRipResult& database, const TDiscIds& ids) {
    // A constant: the verdict of every track reads it, and copying the answer each time
    // would copy all its blocks.
    static const TAccurateRipResult absent = [] {
        TAccurateRipResult r;
        r.Kind = TAccurateRipResult::TKind::NotInDatabase;
        return r;
    }();
    if (database.Kind != TAccurateRipResult::TKind::Found) return database;
    for (const TAccurateRipBlock& b : database.Blocks)
        if (b.Id1 == ids.AccurateRipId1 && b.Id2 == ids.AccurateRipId2 && b.Id3 == ids.CddbId)
            return database;
    return absent;
}

// mm:ss.ff, ff in frames of 1/75 s.
QString discTime(uint32_t sectors) {
    return QStringLiteral("%1:%2.%3")
        .arg(sectors / (60 * 75), 2, 10, QLatin1Char('0'))
        .arg(sectors / 75 % 60, 2, 10, QLatin1Char('0'))
        .arg(sectors % 75, 2, 10, QLatin1Char('0'));
}

// m:ss:ff, the CD's own time of a position in a track: minutes as they come, seconds and
// frames of 1/75 s two digits each.
QString trackTime(uint32_t sectors) {
    return QStringLiteral("%1:%2:%3")
        .arg(sectors / (60 * 75))
        .arg(sectors / 75 % 60, 2, 10, QLatin1Char('0'))
        .arg(sectors % 75, 2, 10, QLatin1Char('0'));
}

QString databaseText(const TAccurateRipResult& database) {
    switch (database.Kind) {
        case TAccurateRipResult::TKind::Found:
            return QStringLiteral("answered (%1 pressing(s))").arg(database.Blocks.size());
        case TAccurateRipResult::TKind::NotInDatabase:
            return QStringLiteral("disc not in database");
        case TAccurateRipResult::TKind::NotChecked:
            break;
    }
    return QStringLiteral("not checked (") + database.Reason + QLatin1Char(')');
}

}  // namespace

void TTrackRecord::Take(const TTrackSums& sums, const TDiscInfo& disc, bool cancelled,
                        bool removed) {
    Crc32 = sums.Crc32;
    V1 = sums.V1;
    V2 = sums.V2;
    const bool known = Track >= 1 && Track <= disc.TrackCount && Track <= kMaxTracks;
    const bool cutShort =
        !known || uint64_t(sums.Samples) != uint64_t(disc.Entry(Track).LengthSectors) * 588;
    if (End == TEnd::NotAudio) return;
    if (cutShort && removed)
        End = TEnd::Removed;
    else if (cutShort && cancelled)
        End = TEnd::Cancelled;
    else if (cutShort && End == TEnd::Whole)
        End = TEnd::Errors;
}

void TBatchRecord::Add(int track, QString fileName, TTrackRecord::TEnd end,
                       std::optional<TTrackSums> sums, const TDiscInfo& disc, bool cancelled,
                       bool removed) {
    TTrackRecord& added = Tracks.emplace_back();
    added.Track = track;
    added.FileName = std::move(fileName);
    added.End = end;
    if (sums) added.Take(*sums, disc, cancelled, removed);
}

bool TTrackRecord::ReadsCompared() const {
    return Test && (End == TEnd::Whole || End == TEnd::Errors);
}

TTrackVerdict VerdictOf(const TTrackRecord& track, const TBatchRecord& batch,
                        const TAccurateRipResult& answer) {
    TTrackVerdict verdict;
    // Two reads that differ leave open which one, if either, holds the disc's audio: the
    // database may even know the one that went into the file.
    if (track.ReadsCompared() && !track.ReadsAgree()) {
        verdict.Text = QStringLiteral("not verifiable (the test and copy reads differ)");
        return verdict;
    }
    switch (track.End) {
        case TTrackRecord::TEnd::Whole:
            break;
        case TTrackRecord::TEnd::Cancelled:
            verdict.Text = QStringLiteral("not checked (cancelled)");
            return verdict;
        case TTrackRecord::TEnd::NotAudio:
            verdict.Text = QStringLiteral("not checked (not an audio track)");
            return verdict;
        case TTrackRecord::TEnd::Removed:
            verdict.Text = QStringLiteral("not checked (the disc was removed)");
            return verdict;
        default:
            verdict.Text = QStringLiteral("not verifiable (ripped with errors)");
            return verdict;
    }
    const TAccurateRipResult& database = forDisc(answer, batch.Ids);
    if (database.Kind == TAccurateRipResult::TKind::NotInDatabase) {
        verdict.Text = QStringLiteral("disc not in database");
        return verdict;
    }
    if (database.Kind == TAccurateRipResult::TKind::NotChecked) {
        verdict.Text = QStringLiteral("not checked (") + database.Reason + QLatin1Char(')');
        return verdict;
    }
    const TAccurateRipVerdict judged = JudgeTrack(
        database.Blocks, batch.Ids, AudioPosition(batch.Disc, track.Track), track.V1, track.V2);
    verdict.Checked = true;
    verdict.Accurate = judged.Accurate;
    verdict.Text =
        judged.Accurate
            ? QStringLiteral("accurately ripped (confidence %1)").arg(judged.Confidence)
            : QStringLiteral("not accurate (%1 results in the database)").arg(judged.Results);
    return verdict;
}

QString AccurateRipSummary(const TBatchRecord& batch, const TAccurateRipResult& answer) {
    const TAccurateRipResult& database = forDisc(answer, batch.Ids);
    if (database.Kind != TAccurateRipResult::TKind::Found || batch.Cancelled) return {};
    int tracks = 0, accurate = 0;
    for (const TTrackRecord& t : batch.Tracks) {
        if (t.End == TTrackRecord::TEnd::NotAudio || t.End == TTrackRecord::TEnd::Cancelled ||
            t.End == TTrackRecord::TEnd::Removed)
            continue;
        ++tracks;
        if (VerdictOf(t, batch, database).Accurate) ++accurate;
    }
    if (tracks == 0) return {};
    return QStringLiteral("AccurateRip: %1 of %2 track(s) accurately ripped.")
        .arg(accurate)
        .arg(tracks);
}

QString ReadOffsetSourceText(int from) {
    switch (from) {
        case kOffsetFromUser:
            return QStringLiteral("the user");
        case kOffsetFromList:
            return QStringLiteral("AccurateRip's drive list");
        case kOffsetFromDetected:
            return QStringLiteral("detection on this disc");
        default:
            return QStringLiteral("nothing (0)");
    }
}

QString FormatRipReport(const TBatchRecord& batch, const TAccurateRipResult& answer,
                        const QString& programVersion, const QDateTime& finished) {
    const TAccurateRipResult& database = forDisc(answer, batch.Ids);
    const bool verify = batch.Action == QStringLiteral("Verify");
    QStringList out;
    const QString stamp = QStringLiteral("yyyy-MM-dd HH:mm:ss t");
    out << QStringLiteral("==== Sonvale %1 ====").arg(programVersion);
    out << QStringLiteral("Date: ") + finished.toString(stamp);
    out << QStringLiteral("Started: ") + batch.Started.toString(stamp);
    out << QStringLiteral("Action: ") + batch.Action;
    const TDriveIdentity& id = batch.DriveIdentity;
    out << QStringLiteral("Drive: ") + batch.Drive +
               QStringLiteral(", vendor \"%1\", product \"%2\", revision \"%3\"")
                   .arg(QString::fromStdString(IdentityText(id.vendor)),
                        QString::fromStdString(IdentityText(id.product)),
                        QString::fromStdString(IdentityText(id.revision)));
    out << QStringLiteral("Paranoia mode: ") + batch.ParanoiaMode;
    out << QStringLiteral("Read offset: %1 samples").arg(batch.ReadOffset);
    out << QStringLiteral("Read offset from: ") + ReadOffsetSourceText(batch.ReadOffsetFrom);
    out << QStringLiteral("AccurateRip disc ID: ") + QString::fromStdString(batch.Ids.AccurateRip);
    out << QStringLiteral("MusicBrainz disc ID: ") + QString::fromStdString(batch.Ids.MusicBrainz);
    out << QStringLiteral("AccurateRip database: ") + databaseText(database);

    out << QStringLiteral("Table of contents:");
    const TDiscInfo& disc = batch.Disc;
    for (int n = 1; n <= disc.TrackCount && n <= kMaxTracks; ++n) {
        const TTrackEntry& e = disc.Entry(n);
        out << QStringLiteral("  Track %1  %2  start %3  length %4 sectors (%5)")
                   .arg(n, 2)
                   .arg(e.Audio == 1 ? QStringLiteral("audio") : QStringLiteral("data "))
                   .arg(e.StartSector, 6)
                   .arg(e.LengthSectors, 6)
                   .arg(discTime(e.LengthSectors));
    }
    out << QStringLiteral("  Lead-out  %1").arg(disc.LeadOutSector);

    int accurate = 0, inaccurate = 0, unchecked = 0, errors = 0;
    for (const TTrackRecord& t : batch.Tracks) {
        QString line = QStringLiteral("Track %1: ").arg(t.Track) + endText(t, verify);
        if (!t.FileName.isEmpty()) line += QStringLiteral(", file ") + t.FileName;
        out << line;
        const TTrackVerdict v = VerdictOf(t, batch, database);
        if (t.End == TTrackRecord::TEnd::NotAudio) {
            // Nothing was read: no sums to show, and nothing the database could judge.
            out << QStringLiteral("Track %1: ").arg(t.Track) + v.Text;
            ++unchecked;
            continue;
        }
        out << QStringLiteral("Track %1: CRC32 %2, AccurateRip v1 %3 v2 %4, %5")
                   .arg(t.Track)
                   .arg(hex8(t.Crc32), hex8(t.V1), hex8(t.V2), v.Text);
        if (t.ReadsCompared())
            out << QStringLiteral("Track %1: test CRC32 %2, copy CRC32 %3, %4")
                       .arg(t.Track)
                       .arg(hex8(t.Test->Crc32), hex8(t.Crc32),
                            t.ReadsAgree() ? QStringLiteral("reads agree")
                                           : QStringLiteral("reads differ"));
        for (const uint32_t position : t.Suspicious)
            out << QStringLiteral("Track %1: suspicious position ").arg(t.Track) +
                       trackTime(position);
        if (v.Accurate)
            ++accurate;
        else if (v.Checked)
            ++inaccurate;
        else if (!(t.ReadsCompared() && !t.ReadsAgree()) &&
                 (t.End == TTrackRecord::TEnd::Whole || t.End == TTrackRecord::TEnd::Cancelled ||
                  t.End == TTrackRecord::TEnd::Removed))
            ++unchecked;
        else
            ++errors;
    }
    // Tracks selected but never begun: the batch ended early (an error, a cancel, the disc).
    const qsizetype notRead = batch.Selected - qsizetype(batch.Tracks.size());
    out << QStringLiteral(
               "Summary: %1 track(s), %2 accurately ripped, %3 not accurate, %4 not checked, "
               "%5 with errors")
                   .arg(batch.Tracks.size())
                   .arg(accurate)
                   .arg(inaccurate)
                   .arg(unchecked)
                   .arg(errors) +
               (notRead > 0 ? QStringLiteral(", %1 selected track(s) not read.").arg(notRead)
                            : QStringLiteral("."));
    out << QString();
    return out.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString ReadModeText(const TDriveParams& params) {
    if (GetParam(params, kParamRipMode) == 0) return QStringLiteral("plain reads");
    return QStringLiteral("paranoia, flags 0x") +
           QString::number(uint32_t(GetParam(params, kParamParanoiaMode)), 16);
}

bool AppendRipReport(const QString& path, const QString& text) {
    QFile file(path);
    const bool existed = file.exists();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) return false;
    const qint64 before = file.size();
    const QByteArray bytes = text.toUtf8();
    const bool written = file.write(bytes) == bytes.size();
    if (file.flush() && written) return true;
    // Half a section would read as a batch that ended there, and could be taken for one.
    if (!existed) {
        file.close();
        file.remove();
    } else {
        file.resize(before);
    }
    return false;
}

}  // namespace Rip
