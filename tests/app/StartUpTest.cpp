// What the window finds and says when it is first shown, and how it ends.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>

#include "CDRipTest.h"
#include "CDSession.h"
#include "HeldRip.h"
#include "PumpUntil.h"
#include "ScriptedWindowFixture.h"

using namespace CDRipIntf;

namespace {
class StartUpTest : public ScriptedWindowFixture {};
}  // namespace

TEST_F(StartUpTest, MissingLibrarySaysNotReadyAndExaminesNothing) {
    session.Initialize("/nonexistent/libcdrip3.so");
    Show();
    EXPECT_EQ(form->Status(), "Sonvale is not Ready.");
    EXPECT_EQ(form->DriveSelBox->count(), 0);
    EXPECT_EQ(form->TrackList->count(), 0);
}

TEST_F(StartUpTest, FailedInitialisationSaysNotReady) {
    lib.drives = {AudioDrive("A", {1000})};
    lib.initResult = 1;
    lib.Install(session);
    Show();
    EXPECT_EQ(form->Status(), "Sonvale is not Ready.");
    EXPECT_EQ(form->DriveSelBox->count(), 0);
}

TEST_F(StartUpTest, TwoDrivesWithoutDiscs) {
    lib.drives = {AudioDrive("First drive", {1000}), AudioDrive("Second drive", {1000})};
    lib.drives[0].ready = lib.drives[1].ready = false;
    lib.Install(session);
    Show();
    EXPECT_EQ(form->Status(), "Found 2 CD/DVD-ROM Drive(s), Disc is not Loaded in Active Drive.");
    ASSERT_EQ(form->DriveSelBox->count(), 2);
    EXPECT_EQ(form->DriveSelBox->itemText(0), "First drive");
    EXPECT_EQ(form->DriveSelBox->itemText(1), "Second drive");
    EXPECT_EQ(form->DriveSelBox->currentIndex(), 0);
    EXPECT_EQ(form->TrackList->count(), 0);
    EXPECT_FALSE(form->DiscInfoLoaded());
}

TEST_F(StartUpTest, AudioDiscIsListedWithTheFirstLineSelected) {
    lib.drives = {AudioDrive("A", {1000, 2000, 3000})};
    lib.Install(session);
    Show();
    EXPECT_EQ(form->Status(),
              "Found 1 CD/DVD-ROM Drive(s), An Audio Disc is Loaded in (1st) Drive.");
    ASSERT_EQ(form->TrackList->count(), 3);
    EXPECT_EQ(form->TrackList->currentRow(), 0);
    EXPECT_TRUE(form->TrackList->item(0)->isSelected());
    EXPECT_EQ(form->edtRecName->text(), "Track 1");
    EXPECT_TRUE(form->DiscInfoLoaded());
    // The widget that takes the keyboard when the window is activated, active or not.
    EXPECT_EQ(form->focusWidget(), form->TrackList);
}

TEST_F(StartUpTest, DiscTypesPickTheirMessage) {
    ScriptedDrive composite = AudioDrive("A", {1000, 2000});
    composite.tracks[1].data = true;
    lib.drives = {composite};
    lib.Install(session);
    Show();
    EXPECT_EQ(form->Status(),
              "Found 1 CD/DVD-ROM Drive(s), A Composite Disc is Loaded in (1st) Drive.");

    ScriptedDrive data = AudioDrive("A", {1000});
    data.tracks[0].data = true;
    lib.drives = {data};
    lib.Install(session);
    Show();
    EXPECT_EQ(form->Status(), "Found 1 CD/DVD-ROM Drive(s), A Data Disc is Loaded in (1st) Drive.");
}

TEST_F(StartUpTest, UnreadableTableListsNothingAndReportsTheTypeLeftBehind) {
    ScriptedDrive d = AudioDrive("A", {1000});
    d.readTocResult = 1;
    lib.drives = {d};
    lib.Install(session);
    Show();
    EXPECT_EQ(form->Status(), "Found 1 CD/DVD-ROM Drive(s), A Data Disc is Loaded in (1st) Drive.");
    EXPECT_EQ(form->TrackList->count(), 0);
    EXPECT_FALSE(form->DiscInfoLoaded());
}

TEST_F(StartUpTest, NoDrivesLeavesTheBoxEmpty) {
    lib.Install(session);
    Show();
    EXPECT_EQ(form->Status(), "Found 0 CD/DVD-ROM Drive(s), Disc is not Loaded in Active Drive.");
    EXPECT_EQ(form->DriveSelBox->count(), 0);
    EXPECT_EQ(lib.Count("SetActiveCDROM"), 0);
}

TEST_F(StartUpTest, ExitDuringARipCancelsItAndEndsTheProgram) {
    lib.drives = {AudioDrive("A", {1000})};
    lib.Install(session);
    Show();
    const THeldRip rip(*form, lib);
    ASSERT_TRUE(rip.Started());
    form->btnClose->click();
    // The window goes at once; the program waits for the batch to end its track (ripper
    // closed, tray freed) before it saves the settings and ends.
    EXPECT_FALSE(form->isVisible());
    EXPECT_NE(lib.calls.back(), "SaveSettings");
    ASSERT_TRUE(rip.Ended());
    ASSERT_TRUE(pumpUntil([&] { return lib.calls.back() == "SaveSettings"; }));
    EXPECT_FALSE(form->BatchRunning());
    EXPECT_EQ(lib.Count("CloseRipper"), 1);
    EXPECT_EQ(lib.Count("LockCD"), 1);
    EXPECT_EQ(lib.calls.back(), "SaveSettings");
    EXPECT_FALSE(form->isVisible());
}

TEST_F(StartUpTest, CaptionCloseDuringARipCancelsIt) {
    lib.drives = {AudioDrive("A", {1000})};
    lib.Install(session);
    Show();
    const THeldRip rip(*form, lib);
    ASSERT_TRUE(rip.Started());
    form->dxToolButton2->click();
    // As Exit does: the track is cancelled and the batch rips no further track.
    ASSERT_TRUE(rip.Ended());
    ASSERT_TRUE(pumpUntil([&] { return lib.calls.back() == "SaveSettings"; }));
    EXPECT_FALSE(form->BatchRunning());
    EXPECT_EQ(lib.Count("CloseRipper"), 1);
    EXPECT_EQ(lib.calls.back(), "SaveSettings");
    EXPECT_FALSE(form->isVisible());
}
