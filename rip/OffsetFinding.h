// Finding a drive's read offset from a disc the AccurateRip database knows. Each track's
// entry there carries, besides its checksum, a sum over one frame of the track's audio (588
// samples, 450 frames in) weighted by position. A drive read with no offset applied delivers
// that frame some samples early or late: sliding the weighted sum over the raw samples around
// it finds by how many.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace Rip {

constexpr int kSamplesPerFrame = 588;
constexpr int kOffsetFindingFrame = 450;
// The farthest offset looked for, either way; real drives lie well within it.
constexpr int kMaxFoundOffset = 5000;

// The samples to read, counted from the track's first sample, with no offset applied: every
// placement of the frame within kMaxFoundOffset of its own.
constexpr int64_t kOffsetFindingFirst =
    int64_t(kOffsetFindingFrame) * kSamplesPerFrame - kMaxFoundOffset;
constexpr int64_t kOffsetFindingSamples = kSamplesPerFrame + 2 * kMaxFoundOffset;

// Whether a track of this many sectors holds the whole window: shorter ones cannot be used.
constexpr bool LongEnoughToFindOffset(uint32_t trackSectors) {
    return int64_t(trackSectors) * kSamplesPerFrame >= kOffsetFindingFirst + kOffsetFindingSamples;
}

// A track to find the offset on, and the database's offset-finding sums for it, one per
// pressing.
struct TOffsetTrack {
    int Track = 0;
    std::vector<uint32_t> Sums;
};

// The database's sum over one frame: sample j (the 32-bit little-endian stereo word) times
// j + 1, modulo 2^32.
uint32_t OffsetFindingSum(const uint32_t* frame);

// The offsets k, in -kMaxFoundOffset..kMaxFoundOffset and ascending, at which the frame the
// database summed lies in raw (read with no offset, kOffsetFindingSamples samples from
// kOffsetFindingFirst) with one of the sums wanted: the drive's offset as the CD library
// applies it (out[j] = disc[j + k]). None when raw is short.
std::vector<int> MatchingOffsets(const std::vector<uint32_t>& raw,
                                 const std::vector<uint32_t>& wanted);

// The one offset both tracks' matches share; with one track only (second null), its only
// match. Silence matches everywhere and a short period many times: none is then told apart,
// so the answer is none.
std::optional<int> ConfirmedOffset(const std::vector<int>& first, const std::vector<int>* second);

}  // namespace Rip
