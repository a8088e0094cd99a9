// Saving the drive settings and the read offset, and the tray buttons.
#include <gtest/gtest.h>

#include <QListWidget>
#include <QPushButton>

#include "CDRipTest.h"
#include "CDSession.h"
#include "HeldRip.h"
#include "ScriptedWindowFixture.h"

using namespace CDRipIntf;

namespace {
class SettingsAndTrayTest : public ScriptedWindowFixture {
protected:
    void SetUp() override {
        // The drive's own parameters, which a save must not wipe.
        SetParam(lib.params, 0, 0x41424344);
        SetParam(lib.params, kParamSpeed, 8);
        SetParam(lib.params, kParamParanoiaMode, 0xDF);
        Install({AudioDrive("A", {1000, 2000})});
        Show();
    }
};
}  // namespace

TEST_F(SettingsAndTrayTest, SaveStoresTheTenValuesOverTheDrivesOwn) {
    form->btnSave->click();
    EXPECT_EQ(form->Status(),
              "Saved CD/DVD-ROM Settings! - (/home/user/.config/Tolvane.ini file).");
    const std::vector<std::string> order(lib.calls.end() - 3, lib.calls.end());
    EXPECT_EQ(order, (std::vector<std::string>{"GetCDROMParameters", "SetCDROMParameters",
                                               "SaveSettings"}));
    const TDriveParams& p = lib.params;
    const std::pair<int, int32_t> expected[] = {{256, 26}, {260, 7}, {264, 1}, {284, -1}, {328, 0},
                                                {332, 30}, {336, 0}, {340, 0}, {344, 0},  {348, 0}};
    for (const auto& [offset, value] : expected) EXPECT_EQ(GetParam(p, offset), value) << offset;
    EXPECT_EQ(GetParam(p, 0), 0x41424344);
    EXPECT_EQ(GetParam(p, kParamSpeed), 8);
    EXPECT_EQ(GetParam(p, kParamParanoiaMode), 0xDF);
}

// A save that fails names the file and why; the read offset set from the menu applies all
// the same, and the status line says it was not saved.
TEST_F(SettingsAndTrayTest, AFailingSaveNamesTheFileAndWhy) {
    lib.saveResult = 2;
    form->btnSaveSettingsClick();
    EXPECT_EQ(form->Status(),
              "Cannot Save CD/DVD-ROM Settings! - "
              "(/home/user/.config/Tolvane.ini: Permission denied).");
    services.integerAnswer = 6;
    form->DriveReadOffset1->trigger();
    EXPECT_EQ(lib.readOffset, 6);
    EXPECT_EQ(form->Status(),
              "Drive Read Offset: +6 samples (not saved: "
              "/home/user/.config/Tolvane.ini cannot be written).");
}

TEST_F(SettingsAndTrayTest, EveryCloseSavesFirst) {
    form->close();
    EXPECT_EQ(lib.Count("SaveSettings"), 1);
}

TEST_F(SettingsAndTrayTest, TheMenusReadOffsetIsSetAndSavedButNotDuringABatch) {
    lib.readOffset = -30;
    services.integerAnswer = 6;
    form->DriveReadOffset1->trigger();
    EXPECT_EQ(services.asked, QStringList{"Drive Read Offset: Read offset of the active drive, in "
                                          "samples: [-30 in -5000..5000]"});
    EXPECT_EQ(lib.readOffset, 6);
    const std::vector<std::string> order(lib.calls.end() - 2, lib.calls.end());
    EXPECT_EQ(order, (std::vector<std::string>{"SetReadOffset", "SaveSettings"}));
    EXPECT_EQ(form->Status(), "Drive Read Offset: +6 samples.");

    services.integerAnswer.reset();  // cancelled: nothing is set or saved
    form->DriveReadOffset1->trigger();
    EXPECT_EQ(lib.Count("SetReadOffset"), 1);
    EXPECT_EQ(lib.Count("SaveSettings"), 1);

    const THeldRip rip(*form, lib);
    ASSERT_TRUE(rip.Started());
    services.integerAnswer = -12;
    form->DriveReadOffset1->trigger();
    EXPECT_EQ(services.asked.size(), 2);
    EXPECT_EQ(lib.readOffset, 6);
    EXPECT_EQ(services.shown.last(), "box:OK: Ripping in Progress.");
}

TEST_F(SettingsAndTrayTest, TrayButtons) {
    form->btnOpenCD->click();
    Settle();
    EXPECT_EQ(lib.Count("EjectCD(1)"), 1);
    form->btnCloseCD1->click();
    Settle();
    EXPECT_EQ(lib.Count("EjectCD(0)"), 1);

    const THeldRip rip(*form, lib);
    ASSERT_TRUE(rip.Started());
    form->btnOpenCD->click();
    EXPECT_EQ(lib.Count("EjectCD(1)"), 1);
    EXPECT_EQ(form->Status(), "Busy Ripping selected track, cannot Eject CD/DVD-ROM.");
    form->btnCloseCD1->click();  // the batch's disc stays where it is
    EXPECT_EQ(lib.Count("EjectCD(0)"), 1);
}

TEST(SettingsWithoutLibrary, NothingReachesAMissingLibraryAndCloseRunsToItsEnd) {
    CDRipIntf::TCDSession session;
    session.Initialize("/nonexistent/libcdrip3.so");
    Rip::TEncoders encoders;
    RecordingServices services;
    sonvaletest::TempDir home;
    TProgramOptions options(QString::fromStdString(home.file("Sonvale.conf")));
    TCDRipTestForm form(services, session, encoders, options);
    form.show();
    form.btnSaveSettingsClick();
    EXPECT_EQ(form.Status(), "Sonvale is not Ready.");
    form.btnEjectCDClick();
    form.btnCloseCDClick();
    form.close();
    EXPECT_FALSE(form.isVisible());
}
