// Answers of the AccurateRip database: read, refused when they are not one, and a track
// judged against the pressings filed under the disc's ids.
#include <gtest/gtest.h>

#include "AccurateRip.h"

namespace {

void put32(std::string& b, uint32_t v) {
    for (int k = 0; k < 4; ++k) b.push_back(char(uint8_t(v >> (8 * k))));
}

// A block: the ids, then (confidence, checksum) per track; each offset-finding sum is
// 0xEE000000 plus the track's checksum.
std::string block(uint32_t id1, uint32_t id2, uint32_t id3,
                  const std::vector<std::pair<int, uint32_t>>& tracks) {
    std::string b(1, char(tracks.size()));
    put32(b, id1);
    put32(b, id2);
    put32(b, id3);
    for (const auto& [confidence, checksum] : tracks) {
        b.push_back(char(confidence));
        put32(b, checksum);
        put32(b, 0xEE000000 + checksum);
    }
    return b;
}

CDRipIntf::TDiscIds ids() {
    CDRipIntf::TDiscIds d;
    d.AccurateRipId1 = 0x15f90;
    d.AccurateRipId2 = 0x493e1;
    d.CddbId = 0x0c025803;
    return d;
}

}  // namespace

TEST(AccurateRip, ReadsBlocksAndRefusesWhatIsNotAnAnswer) {
    const std::string two = block(1, 2, 3, {{5, 0xA1}, {7, 0xA2}}) + block(4, 5, 6, {{9, 0xB1}});
    const auto blocks = Rip::ParseAccurateRipAnswer(two);
    ASSERT_TRUE(blocks);
    ASSERT_EQ(blocks->size(), 2u);
    EXPECT_EQ((*blocks)[0].Id3, 3u);
    EXPECT_EQ((*blocks)[0].Tracks.at(1).Confidence, 7);
    EXPECT_EQ((*blocks)[0].Tracks.at(1).Checksum, 0xA2u);
    EXPECT_EQ((*blocks)[0].Tracks.at(1).OffsetFinding, 0xEE0000A2u);
    EXPECT_EQ((*blocks)[1].Tracks.at(0).Checksum, 0xB1u);

    for (const std::string& bad :
         {std::string(), two.substr(0, two.size() - 1), std::string("\0", 1) + two.substr(1),
          std::string("<!DOCTYPE html><html><body>Not Found</body></html>")}) {
        SCOPED_TRACE(bad.size());
        EXPECT_FALSE(Rip::ParseAccurateRipAnswer(bad));
    }
}

TEST(AccurateRip, ATrackMatchesByEitherSumUnderTheDiscsOwnIds) {
    const auto blocks = *Rip::ParseAccurateRipAnswer(
        block(0x15f90, 0x493e1, 0x0c025803, {{12, 0x111}, {12, 0x222}, {12, 0x333}}) +
        block(0x15f90, 0x493e1, 0x0c025803, {{30, 0x111}, {3, 0x2AA}, {30, 0x333}}) +
        // Another disc's results, filed in the same place, count for nothing.
        block(0x15f91, 0x493e1, 0x0c025803, {{99, 0x999}, {99, 0x999}, {99, 0x999}}));

    auto v = Rip::JudgeTrack(blocks, ids(), 1, 0x111, 0);  // v1 in both pressings
    EXPECT_TRUE(v.Accurate);
    EXPECT_EQ(v.Confidence, 30);
    EXPECT_EQ(v.Results, 2);
    v = Rip::JudgeTrack(blocks, ids(), 2, 0, 0x2AA);  // v2 in the second
    EXPECT_TRUE(v.Accurate);
    EXPECT_EQ(v.Confidence, 3);
    v = Rip::JudgeTrack(blocks, ids(), 3, 0x999, 0x999);
    EXPECT_FALSE(v.Accurate);
    EXPECT_EQ(v.Results, 2);
    // A position past the pressings' tracks has no results.
    EXPECT_EQ(Rip::JudgeTrack(blocks, ids(), 4, 0x111, 0x111).Results, 0);
}
