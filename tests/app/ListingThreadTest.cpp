// The listed disc's drive thread over the real library, without a window, so the thread
// checker sees every hand-over of its own: listings, an overtaken listing, the tray and the
// media notices the tray's thread sends.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <cstdlib>
#include <filesystem>

#include "CDRipIntf.h"
#include "CDSession.h"
#include "ListedDisc.h"
#include "PumpUntil.h"
#include "RecordingListedDiscView.h"
#include "RecordingServices.h"
#include "TempDir.h"
#include "devicemonitor.h"
#include "discfixture.h"
#include "testdisc.h"

namespace {

TEST(ListingThread, ListsOvertakesAndFollowsTheTray) {
    sonvaletest::TempDir home;
    setenv("XDG_CONFIG_HOME", home.path().c_str(), 1);
    const std::string one = home.file("one.cue"), two = home.file("two.cue");
    testdisc::writeImage(testdisc::audioDisc({300, 300, 300}), one);
    testdisc::writeImage(testdisc::audioDisc({200, 200}), two);
    disctest::useDrives({one, two});
    setenv("CDRIP3_FAULTS", "spinup=1500", 1);
    CDRipIntf::TCDSession session;
    session.Initialize(CDRipIntf::ExecutableDir() + "/libcdrip3.so");
    ASSERT_TRUE(session.Ready());
    RecordingServices services;
    RecordingListedDiscView view;
    {
        TListedDisc listed(session, services, view);
        svdevmon::DeviceMonitor monitor{svdevmon::DeviceMonitor::Options{false, QString()}};
        QObject::connect(&monitor, &svdevmon::DeviceMonitor::deviceChange, &listed,
                         [&](const svdevmon::DeviceNotice& notice) {
                             if (notice.code == svdevmon::kDeviceArrival) listed.Arrive();
                             if (notice.code == svdevmon::kDeviceRemoveComplete) listed.Remove();
                         });
        const auto settled = [&] {
            return pumpUntil([&] { return !listed.Listing() && listed.Idle(); });
        };
        // The disc spins up: asked once, it is not ready; an arrival's wait lists it.
        listed.Load();
        ASSERT_TRUE(settled());
        EXPECT_FALSE(listed.Loaded());
        listed.Arrive();
        ASSERT_TRUE(settled());
        EXPECT_EQ(listed.Disc().TrackCount, 3);
        EXPECT_EQ(view.Status(), "Media is Loaded.");

        // A closed tray waited for, overtaken by the tray opened again: nothing is listed.
        listed.OpenTray();
        ASSERT_TRUE(pumpUntil([&] { return view.Status() == "Media is Removed."; }));
        listed.CloseTray();
        ASSERT_TRUE(
            pumpUntil([&] { return view.Status() == "Media is Loaded." || listed.Idle(); }));
        listed.OpenTray();
        ASSERT_TRUE(settled());
        ASSERT_TRUE(pumpUntil([&] { return view.Status() == "Media is Removed."; }));
        EXPECT_FALSE(listed.Loaded());

        listed.CloseTray();
        ASSERT_TRUE(settled());
        EXPECT_EQ(listed.Disc().TrackCount, 3);
        listed.Relist(1);
        ASSERT_TRUE(settled());
        EXPECT_EQ(listed.Disc().TrackCount, 2);
    }
    session.Finalize();
    unsetenv("CDRIP3_FAULTS");
}

}  // namespace
