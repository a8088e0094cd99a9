// The process-wide list: order and names of drives, the configured images, the tray of
// image drives and the media notices it sends, and reads racing the tray.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "discfixture.h"

namespace {

using svdrives::DriveModel;
using svdrives::ReadResult;

class DriveModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        plan_ = testdisc::audioDisc({120, 80});
        testdisc::writeImage(plan_, dir_.file("a/demo.cue"));
        testdisc::writeImage(plan_, dir_.file("b/demo.cue"));
        testdisc::writeImage(plan_, dir_.file("other.cue"));
    }
    void TearDown() override {
        for (int id : listeners_) DriveModel::instance().removeMediaListener(id);
    }
    int listen(DriveModel::MediaListener l) {
        const int id = DriveModel::instance().addMediaListener(std::move(l));
        listeners_.push_back(id);
        return id;
    }

    disctest::TempDir dir_;
    testdisc::DiscPlan plan_;
    std::vector<int> listeners_;
};

TEST_F(DriveModelTest, EnvironmentImagesComeFirstThenConfiguredOnesWithUniqueNames) {
    disctest::useDrives({dir_.file("a/demo.cue"), dir_.file("b/demo.cue")});
    auto& model = DriveModel::instance();
    model.setConfiguredImages({dir_.file("other.cue"), dir_.file("a/demo.cue")});
    ASSERT_EQ(model.count(), 3);  // the sheet named twice is one drive
    EXPECT_EQ(model.drive(0)->name(), "Image: demo.cue");
    EXPECT_EQ(model.drive(1)->name(), "Image: demo.cue #2");
    EXPECT_EQ(model.drive(2)->name(), "Image: other.cue");
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(model.drive(i)->isImage());
    EXPECT_EQ(model.drive(-1), nullptr);
    EXPECT_EQ(model.drive(3), nullptr);
}

TEST_F(DriveModelTest, ImagesConfiguredLaterAreAppendedWithoutMovingOthers) {
    disctest::useDrives({dir_.file("a/demo.cue")});
    auto& model = DriveModel::instance();
    svdrives::Drive* first = model.drive(0);
    const uint64_t before = model.generation();
    model.setConfiguredImages({dir_.file("other.cue")});
    ASSERT_EQ(model.count(), 2);
    EXPECT_EQ(model.drive(0), first);
    EXPECT_EQ(model.drive(1)->name(), "Image: other.cue");
    EXPECT_NE(model.generation(), before);
    // Nothing new: the generation stays, so clients need not look again.
    const uint64_t after = model.generation();
    model.setConfiguredImages({dir_.file("other.cue")});
    EXPECT_EQ(model.generation(), after);
}

TEST_F(DriveModelTest, ResetBuildsTheListAgainFromTheEnvironment) {
    disctest::useDrives({dir_.file("a/demo.cue")});
    auto& model = DriveModel::instance();
    model.setConfiguredImages({dir_.file("other.cue")});
    ASSERT_EQ(model.count(), 2);
    disctest::useDrives({dir_.file("other.cue")});
    ASSERT_EQ(model.count(), 1);
    EXPECT_EQ(model.drive(0)->name(), "Image: other.cue");
    disctest::useDrives({});
    EXPECT_EQ(model.count(), 0);
}

TEST_F(DriveModelTest, TrayTakesTheDiscOutAndPutsItBackWithNotices) {
    disctest::useDrives({dir_.file("a/demo.cue"), dir_.file("other.cue")});
    auto& model = DriveModel::instance();
    std::vector<std::pair<int, bool>> notices;
    listen([&](int index, bool arrived) {
        // Listeners may ask the model while being told.
        EXPECT_EQ(model.drive(index)->unitReady(), arrived);
        notices.emplace_back(index, arrived);
    });
    svdrives::Drive* d = model.drive(1);
    auto reader = d->openReader(0, 199, {});
    ASSERT_NE(reader, nullptr);

    d->eject(true);
    d->eject(true);  // already open: no second notice
    EXPECT_FALSE(d->unitReady());
    EXPECT_FALSE(d->readToc(nullptr));
    EXPECT_EQ(d->openReader(0, 10, {}), nullptr);
    std::vector<uint8_t> buf(size_t(10) * svdrives::kSectorBytes);
    int n = -1;
    EXPECT_EQ(reader->read(buf.data(), 10, &n), ReadResult::NotReady);
    EXPECT_EQ(n, 0);
    EXPECT_TRUE(model.drive(0)->unitReady());  // the other drive is untouched

    d->eject(false);
    EXPECT_TRUE(d->unitReady());
    // The reader belonged to the disc that went out; a new one reads the disc back in.
    EXPECT_EQ(reader->read(buf.data(), 10, &n), ReadResult::NotReady);
    auto again = d->openReader(0, 9, {});
    ASSERT_NE(again, nullptr);
    ASSERT_EQ(again->read(buf.data(), 10, &n), ReadResult::Ok);
    EXPECT_EQ(buf, testdisc::rangeBytes(plan_, 0, 9));

    const std::vector<std::pair<int, bool>> want = {{1, false}, {1, true}};
    EXPECT_EQ(notices, want);
}

