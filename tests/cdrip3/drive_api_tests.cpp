// The drive side of the C ABI: the list a program shows, the active drive, readiness,
// the table of contents and its refusals, the tray and the media callback, and that the
// library exports exactly its entry points.
#include <cdio/cdio.h>
#include <dlfcn.h>

#include <cstring>

#include "cdrip3_fixture.h"

namespace {

using cdrip3test::Cdrip3Test;

class DriveApi : public Cdrip3Test {
protected:
    void SetUp() override {
        Cdrip3Test::SetUp();
        good_ = home_.file("discs/good.cue");
        expected_ = testdisc::writeImage(testdisc::audioDisc({80, 90}), good_);
        broken_ = home_.file("discs/broken.cue");
        disctest::writeText(broken_,
                            "FILE \"none.bin\" BINARY\n  TRACK 01 AUDIO\n"
                            "    INDEX 01 00:00:00\n");
        useDrives({good_, broken_, home_.file("discs/absent.cue")});
    }
    std::string good_, broken_;
    testdisc::ExpectedDisc expected_;
};

TEST_F(DriveApi, ListNamesAndActiveDrive) {
    ASSERT_EQ(CR_GetNumCDROM(), 3);
    EXPECT_EQ(CR_GetActiveCDROM(), 0);
    EXPECT_STREQ(CR_GetCDROMIDByIndex(0), "Image: good.cue");
    EXPECT_STREQ(CR_GetCDROMIDByIndex(2), "Image: absent.cue");
    const char* bad = CR_GetCDROMIDByIndex(3);
    ASSERT_NE(bad, nullptr);
    EXPECT_STREQ(bad, "");
    EXPECT_STREQ(CR_GetCDROMIDByIndex(-1), "");

    CR_SetActiveCDROM(2);
    EXPECT_EQ(CR_GetActiveCDROM(), 2);
    CR_SetActiveCDROM(3);
    CR_SetActiveCDROM(-1);
    EXPECT_EQ(CR_GetActiveCDROM(), 2);
    EXPECT_EQ(CR_IsUnitReady(), 0);  // its sheet does not exist
    EXPECT_EQ(CR_ReadToc(), CDRIP3_ERROR);
}

TEST_F(DriveApi, BrokenImageIsReadyButItsTocFails) {
    ASSERT_EQ(CR_ReadToc(), CDRIP3_OK);
    ASSERT_EQ(CR_GetNumTocEntries(), 2);
    CR_SetActiveCDROM(1);
    EXPECT_EQ(CR_GetNumTocEntries(), 0);  // that table was the other drive's
    EXPECT_EQ(CR_IsUnitReady(), 1);
    EXPECT_EQ(CR_ReadToc(), CDRIP3_ERROR);
    EXPECT_EQ(CR_GetNumTocEntries(), 0);
    CR_TOCENTRY e;
    memset(&e, 0x55, sizeof e);
    EXPECT_EQ(CR_GetTocEntry2(0, &e), CDRIP3_ERROR);
    EXPECT_EQ(e.dwStartSector, 0u);
    EXPECT_EQ(e.btTrackNumber, 0);
    int32_t size = 0;
    EXPECT_NE(CR_OpenRipper(&size, 0, 0), CDRIP3_OK);
}

TEST_F(DriveApi, TocEntryIndicesOutsideTheTable) {
    ASSERT_EQ(CR_ReadToc(), CDRIP3_OK);
    CR_TOCENTRY e;
    memset(&e, 0x55, sizeof e);
    EXPECT_EQ(CR_GetTocEntry2(3, &e), CDRIP3_ERROR);  // 2 tracks + lead-out at index 2
    EXPECT_EQ(e.btFlag, 0);
    EXPECT_EQ(e.dwStartSector, 0u);
    EXPECT_EQ(CR_GetTocEntry2(-1, &e), CDRIP3_ERROR);
    EXPECT_EQ(CR_GetTocEntry2(0, nullptr), CDRIP3_ERROR);
    EXPECT_EQ(CR_GetTocEntry2(2, &e), CDRIP3_OK);
    EXPECT_EQ(e.btTrackNumber, 0xAA);
    EXPECT_EQ(e.dwStartSector, expected_.leadOut);
}

struct Notice {
    int32_t drive;
    int32_t arrived;
    bool operator==(const Notice&) const = default;
};
void record(int32_t drive, int32_t arrived, void* context) {
    auto* notices = static_cast<std::vector<Notice>*>(context);
    // The callback may use the library, as the program's monitor does.
    EXPECT_EQ(CR_IsUnitReady(), arrived);
    notices->push_back({drive, arrived});
}

TEST_F(DriveApi, TrayMovesAreNotifiedAndChangeReadiness) {
    std::vector<Notice> notices;
    CR_SetMediaNotify(record, &notices);
    ASSERT_EQ(CR_ReadToc(), CDRIP3_OK);
    CR_EjectCD(1);
    EXPECT_EQ(CR_IsUnitReady(), 0);
    EXPECT_EQ(CR_GetNumTocEntries(), 0);
    EXPECT_EQ(CR_ReadToc(), CDRIP3_ERROR);
    CR_EjectCD(0);
    EXPECT_EQ(CR_IsUnitReady(), 1);
    EXPECT_EQ(CR_ReadToc(), CDRIP3_OK);
    const std::vector<Notice> want = {{0, 0}, {0, 1}};
    EXPECT_EQ(notices, want);

    // Replaced, then unregistered: only the current callback hears anything.
    std::vector<Notice> second;
    CR_SetMediaNotify(record, &second);
    CR_EjectCD(1);
    CR_SetMediaNotify(nullptr, nullptr);
    CR_EjectCD(0);
    EXPECT_EQ(notices.size(), 2u);
    EXPECT_EQ(second, (std::vector<Notice>{{0, 0}}));
}

TEST_F(DriveApi, LockAndStopAreHarmlessOnImages) {
    CR_LockCD(1);
    CR_StopPlayTrack();
    CR_LockCD(0);
    EXPECT_EQ(CR_IsUnitReady(), 1);
}

TEST_F(DriveApi, NoDrivesAtAll) {
    useDrives({});
    EXPECT_EQ(CR_GetNumCDROM(), 0);
    EXPECT_EQ(CR_GetActiveCDROM(), 0);
    EXPECT_EQ(CR_IsUnitReady(), 0);
    EXPECT_EQ(CR_ReadToc(), CDRIP3_ERROR);
    CR_DRIVEPARAMS p;
    EXPECT_NE(CR_GetCDROMParameters(&p), CDRIP3_OK);
    EXPECT_NE(CR_SetCDROMParameters(&p), CDRIP3_OK);
    int32_t size = 0;
    EXPECT_NE(CR_OpenRipper(&size, 0, 0), CDRIP3_OK);
    CR_EjectCD(1);
    CR_LockCD(1);
    CR_StopPlayTrack();
    EXPECT_EQ(CR_SaveSettings(), CDRIP3_OK);  // parameters of no drive still make a file
}

// An image drive is named by its sheet, cut to a field's 16 bytes without splitting a
// character; a sheet read through libcdio answers what libcdio's own call says of it.
TEST_F(DriveApi, EveryDriveSaysWhatItIs) {
    const std::string longName = home_.file("discs/abcdefghijklmno\xC3\xB6.cue");
    useDrives({good_, longName}, {good_});
    ASSERT_EQ(CR_GetNumCDROM(), 3);
    const auto identity = [](int32_t drive) {
        CR_SetActiveCDROM(drive);
        CR_DRIVEIDENTITY id;
        memset(&id, 0x55, sizeof id);
        EXPECT_EQ(CR_GetDriveIdentity(&id), CDRIP3_OK);
        return std::vector<std::string>{id.vendor, id.product, id.revision};
    };
    EXPECT_EQ(identity(1), (std::vector<std::string>{"IMAGE", "good.cue", ""}));
    EXPECT_EQ(identity(2), (std::vector<std::string>{"IMAGE", "abcdefghijklmno", ""}));
    EXPECT_EQ(CR_GetDriveIdentity(nullptr), CDRIP3_ERROR);

    CdIo_t* direct = cdio_open(good_.c_str(), DRIVER_UNKNOWN);
    ASSERT_NE(direct, nullptr);
    cdio_hwinfo_t hw{};
    ASSERT_TRUE(cdio_get_hwinfo(direct, &hw));
    cdio_destroy(direct);
    const std::vector<std::string> device = identity(0);
    EXPECT_EQ(device, (std::vector<std::string>{hw.psz_vendor, hw.psz_model, hw.psz_revision}));
    ASSERT_FALSE(device[0].empty());
    // The name the drive box shows is made of the same words.
    EXPECT_EQ(std::string(CR_GetCDROMIDByIndex(0)),
              device[0] + " " + device[1] + " (" + good_ + ")");
}

TEST(Cdrip3Exports, EveryEntryPointAndNothingElse) {
    void* lib = dlopen(SONVALE_BIN_DIR "/libcdrip3.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    for (const char* name : {"CR_Init",
                             "CR_GetNumCDROM",
                             "CR_GetActiveCDROM",
                             "CR_SetActiveCDROM",
                             "CR_GetCDROMIDByIndex",
                             "CR_IsUnitReady",
                             "CR_ReadToc",
                             "CR_GetNumTocEntries",
                             "CR_GetTocEntry2",
                             "CR_OpenRipper",
                             "CR_RipChunk",
                             "CR_GetPercentCompleted",
                             "CR_CloseRipper",
                             "CR_GetCDROMParameters",
                             "CR_SetCDROMParameters",
                             "CR_SaveSettings",
                             "CR_StopPlayTrack",
                             "CR_LockCD",
                             "CR_EjectCD",
                             "CR_SetMediaNotify",
                             "CR_GetCDText",
                             "CR_GetReadOffsetFrom",
                             "CR_SetReadOffsetFrom",
                             "CR_GetDriveIdentity",
                             "CR_OpenRawRipper"}) {
        EXPECT_NE(dlsym(lib, name), nullptr) << name;
    }
    // Internals stay inside: the settings file helpers are not part of the ABI.
    EXPECT_EQ(
        dlsym(lib, "_ZN6cdrip38parseIniERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE"),
        nullptr);
    dlclose(lib);
}

}  // namespace
