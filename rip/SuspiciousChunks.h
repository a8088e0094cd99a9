// Where in a track the drive was unsure of what it delivered: the chunks the CD library
// answered with a jitter report or a read error, by where each starts in the track.
#pragma once

#include <cstdint>
#include <vector>

namespace Rip {

class TSuspiciousChunks {
public:
    // A new track: nothing delivered yet.
    void Start() {
        delivered_ = 0;
        positions_.clear();
    }
    // After each CR_RipChunk of the track: its result and the bytes it delivered.
    void Answered(int32_t result, int32_t bytes);
    // Sectors from the track's start, ascending, each once.
    const std::vector<uint32_t>& Positions() const { return positions_; }

private:
    uint64_t delivered_ = 0;  // bytes
    std::vector<uint32_t> positions_;
};

// The two reads of one track, each position once, ascending.
std::vector<uint32_t> MergePositions(const std::vector<uint32_t>& a,
                                     const std::vector<uint32_t>& b);

}  // namespace Rip
