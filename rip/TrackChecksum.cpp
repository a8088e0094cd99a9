#include "TrackChecksum.h"

#include <libdeflate.h>

#include <algorithm>

#include "TrackChecksumLoops.h"

namespace Rip {

namespace {

// Both sums walk a delivery a block at a time, so the second reads what the first has just
// brought into the nearest cache rather than a delivery's worth from further away.
constexpr size_t kBlockSamples = 4096;

}  // namespace

void TTrackChecksum::Start(uint32_t samples, bool firstTrack, bool lastTrack) {
    crc_ = libdeflate_crc32(0, nullptr, 0);
    v1_ = 0;
    high_ = 0;
    position_ = 0;
    carried_ = 0;
    from_ = firstTrack ? kSkippedSamples : 1;
    // A track shorter than what is left out counts nothing.
    to_ = lastTrack ? (samples > kSkippedSamples ? samples - kSkippedSamples : 0) : samples;
}

void TTrackChecksum::Start(const CDRipIntf::TDiscInfo& disc, int n) {
    int first = 0, last = 0;
    for (int k = 1; k <= disc.TrackCount && k <= CDRipIntf::kMaxTracks; ++k) {
        if (disc.Entry(k).Audio != 1) continue;
        if (first == 0) first = k;
        last = k;
    }
    const uint32_t samples =
        n >= 1 && n <= CDRipIntf::kMaxTracks ? disc.Entry(n).LengthSectors * 588u : 0;
    Start(samples, n == first, n == last);
}

void TTrackChecksum::addSamples(const uint8_t* bytes, size_t count) {
    // Positions from 1: these samples are position_ + 1 ... position_ + count, of which
    // [from_, to_] count.
    const uint64_t firstHere = uint64_t(position_) + 1;
    const uint64_t lastHere = uint64_t(position_) + count;
    const uint64_t from = std::max<uint64_t>(firstHere, from_);
    const uint64_t to = std::min<uint64_t>(lastHere, to_);
    if (from <= to) {
        SumLoops::TSums sums{v1_, high_};
        SumLoops::Best()(bytes + 4 * (from - firstHere), size_t(to - from + 1),
                         static_cast<uint32_t>(from), sums);
        v1_ = sums.Low;
        high_ = sums.High;
    }
    position_ += static_cast<uint32_t>(count);
}

void TTrackChecksum::Add(const uint8_t* bytes, size_t count) {
    if (count == 0) return;
    size_t at = 0;
    while (carried_ > 0 && carried_ < 4 && at < count) carry_[carried_++] = bytes[at++];
    if (carried_ == 4) {
        addSamples(carry_, 1);
        carried_ = 0;
    }
    crc_ = libdeflate_crc32(crc_, bytes, at);
    while (count - at >= 4) {
        const size_t samples = std::min((count - at) / 4, kBlockSamples);
        crc_ = libdeflate_crc32(crc_, bytes + at, 4 * samples);
        addSamples(bytes + at, samples);
        at += 4 * samples;
    }
    crc_ = libdeflate_crc32(crc_, bytes + at, count - at);
    while (at < count) carry_[carried_++] = bytes[at++];
}

}  // namespace Rip
