// Image drives must present each generated disc exactly as a drive would: same table of
// contents, same bytes in every sector, gaps included.
#include <gtest/gtest.h>

#include "discfixture.h"

namespace {

using disctest::NamedDisc;

class ImageLayout : public ::testing::TestWithParam<NamedDisc> {
protected:
    void SetUp() override {
        cue_ = dir_.file("disc.cue");
        expected_ = testdisc::writeImage(GetParam().discPlan, cue_);
        disctest::useDrives({cue_});
        drive_ = svdrives::DriveModel::instance().drive(0);
        ASSERT_NE(drive_, nullptr);
    }

    disctest::TempDir dir_;
    std::string cue_;
    testdisc::ExpectedDisc expected_;
    svdrives::Drive* drive_ = nullptr;
};

TEST_P(ImageLayout, TocMatchesTheGeneratedDisc) {
    svdrives::Toc toc;
    ASSERT_TRUE(drive_->readToc(&toc));
    ASSERT_EQ(toc.tracks.size(), expected_.tracks.size());
    for (size_t i = 0; i < toc.tracks.size(); ++i) {
        SCOPED_TRACE("track position " + std::to_string(i));
        EXPECT_EQ(toc.tracks[i].number, expected_.tracks[i].number);
        EXPECT_EQ(toc.tracks[i].data, expected_.tracks[i].data);
        EXPECT_EQ(toc.tracks[i].startSector, expected_.tracks[i].startSector);
        EXPECT_EQ(toc.tracks[i].session, expected_.tracks[i].session);
    }
    EXPECT_EQ(toc.leadOut, expected_.leadOut);
}

TEST_P(ImageLayout, WholeDiscReadsSectorForSector) {
    const uint32_t last = expected_.leadOut - 1;
    auto reader = drive_->openReader(0, last, {});
    ASSERT_NE(reader, nullptr);
    std::vector<uint8_t> got;
    std::vector<uint8_t> chunk(size_t(37) * svdrives::kSectorBytes);
    // An odd chunk size makes chunks straddle every track and file boundary somewhere.
    for (;;) {
        int n = -1;
        ASSERT_EQ(reader->read(chunk.data(), 37, &n), svdrives::ReadResult::Ok);
        if (n == 0) break;
        got.insert(got.end(), chunk.begin(), chunk.begin() + long(n) * svdrives::kSectorBytes);
    }
    EXPECT_EQ(reader->nextSector(), expected_.leadOut);
    const auto want = testdisc::rangeBytes(GetParam().discPlan, 0, last);
    EXPECT_EQ(disctest::firstDifferentSector(got, want, 0), -1);
}

TEST_P(ImageLayout, EveryTrackStartsWithItsOwnFirstSector) {
    // Reading single sectors at each INDEX 01 catches an off-by-one that a long read of
    // the whole disc would only show as one shifted range.
    for (const auto& t : expected_.tracks) {
        SCOPED_TRACE("track " + std::to_string(t.number));
        auto reader = drive_->openReader(t.startSector, t.startSector, {});
        ASSERT_NE(reader, nullptr);
        std::vector<uint8_t> got(svdrives::kSectorBytes);
        int n = 0;
        ASSERT_EQ(reader->read(got.data(), 1, &n), svdrives::ReadResult::Ok);
        ASSERT_EQ(n, 1);
        EXPECT_EQ(got, testdisc::rangeBytes(GetParam().discPlan, t.startSector, t.startSector));
    }
}

INSTANTIATE_TEST_SUITE_P(Discs, ImageLayout, ::testing::ValuesIn(disctest::discVariants()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
