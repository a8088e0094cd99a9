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

int AudioPosition(const CDRipIntf::TDiscInfo& disc, int n) {
    int position = 0;
    for (int k = 1; k <= disc.TrackCount && k <= CDRipIntf::kMaxTracks; ++k) {
        if (disc.Entry(k).Audio == 1) ++position;
        if (k == n) return disc.Entry(k).Audio == 1 ? position : 0;
    }
    return 0;
}

namespace {
// The track at position of each block filed under the disc's own ids.
template <typename F>
void forTrackUnderIds(const std::vector<TAccurateRipBlock>& blocks, const CDRipIntf::TDiscIds& ids,
                      int position, F each) {
    if (position < 1) return;
    for (const TAccurateRipBlock& b : blocks) {
        if (b.Id1 != ids.AccurateRipId1 || b.Id2 != ids.AccurateRipId2 || b.Id3 != ids.CddbId)
            continue;
        if (size_t(position) > b.Tracks.size()) continue;
        each(b.Tracks[size_t(position) - 1]);
    }
}
}  // namespace

TAccurateRipVerdict JudgeTrack(const std::vector<TAccurateRipBlock>& blocks,
                               const CDRipIntf::TDiscIds& ids, int position, uint32_t v1,
                               uint32_t v2) {
    TAccurateRipVerdict verdict;
    forTrackUnderIds(blocks, ids, position, [&](const TAccurateRipTrack& t) {
        ++verdict.Results;
        if (t.Checksum == v1 || t.Checksum == v2) {
            verdict.Accurate = true;
            verdict.Confidence = std::max(verdict.Confidence, int(t.Confidence));
        }
    });
    return verdict;
}

std::vector<uint32_t> OffsetFindingSums(const std::vector<TAccurateRipBlock>& blocks,
                                        const CDRipIntf::TDiscIds& ids, int position) {
    std::vector<uint32_t> sums;
    forTrackUnderIds(blocks, ids, position, [&](const TAccurateRipTrack& t) {
        if (t.OffsetFinding != 0) sums.push_back(t.OffsetFinding);
    });
    return sums;
}

}  // namespace Rip
