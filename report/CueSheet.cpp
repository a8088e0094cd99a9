#include "CueSheet.h"

#include <QSaveFile>
#include <QStringList>

namespace Rip {

namespace {

// A name between the sheet's quotes: a quote inside would end it early, a line break would
// end the line.
QString quoted(QString text) {
    text.replace(QLatin1Char('"'), QLatin1Char('\''));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString msf(uint32_t sectors) {
    const uint32_t frames = sectors % CDRipIntf::kFramesPerSecond;
    const uint32_t seconds = sectors / CDRipIntf::kFramesPerSecond;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'))
        .arg(frames, 2, 10, QLatin1Char('0'));
}

const TTrackRecord* rippedTrack(const TBatchRecord& batch, int n) {
    for (const TTrackRecord& t : batch.Tracks)
        if (t.Track == n && !t.FileName.isEmpty() &&
            (t.End == TTrackRecord::TEnd::Whole || t.End == TTrackRecord::TEnd::Errors))
            return &t;
    return nullptr;
}

QString at(const std::vector<QString>& texts, int n) {
    return n >= 1 && size_t(n) <= texts.size() ? texts[size_t(n - 1)] : QString();
}

}  // namespace

QString FormatCueSheet(const TBatchRecord& batch) {
    const CDRipIntf::TDiscInfo& disc = batch.Disc;
    const int count = std::min<int>(disc.TrackCount, CDRipIntf::kMaxTracks);
    QStringList lines;
    bool anyAudio = false;
    for (int n = 1; n <= count; ++n) {
        const CDRipIntf::TTrackEntry& entry = disc.Entry(n);
        if (entry.Audio != 1) continue;
        const TTrackRecord* track = rippedTrack(batch, n);
        if (!track) return QString();
        // Players take a FILE's type for its container: MP3 for MP3 files, WAVE for all else.
        const bool mp3 = track->FileName.endsWith(QStringLiteral(".mp3"), Qt::CaseInsensitive);
        lines << QStringLiteral("FILE ") + quoted(track->FileName) +
                     (mp3 ? QStringLiteral(" MP3") : QStringLiteral(" WAVE"));
        lines << QStringLiteral("  TRACK %1 AUDIO").arg(entry.TrackNumber, 2, 10, QLatin1Char('0'));
        if (const QString title = at(batch.Titles, n); !title.isEmpty())
            lines << QStringLiteral("    TITLE ") + quoted(title);
        const QString own = at(batch.Performers, n);
        if (const QString performer = own.isEmpty() ? batch.Artist : own; !performer.isEmpty())
            lines << QStringLiteral("    PERFORMER ") + quoted(performer);
        if (!anyAudio && entry.StartSector > 0)
            lines << QStringLiteral("    PREGAP ") + msf(entry.StartSector);
        lines << QStringLiteral("    INDEX 01 00:00:00");
        anyAudio = true;
    }
    if (!anyAudio) return QString();
    QStringList head;
    if (batch.Ids.Valid) {
        head << QStringLiteral("REM DISCID %1")
                    .arg(batch.Ids.CddbId, 8, 16, QLatin1Char('0'))
                    .toUpper();
        head << QStringLiteral("REM MUSICBRAINZ_DISCID ") +
                    QString::fromStdString(batch.Ids.MusicBrainz);
    }
    if (!batch.Album.isEmpty()) head << QStringLiteral("TITLE ") + quoted(batch.Album);
    if (!batch.Artist.isEmpty()) head << QStringLiteral("PERFORMER ") + quoted(batch.Artist);
    return (head + lines).join(QLatin1Char('\n')) + QLatin1Char('\n');
}

bool WriteWholeFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

}  // namespace Rip
