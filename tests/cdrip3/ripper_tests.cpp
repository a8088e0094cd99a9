// The ripping process of the C ABI: chunking, progress, the end, aborting, the ranges it
// refuses, the disc going away under it, and the libcdio-paranoia backend behind it.
#include <cstring>

#include "cdrip3_fixture.h"

namespace {

using cdrip3test::Cdrip3Test;

class Ripper : public Cdrip3Test {
protected:
    void SetUp() override {
        Cdrip3Test::SetUp();
        plan_ = testdisc::audioDisc({100, 61});
        cue_ = home_.file("discs/rip.cue");
        testdisc::writeImage(plan_, cue_);
        useDrives({cue_});
    }
    void setSectorsPerRead(int32_t n) {
        CR_DRIVEPARAMS p;
        ASSERT_EQ(CR_GetCDROMParameters(&p), CDRIP3_OK);
        memcpy(p.bytes + CR_OFS_SECTORS_PER_READ, &n, 4);
        ASSERT_EQ(CR_SetCDROMParameters(&p), CDRIP3_OK);
    }
    testdisc::DiscPlan plan_;
    std::string cue_;
};

TEST_F(Ripper, ChunksFollowSectorsPerReadAndProgressReaches100) {
    setSectorsPerRead(10);
    const auto r = rip(0, 160);  // 161 sectors: 16 full chunks and one of 1
    EXPECT_EQ(r.bufferSize, 10 * 2352);
    ASSERT_EQ(r.chunkBytes.size(), 17u);
    for (size_t i = 0; i + 1 < r.chunkBytes.size(); ++i) EXPECT_EQ(r.chunkBytes[i], 10 * 2352);
    EXPECT_EQ(r.chunkBytes.back(), 2352);
    for (size_t i = 1; i < r.percents.size(); ++i) EXPECT_GE(r.percents[i], r.percents[i - 1]);
    EXPECT_EQ(r.percents.front(), 10 * 100 / 161);
    EXPECT_LT(r.percents[r.percents.size() - 2], 100);  // 100 only once everything is there
    EXPECT_EQ(r.percents.back(), 100);
    EXPECT_EQ(r.endCode, CDRIP3_RIPPING_DONE);
    EXPECT_EQ(r.bytes, testdisc::rangeBytes(plan_, 0, 160));
}

TEST_F(Ripper, DoneRepeatsUntilClosedAndPercentDropsToZero) {
    int32_t size = 0;
    ASSERT_EQ(CR_OpenRipper(&size, 5, 7), CDRIP3_OK);
    EXPECT_EQ(CR_GetPercentCompleted(), 0);
    std::vector<uint8_t> buf(static_cast<size_t>(size));
    int32_t bytes = 0;
    ASSERT_EQ(CR_RipChunk(buf.data(), &bytes, nullptr), CDRIP3_OK);  // null abort: go on
    EXPECT_EQ(bytes, 3 * 2352);
    for (int i = 0; i < 3; ++i) {
        bytes = -1;
        EXPECT_EQ(CR_RipChunk(buf.data(), &bytes, nullptr), CDRIP3_RIPPING_DONE);
        EXPECT_EQ(bytes, 0);
    }
    EXPECT_EQ(CR_GetPercentCompleted(), 100);
    EXPECT_EQ(CR_CloseRipper(), CDRIP3_OK);
    EXPECT_EQ(CR_GetPercentCompleted(), 0);
    EXPECT_EQ(CR_CloseRipper(), CDRIP3_NO_RIPPER);
}

TEST_F(Ripper, AbortStopsTheRip) {
    int32_t size = 0;
    ASSERT_EQ(CR_OpenRipper(&size, 0, 160), CDRIP3_OK);
    std::vector<uint8_t> buf(static_cast<size_t>(size));
    int32_t bytes = 0, abort = 0;
    ASSERT_EQ(CR_RipChunk(buf.data(), &bytes, &abort), CDRIP3_OK);
    const int32_t before = CR_GetPercentCompleted();
    abort = 1;
    bytes = -1;
    EXPECT_EQ(CR_RipChunk(buf.data(), &bytes, &abort), CDRIP3_RIPPING_DONE);
    EXPECT_EQ(bytes, 0);
    abort = 0;  // an aborted rip stays finished
    EXPECT_EQ(CR_RipChunk(buf.data(), &bytes, &abort), CDRIP3_RIPPING_DONE);
    EXPECT_EQ(CR_GetPercentCompleted(), before);
}

TEST_F(Ripper, RefusedRanges) {
    int32_t size = 1234;
    EXPECT_NE(CR_OpenRipper(&size, -1, 10), CDRIP3_OK);
    EXPECT_NE(CR_OpenRipper(&size, 0, -1), CDRIP3_OK);
    EXPECT_NE(CR_OpenRipper(&size, 20, 10), CDRIP3_OK);
    EXPECT_NE(CR_OpenRipper(&size, 0, 161), CDRIP3_OK);  // 161 is the lead-out
    EXPECT_NE(CR_OpenRipper(&size, 161, 161), CDRIP3_OK);
    EXPECT_NE(CR_OpenRipper(&size, 0, INT32_MAX), CDRIP3_OK);
    EXPECT_NE(CR_OpenRipper(nullptr, 0, 10), CDRIP3_OK);
    EXPECT_EQ(size, 1234);
    EXPECT_EQ(CR_CloseRipper(), CDRIP3_NO_RIPPER);
}

TEST_F(Ripper, SecondOpenIsRefusedWhileOneIsOpen) {
    int32_t size = 0;
    ASSERT_EQ(CR_OpenRipper(&size, 0, 10), CDRIP3_OK);
    int32_t other = 77;
    EXPECT_EQ(CR_OpenRipper(&other, 20, 30), CDRIP3_RIPPING_INPROGRESS);
    EXPECT_EQ(other, 77);
    // The first one is unaffected.
    std::vector<uint8_t> buf(static_cast<size_t>(size));
    int32_t bytes = 0;
    ASSERT_EQ(CR_RipChunk(buf.data(), &bytes, nullptr), CDRIP3_OK);
    buf.resize(size_t(bytes));
    EXPECT_EQ(buf, testdisc::rangeBytes(plan_, 0, 10));
}

TEST_F(Ripper, CallsWithoutARipper) {
    std::vector<uint8_t> buf(2352 * 26);
    int32_t bytes = 99;
    EXPECT_EQ(CR_RipChunk(buf.data(), &bytes, nullptr), CDRIP3_NO_RIPPER);
    EXPECT_EQ(bytes, 0);
    EXPECT_EQ(CR_RipChunk(nullptr, nullptr, nullptr), CDRIP3_NO_RIPPER);
    EXPECT_EQ(CR_GetPercentCompleted(), 0);
    EXPECT_EQ(CR_CloseRipper(), CDRIP3_NO_RIPPER);
    // Null buffers with a ripper open fail without reading anything.
    int32_t size = 0;
    ASSERT_EQ(CR_OpenRipper(&size, 0, 10), CDRIP3_OK);
    EXPECT_EQ(CR_RipChunk(nullptr, &bytes, nullptr), CDRIP3_ERROR);
    EXPECT_EQ(CR_RipChunk(buf.data(), nullptr, nullptr), CDRIP3_ERROR);
    EXPECT_EQ(CR_GetPercentCompleted(), 0);
}

TEST_F(Ripper, OpeningTheTrayFailsTheRip) {
    setSectorsPerRead(5);
    int32_t size = 0;
    ASSERT_EQ(CR_OpenRipper(&size, 0, 160), CDRIP3_OK);
    std::vector<uint8_t> buf(static_cast<size_t>(size));
    int32_t bytes = 0;
    ASSERT_EQ(CR_RipChunk(buf.data(), &bytes, nullptr), CDRIP3_OK);
    CR_EjectCD(1);
    EXPECT_EQ(CR_IsUnitReady(), 0);
    bytes = -1;
    EXPECT_EQ(CR_RipChunk(buf.data(), &bytes, nullptr), CDRIP3_NOT_READY);
    EXPECT_EQ(bytes, 0);
    CR_EjectCD(0);
    EXPECT_EQ(CR_RipChunk(buf.data(), &bytes, nullptr), CDRIP3_NOT_READY);  // another disc now
    EXPECT_EQ(CR_CloseRipper(), CDRIP3_OK);
    int32_t again = 0;
    EXPECT_EQ(CR_OpenRipper(&again, 0, 4), CDRIP3_OK);
}

TEST_F(Ripper, NoDiscMeansNotReady) {
    CR_EjectCD(1);
    int32_t size = 5;
    EXPECT_EQ(CR_OpenRipper(&size, 0, 10), CDRIP3_NOT_READY);
    EXPECT_EQ(size, 5);
    CR_EjectCD(0);
}

// A BIN/CUE pair given as a device goes through libcdio and libcdio-paranoia; with the
// parameters the program sets, the rip must still be bit-exact.
class ParanoiaRip : public Cdrip3Test, public ::testing::WithParamInterface<bool> {};

TEST_P(ParanoiaRip, DeviceRipsBitExact) {
    const auto discPlan = testdisc::audioDisc({300, 200});
    const std::string cue = home_.file("discs/dev.cue");
    const auto expected = testdisc::writeImage(discPlan, cue);
    useDrives({}, {cue});
    ASSERT_EQ(CR_GetNumCDROM(), 1);
    CR_DRIVEPARAMS p;
    ASSERT_EQ(CR_GetCDROMParameters(&p), CDRIP3_OK);
    const int32_t jitter = GetParam() ? -1 : 0;
    memcpy(p.bytes + CR_OFS_JITTER_ON, &jitter, 4);
    ASSERT_EQ(CR_SetCDROMParameters(&p), CDRIP3_OK);
    ASSERT_EQ(CR_ReadToc(), CDRIP3_OK);
    ASSERT_EQ(CR_GetNumTocEntries(), 2);
    const uint32_t last = expected.leadOut - 1;
    const auto r = rip(0, int32_t(last));
    EXPECT_EQ(r.endCode, CDRIP3_RIPPING_DONE);
    EXPECT_EQ(r.jitterChunks, 0);
    EXPECT_EQ(r.percents.back(), 100);
    EXPECT_EQ(disctest::firstDifferentSector(r.bytes, testdisc::rangeBytes(discPlan, 0, last), 0),
              -1);
}

INSTANTIATE_TEST_SUITE_P(JitterCorrection, ParanoiaRip, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "On" : "Off"; });

}  // namespace
