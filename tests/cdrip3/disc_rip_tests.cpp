// Every kind of generated disc through the C ABI: the table of contents a program sees
// and the audio it rips, track by track and at the very edges of the disc.
#include "cdrip3_fixture.h"

namespace {

using cdrip3test::Cdrip3Test;

class DiscThroughApi : public Cdrip3Test,
                       public ::testing::WithParamInterface<disctest::NamedDisc> {
protected:
    void SetUp() override {
        Cdrip3Test::SetUp();
        const std::string cue = home_.file("discs/disc.cue");
        expected_ = testdisc::writeImage(GetParam().discPlan, cue);
        useDrives({cue});
        ASSERT_EQ(CR_ReadToc(), CDRIP3_OK);
    }
    const testdisc::DiscPlan& discPlan() const { return GetParam().discPlan; }
    testdisc::ExpectedDisc expected_;
};

TEST_P(DiscThroughApi, TocEntriesMatchTheDisc) {
    const int32_t n = CR_GetNumTocEntries();
    ASSERT_EQ(n, int32_t(expected_.tracks.size()));
    for (int32_t i = 0; i < n; ++i) {
        SCOPED_TRACE("entry " + std::to_string(i));
        CR_TOCENTRY e;
        ASSERT_EQ(CR_GetTocEntry2(i, &e), CDRIP3_OK);
        const auto& t = expected_.tracks[size_t(i)];
        EXPECT_EQ(e.btTrackNumber, t.number);
        EXPECT_EQ(e.dwStartSector, t.startSector);
        EXPECT_EQ(e.btFlag & 4, t.data ? 4 : 0);
        EXPECT_EQ(e.btSession, t.session);
    }
    CR_TOCENTRY leadOut;
    ASSERT_EQ(CR_GetTocEntry2(n, &leadOut), CDRIP3_OK);
    EXPECT_EQ(leadOut.btTrackNumber, 0xAA);
    EXPECT_EQ(leadOut.btFlag, 0);
    EXPECT_EQ(leadOut.dwStartSector, expected_.leadOut);
}

TEST_P(DiscThroughApi, EveryAudioTrackRipsExactly) {
    for (const auto& t : expected_.tracks) {
        if (t.data) continue;
        SCOPED_TRACE("track " + std::to_string(t.number));
        const uint32_t last = t.startSector + t.sectors - 1;
        const auto r = rip(int32_t(t.startSector), int32_t(last));
        EXPECT_EQ(r.endCode, CDRIP3_RIPPING_DONE);
        EXPECT_EQ(
            disctest::firstDifferentSector(
                r.bytes, testdisc::rangeBytes(discPlan(), t.startSector, last), t.startSector),
            -1);
    }
}

TEST_P(DiscThroughApi, FirstAndLastSectorOfTheDisc) {
    const uint32_t last = expected_.leadOut - 1;
    EXPECT_EQ(rip(0, 0).bytes, testdisc::rangeBytes(discPlan(), 0, 0));
    EXPECT_EQ(rip(int32_t(last), int32_t(last)).bytes,
              testdisc::rangeBytes(discPlan(), last, last));
}

INSTANTIATE_TEST_SUITE_P(Discs, DiscThroughApi, ::testing::ValuesIn(disctest::discVariants()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
