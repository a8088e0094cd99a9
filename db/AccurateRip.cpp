#include "AccurateRip.h"

#include <algorithm>

namespace Rip {

namespace {
uint32_t le32(const std::string& b, size_t at) {
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 |
           uint32_t(uint8_t(b[at + 2])) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
}
constexpr size_t kHeaderBytes = 13;
constexpr size_t kTrackBytes = 9;
}  // namespace

std::optional<std::vector<TAccurateRipBlock>> ParseAccurateRipAnswer(const std::string& bytes) {
    std::vector<TAccurateRipBlock> blocks;
    size_t at = 0;
    while (at < bytes.size()) {
        const size_t count = uint8_t(bytes[at]);
        // A disc has 1 to 99 tracks; and every block is whole, the last one too.
        if (count < 1 || count > 99) return std::nullopt;
        if (bytes.size() - at < kHeaderBytes + count * kTrackBytes) return std::nullopt;
        TAccurateRipBlock block;
        block.Id1 = le32(bytes, at + 1);
        block.Id2 = le32(bytes, at + 5);
        block.Id3 = le32(bytes, at + 9);
        at += kHeaderBytes;
        for (size_t k = 0; k < count; ++k, at += kTrackBytes)
            block.Tracks.push_back({uint8_t(bytes[at]), le32(bytes, at + 1), le32(bytes, at + 5)});
        blocks.push_back(std::move(block));
    }
    if (blocks.empty()) return std::nullopt;
    return blocks;
}

TAccurateRipVerdict JudgeTrack(const std::vector<TAccurateRipBlock>& blocks,
                               const CDRipIntf::TDiscIds& ids, int position, uint32_t v1,
                               uint32_t v2) {
    TAccurateRipVerdict verdict;
    if (position < 1) return verdict;
    for (const TAccurateRipBlock& b : blocks) {
        if (b.Id1 != ids.AccurateRipId1 || b.Id2 != ids.AccurateRipId2 || b.Id3 != ids.CddbId)
            continue;
        if (size_t(position) > b.Tracks.size()) continue;
        const TAccurateRipTrack& t = b.Tracks[size_t(position) - 1];
        ++verdict.Results;
        if (t.Checksum == v1 || t.Checksum == v2) {
            verdict.Accurate = true;
            verdict.Confidence = std::max(verdict.Confidence, int(t.Confidence));
        }
    }
    return verdict;
}

}  // namespace Rip
