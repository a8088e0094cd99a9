// What the AccurateRip database answers for a disc, and what it says of one ripped track.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "DiscIds.h"

namespace Rip {

struct TAccurateRipTrack {
    uint8_t Confidence = 0;  // how many rips agreed on this checksum
    uint32_t Checksum = 0;   // v1 or v2
    // The track's frame 450 summed by position, which finds a drive's read offset (see
    // OffsetFinding.h).
    uint32_t OffsetFinding = 0;
};

// One pressing's results: the disc ids it was filed under, a checksum per track.
struct TAccurateRipBlock {
    uint32_t Id1 = 0, Id2 = 0, Id3 = 0;
    std::vector<TAccurateRipTrack> Tracks;
};

// The blocks of an answer (little-endian: a byte of track count, three 32-bit ids, then
// per track a byte of confidence, a 32-bit checksum and a 32-bit offset-finding sum). None when the
// bytes are not such an answer: empty, cut short, or a web page.
std::optional<std::vector<TAccurateRipBlock>> ParseAccurateRipAnswer(const std::string& bytes);

struct TAccurateRipVerdict {
    bool Accurate = false;
    int Confidence = 0;  // of the best entry that matched
    int Results = 0;     // entries for the track under the disc's ids
};

// Among the disc's audio tracks, from 1: how the database numbers track n; 0 for a data
// track or none.
int AudioPosition(const CDRipIntf::TDiscInfo& disc, int n);

// The track at position (from 1, among the disc's audio tracks) with sums v1 and v2,
// against the blocks filed under the disc's own ids.
TAccurateRipVerdict JudgeTrack(const std::vector<TAccurateRipBlock>& blocks,
                               const CDRipIntf::TDiscIds& ids, int position, uint32_t v1,
                               uint32_t v2);

// The offset-finding sums the blocks filed under the disc's own ids hold for the track at
// position, one per pressing that has one (older entries hold 0: none).
std::vector<uint32_t> OffsetFindingSums(const std::vector<TAccurateRipBlock>& blocks,
                                        const CDRipIntf::TDiscIds& ids, int position);

}  // namespace Rip
