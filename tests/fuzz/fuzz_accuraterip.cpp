// An AccurateRip answer as anyone on the way may have rewritten it (it comes over plain
// HTTP). The reader either refuses it, or takes it for whole blocks that use up every byte,
// each field read from where its block puts it; and a track judged against those blocks
// counts only the entries filed under the disc's own ids.
#include <algorithm>
#include <cstdint>
#include <string>

#include "AccurateRip.h"
#include "fuzzcheck.h"

namespace {

uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Whether the bytes are blocks end to end: a count of 1 to 99 tracks, then the header's
// ids and the count's entries.
bool wholeBlocks(const uint8_t* data, size_t size) {
    if (size == 0) return false;
    for (size_t at = 0; at < size;) {
        const size_t count = data[at];
        if (count < 1 || count > 99) return false;
        at += 13 + 9 * count;
        if (at > size) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const auto blocks = Rip::ParseAccurateRipAnswer(bytes);
    CHECK(blocks.has_value() == wholeBlocks(data, size));
    if (!blocks) return 0;

    size_t at = 0;
    for (const Rip::TAccurateRipBlock& b : *blocks) {
        CHECK(!b.Tracks.empty() && b.Tracks.size() <= 99);
        CHECK(at + 13 + 9 * b.Tracks.size() <= size);
        CHECK(data[at] == b.Tracks.size());
        CHECK(b.Id1 == le32(data + at + 1) && b.Id2 == le32(data + at + 5) &&
              b.Id3 == le32(data + at + 9));
        at += 13;
        for (const Rip::TAccurateRipTrack& t : b.Tracks) {
            CHECK(t.Confidence == data[at] && t.Checksum == le32(data + at + 1));
            at += 9;
        }
    }
    CHECK(at == size);

    // Judged as the first block's disc, with its first track's sum as v1 and the last
    // block's last sum as v2, at every position a disc may have and a few it may not.
    const Rip::TAccurateRipBlock& first = blocks->front();
    CDRipIntf::TDiscIds ids;
    ids.AccurateRipId1 = first.Id1;
    ids.AccurateRipId2 = first.Id2;
    ids.CddbId = first.Id3;
    const uint32_t v1 = first.Tracks.front().Checksum;
    const uint32_t v2 = blocks->back().Tracks.back().Checksum;
    for (int position = -1; position <= 101; ++position) {
        const Rip::TAccurateRipVerdict verdict = Rip::JudgeTrack(*blocks, ids, position, v1, v2);
        int results = 0, best = -1;
        for (const Rip::TAccurateRipBlock& b : *blocks) {
            if (b.Id1 != first.Id1 || b.Id2 != first.Id2 || b.Id3 != first.Id3) continue;
            if (position < 1 || size_t(position) > b.Tracks.size()) continue;
            ++results;
            const Rip::TAccurateRipTrack& t = b.Tracks[size_t(position) - 1];
            if (t.Checksum == v1 || t.Checksum == v2) best = std::max(best, int(t.Confidence));
        }
        CHECK(verdict.Results == results);
        CHECK(verdict.Accurate == (best >= 0));
        CHECK(verdict.Confidence == (best >= 0 ? best : 0));
    }
    // The first block's disc always has its first track's entry.
    CHECK(Rip::JudgeTrack(*blocks, ids, 1, v1, v1).Accurate);
    return 0;
}
