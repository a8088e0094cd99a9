// What a ripper summed of one track, as the batch record keeps it.
#pragma once

#include <cstdint>

namespace Rip {

struct TTrackSums {
    uint32_t Crc32 = 0;
    uint32_t V1 = 0;  // AccurateRip v1
    uint32_t V2 = 0;  // AccurateRip v2
    // Stereo samples delivered; the sums are the whole track's once this is its length.
    uint32_t Samples = 0;
};

}  // namespace Rip
