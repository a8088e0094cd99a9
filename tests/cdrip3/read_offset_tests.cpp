// The drive's read offset through the C ABI: every delivered sample moves by the offset,
// silence stands in beyond the disc, and the chunking a program sees stays as it was.
#include <cstring>

#include "cdrip3_fixture.h"

namespace {

using cdrip3test::Cdrip3Test;
using cdrip3test::Rip;

using cdrip3test::shifted;

// Image drives, and a BIN/CUE pair as a device through libcdio with paranoia on and off.
enum class Kind { Image, ParanoiaOn, ParanoiaOff };

class ReadOffset : public Cdrip3Test, public ::testing::WithParamInterface<Kind> {
protected:
    void SetUp() override {
        Cdrip3Test::SetUp();
        plan_ = testdisc::audioDisc({300, 200});
        const std::string cue = home_.file("discs/offset.cue");
        expected_ = testdisc::writeImage(plan_, cue);
        if (GetParam() == Kind::Image) {
            useDrives({cue});
        } else {
            useDrives({}, {cue});
            CR_DRIVEPARAMS p;
            ASSERT_EQ(CR_GetCDROMParameters(&p), CDRIP3_OK);
            const int32_t jitter = GetParam() == Kind::ParanoiaOn ? -1 : 0;
            memcpy(p.bytes + CR_OFS_JITTER_ON, &jitter, 4);
            ASSERT_EQ(CR_SetCDROMParameters(&p), CDRIP3_OK);
        }
        ASSERT_EQ(CR_ReadToc(), CDRIP3_OK);
        disc_ = testdisc::rangeBytes(plan_, 0, expected_.leadOut - 1);
    }
    testdisc::DiscPlan plan_;
    testdisc::ExpectedDisc expected_;
    std::vector<uint8_t> disc_;
};

TEST_P(ReadOffset, ShiftsEverySampleWithSilenceBeyondTheDisc) {
    const uint32_t lastSector = expected_.leadOut - 1;
    const uint32_t track2 = expected_.tracks[1].startSector;
    // The whole disc meets both of its edges; track 2 alone reads across into track 1 or
    // stops at the lead-out. 5000 samples are more than eight sectors.
    const std::pair<uint32_t, uint32_t> ranges[] = {{0, lastSector}, {track2, lastSector}};
    const Rip plain = rip(0, int32_t(lastSector));
    for (const int32_t offset : {6, -6, 588, -1000, 5000, -5000}) {
        ASSERT_EQ(CR_SetReadOffset(offset), CDRIP3_OK);
        ASSERT_EQ(CR_GetReadOffset(), offset);
        for (const auto& [first, last] : ranges) {
            SCOPED_TRACE("offset " + std::to_string(offset) + ", sectors " + std::to_string(first) +
                         ".." + std::to_string(last));
            const Rip r = rip(int32_t(first), int32_t(last));
            EXPECT_EQ(r.endCode, CDRIP3_RIPPING_DONE);
            EXPECT_EQ(r.jitterChunks, 0);
            EXPECT_EQ(
                disctest::firstDifferentSector(r.bytes, shifted(disc_, first, last, offset), first),
                -1);
            if (first == 0) {
                // The same chunks and progress as without an offset.
                EXPECT_EQ(r.chunkBytes, plain.chunkBytes);
                EXPECT_EQ(r.percents, plain.percents);
            }
            // Finding the offset reads past it, leaving it as it is.
            EXPECT_EQ(rip(int32_t(first), int32_t(last), true).bytes,
                      shifted(disc_, first, last, 0));
            EXPECT_EQ(CR_GetReadOffset(), offset);
        }
    }
    // Back at 0 the disc comes as it is.
    ASSERT_EQ(CR_SetReadOffset(0), CDRIP3_OK);
    EXPECT_EQ(rip(0, int32_t(lastSector)).bytes, disc_);
}

INSTANTIATE_TEST_SUITE_P(Drives, ReadOffset,
                         ::testing::Values(Kind::Image, Kind::ParanoiaOn, Kind::ParanoiaOff),
                         [](const auto& info) {
                             return info.param == Kind::Image        ? "Image"
                                    : info.param == Kind::ParanoiaOn ? "ParanoiaOn"
                                                                     : "ParanoiaOff";
                         });

}  // namespace
