// The track list and the commands that read it.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "CDRipTest.h"
#include "CDSession.h"
#include "HeldRip.h"
#include "ScriptedWindowFixture.h"
#include "TempDir.h"
#include "TinyHttpServer.h"

using namespace CDRipIntf;
using svdevmon::DeviceNotice;

namespace {
constexpr uint32_t msf(uint32_t m, uint32_t s) {
    return (m << 16) + (s << 8);
}

// Notices of a drive by its index, as the device monitor gives them for image drives.
DeviceNotice Arrived(int drive = 0) {
    return DeviceNotice::OfDrive(svdevmon::kDeviceArrival, drive);
}
DeviceNotice Removed(int drive = 0) {
    return DeviceNotice::OfDrive(svdevmon::kDeviceRemoveComplete, drive);
}

class TrackListTest : public ScriptedWindowFixture {
protected:
    void Load(const std::vector<ScriptedDrive>& drives) {
        Install(drives);
        Show();
    }
};
}  // namespace

TEST(TrackLine, SeparatorsAndTwoDigitTimes) {
    EXPECT_EQ(TCDRipTestForm::TrackLine(3, true, msf(3, 5)), " Track 3    =  03:05");
    EXPECT_EQ(TCDRipTestForm::TrackLine(10, true, msf(65, 0)), " Track 10  =  65:00");
    EXPECT_EQ(TCDRipTestForm::TrackLine(7, false, msf(12, 30) + 74), " Track 7 = 12:30");
}

TEST_F(TrackListTest, TwelveTrackDiscGivesTwelveLines) {
    std::vector<uint32_t> lengths;
    for (uint32_t i = 1; i <= 12; ++i) lengths.push_back(75 * (60 * i + i));
    Load({AudioDrive("A", lengths)});
    const QStringList lines = Lines();
    ASSERT_EQ(lines.size(), 12);
    EXPECT_EQ(lines[0], " Track 1    =  01:01");
    EXPECT_EQ(lines[8], " Track 9    =  09:09");
    EXPECT_EQ(lines[9], " Track 10  =  10:10");
    EXPECT_EQ(lines[11], " Track 12  =  12:12");
}

TEST_F(TrackListTest, LastDataTrackUsesTheShortSeparator) {
    ScriptedDrive d = AudioDrive("A", {4500, 75 * 90});
    d.tracks[1].data = true;
    Load({d});
    EXPECT_EQ(Lines(), QStringList({" Track 1    =  01:00", " Track 2 = 01:30"}));
}

TEST_F(TrackListTest, ReadinessChecksSayWhyNot) {
    Load({AudioDrive("A", {1000})});
    EXPECT_TRUE(form->IsAudioCDReady());

    form->Listed().Clear();
    EXPECT_FALSE(form->IsAudioCDReady());
    EXPECT_EQ(form->Status(), "Error : No Disc Information Available.");

    lib.Active().ready = false;
    EXPECT_FALSE(form->CanPlay());
    EXPECT_EQ(form->Status(), "Error : No Disc in Drive.");
    EXPECT_EQ(services.shown.last(), "box:OK: Not an Audio CD.");
}

TEST_F(TrackListTest, DataDiscCannotPlay) {
    ScriptedDrive d = AudioDrive("A", {1000});
    d.tracks[0].data = true;
    Load({d});
    EXPECT_FALSE(form->CanPlay());
    EXPECT_EQ(form->Status(), "Error : Data Disc Loaded.");
    EXPECT_EQ(services.shown, QStringList({"box:OK: Not an Audio CD."}));
}

TEST_F(TrackListTest, PlayIsRefusedDuringARip) {
    Load({AudioDrive("A", {1000})});
    const THeldRip rip(*form, lib);
    ASSERT_TRUE(rip.Started());
    EXPECT_FALSE(form->CanPlay());
    EXPECT_EQ(services.shown, QStringList({"box:OK: Ripping in Progress."}));
}

