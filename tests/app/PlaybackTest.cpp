// Play and Stop through the window's player, over a scripted MCI layer.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>
#include <thread>

#include "CDRipTest.h"
#include "CDSession.h"
#include "HeldRip.h"
#include "ScriptedMci.h"
#include "ScriptedWindowFixture.h"
#include "mci.h"

using namespace CDRipIntf;

namespace {
class PlaybackTest : public ScriptedWindowFixture {
protected:
    void SetUp() override {
        Install({AudioDrive("A", {1000, 1000, 1000, 1000}), AudioDrive("B", {500, 500, 500})});
        mci.deviceCount = 2;
        mci.Install(session);
        Show();
        mci.commands.clear();
    }
    std::vector<uint32_t> Messages() const {
        std::vector<uint32_t> m;
        for (const MciCommand& c : mci.commands) m.push_back(c.message);
        return m;
    }
    QList<QWidget*> EightButtons() const {
        return {form->btnSave, form->btnOpenCD,      form->btnCloseCD1, form->btnRip,
                form->btnOgg,  form->btnCancelCDRip, form->btnClose,    form->btnMp3};
    }

    ScriptedMci mci;
};
}  // namespace

TEST_F(PlaybackTest, PlayOpensTheChosenDriveAndStartsAtTheTrack) {
    form->DriveSelBox->setCurrentIndex(1);
    form->DriveSelBoxChange(1);
    Settle();
    mci.commands.clear();
    SelectLine(2);
    form->btnPlay->click();

    ASSERT_EQ(Messages(),
              (std::vector<uint32_t>{MCI_OPEN, MCI_SET, MCI_STATUS, MCI_SEEK, MCI_PLAY}));
    const MciCommand& open = mci.commands[0];
    EXPECT_EQ(open.openType, (1u << 16) + MCI_DEVTYPE_CD_AUDIO);  // the second drive
    EXPECT_TRUE(open.flags & MCI_OPEN_FOR_PLAYBACK);
    EXPECT_EQ(mci.commands[2].item, static_cast<uint32_t>(MCI_STATUS_POSITION));
    EXPECT_EQ(mci.commands[2].track, 3u);
    EXPECT_TRUE(mci.commands[4].flags & MCI_NOTIFY);

    for (QWidget* b : EightButtons()) EXPECT_FALSE(b->isEnabled()) << b->toolTip().toStdString();
    EXPECT_TRUE(form->btnStop->isEnabled());
    for (QWidget* w :
         {static_cast<QWidget*>(form->btnPlay), static_cast<QWidget*>(form->XiButton1),
          static_cast<QWidget*>(form->btnNewDir), static_cast<QWidget*>(form->dxToolButton1),
          static_cast<QWidget*>(form->dxToolButton2)})
        EXPECT_TRUE(w->isEnabled());
}

TEST_F(PlaybackTest, StopStopsClosesAndRestoresTheButtons) {
    SelectLine(0);
    form->btnPlay->click();
    mci.commands.clear();
    form->btnStop->click();
    EXPECT_EQ(Messages(), (std::vector<uint32_t>{MCI_STOP, MCI_CLOSE}));
    for (QWidget* b : EightButtons()) EXPECT_TRUE(b->isEnabled());
    EXPECT_FALSE(form->btnStop->isEnabled());
}

TEST_F(PlaybackTest, TheEndOfAPlaybackReturnsTheWindowToIdle) {
    // Notices come on the playback's own thread, as the MCI layer sends them.
    auto notify = [&](uint32_t code, uint32_t device) {
        std::thread([&] { form->MediaPlayer1.Notify(code, device); }).join();
        QCoreApplication::processEvents();
    };
    for (const uint32_t end : {MCI_NOTIFY_SUCCESSFUL, MCI_NOTIFY_FAILURE}) {
        SelectLine(0);
        form->btnPlay->click();
        const uint32_t device = form->MediaPlayer1.DeviceID();
        // Ends the window caused itself, and those of a device played before, change nothing.
        notify(MCI_NOTIFY_ABORTED, device);
        notify(MCI_NOTIFY_SUPERSEDED, device);
        notify(end, device - 1);
        EXPECT_TRUE(form->btnStop->isEnabled());
        mci.commands.clear();
        notify(end, device);
        EXPECT_EQ(Messages(), (std::vector<uint32_t>{MCI_STOP, MCI_CLOSE}));
        for (QWidget* b : EightButtons()) EXPECT_TRUE(b->isEnabled());
        EXPECT_FALSE(form->btnStop->isEnabled());
    }
}

TEST_F(PlaybackTest, PlayingAgainEndsThePreviousPlayback) {
    SelectLine(0);
    form->btnPlay->click();
    SelectLine(3);
    mci.commands.clear();
    form->btnPlay->click();
    ASSERT_GE(mci.commands.size(), 2u);
    EXPECT_EQ(mci.commands[0].message, static_cast<uint32_t>(MCI_CLOSE));
    EXPECT_EQ(mci.commands[1].message, static_cast<uint32_t>(MCI_OPEN));
    EXPECT_EQ(mci.commands[3].track, 4u);
}

TEST_F(PlaybackTest, PlayWantsASelectedCurrentLine) {
    form->TrackList->clearSelection();
    form->TrackList->setCurrentRow(-1);
    form->btnPlayTrackClick();
    EXPECT_EQ(services.shown.last(), "information: Please select track to Play.");

    // In multiple selection, other selected lines do not count: the current one must be.
    form->chkMulSel->click();
    SelectLine(1);
    SelectLine(2);
    form->TrackList->item(2)->setSelected(false);
    services.shown.clear();
    form->btnPlayTrackClick();
    EXPECT_EQ(services.shown, QStringList({"information: Please select track to Play."}));
    EXPECT_EQ(mci.Count(MCI_OPEN), 0);
    EXPECT_FALSE(form->btnStop->isEnabled());
}

TEST_F(PlaybackTest, AnUnopenableDeviceIsReportedAndTheWindowStaysIdle) {
    mci.failMessage = MCI_OPEN;
    SelectLine(0);
    form->btnPlay->click();
    ASSERT_EQ(services.shown.size(), 1);
    EXPECT_TRUE(services.shown[0].startsWith("application: ")) << services.shown[0].toStdString();
    EXPECT_GT(services.shown[0].size(), QString("application: ").size());
    EXPECT_FALSE(form->btnStop->isEnabled());
    EXPECT_TRUE(form->btnRip->isEnabled());
    EXPECT_EQ(mci.Count(MCI_PLAY), 0);
}

TEST_F(PlaybackTest, NoPlayDuringARipOrWithoutAudio) {
    SelectLine(0);
    {
        const THeldRip rip(*form, lib);
        ASSERT_TRUE(rip.Started());
        form->btnPlay->click();
        EXPECT_EQ(services.shown.last(), "box:OK: Ripping in Progress.");
    }
    lib.Active().ready = false;
    form->btnPlay->click();
    EXPECT_EQ(form->Status(), "Error : No Disc in Drive.");
    EXPECT_EQ(mci.Count(MCI_OPEN), 0);
}

TEST_F(PlaybackTest, ClosingTheWindowClosesThePlayer) {
    SelectLine(0);
    form->btnPlay->click();
    mci.commands.clear();
    form->close();
    EXPECT_EQ(mci.Count(MCI_CLOSE), 1);
}
