// The timing of an audio CD, shared by the drive model, the CD and MCI libraries, the
// program and its tools, so that a sector, a second and a session gap mean the same to all.
//
// A logical sector (lsn) is one frame of the disc: sector 0 is MSF 00:02:00, the end of the
// lead-in, so its absolute frame address is lsn + kLeadInFrames.
#pragma once

#include <cstdint>

namespace cdtiming {

inline constexpr int kFramesPerSecond = 75;
inline constexpr int kFramesPerMinute = 60 * kFramesPerSecond;
inline constexpr int kLeadInFrames = 2 * kFramesPerSecond;  // MSF 00:02:00 = sector 0

// One CD-DA sector: 588 stereo frames of 16-bit samples.
inline constexpr int kSectorBytes = 2352;

// Between the last track of a session and the first of the next lie the first session's
// lead-out, the second's lead-in and the pregap: sectors that hold no track's audio.
inline constexpr int kSessionGapSectors = 11400;

// One past the last sector of the track starting at start when the next entry of the table
// (a track, or the lead-out) starts at nextStart. Before a track that opens a later session
// (the data track of a CD-Extra disc) the session gap is not the track's; a track too short
// to keep a sector of its own before the gap is not laid out that way, and keeps it all.
constexpr int64_t trackEnd(int64_t start, int64_t nextStart, bool nextOpensLaterSession) {
    const int64_t sessionEnd = nextStart - kSessionGapSectors;
    return nextOpensLaterSession && sessionEnd > start ? sessionEnd : nextStart;
}

}  // namespace cdtiming
