// Media notices and playback over the real libraries: image-drive trays moved through the
// library reach the window through the device monitor, and Play delivers the disc's audio.
// A second image drive stands by, its tray moved through the drive model.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <filesystem>

#include "CDRipTest.h"
#include "CDSession.h"
#include "DirectoryEdit.h"
#include "DiscIds.h"
#include "MusicBrainzAnswers.h"
#include "PumpUntil.h"
#include "RealWindowFixture.h"
#include "TinyHttpServer.h"
#include "captureoutput.h"
#include "devicemonitor.h"
#include "discfixture.h"
#include "testdisc.h"

using namespace CDRipIntf;

namespace {
class MediaE2ETest : public RealWindowFixture<> {
protected:
    void SetUp() override {
        RealWindowFixture::SetUp();
        plan_ = testdisc::audioDisc({300, 450, 600, 150});
        cue_ = home_.file("disc.cue");
        testdisc::writeImage(plan_, cue_);
        const std::string other = home_.file("other.cue");
        testdisc::writeImage(testdisc::audioDisc({200, 200}), other);
        LoadLibrary({cue_, other});
        if (HasFatalFailure()) return;
        // A batch asks the database about its disc: the test's server, which knows none.
        qputenv("SONVALE_ACCURATERIP_URL", database.Base().toUtf8());
        qputenv("SONVALE_MUSICBRAINZ_URL", database.Base().toUtf8());
        Make();
        QObject::connect(&monitor, &svdevmon::DeviceMonitor::deviceChange, form.get(),
                         &TCDRipTestForm::WMDeviceChange);
        Show();
    }
    void TearDown() override {
        form.reset();
        mciSetAudioOutputForTests(nullptr);
        session.Finalize();
        unsetenv("CDRIP3_FAULTS");
    }
    // The drive thread comes back, and the notices it caused (which the monitor hands over
    // on a queue of its own) reach the window.
    void Settle() {
        RealWindowFixture::Settle();
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
        RealWindowFixture::Settle();
    }
    // The tray goes out and comes back in with the drive as slow as faults makes it.
    void ReinsertSlowly(const char* faults) {
        form->btnOpenCD->click();
        Settle();
        setenv("CDRIP3_FAULTS", faults, 1);
        form->btnCloseCD1->click();
    }
    // Handles events for ms, as the user waits.
    static void Wait(int ms) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }

    testdisc::DiscPlan plan_;
    std::string cue_;
    TinyHttpServer database;
    svdevmon::DeviceMonitor monitor{svdevmon::DeviceMonitor::Options{false, QString()}};
};
}  // namespace

TEST_F(MediaE2ETest, OpeningAndClosingTheImageTrayEmptiesAndRelistsTheDisc) {
    ASSERT_EQ(form->TrackList->count(), 4);
    form->btnOpenCD->click();
    Settle();
    EXPECT_EQ(form->Status(), "Media is Removed.");
    EXPECT_EQ(form->TrackList->count(), 0);
    EXPECT_FALSE(form->DiscInfoLoaded());

    form->XiButton1Click();
    Settle();
    EXPECT_EQ(form->Status(), "Disc is not Loaded in Active Drive.");

    form->btnCloseCD1->click();
    Settle();
    EXPECT_EQ(form->Status(), "Media is Loaded.");
    EXPECT_EQ(form->TrackList->count(), 4);
    EXPECT_TRUE(form->DiscInfoLoaded());
}

