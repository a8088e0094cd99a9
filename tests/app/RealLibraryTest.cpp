// The window over the real CD library and MCI layer, with generated disc images as drives.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>

#include "CDRipTest.h"
#include "CDSession.h"
#include "RealWindowFixture.h"

using namespace CDRipIntf;

namespace {
class RealLibraryTest : public RealWindowFixture<> {
protected:
    void Start(const std::vector<std::string>& images) {
        LoadLibrary(images);
        if (HasFatalFailure()) return;
        Show();
    }
};
}  // namespace

TEST_F(RealLibraryTest, TwoImageDrivesListTheFirstDisc) {
    auto twelve = testdisc::audioDisc(std::vector<uint32_t>(12, 75 * 61));
    twelve.cdText = testdisc::sampleCdText(twelve);
    (*twelve.cdText)[0].title = "Side A/B";
    const std::string a = Disc("alpha", twelve);
    const std::string b = Disc("beta", testdisc::audioDisc({750, 750}));
    Start({a, b});
    EXPECT_EQ(form->Status(),
              "Found 2 CD/DVD-ROM Drive(s), An Audio Disc is Loaded in (1st) Drive.");
    ASSERT_EQ(form->DriveSelBox->count(), 2);
    EXPECT_EQ(form->DriveSelBox->itemText(0), "Image: alpha.cue");
    EXPECT_EQ(form->DriveSelBox->itemText(1), "Image: beta.cue");
    const QStringList lines = Lines();
    ASSERT_EQ(lines.size(), 12);
    EXPECT_EQ(lines[0], " Track 1    =  01:01");
    EXPECT_EQ(lines[11], " Track 12  =  01:01");
    // The disc's own titles come through the binding into the edits, a "/" made harmless;
    // the lines keep their text and show the title as a tooltip.
    EXPECT_EQ(form->edtAlbumName->text(), "Side A-B");
    EXPECT_EQ(form->edtArtistName->text(), "Sonvale");
    EXPECT_EQ(form->edtRecName->text(), "Tone 01");
    EXPECT_EQ(form->TrackList->item(11)->toolTip(), "Tone 12");
    form->edtArtistName->setText("Mine");

    // The second drive: the MCI device follows it, and its disc is listed. It has no
    // CD-Text, so what came from the first disc goes; what the user typed stays.
    form->DriveSelBoxChange(1);
    Settle();
    EXPECT_TRUE(session.MciDeviceOpen());
    EXPECT_EQ(Lines(), QStringList({" Track 1    =  00:10", " Track 2    =  00:10"}));
    EXPECT_EQ(session.Disc().Entry(2).Length, FramesToMsf(750));
    EXPECT_EQ(form->edtAlbumName->text(), "Album Title");
    EXPECT_EQ(form->edtArtistName->text(), "Mine");
    EXPECT_EQ(form->edtRecName->text(), "Track 1");
    EXPECT_EQ(form->TrackList->item(0)->toolTip(), "");

    form->DriveSelBoxChange(0);
    Settle();
    EXPECT_EQ(form->edtAlbumName->text(), "Side A-B");
    EXPECT_EQ(form->edtArtistName->text(), "Mine");

    // Get Disc Info, or the tray, right after a drive change acts on the drive chosen,
    // though it overtakes that change's listing.
    form->DriveSelBoxChange(1);
    form->XiButton1Click();
    Settle();
    EXPECT_EQ(session.CR_GetActiveCDROM(), 1);
    EXPECT_EQ(Lines().size(), 2);
}

TEST_F(RealLibraryTest, NoImagesNoDrives) {
    Start({});
    EXPECT_EQ(form->Status(), "Found 0 CD/DVD-ROM Drive(s), Disc is not Loaded in Active Drive.");
    EXPECT_EQ(form->DriveSelBox->count(), 0);
}