TEST_F(TrackListTest, ChoosingADriveRelistsItsDisc) {
    ScriptedDrive empty = AudioDrive("B", {});
    empty.ready = false;
    Load({AudioDrive("A", {1000, 1000}), empty, AudioDrive("C", {500, 500, 500})});
    form->SetStatus("before");
    form->DriveSelBoxChange(1);
    Settle();
    EXPECT_EQ(form->TrackList->count(), 0);
    EXPECT_FALSE(form->DiscInfoLoaded());
    EXPECT_EQ(form->Status(), "before");

    form->DriveSelBoxChange(2);
    Settle();
    EXPECT_EQ(form->TrackList->count(), 3);
    // The drive that is already active is read again and listed once.
    form->DriveSelBoxChange(2);
    Settle();
    EXPECT_EQ(form->TrackList->count(), 3);
    EXPECT_EQ(lib.active, 2);
}

// While a batch runs the drive box, Get Disc Info and the tray leave its disc and the list
// alone.
TEST_F(TrackListTest, ABatchKeepsItsDiscAndItsList) {
    Load({AudioDrive("A", {1000, 1000}), AudioDrive("C", {500, 500, 500})});
    form->chkMulSel->click();
    form->SelectAll1Click();
    auto rip = std::make_unique<THeldRip>(*form, lib);
    ASSERT_TRUE(rip->Started());
    lib.calls.clear();
    form->DriveSelBox->setCurrentIndex(1);
    form->DriveSelBoxChange(1);
    Settle();
    form->XiButton1Click();
    Settle();
    form->btnOpenCD->click();
    Settle();
    form->btnCloseCD1->click();
    Settle();
    EXPECT_EQ(form->DriveSelBox->currentIndex(), 0);
    EXPECT_EQ(lib.active, 0);
    EXPECT_EQ(Lines().size(), 2);
    EXPECT_EQ(form->TrackList->selectedItems().size(), 2);
    EXPECT_EQ(lib.Count("EjectCD(1)") + lib.Count("EjectCD(0)"), 0);
    EXPECT_EQ(form->Status(), "Busy Ripping selected track, cannot Eject CD/DVD-ROM.");

    rip.reset();
    form->DriveSelBoxChange(1);
    Settle();
    EXPECT_EQ(Lines().size(), 3);
}

TEST_F(TrackListTest, RemovalAndArrivalNotices) {
    Load({AudioDrive("A", {1000, 1000})});
    form->WMDeviceChange(Removed());
    Settle();
    EXPECT_EQ(form->Status(), "Media is Removed.");
    EXPECT_EQ(form->TrackList->count(), 0);
    EXPECT_EQ(session.Disc().TrackCount, 0);

    form->WMDeviceChange(Arrived());
    Settle();
    EXPECT_EQ(form->Status(), "Media is Loaded.");
    EXPECT_EQ(form->TrackList->count(), 2);

    // While a disc is listed, arrivals are ignored.
    form->SetStatus("listed");
    form->WMDeviceChange(Arrived());
    Settle();
    EXPECT_EQ(form->Status(), "listed");
    EXPECT_EQ(form->TrackList->count(), 2);
    form->WMDeviceChange(DeviceNotice::OfDrive(0x8001, 0));
    Settle();
    EXPECT_EQ(form->Status(), "listed");
}

// A drive says it is not ready for the seconds it spins a new disc up: the disc is listed
// once it is, and the notice dropped only when it never is. The window's thread never sleeps.
TEST_F(TrackListTest, ArrivalWaitsForADiscThatSpinsUp) {
    Load({AudioDrive("A", {1000})});
    form->WMDeviceChange(Removed());
    Settle();
    lib.Active().ready = false;
    form->WMDeviceChange(Arrived());
    QElapsedTimer spinning;
    spinning.start();
    while (spinning.elapsed() < 700) QCoreApplication::processEvents();
    EXPECT_TRUE(form->Listing());
    EXPECT_EQ(form->Status(), "Media is Removed.");
    {
        const std::lock_guard lock(lib.mutex);
        lib.Active().ready = true;
    }
    Settle();
    EXPECT_EQ(form->Status(), "Media is Loaded.");
    EXPECT_EQ(form->TrackList->count(), 1);

    form->WMDeviceChange(Removed());
    Settle();
    form->Listed().DiscWaitMs = 600;
    {
        const std::lock_guard lock(lib.mutex);
        lib.Active().ready = false;
    }
    form->WMDeviceChange(Arrived());
    Settle();
    EXPECT_EQ(form->Status(), "Media is Removed.");
    EXPECT_EQ(form->TrackList->count(), 0);
    EXPECT_EQ(services.slept, 0);
}

