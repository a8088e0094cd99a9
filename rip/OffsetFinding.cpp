#include "OffsetFinding.h"

#include <algorithm>
#include <iterator>

namespace Rip {

uint32_t OffsetFindingSum(const uint32_t* frame) {
    uint32_t sum = 0;
    for (uint32_t j = 0; j < uint32_t(kSamplesPerFrame); ++j) sum += frame[j] * (j + 1);
    return sum;
}

std::vector<int> MatchingOffsets(const std::vector<uint32_t>& raw,
                                 const std::vector<uint32_t>& wanted) {
    std::vector<int> found;
    if (raw.size() < size_t(kOffsetFindingSamples) || wanted.empty()) return found;
    // The frame at offset k starts kMaxFoundOffset + k samples into raw.
    for (int k = -kMaxFoundOffset; k <= kMaxFoundOffset; ++k) {
        const uint32_t sum = OffsetFindingSum(raw.data() + (kMaxFoundOffset + k));
        if (std::find(wanted.begin(), wanted.end(), sum) != wanted.end()) found.push_back(k);
    }
    return found;
}

std::optional<int> ConfirmedOffset(const std::vector<int>& first, const std::vector<int>* second) {
    std::vector<int> shared;
    if (second)
        std::set_intersection(first.begin(), first.end(), second->begin(), second->end(),
                              std::back_inserter(shared));
    else
        shared = first;
    if (shared.size() != 1) return std::nullopt;
    return shared.front();
}

}  // namespace Rip