TEST_F(RealLibraryTest, TableOfContentsMatchesTheSheetSectorForSector) {
    testdisc::DiscPlan discPlan = testdisc::audioDisc({1000, 2000, 3000, 1500});
    discPlan.hiddenSectors = 300;
    discPlan.tracks[2].index0 = 150;
    discPlan.tracks[3].pregap = 75;
    discPlan.firstTrackNumber = 2;
    Start({Disc("toc", discPlan)});
    const testdisc::ExpectedDisc want = testdisc::expectedToc(discPlan);
    ASSERT_EQ(session.Disc().TrackCount, static_cast<int16_t>(want.tracks.size()));
    for (size_t i = 0; i < want.tracks.size(); ++i) {
        const TTrackEntry& e = session.Disc().Entry(static_cast<int>(i + 1));
        EXPECT_EQ(e.StartSector, want.tracks[i].startSector) << i;
        EXPECT_EQ(e.LengthSectors, want.tracks[i].sectors) << i;
        EXPECT_EQ(e.TrackNumber, want.tracks[i].number) << i;
    }
    EXPECT_EQ(session.Disc().LeadOut, SectorToMsf(static_cast<int32_t>(want.leadOut)));
    EXPECT_EQ(session.Disc().FirstTrack, 2);
}

TEST_F(RealLibraryTest, CdExtraDiscLeavesTheSessionGapOutOfTheLastAudioTrack) {
    testdisc::DiscPlan discPlan = testdisc::audioDisc({1500, 2250, 3000});
    discPlan.cdExtra = true;
    Start({Disc("extra", discPlan)});
    EXPECT_EQ(form->Status(),
              "Found 1 CD/DVD-ROM Drive(s), A Composite Disc is Loaded in (1st) Drive.");
    ASSERT_EQ(session.Disc().TrackCount, 3);
    EXPECT_EQ(session.Disc().Entry(2).LengthSectors, 2250u);
    EXPECT_EQ(session.Disc().Entry(3).Audio, 0);
    EXPECT_EQ(session.Disc().Entry(3).StartSector, 1500u + 2250u + kSessionGapSectors);
    EXPECT_EQ(Lines()[1], " Track 2    =  00:30");
    EXPECT_EQ(Lines()[2], " Track 3 = 00:40");
    EXPECT_EQ(session.Disc().AudioLength, FramesToMsf(1500 + 2250));
}

