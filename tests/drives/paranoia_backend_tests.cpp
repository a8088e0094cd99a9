// The real-drive backend without hardware: a BIN/CUE pair given as a device path opens
// through libcdio's image driver, and audio comes through libcdio-paranoia as from a drive.
#include <gtest/gtest.h>

#include "discfixture.h"

namespace {

using svdrives::ReadResult;

class ParanoiaBackend : public ::testing::Test {
protected:
    void SetUp() override {
        plan_ = testdisc::audioDisc({400, 300, 250});
        cue_ = dir_.file("rip.cue");
        expected_ = testdisc::writeImage(plan_, cue_);
        disctest::useDrives({}, {cue_});
        drive_ = svdrives::DriveModel::instance().drive(0);
        ASSERT_NE(drive_, nullptr);
    }

    std::vector<uint8_t> readRange(uint32_t first, uint32_t last,
                                   const svdrives::ReadSettings& settings, int chunk,
                                   bool* sawJitter) {
        auto reader = drive_->openReader(first, last, settings);
        if (!reader) {
            ADD_FAILURE() << "no reader";
            return {};
        }
        std::vector<uint8_t> out;
        std::vector<uint8_t> buf(size_t(chunk) * svdrives::kSectorBytes);
        for (;;) {
            int n = 0;
            const ReadResult r = reader->read(buf.data(), chunk, &n);
            if (r == ReadResult::Jitter) *sawJitter = true;
            if (r != ReadResult::Ok && r != ReadResult::Jitter) {
                ADD_FAILURE() << "read failed at " << reader->nextSector();
                break;
            }
            if (n == 0) break;
            out.insert(out.end(), buf.begin(), buf.begin() + long(n) * svdrives::kSectorBytes);
        }
        return out;
    }

    disctest::TempDir dir_;
    testdisc::DiscPlan plan_;
    testdisc::ExpectedDisc expected_;
    std::string cue_;
    svdrives::Drive* drive_ = nullptr;
};

TEST_F(ParanoiaBackend, DeviceIsARealDriveNamedAfterItsPath) {
    EXPECT_FALSE(drive_->isImage());
    const std::string name = drive_->name();
    EXPECT_NE(name.find("(" + cue_ + ")"), std::string::npos) << name;
    EXPECT_TRUE(drive_->unitReady());
}

TEST_F(ParanoiaBackend, TocComesFromLibcdio) {
    svdrives::Toc toc;
    ASSERT_TRUE(drive_->readToc(&toc));
    ASSERT_EQ(toc.tracks.size(), expected_.tracks.size());
    for (size_t i = 0; i < toc.tracks.size(); ++i) {
        EXPECT_EQ(toc.tracks[i].number, expected_.tracks[i].number);
        EXPECT_EQ(toc.tracks[i].startSector, expected_.tracks[i].startSector);
        EXPECT_FALSE(toc.tracks[i].data);
    }
    EXPECT_EQ(toc.leadOut, expected_.leadOut);
}

TEST_F(ParanoiaBackend, FullParanoiaReadsTheWholeDiscBitExact) {
    svdrives::ReadSettings s;
    s.paranoia = true;
    s.paranoiaMode = 0xDF;
    bool jitter = false;
    const uint32_t last = expected_.leadOut - 1;
    const auto got = readRange(0, last, s, 26, &jitter);
    EXPECT_EQ(disctest::firstDifferentSector(got, testdisc::rangeBytes(plan_, 0, last), 0), -1);
    EXPECT_FALSE(jitter);  // an image never fails verification
}

TEST_F(ParanoiaBackend, ParanoiaOffReadsEachTrackBitExact) {
    svdrives::ReadSettings s;
    s.paranoia = false;
    s.readSpeed = 8;  // no drive to obey it; must not disturb the read
    for (const auto& t : expected_.tracks) {
        SCOPED_TRACE("track " + std::to_string(t.number));
        bool jitter = false;
        const uint32_t last = t.startSector + t.sectors - 1;
        const auto got = readRange(t.startSector, last, s, 13, &jitter);
        EXPECT_EQ(disctest::firstDifferentSector(
                      got, testdisc::rangeBytes(plan_, t.startSector, last), t.startSector),
                  -1);
    }
}

TEST_F(ParanoiaBackend, ReadersRefuseRangesOffTheDisc) {
    EXPECT_EQ(drive_->openReader(0, expected_.leadOut, {}), nullptr);
    EXPECT_EQ(drive_->openReader(10, 9, {}), nullptr);
    EXPECT_NE(drive_->openReader(expected_.leadOut - 1, expected_.leadOut - 1, {}), nullptr);
}

TEST_F(ParanoiaBackend, UnreadableSectorsAreFlaggedButNeverHangTheRead) {
    // Cutting the BIN under an open reader makes libcdio's reads fail from sector 600 on,
    // like a scratched disc: paranoia gives up after its retries, the chunk is flagged,
    // and what could be read still arrives intact.
    svdrives::ReadSettings s;
    s.retries = 3;
    auto reader = drive_->openReader(500, 899, s);
    ASSERT_NE(reader, nullptr);
    std::filesystem::resize_file(dir_.file("rip.bin"), uintmax_t(600) * svdrives::kSectorBytes);
    std::vector<uint8_t> got;
    std::vector<uint8_t> buf(size_t(26) * svdrives::kSectorBytes);
    int flagged = 0;
    for (int chunks = 0; chunks < 100; ++chunks) {
        int n = 0;
        const ReadResult r = reader->read(buf.data(), 26, &n);
        ASSERT_TRUE(r == ReadResult::Ok || r == ReadResult::Jitter) << int(r);
        if (r == ReadResult::Jitter) ++flagged;
        if (n == 0) break;
        got.insert(got.end(), buf.begin(), buf.begin() + long(n) * svdrives::kSectorBytes);
    }
    EXPECT_GT(flagged, 0);
    ASSERT_EQ(got.size(), size_t(400) * svdrives::kSectorBytes);
    got.resize(size_t(100) * svdrives::kSectorBytes);
    EXPECT_EQ(disctest::firstDifferentSector(got, testdisc::rangeBytes(plan_, 500, 599), 500), -1);
}

TEST(ParanoiaBackendMissing, DevicePathThatDoesNotOpenIsNotReady) {
    disctest::TempDir dir;
    disctest::useDrives({}, {dir.file("absent.cue")});
    auto& model = svdrives::DriveModel::instance();
    ASSERT_EQ(model.count(), 1);
    svdrives::Drive* d = model.drive(0);
    EXPECT_EQ(d->name(), "CD drive (" + dir.file("absent.cue") + ")");
    EXPECT_FALSE(d->unitReady());
    EXPECT_FALSE(d->readToc(nullptr));
    EXPECT_EQ(d->openReader(0, 0, {}), nullptr);
    d->lock(true);  // harmless without a device
    d->stopAudio();
}

}  // namespace