// A disc spinning up is waited for, under a busy cursor, and listed once it has spun up; a
// newer command (another drive, the tray opened) drops the listing it overtakes.
TEST_F(MediaE2ETest, ADiscSpinningUpIsListedUnlessOvertaken) {
    QElapsedTimer clock;
    ReinsertSlowly("spinup=5000");
    clock.start();
    Wait(300);
    EXPECT_TRUE(form->Listing());
    EXPECT_EQ(form->cursor().shape(), Qt::WaitCursor);
    EXPECT_EQ(form->TrackList->count(), 0);
    ASSERT_TRUE(pumpUntil([&] { return form->TrackList->count() == 4; }, 15000));
    EXPECT_GE(clock.elapsed(), 4500);
    EXPECT_EQ(form->Status(), "Media is Loaded.");
    EXPECT_FALSE(form->Listing());
    EXPECT_NE(form->cursor().shape(), Qt::WaitCursor);

    ReinsertSlowly("spinup=1000");
    Wait(200);
    ASSERT_TRUE(form->Listing());
    form->DriveSelBoxChange(1);
    Settle();
    Wait(1500);
    EXPECT_EQ(form->TrackList->count(), 2);  // the other drive's disc, and only it
    EXPECT_NE(form->Status(), "Media is Loaded.");

    form->DriveSelBoxChange(0);
    Settle();
    ReinsertSlowly("spinup=1000");
    Wait(200);
    ASSERT_TRUE(form->Listing());
    form->btnOpenCD->click();
    Settle();
    Wait(1500);
    EXPECT_EQ(form->TrackList->count(), 0);
    EXPECT_EQ(form->Status(), "Media is Removed.");
    EXPECT_FALSE(form->Listing());
}

// Exit while the drive thread is inside the library (a tray on its way): the window goes at
// once, and the program is told to end only once the library has let the thread go.
TEST_F(MediaE2ETest, ExitDuringASlowTrayWaitsForTheDriveThread) {
    ReinsertSlowly("tray=1500");
    Wait(100);
    QElapsedTimer clock;
    clock.start();
    form->btnClose->click();
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->Closed());
    ASSERT_TRUE(pumpUntil([&] { return form->Closed(); }));
    EXPECT_GE(clock.elapsed(), 1000);
    EXPECT_TRUE(form->Status().startsWith("Saved CD/DVD-ROM Settings!"));
}

// Exit while a listing waits for a disc to spin up: the listing is dropped, and the program
// does not wait for the disc (nor lists it into a closed window).
TEST_F(MediaE2ETest, ExitDuringASpinUpDropsTheListing) {
    ReinsertSlowly("spinup=5000");
    Wait(300);
    ASSERT_TRUE(form->Listing());
    QElapsedTimer clock;
    clock.start();
    form->btnClose->click();
    EXPECT_FALSE(form->isVisible());
    ASSERT_TRUE(pumpUntil([&] { return form->Closed(); }));
    EXPECT_LT(clock.elapsed(), 4000);
    EXPECT_FALSE(form->Listing());
    EXPECT_EQ(form->TrackList->count(), 0);
}

// A disc taken out takes its own names and answers with it, not those of the disc that stays
// in the other drive.
TEST_F(MediaE2ETest, ADiscTakenOutForgetsItsNamesOnly) {
    const QString disc = QString::fromStdString(DiscIdsOf(session.Disc()).MusicBrainz);
    using namespace mbanswers;
    database.answers[Rip::TMusicBrainzLookup::UrlFor(database.Base(), disc.toStdString()).path()] =
        {200, answer(disc, {release("r1", "Found Album", credit({{"Band", ""}}), "1999", "GB",
                                    {medium(1, disc, {track(1, "First", 4000)})})})};
    form->LookUpDisc1->trigger();
    ASSERT_TRUE(pumpUntil([&] { return form->Status().startsWith("Disc Found Online"); }));
    ASSERT_EQ(form->edtAlbumName->text(), "Found Album");

    form->DriveSelBoxChange(1);
    Settle();
    EXPECT_EQ(form->edtAlbumName->text(), "Album Title");
    form->btnOpenCD->click();
    Settle();
    EXPECT_EQ(form->Status(), "Media is Removed.");
    form->DriveSelBoxChange(0);
    Settle();
    EXPECT_EQ(form->edtAlbumName->text(), "Found Album");
    EXPECT_EQ(form->edtRecName->text(), "First");
    EXPECT_EQ(database.asked.count(
                  Rip::TMusicBrainzLookup::UrlFor(database.Base(), disc.toStdString()).path()),
              1);
}

