// The rip commands on the window: the checks they make before a batch starts, one batch at
// a time, Cancel, and a dialog a running batch shows.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QThread>
#include <filesystem>

#include "CDRipTest.h"
#include "CDSession.h"
#include "Encoders.h"
#include "FakeRipControl.h"
#include "HeldRip.h"
#include "ScriptedEncoders.h"
#include "ScriptedWindowFixture.h"
#include "TempDir.h"

using namespace CDRipIntf;

namespace {

class RipCommandTest : public ScriptedWindowFixture {
protected:
    void SetUp() override { Show(AudioDrive("A", {100, 200, 300, 400})); }
    using ScriptedWindowFixture::Show;
    void Show(const ScriptedDrive& drive) {
        form.reset();
        Install({drive});
        encoder.InstallBlade(encoders);
        encoder.InstallVorbis(encoders);
        Show();
        form->DirectoryEdit1->setText(QString::fromStdString(dir.path().string()));
        form->MakeRipControl = [] { return std::make_unique<FakeRipControl>(); };
        for (const auto& file : std::filesystem::directory_iterator(dir.path()))
            std::filesystem::remove(file.path());
        lib.ripper.chunks = {{0, 2352, 50}, {0, 2352, 100}};
        lib.calls.clear();
        services.shown.clear();
    }
    QPushButton* Button(int format) const {
        return format == 0 ? form->btnRip : format == 1 ? form->btnMp3 : form->btnOgg;
    }
    bool NothingStarted() {
        return !form->BatchRunning() && lib.Count("OpenRipper") == 0 &&
               lib.Count("StopPlayTrack") == 0 && std::filesystem::is_empty(dir.path());
    }

    sonvaletest::TempDir dir;
    ScriptedEncoder encoder;
};

}  // namespace

TEST_F(RipCommandTest, ACommandWantsItsCurrentLineSelected) {
    // Ctrl-click on a selected line deselects it and leaves it current.
    form->chkMulSel->click();
    form->TrackList->item(2)->setSelected(true);
    form->TrackList->setCurrentRow(2, QItemSelectionModel::Deselect);
    for (int format = 0; format < 3; ++format) Button(format)->click();
    EXPECT_EQ(services.shown, QStringList(3, "information: Please select track(s) to Rip."));
    form->Verify1->trigger();
    EXPECT_EQ(services.shown.size(), 4);
    EXPECT_EQ(services.shown.last(), "information: Please select track(s) to Verify.");
    EXPECT_TRUE(NothingStarted());
}

// Each format's checks in the order it has always made them; the first that fails says so
// and nothing starts.
TEST_F(RipCommandTest, ChecksBeforeAnythingStarts) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        // Wave, MP3, Ogg: the dialog, or the status line as "status: "; none: not a check
        // of that format's.
        QStringList said[3];
    };
    const QString noDisc = "status: Error : No Disc in Drive.";
    const std::vector<Case> cases = {
        {"no name",
         [&] { form->edtRecName->clear(); },
         {{"information: Please insert a Recording Name."},
          {"information: Please insert a Recording Name."},
          {"information: Please insert a Recording Name."}}},
        {"library not ready",
         [&] {
             lib.initResult = 1;
             lib.Install(session);
         },
         {{"status: Sonvale is not ready."}, {}, {}}},
        {"no disc", [&] { lib.Active().ready = false; }, {{noDisc}, {noDisc}, {noDisc}}},
        {"no Vorbis library",
         [&] { encoders.UnloadVorbisLibrary(); },
         {{}, {}, {"box:OK: Vorbis.DLL is not Ready."}}},
    };
    for (const Case& c : cases) {
        for (int format = 0; format < 3; ++format) {
            SCOPED_TRACE(std::string(c.name) + " / format " + std::to_string(format));
            if (c.said[format].isEmpty()) continue;
            lib.initResult = 0;
            Show(AudioDrive("A", {100, 200, 300, 400}));
            c.arrange();
            lib.calls.clear();
            form->SetStatus("");
            Button(format)->click();
            QStringList said = services.shown;
            if (!form->Status().isEmpty()) said << "status: " + form->Status();
            EXPECT_EQ(said, c.said[format]);
            EXPECT_TRUE(NothingStarted());
            EXPECT_TRUE(form->TrackList->item(0)->isSelected());
        }
    }
}

TEST_F(RipCommandTest, OneBatchAtATimeAndCancelEndsAStalledRead) {
    THeldRip rip(*form, lib);
    ASSERT_TRUE(rip.Started());
    // The drive is stuck inside a read: the commands start nothing beside it.
    for (int format = 0; format < 3; ++format) Button(format)->click();
    EXPECT_EQ(lib.Count("OpenRipper"), 1);
    EXPECT_EQ(lib.Count("StopPlayTrack"), 1);
    EXPECT_TRUE(services.shown.isEmpty());

    // Cancel reaches the read itself, through the library's abort flag.
    form->btnCancelCDRip->click();
    ASSERT_TRUE(rip.Ended());
    EXPECT_EQ(form->Status(), "Ripping and Encoding Canceled.");
    EXPECT_TRUE(form->TrackList->item(0)->isSelected());
    EXPECT_FALSE(lib.ripper.open);
    EXPECT_EQ(lib.Count("LockCD"), 1);
    form->btnCancelCDRip->click();
    EXPECT_EQ(form->Status(), "CD/DVD-ROM is Not Ripping any Data.");
}

// A dialog of a running batch is the window's: shown on its thread, and the batch waits for
// the answer before it goes on.
TEST_F(RipCommandTest, ADialogDuringARipIsShownByTheWindowWhileTheBatchWaits) {
    lib.ripper.chunks = {{0, 2352, 50}, {2, 0, 0}};
    QThread* shownOn = nullptr;
    int closedWhileShown = -1;
    services.onDialog = [&] {
        shownOn = QThread::currentThread();
        // The user reads it for a while; the window goes on handling its events.
        QElapsedTimer reading;
        reading.start();
        while (reading.elapsed() < 100) QCoreApplication::processEvents();
        closedWhileShown = lib.Count("CloseRipper");
    };
    form->btnMp3->click();
    ASSERT_TRUE(pumpUntil([&] { return !form->BatchRunning(); }));
    EXPECT_EQ(services.shown, QStringList({"box:OK: Error : CR_RipChunk"}));
    EXPECT_EQ(shownOn, QThread::currentThread());
    EXPECT_EQ(closedWhileShown, 0);
    EXPECT_EQ(lib.Count("CloseRipper"), 1);
    EXPECT_EQ(form->Status(),
              "Ripping and Encoding Ended with Errors - 1 of 1 Track(s) not Ripped.");
}
