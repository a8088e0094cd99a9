#include "TrackChecksum.h"

#include <zlib.h>

#include <algorithm>

namespace Rip {

void TTrackChecksum::Start(uint32_t samples, bool firstTrack, bool lastTrack) {
    crc_ = static_cast<uint32_t>(crc32(0, Z_NULL, 0));
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

void TTrackChecksum::addSample(uint32_t sample) {
    const uint32_t m = ++position_;
    if (m < from_ || m > to_) return;
    const uint64_t product = uint64_t(sample) * m;
    v1_ += static_cast<uint32_t>(product);
    high_ += static_cast<uint32_t>(product >> 32);
}

void TTrackChecksum::Add(const uint8_t* bytes, size_t count) {
    if (count == 0) return;
    // zlib counts in uInt; a delivery is far smaller, but say so rather than trust it.
    for (size_t done = 0; done < count;) {
        const auto piece = static_cast<uInt>(std::min<size_t>(count - done, 1u << 30));
        crc_ = static_cast<uint32_t>(crc32(crc_, bytes + done, piece));
        done += piece;
    }
    size_t at = 0;
    while (carried_ > 0 && carried_ < 4 && at < count) carry_[carried_++] = bytes[at++];
    if (carried_ == 4) {
        addSample(uint32_t(carry_[0]) | uint32_t(carry_[1]) << 8 | uint32_t(carry_[2]) << 16 |
                  uint32_t(carry_[3]) << 24);
        carried_ = 0;
    }
    for (; at + 4 <= count; at += 4)
        addSample(uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 |
                  uint32_t(bytes[at + 2]) << 16 | uint32_t(bytes[at + 3]) << 24);
    while (at < count) carry_[carried_++] = bytes[at++];
}

}  // namespace Rip