TEST_F(DriveModelTest, ClosingTheTrayReadsAChangedSheetAfresh) {
    const std::string cue = dir_.file("swap.cue");
    testdisc::writeImage(plan_, cue);
    disctest::useDrives({cue});
    svdrives::Drive* d = DriveModel::instance().drive(0);
    svdrives::Toc toc;
    ASSERT_TRUE(d->readToc(&toc));
    EXPECT_EQ(toc.tracks.size(), 2u);
    d->eject(true);
    testdisc::writeImage(testdisc::audioDisc({50, 50, 50}), cue);  // another disc
    d->eject(false);
    ASSERT_TRUE(d->readToc(&toc));
    EXPECT_EQ(toc.tracks.size(), 3u);
    EXPECT_EQ(toc.leadOut, 150u);
}

TEST_F(DriveModelTest, RemovedListenerHearsNothing) {
    disctest::useDrives({dir_.file("other.cue")});
    int heard = 0;
    const int id = DriveModel::instance().addMediaListener([&](int, bool) { ++heard; });
    svdrives::Drive* d = DriveModel::instance().drive(0);
    d->eject(true);
    DriveModel::instance().removeMediaListener(id);
    d->eject(false);
    EXPECT_EQ(heard, 1);
    EXPECT_EQ(DriveModel::instance().addMediaListener(nullptr), 0);
}

TEST_F(DriveModelTest, ReaderOutlivesAModelReset) {
    disctest::useDrives({dir_.file("other.cue")});
    auto reader = DriveModel::instance().drive(0)->openReader(100, 119, {});
    ASSERT_NE(reader, nullptr);
    disctest::useDrives({});
    std::vector<uint8_t> buf(size_t(20) * svdrives::kSectorBytes);
    int n = 0;
    ASSERT_EQ(reader->read(buf.data(), 20, &n), ReadResult::Ok);
    EXPECT_EQ(n, 20);
    EXPECT_EQ(buf, testdisc::rangeBytes(plan_, 100, 119));
}

TEST_F(DriveModelTest, ReadsOnAWorkerRaceTheTrayWithoutHarm) {
    // Playback reads on a worker thread while the UI thread queries and moves the tray:
    // every read either delivers the right bytes or reports the disc gone.
    disctest::useDrives({dir_.file("other.cue")});
    svdrives::Drive* d = DriveModel::instance().drive(0);
    const auto want = testdisc::rangeBytes(plan_, 0, 199);
    std::atomic<bool> stop{false};
    std::atomic<int> good{0}, gone{0}, wrong{0};
    std::thread worker([&] {
        std::vector<uint8_t> buf(size_t(200) * svdrives::kSectorBytes);
        while (!stop) {
            auto r = d->openReader(0, 199, {});
            if (!r) continue;
            int n = 0;
            const ReadResult res = r->read(buf.data(), 200, &n);
            if (res == ReadResult::NotReady) {
                ++gone;
            } else if (res == ReadResult::Ok && n == 200 && buf == want) {
                ++good;
            } else {
                ++wrong;
            }
        }
    });
    for (int i = 0; i < 200; ++i) {
        d->eject(i % 2 == 0);
        d->unitReady();
        d->readToc(nullptr);
    }
    d->eject(false);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (good == 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    stop = true;
    worker.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(good, 0);
}

}  // namespace