TEST_F(TrackListTest, RemovalDuringARipCancelsIt) {
    Load({AudioDrive("A", {1000})});
    const THeldRip rip(*form, lib);
    ASSERT_TRUE(rip.Started());
    lib.Active().ready = false;
    form->WMDeviceChange(Removed());
    Settle();
    ASSERT_TRUE(rip.Ended());
    EXPECT_EQ(lib.Count("CloseRipper"), 1);
    // The batch's own last word does not hide that the disc went.
    EXPECT_EQ(form->Status(), "Media is Removed.");
}

// The disc was put back before the batch had ended: it is listed, and the status line does
// not say the drive is empty.
TEST_F(TrackListTest, ADiscBackBeforeItsBatchEndedIsNotSaidRemoved) {
    Load({AudioDrive("A", {1000, 1000})});
    const THeldRip rip(*form, lib);
    ASSERT_TRUE(rip.Started());
    lib.Active().ready = false;
    form->WMDeviceChange(Removed());
    Settle();
    lib.Active().ready = true;
    form->WMDeviceChange(Arrived());
    Settle();
    ASSERT_TRUE(rip.Ended());
    Settle();
    EXPECT_EQ(Lines().size(), 2);
    EXPECT_NE(form->Status(), "Media is Removed.");
    // The listing of the disc that came back and the batch's end may come in either order.
    EXPECT_TRUE(form->Status() == "Ripping and Encoding Canceled." ||
                form->Status() == "Media is Loaded.")
        << form->Status().toStdString();
}

// Real drives as the library names them, the first by a link as CDRIP3_DEVICES may give
// it; udev names the node. Only the active drive's notices reach the listing and a batch.
TEST_F(TrackListTest, NoticesOfAnotherDriveChangeNothing) {
    sonvaletest::TempDir dev;
    std::ofstream(dev.file("sr0")).put('x');
    std::ofstream(dev.file("sr1")).put('x');
    std::filesystem::create_symlink(dev.file("sr0"), dev.file("cdrom"));
    Load({AudioDrive("HL-DT-ST DVDRAM GH24NSB0 (" + dev.file("cdrom") + ")", {1000, 1000}),
          AudioDrive("CD drive (" + dev.file("sr1") + ")", {500})});
    ASSERT_EQ(Lines().size(), 2);
    const QString album = form->edtAlbumName->text();
    const THeldRip rip(*form, lib);
    ASSERT_TRUE(rip.Started());
    form->SetStatus("ripping");
    lib.drives[1].ready = false;
    for (const DeviceNotice& notice :
         {Removed(1), DeviceNotice::OfDevice(svdevmon::kDeviceRemoveComplete, dev.file("sr1")),
          DeviceNotice::OfDevice(svdevmon::kDeviceRemoveComplete, "/dev/no-such-drive"),
          Arrived(1)}) {
        form->WMDeviceChange(notice);
        Settle();
        EXPECT_TRUE(lib.Holding());  // the batch reads on
        EXPECT_EQ(form->Status(), "ripping");
        EXPECT_EQ(Lines().size(), 2);
        EXPECT_EQ(form->edtAlbumName->text(), album);
    }
    // udev's node of the active drive, which the library lists by the link.
    lib.Active().ready = false;
    form->WMDeviceChange(DeviceNotice::OfDevice(svdevmon::kDeviceRemoveComplete, dev.file("sr0")));
    Settle();
    ASSERT_TRUE(rip.Ended());
    EXPECT_EQ(form->Status(), "Media is Removed.");
    EXPECT_TRUE(Lines().isEmpty());
}

