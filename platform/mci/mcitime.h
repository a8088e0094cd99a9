// MCI time values for CD audio (internal to libsvmci and its tests; header-only).
//
// A position on the disc is a logical sector (lsn, sector 0 = MSF 00:02:00); its absolute
// frame address is lsn + 150. In the device's time format a position reads:
//   MCI_FORMAT_MSF           absolute address, packed minute/second/frame (MCI_MAKE_MSF)
//   MCI_FORMAT_TMSF          track (1-based position in the TOC), then minute/second/frame
//                            relative to that track's INDEX 01 (MCI_MAKE_TMSF)
//   MCI_FORMAT_MILLISECONDS  absolute address in ms: frames * 1000 / 75 (rounded down)
//   MCI_FORMAT_FRAMES        absolute address in frames
// A length (a duration, no 150-frame offset) reads:
//   MSF and TMSF             packed minute/second/frame (MCI_MAKE_MSF)
//   milliseconds             frames * 1000 / 75 (rounded down)
//   frames                   the plain count
// Decoding milliseconds rounds to the nearest frame, so frames -> ms -> frames round trips.
#pragma once

#include <cstdint>

#include "cdtiming.h"
#include "drivemodel.h"
#include "mci.h"

namespace svmci {

using cdtiming::kFramesPerSecond;
using cdtiming::kLeadInFrames;

inline bool supportedTimeFormat(DWORD format) {
    return format == MCI_FORMAT_MSF || format == MCI_FORMAT_TMSF ||
           format == MCI_FORMAT_MILLISECONDS || format == MCI_FORMAT_FRAMES;
}

inline DWORD packMsf(uint32_t frames) {
    return MCI_MAKE_MSF(frames / cdtiming::kFramesPerMinute, (frames / kFramesPerSecond) % 60,
                        frames % kFramesPerSecond);
}

// False when the second or frame field is out of range.
inline bool unpackMsf(DWORD msf, uint32_t* frames) {
    const uint32_t m = MCI_MSF_MINUTE(msf), s = MCI_MSF_SECOND(msf), f = MCI_MSF_FRAME(msf);
    if (s >= 60 || f >= kFramesPerSecond || (msf >> 24) != 0) return false;
    *frames = (m * 60 + s) * kFramesPerSecond + f;
    return true;
}

inline DWORD framesToMs(uint32_t frames) {
    return static_cast<DWORD>(uint64_t(frames) * 1000 / kFramesPerSecond);
}

inline uint32_t msToFrames(DWORD ms) {
    return static_cast<uint32_t>((uint64_t(ms) * kFramesPerSecond + 500) / 1000);
}

// 0-based TOC position of the track holding lsn (the first track for sectors before it).
inline int trackAt(const svdrives::Toc& toc, uint32_t lsn) {
    int index = 0;
    for (int i = 0; i < static_cast<int>(toc.tracks.size()); ++i) {
        if (toc.tracks[i].startSector <= lsn) index = i;
    }
    return index;
}

// The sectors of the track at 0-based position index: next start - start, the lead-out
// for the last track; the session gap before a track of a later session is not counted.
inline uint32_t trackSectors(const svdrives::Toc& toc, int index) {
    const auto& t = toc.tracks[index];
    if (index + 1 >= static_cast<int>(toc.tracks.size())) {
        return toc.leadOut > t.startSector ? toc.leadOut - t.startSector : 0;
    }
    const auto& next = toc.tracks[index + 1];
    const int64_t end =
        cdtiming::trackEnd(t.startSector, next.startSector, next.session != t.session);
    return end > t.startSector ? static_cast<uint32_t>(end - t.startSector) : 0;
}

// A position in the given time format. toc is needed for TMSF only.
inline DWORD encodePosition(DWORD format, uint32_t lsn, const svdrives::Toc& toc) {
    const uint32_t frames = lsn + kLeadInFrames;
    switch (format) {
        case MCI_FORMAT_TMSF: {
            if (toc.tracks.empty()) return 0;
            const int i = trackAt(toc, lsn);
            const uint32_t start = toc.tracks[i].startSector;
            const uint32_t rel = lsn > start ? lsn - start : 0;
            const DWORD msf = packMsf(rel);
            return MCI_MAKE_TMSF(i + 1, MCI_MSF_MINUTE(msf), MCI_MSF_SECOND(msf),
                                 MCI_MSF_FRAME(msf));
        }
        case MCI_FORMAT_MILLISECONDS:
            return framesToMs(frames);
        case MCI_FORMAT_FRAMES:
            return frames;
        case MCI_FORMAT_MSF:
        default:
            return packMsf(frames);
    }
}

// A length (duration) of the given number of sectors in the given time format.
inline DWORD encodeLength(DWORD format, uint32_t sectors) {
    switch (format) {
        case MCI_FORMAT_MILLISECONDS:
            return framesToMs(sectors);
        case MCI_FORMAT_FRAMES:
            return sectors;
        case MCI_FORMAT_MSF:
        case MCI_FORMAT_TMSF:
        default:
            return packMsf(sectors);
    }
}

// A position given in the time format back to a logical sector (for SEEK/PLAY). Returns
// 0 on success, MCIERR_OUTOFRANGE for a malformed value, a TMSF track not on the disc or
// an address before sector 0. The result is not checked against the lead-out.
inline MCIERROR decodePosition(DWORD format, DWORD value, const svdrives::Toc& toc, uint32_t* lsn) {
    uint32_t frames = 0;
    switch (format) {
        case MCI_FORMAT_TMSF: {
            const int track = MCI_TMSF_TRACK(value);
            if (track < 1 || track > static_cast<int>(toc.tracks.size())) {
                return MCIERR_OUTOFRANGE;
            }
            const DWORD msf =
                MCI_MAKE_MSF(MCI_TMSF_MINUTE(value), MCI_TMSF_SECOND(value), MCI_TMSF_FRAME(value));
            uint32_t rel = 0;
            if (!unpackMsf(msf, &rel)) return MCIERR_OUTOFRANGE;
            *lsn = toc.tracks[track - 1].startSector + rel;
            return 0;
        }
        case MCI_FORMAT_MILLISECONDS:
            frames = msToFrames(value);
            break;
        case MCI_FORMAT_FRAMES:
            frames = value;
            break;
        case MCI_FORMAT_MSF:
            if (!unpackMsf(value, &frames)) return MCIERR_OUTOFRANGE;
            break;
        default:
            return MCIERR_BAD_TIME_FORMAT;
    }
    if (frames < kLeadInFrames) return MCIERR_OUTOFRANGE;
    *lsn = frames - kLeadInFrames;
    return 0;
}

}  // namespace svmci
