#include "SuspiciousChunks.h"

#include <algorithm>
#include <iterator>

#include "CDRipIntf.h"
#include "cdtiming.h"

namespace Rip {

void TSuspiciousChunks::Answered(int32_t result, int32_t bytes) {
    // A read error delivers nothing: it names the place the chunk would have started.
    if (result == CDRipIntf::kRipChunkJitter || result == CDRIP3_ERROR) {
        const auto sector = static_cast<uint32_t>(delivered_ / cdtiming::kSectorBytes);
        if (positions_.empty() || positions_.back() != sector) positions_.push_back(sector);
    }
    if ((result == CDRipIntf::kRipChunkOk || result == CDRipIntf::kRipChunkJitter) && bytes > 0)
        delivered_ += static_cast<uint64_t>(bytes);
}

std::vector<uint32_t> MergePositions(const std::vector<uint32_t>& a,
                                     const std::vector<uint32_t>& b) {
    std::vector<uint32_t> out;
    std::set_union(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

}  // namespace Rip
