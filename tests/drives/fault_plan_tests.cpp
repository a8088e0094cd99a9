// The fault plan of CDRIP3_FAULTS: what a test writes is what the drives do, and a slip in
// the text is refused item by item rather than silently turning the plan into another.
#include <gtest/gtest.h>

#include <algorithm>

#include "faults.h"

namespace {

using svdrives::detail::FaultPlan;

TEST(FaultPlan, ParsesEveryKindWithItsValues) {
    std::vector<std::string> rejected;
    const FaultPlan p = FaultPlan::parse(
        " unreadable = 1000-1005, 7 ; jitter=2000,2001;stall=3000;stall=3100:250; remove=4000 "
        "; slow = 600; spinup = 300 ;tray=250",
        &rejected);
    EXPECT_TRUE(rejected.empty());
    ASSERT_EQ(p.unreadable.size(), 2u);
    EXPECT_EQ(p.unreadable[0].first, 1000u);
    EXPECT_EQ(p.unreadable[0].last, 1005u);
    EXPECT_EQ(p.unreadable[1].first, 7u);
    EXPECT_EQ(p.unreadable[1].last, 7u);
    EXPECT_EQ(p.jitter, (std::vector<uint32_t>{2000, 2001}));
    ASSERT_EQ(p.stalls.size(), 2u);
    EXPECT_EQ(p.stalls[0].sector, 3000u);
    EXPECT_EQ(p.stalls[0].milliseconds, svdrives::detail::kDefaultStallMs);
    EXPECT_EQ(p.stalls[1].milliseconds, 250);
    EXPECT_EQ(p.removals, (std::vector<uint32_t>{4000}));
    EXPECT_EQ(p.slowRate, 600u);
    EXPECT_EQ(p.spinUpMs, 300);
    EXPECT_EQ(p.trayMs, 250);
    EXPECT_FALSE(p.empty());
    EXPECT_FALSE(FaultPlan::parse("slow=75").empty());
    EXPECT_FALSE(FaultPlan::parse("spinup=1").empty());
    EXPECT_FALSE(FaultPlan::parse("tray=1").empty());
    // A later item wins, also when it asks for no time at all.
    EXPECT_EQ(FaultPlan::parse("spinup=300;spinup=0").spinUpMs, 0);
    EXPECT_EQ(FaultPlan::parse("tray=300;tray=0;tray=20").trayMs, 20);
    EXPECT_TRUE(FaultPlan::parse("").empty());
    EXPECT_TRUE(FaultPlan::parse(" ; ;").empty());
}

TEST(FaultPlan, RefusesMalformedItemsWholeAndKeepsTheRest) {
    std::vector<std::string> rejected;
    const FaultPlan p = FaultPlan::parse(
        "unreadable=5-3;jitter=0x10;remove=-1;stall=9:60001;scratch=4;unreadable;"
        "unreadable=10,x;jitter=;remove=4294967295;stall=8:;unreadable=1-2-3;remove=12;"
        "slow=0;slow=1000001;slow=-5;spinup=60001;tray=-1;spinup=;tray=0x10;spinup=5:6;"
        "tray=1,x",
        &rejected);
    EXPECT_EQ(rejected.size(), 20u);
    EXPECT_EQ(p.slowRate, 0u);
    EXPECT_EQ(p.spinUpMs, 0);
    EXPECT_EQ(p.trayMs, 0);
    // An item with one bad value adds none of its values.
    EXPECT_TRUE(p.unreadable.empty());
    EXPECT_TRUE(p.jitter.empty());
    EXPECT_TRUE(p.stalls.empty());
    EXPECT_EQ(p.removals, (std::vector<uint32_t>{12}));
    // The extremes that are allowed.
    rejected.clear();
    const FaultPlan edge = FaultPlan::parse(
        "remove=4294967294;stall=0:0;stall=1:60000;unreadable=0;spinup=60000;tray=0", &rejected);
    EXPECT_TRUE(rejected.empty());
    EXPECT_EQ(edge.spinUpMs, 60000);
    EXPECT_EQ(edge.removals, (std::vector<uint32_t>{4294967294u}));
    EXPECT_EQ(edge.stalls.size(), 2u);
}

TEST(FaultPlan, AnswersWhereAReadStops) {
    const FaultPlan p = FaultPlan::parse("unreadable=100-110,50;stall=80;remove=60;jitter=30,200");
    EXPECT_EQ(p.firstUnreadable(0, 50), -1);
    EXPECT_EQ(p.firstUnreadable(0, 51), 50);
    EXPECT_EQ(p.firstUnreadable(105, 3), 105);  // inside a range
    EXPECT_EQ(p.firstUnreadable(111, 100), -1);
    EXPECT_EQ(p.firstStop(0, 1000), 50);
    EXPECT_EQ(p.firstStop(51, 1000), 60);
    EXPECT_EQ(p.firstStop(61, 1000), 80);
    EXPECT_EQ(p.firstStop(81, 1000), 100);
    EXPECT_EQ(p.firstStop(111, 1000), -1);
    EXPECT_EQ(p.firstStop(61, 19), -1);  // [61, 80) stops short of the stall
    EXPECT_TRUE(p.jitterIn(0, 31));
    EXPECT_FALSE(p.jitterIn(31, 169));
    EXPECT_TRUE(p.jitterIn(199, 2));
    ASSERT_NE(p.stallAt(80), nullptr);
    EXPECT_EQ(p.stallAt(79), nullptr);
    EXPECT_EQ(p.firstStallIn(0, 80), nullptr);
    EXPECT_NE(p.firstStallIn(0, 81), nullptr);
    EXPECT_TRUE(p.removalAt(60));
    EXPECT_FALSE(p.removalAt(61));
    EXPECT_TRUE(p.isUnreadable(110));
    EXPECT_FALSE(p.isUnreadable(111));
    // A read at the top of the sector numbers does not wrap around to sector 0.
    const FaultPlan low = FaultPlan::parse("unreadable=0;jitter=1");
    EXPECT_EQ(low.firstStop(0xFFFFFFF0u, 0x20), -1);
    EXPECT_FALSE(low.jitterIn(0xFFFFFFF0u, 0x20));
}

TEST(FaultPlan, FlakySectorsParseAndComeBackAlteredOnEverySecondDelivery) {
    std::vector<std::string> rejected;
    const FaultPlan p =
        FaultPlan::parse(" flaky = 10, 12,10 ;flaky=x;flaky=;flaky=4294967295", &rejected);
    EXPECT_EQ(p.flaky, (std::vector<uint32_t>{10, 12, 10}));
    EXPECT_EQ(rejected.size(), 3u);
    EXPECT_FALSE(p.empty());
    EXPECT_TRUE(p.flakyIn(12, 1));
    EXPECT_FALSE(p.flakyIn(13, 100));

    // Sectors 9..13, each byte its sector's number, delivered four times.
    constexpr size_t kSector = 2352;
    std::vector<uint8_t> clean(5 * kSector);
    for (size_t i = 0; i < clean.size(); ++i) clean[i] = uint8_t(9 + i / kSector);
    svdrives::detail::FlakyReads reads;
    for (int delivery = 1; delivery <= 4; ++delivery) {
        SCOPED_TRACE(delivery);
        std::vector<uint8_t> got = clean;
        reads.deliver(p, 9, 5, got.data());
        for (uint32_t sector = 9; sector <= 13; ++sector) {
            const uint8_t* at = got.data() + (sector - 9) * kSector;
            // Named twice, sector 10 is still delivered once per read.
            const bool altered = (sector == 10 || sector == 12) && delivery % 2 == 0;
            for (size_t i = 0; i < kSector; ++i) {
                const bool inverted = altered && i < svdrives::detail::FlakyReads::kFlakyBytes;
                ASSERT_EQ(at[i], inverted ? uint8_t(~sector) : uint8_t(sector))
                    << "sector " << sector << " byte " << i;
            }
        }
    }
    // A read that leaves sector 12 out does not count it: its next delivery is its fifth.
    std::vector<uint8_t> head = clean;
    reads.deliver(p, 9, 2, head.data());  // sector 10, delivery 5: exact
    EXPECT_EQ(head, clean);
    std::vector<uint8_t> tail(clean.begin() + 3 * kSector, clean.end());
    reads.deliver(p, 12, 2, tail.data());  // sector 12, delivery 5: exact
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), clean.begin() + 3 * kSector));
    // A plan without flaky sectors neither alters nor counts.
    std::vector<uint8_t> other = clean;
    reads.deliver(FaultPlan::parse("jitter=10"), 9, 5, other.data());
    reads.deliver(p, 9, 2, other.data());  // sector 10, delivery 6
    EXPECT_EQ(other[kSector], uint8_t(~10));
}

}  // namespace