TEST_F(RealLibraryTest, BrokenImagesListNothing) {
    const std::string missing = home_.file("missing.cue");
    disctest::writeText(missing,
                        "FILE \"nowhere.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    const std::string garbage = home_.file("garbage.cue");
    disctest::writeText(garbage, std::string("\x01\x02 not a sheet \xff\n", 18));
    // The sheet places track 2 beyond the end of the cut file.
    const std::string truncated = Disc("short", testdisc::audioDisc({3000, 3000}));
    std::filesystem::resize_file(home_.file("short/short.bin"), 2352 * 1000);

    for (const std::string& sheet : {missing, garbage, truncated}) {
        Start({sheet});
        EXPECT_EQ(form->TrackList->count(), 0) << sheet;
        EXPECT_FALSE(form->DiscInfoLoaded()) << sheet;
        EXPECT_TRUE(form->Status().startsWith("Found 1 CD/DVD-ROM Drive(s), ")) << sheet.c_str();
    }
}

TEST_F(RealLibraryTest, DataOnlyDiscRefusesPlay) {
    testdisc::DiscPlan discPlan = testdisc::audioDisc({2000});
    discPlan.tracks[0].data = true;
    Start({Disc("data", discPlan)});
    EXPECT_EQ(form->Status(), "Found 1 CD/DVD-ROM Drive(s), A Data Disc is Loaded in (1st) Drive.");
    EXPECT_EQ(Lines(), QStringList({" Track 1 = 00:26"}));
    form->btnPlayTrackClick();
    EXPECT_EQ(form->Status(), "Error : Data Disc Loaded.");
    EXPECT_EQ(services.shown, QStringList({"box:OK: Not an Audio CD."}));
}

TEST_F(RealLibraryTest, SavedSettingsComeBackAfterARestart) {
    Start({Disc("alpha", testdisc::audioDisc({750}))});
    // Values unlike the library's defaults: those the window sets must be replaced by its
    // own, the others kept, and a lost save would bring back neither.
    TDriveParams before{};
    ASSERT_EQ(session.CR_GetCDROMParameters(&before), 0);
    SetParam(before, kParamSectorsPerRead, 100);
    SetParam(before, kParamOverlap, 3);
    SetParam(before, kParamTimeout, 5);
    SetParam(before, kParamSpeed, 4);
    SetParam(before, kParamParanoiaMode, 0x1F);
    ASSERT_EQ(session.CR_SetCDROMParameters(&before), 0);
    form->btnSaveSettingsClick();
    const std::string file = home_.file("config/Tolvane.ini");
    EXPECT_EQ(form->Status().toStdString(), "Saved CD/DVD-ROM Settings! - (" + file + " file).");
    ASSERT_TRUE(std::filesystem::exists(file));
    services.integerAnswer = -48;  // the menu saves the drive's read offset on its own
    form->DriveReadOffset1->trigger();
    EXPECT_EQ(form->Status(), "Drive Read Offset: -48 samples.");

    // A fresh library reads the values back from the file.
    session.Finalize();
    disctest::useDrives({home_.file("alpha/alpha.cue")});
    session.Initialize(ExecutableDir() + "/libcdrip3.so");
    TDriveParams params{};
    ASSERT_EQ(session.CR_GetCDROMParameters(&params), 0);
    EXPECT_EQ(GetParam(params, kParamSectorsPerRead), 26);
    EXPECT_EQ(GetParam(params, kParamOverlap), 7);
    EXPECT_EQ(GetParam(params, kParamTimeout), 30);
    EXPECT_NE(GetParam(params, kParamJitterCorrection), 0);
    EXPECT_EQ(GetParam(params, kParamSpeed), 4);
    EXPECT_EQ(GetParam(params, kParamParanoiaMode), 0x1F);
    EXPECT_EQ(session.CR_GetReadOffset(), -48);
}

TEST_F(RealLibraryTest, ASaveThatCannotBeWrittenSaysWhereAndWhy) {
    Start({Disc("alpha", testdisc::audioDisc({750}))});
    // Root writes anywhere, but not below a regular file.
    disctest::writeText(home_.file("blocker"), "x");
    setenv("XDG_CONFIG_HOME", home_.file("blocker/config").c_str(), 1);
    ASSERT_EQ(session.CR_Init(kSettingsFileName), 0);
    const QString file = QString::fromStdString(home_.file("blocker/config/Tolvane.ini"));
    form->btnSaveSettingsClick();
    EXPECT_EQ(form->Status(),
              "Cannot Save CD/DVD-ROM Settings! - (" + file + ": Not a directory).");
    // The offset applies to the next rips all the same.
    services.integerAnswer = 30;
    form->DriveReadOffset1->trigger();
    EXPECT_EQ(form->Status(),
              "Drive Read Offset: +30 samples (not saved: " + file + " cannot be written).");
    EXPECT_EQ(session.CR_GetReadOffset(), 30);

    // The settings file a folder.
    setenv("XDG_CONFIG_HOME", home_.file("config").c_str(), 1);
    std::filesystem::create_directories(home_.file("config/Tolvane.ini"));
    ASSERT_EQ(session.CR_Init(kSettingsFileName), 0);
    form->btnSaveSettingsClick();
    EXPECT_EQ(form->Status(), "Cannot Save CD/DVD-ROM Settings! - (" +
                                  QString::fromStdString(home_.file("config/Tolvane.ini")) +
                                  ": Is a directory).");
}
