#include "OffsetDetection.h"

#include <optional>

namespace Rip {

using namespace CDRipIntf;

namespace {

constexpr int64_t kSampleBytes = 4;
constexpr int64_t kSectorBytes = kSamplesPerFrame * kSampleBytes;

bool usable(const TDiscInfo& disc, int n) {
    return n >= 1 && n <= disc.TrackCount && n <= kMaxTracks && disc.Entry(n).Audio == 1 &&
           LongEnoughToFindOffset(disc.Entry(n).LengthSectors);
}

enum class TRead { Whole, Cancelled, Removed, Failed };

// The window of track entry as the drive gives it with no offset applied: the sectors that
// hold it, read whole, then cut to its samples.
TRead readWindow(TRipControl& control, TCDSession& session, const TTrackEntry& entry,
                 std::vector<uint32_t>& raw) {
    const int64_t firstSample = int64_t(entry.StartSector) * kSamplesPerFrame + kOffsetFindingFirst;
    const int64_t firstSector = firstSample / kSamplesPerFrame;
    const int64_t lastSector = (firstSample + kOffsetFindingSamples - 1) / kSamplesPerFrame;
    int32_t bufferSize = 0;
    if (lastSector > INT32_MAX ||
        session.CR_OpenRawRipper(&bufferSize, int32_t(firstSector), int32_t(lastSector)) != 0)
        return TRead::Failed;
    const size_t wanted = size_t(lastSector - firstSector + 1) * kSectorBytes;
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> buffer(size_t(std::max(bufferSize, 0)));
    TRead end = TRead::Whole;
    while (bytes.size() < wanted) {
        int32_t got = 0;
        const int32_t rc = session.CR_RipChunk(buffer.data(), &got, control.AbortFlag());
        // A jitter report still brings the drive's best audio: the sums decide.
        if ((rc == kRipChunkOk || rc == kRipChunkJitter) && got > 0 && got <= bufferSize &&
            !control.Cancelled()) {
            bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + got);
            continue;
        }
        end = control.Cancelled()       ? TRead::Cancelled
              : rc == kRipChunkNotReady ? TRead::Removed
                                        : TRead::Failed;
        break;
    }
    session.CR_CloseRipper();
    if (end != TRead::Whole) return end;
    const size_t skip = size_t(firstSample - firstSector * kSamplesPerFrame) * kSampleBytes;
    raw.resize(size_t(kOffsetFindingSamples));
    for (size_t i = 0; i < raw.size(); ++i) {
        const uint8_t* p = bytes.data() + skip + i * kSampleBytes;
        raw[i] = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    }
    return TRead::Whole;
}

QString failureText(const TOffsetDetection& d) {
    switch (d.End) {
        case TOffsetDetection::TEnd::NotFound:
            return NotDetectedText(QStringLiteral(
                "no read offset from -5000 to +5000 samples matches the AccurateRip database"));
        case TOffsetDetection::TEnd::Unconfirmed:
            return NotDetectedText(
                QStringLiteral("track %1 matches the database, but no other track confirms "
                               "the offset")
                    .arg(d.Track));
        case TOffsetDetection::TEnd::Removed:
            return NotDetectedText(QStringLiteral("the disc was removed"));
        case TOffsetDetection::TEnd::ReadFailed:
            return NotDetectedText(QStringLiteral("track %1 could not be read").arg(d.Track));
        case TOffsetDetection::TEnd::Cancelled:
            return QStringLiteral("Drive Read Offset Detection Canceled.");
        case TOffsetDetection::TEnd::Found:
            break;
    }
    return {};
}

}  // namespace

std::vector<TOffsetTrack> OffsetTracks(const TDiscInfo& disc, const TDiscIds& ids,
                                       const std::vector<TAccurateRipBlock>& blocks) {
    std::vector<TOffsetTrack> tracks;
    for (int n = 1; n <= disc.TrackCount && n <= kMaxTracks; ++n) {
        if (!usable(disc, n)) continue;
        std::vector<uint32_t> sums = OffsetFindingSums(blocks, ids, AudioPosition(disc, n));
        if (!sums.empty()) tracks.push_back({n, std::move(sums)});
    }
    return tracks;
}

bool AnyTrackLongEnough(const TDiscInfo& disc) {
    for (int n = 1; n <= disc.TrackCount && n <= kMaxTracks; ++n)
        if (usable(disc, n)) return true;
    return false;
}

QString NotDetectedText(const QString& why) {
    return QStringLiteral("Drive Read Offset not Detected: ") + why + QLatin1Char('.');
}

TOffsetDetection DetectReadOffset(TRipWindow& window, TRipControl& control, TCDSession& session,
                                  const TDiscInfo& disc, const std::vector<TOffsetTrack>& tracks) {
    window.SetRipStatus(QStringLiteral("Detecting Read Offset"));
    window.SetProgressRange(0, 100);
    window.SetProgress(0);
    TOffsetDetection result;
    // The offsets the first track that matched matched at.
    std::optional<std::vector<int>> first;
    bool ended = false;
    for (size_t i = 0; i < tracks.size() && !ended; ++i) {
        const TOffsetTrack& t = tracks[i];
        if (!usable(disc, t.Track)) continue;
        window.SetStatus(
            QStringLiteral("Detecting Drive Read Offset : Reading Track %1.").arg(t.Track));
        std::vector<uint32_t> raw;
        const TRead read = control.Cancelled()
                               ? TRead::Cancelled
                               : readWindow(control, session, disc.Entry(t.Track), raw);
        if (read != TRead::Whole) {
            result.End = read == TRead::Cancelled ? TOffsetDetection::TEnd::Cancelled
                         : read == TRead::Removed ? TOffsetDetection::TEnd::Removed
                                                  : TOffsetDetection::TEnd::ReadFailed;
            result.Track = t.Track;
            ended = true;
            break;
        }
        window.SetProgress(int((i + 1) * 100 / tracks.size()));
        const std::vector<int> matches = MatchingOffsets(raw, t.Sums);
        if (matches.empty()) continue;
        std::optional<int> confirmed;
        if (!first) {
            first = matches;
            result.Track = t.Track;
            // Where it is the only track, it has the last word.
            if (tracks.size() > 1) continue;
            confirmed = ConfirmedOffset(*first, nullptr);
        } else {
            confirmed = ConfirmedOffset(*first, &matches);
        }
        if (confirmed) {
            result.End = TOffsetDetection::TEnd::Found;
            result.Offset = *confirmed;
            ended = true;
        }
    }
    if (!ended)
        result.End = first ? TOffsetDetection::TEnd::Unconfirmed : TOffsetDetection::TEnd::NotFound;
    window.SetRipStatus(QString());
    window.SetProgress(0);
    if (result.End != TOffsetDetection::TEnd::Found) window.SetStatus(failureText(result));
    return result;
}

}  // namespace Rip