// The tray of a drive that is not the active one: the batch on the active drive goes on to
// its end, and the listing stays as it was.
TEST_F(MediaE2ETest, AnotherDrivesTrayLeavesTheBatchAndTheListingAlone) {
    setenv("CDRIP3_FAULTS", "slow=600", 1);  // still reading when the tray opens
    const std::string out = home_.file("out");
    std::filesystem::create_directories(out);
    form->DirectoryEdit1->setText(QString::fromStdString(out));
    const QString name = form->edtRecName->text();
    form->btnRip->click();
    ASSERT_TRUE(pumpUntil([&] { return form->Progress() > 0; }));
    svdrives::DriveModel::instance().drive(1)->eject(true);
    Settle();
    EXPECT_TRUE(form->BatchRunning());
    EXPECT_NE(form->Status(), "Media is Removed.");
    EXPECT_EQ(form->TrackList->count(), 4);
    ASSERT_TRUE(pumpUntil(
        [&] { return form->Status() == "Ripping Completed." && !form->BatchRunning(); }, 20000))
        << form->Status().toStdString();
    EXPECT_EQ(form->TrackList->count(), 4);
    EXPECT_EQ(form->edtRecName->text(), name);
    // The track's whole audio behind the header.
    std::vector<uintmax_t> sizes;
    for (const auto& file : std::filesystem::directory_iterator(out))
        if (file.path().extension() == ".wav") sizes.push_back(file.file_size());
    EXPECT_EQ(sizes, std::vector<uintmax_t>{44 + 300 * 2352});
}

TEST_F(MediaE2ETest, PlayDeliversTheDiscFromTheTracksFirstSector) {
    auto capture = std::make_shared<CaptureFactory>();
    mciSetAudioOutputForTests(capture);
    form->TrackList->setCurrentRow(2);
    form->TrackList->item(2)->setSelected(true);
    form->btnPlay->click();
    ASSERT_TRUE(services.shown.isEmpty()) << services.shown.join("; ").toStdString();
    EXPECT_TRUE(form->btnStop->isEnabled());

    const testdisc::ExpectedDisc toc = testdisc::expectedToc(plan_);
    const uint32_t first = toc.tracks[2].startSector;
    const std::vector<uint8_t> want = testdisc::rangeBytes(plan_, first, toc.leadOut - 1);
    ASSERT_TRUE(capture->waitForBytes(0, want.size(), std::chrono::seconds(20)));
    const auto heard = capture->output(0).bytes;
    ASSERT_EQ(heard.size(), want.size());
    EXPECT_TRUE(heard == want);

    // Played out, the window goes back to Idle by itself, as Stop would have left it.
    QElapsedTimer timer;
    timer.start();
    while (form->btnStop->isEnabled() && timer.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_FALSE(form->btnStop->isEnabled());
    EXPECT_TRUE(form->btnRip->isEnabled());
    EXPECT_FALSE(form->MediaPlayer1.IsOpen());
}

TEST_F(MediaE2ETest, StopEndsPlaybackMidway) {
    auto capture = std::make_shared<CaptureFactory>();
    capture->setBudget(2352 * 10);  // the output takes ten sectors, then waits
    mciSetAudioOutputForTests(capture);
    form->TrackList->setCurrentRow(0);
    form->TrackList->item(0)->setSelected(true);
    form->btnPlay->click();
    ASSERT_TRUE(capture->waitForBytes(0, 2352 * 10, std::chrono::seconds(20)));
    form->btnStop->click();
    capture->setBudget(-1);
    const auto heard = capture->output(0).bytes;
    EXPECT_EQ(heard.size(), 2352u * 10);
    EXPECT_TRUE(heard == testdisc::rangeBytes(plan_, 0, 9));
}

TEST_F(MediaE2ETest, WithoutASoundDeviceThePlayerReportsAndTheWindowStaysIdle) {
    auto capture = std::make_shared<CaptureFactory>();
    capture->hasDevice = false;
    mciSetAudioOutputForTests(capture);
    form->btnPlay->click();
    ASSERT_EQ(services.shown.size(), 1);
    EXPECT_EQ(services.shown[0], "application: No sound output device is available for playback.");
    EXPECT_FALSE(form->btnStop->isEnabled());
    EXPECT_TRUE(form->btnRip->isEnabled());
}
