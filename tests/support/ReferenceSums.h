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

}  // namespace testsums