// Get Disc Info on a table that cannot be read lists nothing, and a later arrival lists the
// disc.
TEST_F(TrackListTest, AFailedGetDiscInfoLeavesTheNextArrivalToListTheDisc) {
    Load({AudioDrive("A", {1000, 1000})});
    lib.Active().readTocResult = 1;
    form->XiButton1Click();
    Settle();
    EXPECT_TRUE(Lines().isEmpty());
    lib.Active().readTocResult = 0;
    form->WMDeviceChange(Arrived());
    Settle();
    EXPECT_EQ(form->Status(), "Media is Loaded.");
    EXPECT_EQ(Lines().size(), 2);
}

// An answer to a disc no longer listed is dropped, and the status line says so unless it
// has said something newer.
TEST_F(TrackListTest, ALookupOvertakenByADriveChangeSaysItWasDropped) {
    TinyHttpServer database;
    const QByteArray before = qgetenv("SONVALE_MUSICBRAINZ_URL");
    qputenv("SONVALE_MUSICBRAINZ_URL", database.Base().toUtf8());
    Load({AudioDrive("A", {1000, 1000}), AudioDrive("B", {500, 500, 500})});
    qputenv("SONVALE_MUSICBRAINZ_URL", before);
    form->LookUpDisc1->trigger();
    ASSERT_EQ(form->Status(), "Looking Up Disc Online...");
    form->DriveSelBoxChange(1);
    Settle();
    ASSERT_TRUE(pumpUntil([&] { return form->Status() != "Looking Up Disc Online..."; }));
    EXPECT_EQ(form->Status(), "Online Look Up Dropped - the disc is no longer listed.");
    EXPECT_EQ(Lines().size(), 3);

    // The disc's removal said something newer, which stays.
    form->LookUpDisc1->trigger();
    ASSERT_EQ(form->Status(), "Looking Up Disc Online...");
    lib.Active().ready = false;
    form->WMDeviceChange(Removed(1));
    Settle();
    ASSERT_TRUE(pumpUntil([&] { return database.asked.size() == 2; }));
    EXPECT_FALSE(pumpUntil([&] { return form->Status() != "Media is Removed."; }, 1000))
        << form->Status().toStdString();
}

