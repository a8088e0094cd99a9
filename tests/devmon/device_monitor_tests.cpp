// The monitor on image drives: their trays moved through the drive model, from this
// thread and from others.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QThread>
#include <filesystem>
#include <string>
#include <thread>

#include "devicemonitor.h"
#include "drivemodel.h"
#include "testdisc.h"
#include "udevevents.h"

namespace fs = std::filesystem;
using svdevmon::DeviceMonitor;

namespace {

fs::path gDir;
int gFirstImage = 0;  // index of the first image drive (real drives come first)

class Env : public ::testing::Environment {
public:
    void SetUp() override {
        gDir = fs::temp_directory_path() / ("devmon-tests-" + std::to_string(::getpid()));
        fs::remove_all(gDir);
        fs::create_directories(gDir);
        std::string list;
        for (int i = 0; i < 2; ++i) {
            const std::string cue = (gDir / ("disc" + std::to_string(i) + ".cue")).string();
            testdisc::writeImage(testdisc::audioDisc({30, 40}), cue);
            list += (i ? ":" : "") + cue;
        }
        ::unsetenv("CDRIP3_DEVICES");
        ::setenv("CDRIP3_IMAGES", "", 1);
        auto& model = svdrives::DriveModel::instance();
        model.resetForTests();
        gFirstImage = model.count();
        ::setenv("CDRIP3_IMAGES", list.c_str(), 1);
        model.resetForTests();
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(gDir, ec);
    }
};

const auto* gEnv = ::testing::AddGlobalTestEnvironment(new Env);

svdrives::Drive* image(int i) {
    return svdrives::DriveModel::instance().drive(gFirstImage + i);
}

DeviceMonitor::Options withoutUdev() {
    DeviceMonitor::Options o;
    o.udevRunDir = QString::fromStdString((gDir / "no-udev-here").string());
    return o;
}

// Lets queued deliveries arrive, then a little longer so a second one would too.
void settle() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
}

unsigned code(const QSignalSpy& spy, int i) {
    return spy.at(i).at(0).value<svdevmon::DeviceNotice>().code;
}
// The drive model's index the notice names.
int drive(const QSignalSpy& spy, int i) {
    return spy.at(i).at(0).value<svdevmon::DeviceNotice>().driveIndex;
}

class Monitor : public ::testing::Test {
protected:
    void TearDown() override {
        for (int i = 0; i < 2; ++i) image(i)->eject(false);
        settle();
    }
};

}  // namespace

TEST_F(Monitor, TrayOpenThenCloseGivesRemovalThenArrival) {
    DeviceMonitor monitor(withoutUdev());
    QSignalSpy spy(&monitor, &DeviceMonitor::deviceChange);
    image(0)->eject(true);
    // Passed on through the event loop, never from inside the tray's movement.
    EXPECT_EQ(spy.count(), 0);
    ASSERT_TRUE(spy.wait(2000));
    image(0)->eject(false);
    ASSERT_TRUE(spy.count() == 2 || spy.wait(2000));
    settle();
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(code(spy, 0), svdevmon::kDeviceRemoveComplete);
    EXPECT_EQ(code(spy, 1), svdevmon::kDeviceArrival);
    EXPECT_EQ(svdevmon::kDeviceRemoveComplete, 0x8004u);
    EXPECT_EQ(svdevmon::kDeviceArrival, 0x8000u);
}

TEST_F(Monitor, EachMovementIsToldOnce) {
    DeviceMonitor monitor(withoutUdev());
    QSignalSpy spy(&monitor, &DeviceMonitor::deviceChange);
    image(0)->eject(true);
    image(0)->eject(true);  // already open: the tray does not move
    image(1)->eject(true);
    image(1)->eject(false);
    settle();
    ASSERT_EQ(spy.count(), 3);
    EXPECT_EQ(code(spy, 0), svdevmon::kDeviceRemoveComplete);
    EXPECT_EQ(code(spy, 1), svdevmon::kDeviceRemoveComplete);
    EXPECT_EQ(code(spy, 2), svdevmon::kDeviceArrival);
    // Each names its drive.
    EXPECT_EQ(drive(spy, 0), gFirstImage);
    EXPECT_EQ(drive(spy, 1), gFirstImage + 1);
    EXPECT_EQ(drive(spy, 2), gFirstImage + 1);
}

TEST_F(Monitor, TraysMovedOnOtherThreadsArriveOnTheMonitorsThread) {
    DeviceMonitor monitor(withoutUdev());
    QSignalSpy spy(&monitor, &DeviceMonitor::deviceChange);
    std::vector<QThread*> emitters;
    QObject::connect(
        &monitor, &DeviceMonitor::deviceChange, &monitor,
        [&emitters](const svdevmon::DeviceNotice&) {
            emitters.push_back(QThread::currentThread());
        },
        Qt::DirectConnection);
    std::thread worker([] {
        for (int i = 0; i < 3; ++i) {
            image(0)->eject(true);
            image(0)->eject(false);
        }
    });
    worker.join();
    for (int i = 0; i < 100 && spy.count() < 6; ++i) spy.wait(50);
    settle();
    ASSERT_EQ(spy.count(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(code(spy, i), i % 2 ? svdevmon::kDeviceArrival : svdevmon::kDeviceRemoveComplete);
    }
    for (QThread* t : emitters) EXPECT_EQ(t, monitor.thread());
}

TEST_F(Monitor, NothingArrivesAfterTheMonitorIsGone) {
    auto monitor = std::make_unique<DeviceMonitor>(withoutUdev());
    int heard = 0;
    QObject::connect(monitor.get(), &DeviceMonitor::deviceChange,
                     [&heard](const svdevmon::DeviceNotice&) { ++heard; });
    image(1)->eject(true);  // queued, not yet delivered
    monitor.reset();
    image(1)->eject(false);
    settle();
    EXPECT_EQ(heard, 0);
    // A new monitor hears from then on.
    DeviceMonitor again(withoutUdev());
    QSignalSpy spy(&again, &DeviceMonitor::deviceChange);
    image(1)->eject(true);
    ASSERT_TRUE(spy.wait(2000));
    EXPECT_EQ(code(spy, 0), svdevmon::kDeviceRemoveComplete);
}

TEST_F(Monitor, WithoutUdevRealDrivesAreNotWatched) {
    DeviceMonitor noUdev(withoutUdev());
    EXPECT_FALSE(noUdev.watchingRealDrives());
    DeviceMonitor::Options off;
    off.watchUdev = false;
    DeviceMonitor disabled(off);
    EXPECT_FALSE(disabled.watchingRealDrives());
    // As the program makes it: udev where the machine has it, silently nothing where not.
    DeviceMonitor standard;
    if (!fs::exists("/run/udev")) {
        EXPECT_FALSE(standard.watchingRealDrives());
    }
    QSignalSpy spy(&standard, &DeviceMonitor::deviceChange);
    image(0)->eject(true);
    ASSERT_TRUE(spy.wait(2000));
    EXPECT_EQ(code(spy, 0), svdevmon::kDeviceRemoveComplete);
}
