// The launcher threads: the batch runs on the context's thread while the launcher waits,
// and a rip command during a running batch starts none inside it.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>

#include "CDSession.h"
#include "FakeRipWindow.h"
#include "RipState.h"
#include "RipTestSupport.h"
#include "RipThreads.h"
#include "ScriptedCDRip.h"
#include "WaveBatch.h"

using namespace Rip;

namespace {

// Pumps the event loop, deferred deletions included, until done() or 10 s.
template <typename Done>
bool pumpUntil(Done done) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > 10000) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

template <typename TLauncher>
class LauncherTest : public ::testing::Test {};

using LauncherClasses = ::testing::Types<TWaveThread, TMP3Thread, TFooThread>;
TYPED_TEST_SUITE(LauncherTest, LauncherClasses);

}  // namespace

TYPED_TEST(LauncherTest, BatchRunsOnTheContextThreadWhileTheLauncherWaits) {
    QObject context;
    QThread* const uiThread = QThread::currentThread();
    bool ran = false, launcherWaiting = false;
    QThread* ranOn = nullptr;
    QThread::Priority priority = QThread::InheritPriority;
    QPointer<TypeParam> launcher;
    launcher = StartRipThread<TypeParam>(&context, [&] {
        ran = true;
        ranOn = QThread::currentThread();
        priority = launcher->priority();
        launcherWaiting = launcher->isRunning();
    });
    ASSERT_TRUE(pumpUntil([&] { return launcher.isNull(); }));
    EXPECT_TRUE(ran);
    EXPECT_EQ(ranOn, uiThread);
    EXPECT_TRUE(launcherWaiting);
    EXPECT_EQ(priority, QThread::HighestPriority);
    EXPECT_EQ(TRipLauncherThread::LiveLaunchers(), 0);
}

TEST(LauncherWait, WaitsOnlyForLaunchersWhoseBatchRan) {
    QObject context;
    bool ran = false;
    QPointer<TWaveThread> launcher = StartRipThread<TWaveThread>(&context, [&] { ran = true; });
    // Its batch cannot run while this thread is not pumping: waiting for it here would
    // never end.
    TRipLauncherThread::WaitForLaunchers();
    EXPECT_FALSE(ran);
    EXPECT_FALSE(launcher->HandedOver());

    ASSERT_TRUE(pumpUntil([&] { return ran; }));
    TRipLauncherThread::WaitForLaunchers();
    // Freed already by the pump, or at least done.
    EXPECT_TRUE(launcher.isNull() || launcher->isFinished());
    ASSERT_TRUE(pumpUntil([] { return TRipLauncherThread::LiveLaunchers() == 0; }));
}

TEST(LauncherWait, RipCommandDuringARunningBatch) {
    riptest::TempDir dir;
    ScriptedCDRip lib;
    CDRipIntf::TCDSession session;
    lib.drives = {AudioDrive("A", {100, 200})};
    lib.Install(session);
    ASSERT_EQ(session.ReadDiscInfo(session.Disc()), 0);
    lib.ripper.chunks = {{0, 2352, 50}, {0, 2352, 100}};
    FakeRipWindow window;
    window.directory = QString::fromStdString(dir.path().string());
    window.multipleTracks = true;
    window.SetLines(2, {0, 1});
    TWaveRipper ripper(window, session);
    QObject context;

    // The window's pump handles a click on "Rip To Wave" before a track (while the drive
    // parameters are set, so no track is being ripped): its launcher hands a second batch
    // over, which runs inside this one and must refuse.
    bool secondReturned = false;
    window.onProcessEvents = [&](int call) {
        if (call == 1) {
            StartRipThread<TWaveThread>(&context, [&] {
                RipTracksToWave(window, ripper);
                secondReturned = true;
            });
            EXPECT_TRUE(pumpUntil([&] { return secondReturned; }));
        }
    };
    bool firstReturned = false;
    StartRipThread<TWaveThread>(&context, [&] {
        RipTracksToWave(window, ripper);
        firstReturned = true;
    });
    ASSERT_TRUE(
        pumpUntil([&] { return firstReturned && TRipLauncherThread::LiveLaunchers() == 0; }));
    EXPECT_TRUE(secondReturned);
    EXPECT_EQ(lib.Count("StopPlayTrack"), 1);
    EXPECT_EQ(lib.Count("OpenRipper"), 2);
    EXPECT_EQ(window.status, "Ripping Completed.");
    EXPECT_TRUE(window.SelectedLines().empty());
    EXPECT_FALSE(BatchRunning);
    session.Finalize();
}