TEST_F(TrackListTest, GetDiscInfo) {
    ScriptedDrive d = AudioDrive("A", {1000, 1000});
    d.tracks[1].data = true;
    Load({d});
    form->XiButton1Click();
    Settle();
    EXPECT_EQ(form->Status(), "A Composite Disc is Loaded in (1st) Drive.");
    EXPECT_EQ(form->TrackList->count(), 2);

    lib.Active().ready = false;
    form->XiButton1Click();
    Settle();
    EXPECT_EQ(form->Status(), "Disc is not Loaded in Active Drive.");
    EXPECT_EQ(form->TrackList->count(), 2);  // the list keeps what it had
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// A right-click opens the pop-up menu over the selection as it is; Shift+F10 opens it from
// the keyboard.
TEST_F(TrackListTest, ARightClickOpensTheMenuAndChangesNoSelection) {
    Load({AudioDrive("A", {500, 500, 500})});
    form->chkMulSel->click();
    form->TrackList->clearSelection();
    form->TrackList->item(0)->setSelected(true);
    form->TrackList->item(2)->setSelected(true);
    form->TrackList->setCurrentRow(2, QItemSelectionModel::NoUpdate);
    form->edtRecName->setText("Typed");
    QWidget* viewport = form->TrackList->viewport();
    const QPoint line2 = form->TrackList->visualItemRect(form->TrackList->item(1)).center();
    QTest::mousePress(viewport, Qt::RightButton, {}, line2);
    QContextMenuEvent menu(QContextMenuEvent::Mouse, line2, viewport->mapToGlobal(line2));
    QApplication::sendEvent(viewport, &menu);
    QTest::mouseRelease(viewport, Qt::RightButton, {}, line2);
    EXPECT_TRUE(form->PopupMenu1->isVisible());
    EXPECT_TRUE(form->TrackLineSelected(0));
    EXPECT_FALSE(form->TrackLineSelected(1));
    EXPECT_TRUE(form->TrackLineSelected(2));
    EXPECT_EQ(form->TrackList->currentRow(), 2);
    EXPECT_EQ(form->edtRecName->text(), "Typed");
    form->PopupMenu1->close();

    QTest::keyClick(form->TrackList, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_TRUE(form->PopupMenu1->isVisible());
    form->PopupMenu1->close();
}

TEST_F(TrackListTest, ClickingATrackProposesItsName) {
    Load({AudioDrive("A", {500, 500, 500, 500, 500})});
    form->TrackList->setCurrentRow(4);
    form->TrackListClick();
    EXPECT_EQ(form->edtRecName->text(), "Track 5");
}

// The keyboard moves the line a rip takes: the proposed name must move with it, or the
// next rip would write one track's audio under another's name.
TEST_F(TrackListTest, KeyboardMovesTheProposedNameWithTheLine) {
    Load({AudioDrive("A", {500, 500, 500, 500, 500})});
    form->edtRecName->setText("Typed");
    const std::vector<std::pair<Qt::Key, QString>> keys = {{Qt::Key_Down, "Track 2"},
                                                           {Qt::Key_End, "Track 5"},
                                                           {Qt::Key_Up, "Track 4"},
                                                           {Qt::Key_Home, "Track 1"}};
    for (const auto& [key, name] : keys) {
        QTest::keyClick(form->TrackList, key);
        EXPECT_EQ(form->edtRecName->text(), name);
        EXPECT_EQ(form->TrackList->selectedItems().size(), 1);
        EXPECT_TRUE(form->TrackLineSelected(form->TrackList->currentRow()));
    }
}

TEST_F(TrackListTest, MultipleSelectionSwitchesTheListAndTheEdits) {
    Load({AudioDrive("A", {500, 500, 500})});
    form->SelectAll1Click();
    EXPECT_EQ(services.shown.last(), "information: Multiple Track Selection is not Checked.");
    EXPECT_EQ(form->TrackList->selectedItems().size(), 1);

    form->chkMulSel->click();
    EXPECT_FALSE(form->edtRecName->isEnabled());
    EXPECT_FALSE(form->edtArtistName->isEnabled());
    EXPECT_EQ(form->TrackList->selectionMode(), QAbstractItemView::ExtendedSelection);
    form->SelectAll1Click();
    EXPECT_EQ(form->TrackList->selectedItems().size(), 3);

    form->chkMulSel->click();
    EXPECT_TRUE(form->edtRecName->isEnabled());
    EXPECT_EQ(form->TrackList->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(services.titles, QStringList({"Information"}));
}

// Back to single selection, several selected lines would all be ripped into the one file
// the recording name gives: one line stays, the current one if it was selected.
TEST_F(TrackListTest, UncheckingMultipleTracksKeepsOneLine) {
    Load({AudioDrive("A", {500, 500, 500, 500})});
    struct Case {
        int current;
        std::vector<int> selected;
        int kept;
    };
    for (const Case& c : {Case{2, {0, 2, 3}, 2}, Case{1, {2, 3}, 2}, Case{1, {}, -1}}) {
        SCOPED_TRACE(c.current);
        form->chkMulSel->click();
        ASSERT_TRUE(form->chkMulSel->isChecked());
        form->TrackList->clearSelection();
        form->TrackList->setCurrentRow(c.current, QItemSelectionModel::NoUpdate);
        for (int line : c.selected) form->TrackList->item(line)->setSelected(true);
        form->edtRecName->setText("Typed");
        form->chkMulSel->click();
        const QList<QListWidgetItem*> selected = form->TrackList->selectedItems();
        if (c.kept < 0) {
            EXPECT_TRUE(selected.isEmpty());
            EXPECT_EQ(form->edtRecName->text(), "Typed");
            continue;
        }
        ASSERT_EQ(selected.size(), 1);
        EXPECT_EQ(form->TrackList->row(selected.front()), c.kept);
        EXPECT_EQ(form->TrackList->currentRow(), c.kept);
        EXPECT_EQ(form->edtRecName->text(), "Track " + QString::number(c.kept + 1));
    }
}

TEST_F(TrackListTest, CancelWithNothingRipping) {
    Load({AudioDrive("A", {500})});
    form->btnCancelRipClick();
    EXPECT_EQ(form->Status(), "CD/DVD-ROM is Not Ripping any Data.");
    EXPECT_FALSE(form->BatchRunning());
}
