// The AccurateRip sums of a track's audio bytes, worked straight from their definition:
// the reference the program's own fast sums are checked against.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <vector>

namespace testsums {

struct Sums {
    uint32_t crc32 = 0, v1 = 0, v2 = 0;
};

// firstTrack / lastTrack: the track's place among the disc's audio tracks, which decides
// the samples left out at the disc's two ends.
inline Sums OfTrack(const std::vector<uint8_t>& audio, bool firstTrack, bool lastTrack) {
    Sums s;
    s.crc32 = uint32_t(crc32(crc32(0, Z_NULL, 0), audio.data(), uInt(audio.size())));
    const uint64_t n = audio.size() / 4;
    uint32_t high = 0;
    for (uint64_t i = 0; i < n; ++i) {
        const uint64_t m = i + 1;
        if ((firstTrack && m < 2940) || (lastTrack && m + 2940 > n)) continue;
        const uint64_t sample = uint64_t(audio[4 * i]) | uint64_t(audio[4 * i + 1]) << 8 |
                                uint64_t(audio[4 * i + 2]) << 16 | uint64_t(audio[4 * i + 3]) << 24;
        const uint64_t p = sample * m;
        s.v1 += uint32_t(p);
        high += uint32_t(p >> 32);
    }
    s.v2 = s.v1 + high;
    return s;
}

// The database's offset-finding sum of a track's audio bytes: sample 450 * 588 + j (the
// 32-bit little-endian word) times j + 1, for j up to 587; 0 for a track too short to have
// that frame.
inline uint32_t OffsetFinding(const std::vector<uint8_t>& audio) {
    uint32_t sum = 0;
    if (audio.size() < size_t(451) * 588 * 4) return sum;
    for (uint32_t j = 0; j < 588; ++j) {
        const size_t at = (size_t(450) * 588 + j) * 4;
        const uint32_t sample = uint32_t(audio[at]) | uint32_t(audio[at + 1]) << 8 |
                                uint32_t(audio[at + 2]) << 16 | uint32_t(audio[at + 3]) << 24;
        sum += sample * (j + 1);
    }
    return sum;
}

}  // namespace testsums
