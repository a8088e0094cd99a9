#include <gtest/gtest.h>

#include <climits>

#include "CDRipIntf.h"

using namespace CDRipIntf;

namespace {
constexpr uint32_t msf(uint32_t m, uint32_t s, uint32_t f) {
    return (m << 16) + (s << 8) + f;
}
}  // namespace

TEST(Msf, AbsolutePositionsCountTheLeadIn) {
    EXPECT_EQ(SectorToMsf(0), msf(0, 2, 0));
    EXPECT_EQ(MsfToSector(msf(0, 2, 0)), 0);
    EXPECT_EQ(SectorToMsf(74), msf(0, 2, 74));
    EXPECT_EQ(SectorToMsf(75), msf(0, 3, 0));
    // 74 minutes of audio: the position is counted from the start of the lead-in.
    EXPECT_EQ(SectorToMsf(74 * 4500 - 150), msf(74, 0, 0));
    // A library's garbage near the top of the range gives a time, not an overflow (the
    // sanitizer build stops at one); minutes spill past their byte, unmasked.
    const int32_t top = INT32_MAX - 100;
    const int64_t t = int64_t(top) + 150;
    EXPECT_EQ(SectorToMsf(top),
              (uint32_t(t / 4500) << 16) + (uint32_t(t / 75 % 60) << 8) + uint32_t(top % 75));
}

TEST(Msf, DurationsHaveNoOffset) {
    EXPECT_EQ(FramesToMsf(4500), msf(1, 0, 0));
    EXPECT_EQ(FramesToMsf(0), 0u);
    EXPECT_EQ(FramesToMsf(75 * 185 + 3), msf(3, 5, 3));
    EXPECT_EQ(MsfToFrames(msf(65, 0, 0)), 65 * 4500);
}

TEST(Msf, ConversionsRoundTripOverAWholeDisc) {
    for (int32_t sector = 0; sector < 80 * 4500; sector += 37) {
        ASSERT_EQ(MsfToSector(SectorToMsf(sector)), sector) << sector;
        ASSERT_EQ(MsfToFrames(FramesToMsf(sector)), sector) << sector;
    }
}

TEST(Msf, AddingADurationToAPosition) {
    EXPECT_EQ(AddMsf(msf(0, 2, 0), msf(3, 0, 0)), msf(3, 2, 0));
    EXPECT_EQ(AddMsf(msf(10, 59, 74), msf(0, 0, 1)), msf(11, 0, 0));
}

TEST(Msf, MciTimesAreRepacked) {
    // MCI keeps minutes in the low byte; the program keeps them in bits 16 to 23.
    EXPECT_EQ(MciMsfToPacked(0x00000200u), 512u);            // 0 min, 2 s, 0 frames
    EXPECT_EQ(MciMsfToPacked(0x00050001u), (1u << 16) + 5);  // 1 min, 0 s, 5 frames
    EXPECT_EQ(MciMsfToPacked(0xFF4A3B4Bu), msf(0x4B, 0x3B, 0x4A));
}
