// Drive parameters: defaults, what CR_SetCDROMParameters keeps, and the settings file
// that carries them (and the image list) from one run to the next.
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "cdrip3_fixture.h"

namespace {

using cdrip3test::Cdrip3Test;

int32_t field(const CR_DRIVEPARAMS& p, int offset) {
    int32_t v;
    memcpy(&v, p.bytes + offset, 4);
    return v;
}
void setField(CR_DRIVEPARAMS* p, int offset, int32_t v) {
    memcpy(p->bytes + offset, &v, 4);
}

std::string readText(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class Params : public Cdrip3Test {
protected:
    void SetUp() override {
        Cdrip3Test::SetUp();
        const auto discPlan = testdisc::audioDisc({50});
        a_ = home_.file("discs/alpha.cue");
        b_ = home_.file("discs/beta.cue");
        testdisc::writeImage(discPlan, a_);
        testdisc::writeImage(discPlan, b_);
        useDrives({a_, b_});
    }
    std::string a_, b_;
};

TEST_F(Params, DefaultsCarryTheDriveName) {
    CR_DRIVEPARAMS p;
    memset(&p, 0xEE, sizeof p);
    ASSERT_EQ(CR_GetCDROMParameters(&p), CDRIP3_OK);
    EXPECT_STREQ(reinterpret_cast<const char*>(p.bytes), "Image: alpha.cue");
    for (size_t i = strlen("Image: alpha.cue"); i < 256; ++i) ASSERT_EQ(p.bytes[i], 0) << i;
    EXPECT_EQ(field(p, CR_OFS_SECTORS_PER_READ), 26);
    EXPECT_EQ(field(p, CR_OFS_OVERLAP), 7);
    EXPECT_EQ(field(p, CR_OFS_COMPARE), 1);
    EXPECT_EQ(field(p, CR_OFS_SPEED), 0);
    EXPECT_EQ(field(p, CR_OFS_JITTER_ON), 1);
    EXPECT_EQ(field(p, CR_OFS_RETRIES), 0);
    EXPECT_EQ(field(p, CR_OFS_TIMEOUT), 30);
    EXPECT_EQ(field(p, CR_OFS_RIP_MODE), 1);
    EXPECT_EQ(field(p, CR_OFS_PARANOIA_MODE), 0xDF);
    EXPECT_NE(CR_GetCDROMParameters(nullptr), CDRIP3_OK);
}

TEST_F(Params, TheProgramsValuesRoundTripPerDrive) {
    CR_DRIVEPARAMS p;
    ASSERT_EQ(CR_GetCDROMParameters(&p), CDRIP3_OK);
    const int offsets[] = {256, 260, 264, 284, 328, 332, 336, 340, 344, 348};
    const int32_t values[] = {26, 7, 1, -1, 0, 30, 0, 0, 0, 0};
    for (int i = 0; i < 10; ++i) setField(&p, offsets[i], values[i]);
    setField(&p, CR_OFS_SPEED, 8);
    setField(&p, CR_OFS_RIP_MODE, 1);
    setField(&p, CR_OFS_PARANOIA_MODE, 223);
    setField(&p, 272, -1);  // a field the library does not name is kept as given
    memcpy(p.bytes, "bogus name", 11);
    ASSERT_EQ(CR_SetCDROMParameters(&p), CDRIP3_OK);

    CR_DRIVEPARAMS back;
    ASSERT_EQ(CR_GetCDROMParameters(&back), CDRIP3_OK);
    EXPECT_STREQ(reinterpret_cast<const char*>(back.bytes), "Image: alpha.cue");
    EXPECT_EQ(memcmp(back.bytes + 256, p.bytes + 256, CR_PARAMS_SIZE - 256), 0);

    CR_SetActiveCDROM(1);  // the other drive kept its own defaults
    ASSERT_EQ(CR_GetCDROMParameters(&back), CDRIP3_OK);
    EXPECT_STREQ(reinterpret_cast<const char*>(back.bytes), "Image: beta.cue");
    EXPECT_EQ(field(back, CR_OFS_SPEED), 0);
    EXPECT_EQ(field(back, CR_OFS_JITTER_ON), 1);
}

TEST_F(Params, OutOfRangeValuesAreClampedNotRefused) {
    CR_DRIVEPARAMS p;
    ASSERT_EQ(CR_GetCDROMParameters(&p), CDRIP3_OK);
    setField(&p, CR_OFS_SECTORS_PER_READ, 0);
    setField(&p, CR_OFS_SPEED, -50);
    setField(&p, CR_OFS_RETRIES, -3);
    setField(&p, CR_OFS_RIP_MODE, 7);
    setField(&p, CR_OFS_PARANOIA_MODE, 0x1FF);
    ASSERT_EQ(CR_SetCDROMParameters(&p), CDRIP3_OK);
    ASSERT_EQ(CR_GetCDROMParameters(&p), CDRIP3_OK);
    EXPECT_EQ(field(p, CR_OFS_SECTORS_PER_READ), 1);
    EXPECT_EQ(field(p, CR_OFS_SPEED), -1);
    EXPECT_EQ(field(p, CR_OFS_RETRIES), 0);
    EXPECT_EQ(field(p, CR_OFS_RIP_MODE), 1);
    EXPECT_EQ(field(p, CR_OFS_PARANOIA_MODE), 0xFF);
    setField(&p, CR_OFS_SECTORS_PER_READ, 100000);
    ASSERT_EQ(CR_SetCDROMParameters(&p), CDRIP3_OK);
    int32_t size = 0;
    ASSERT_EQ(CR_OpenRipper(&size, 0, 0), CDRIP3_OK);
    EXPECT_EQ(size, 200 * 2352);
    EXPECT_NE(CR_SetCDROMParameters(nullptr), CDRIP3_OK);
}

TEST_F(Params, SavedSettingsComeBackInAFreshState) {
    CR_DRIVEPARAMS p;
    ASSERT_EQ(CR_GetCDROMParameters(&p), CDRIP3_OK);
    setField(&p, CR_OFS_SECTORS_PER_READ, 13);
    setField(&p, CR_OFS_SPEED, 8);
    setField(&p, CR_OFS_JITTER_ON, 0);
    setField(&p, CR_OFS_PARANOIA_MODE, 0xFF);
    setField(&p, 280, 42);
    ASSERT_EQ(CR_SetCDROMParameters(&p), CDRIP3_OK);
    ASSERT_EQ(CR_SaveSettings(), CDRIP3_OK);

    const std::string text = readText(settingsPath());
    EXPECT_NE(text.find("[Image: alpha.cue]\n"), std::string::npos) << text;
    EXPECT_NE(text.find("sectors_per_read=13\n"), std::string::npos) << text;
    EXPECT_NE(text.find("paranoia_mode=255\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[Image: beta.cue]\n"), std::string::npos) << text;

    // A fresh start where the drives come in the other order: parameters follow names.
    disctest::useDrives({b_, a_});
    ASSERT_EQ(CR_Init(cdrip3test::kSettingsName), 0);
    CR_DRIVEPARAMS back;
    ASSERT_EQ(CR_GetCDROMParameters(&back), CDRIP3_OK);
    EXPECT_STREQ(reinterpret_cast<const char*>(back.bytes), "Image: beta.cue");
    EXPECT_EQ(field(back, CR_OFS_SECTORS_PER_READ), 26);
    CR_SetActiveCDROM(1);
    ASSERT_EQ(CR_GetCDROMParameters(&back), CDRIP3_OK);
    EXPECT_EQ(memcmp(back.bytes + 256, p.bytes + 256, CR_PARAMS_SIZE - 256), 0);
}

TEST_F(Params, ReadOffsetsAreClampedKeptPerDriveAndComeBackFromTheFile) {
    EXPECT_EQ(CR_GetReadOffset(), 0);
    ASSERT_EQ(CR_SetReadOffset(7000), CDRIP3_OK);
    EXPECT_EQ(CR_GetReadOffset(), 5000);
    ASSERT_EQ(CR_SetReadOffset(INT32_MIN), CDRIP3_OK);
    EXPECT_EQ(CR_GetReadOffset(), -5000);
    ASSERT_EQ(CR_SetReadOffset(-667), CDRIP3_OK);
    CR_SetActiveCDROM(1);
    EXPECT_EQ(CR_GetReadOffset(), 0);
    ASSERT_EQ(CR_SetReadOffset(6), CDRIP3_OK);
    ASSERT_EQ(CR_SaveSettings(), CDRIP3_OK);
    const std::string text = readText(settingsPath());
    EXPECT_NE(text.find("read_offset=-667\n"), std::string::npos) << text;
    EXPECT_NE(text.find("read_offset=6\n"), std::string::npos) << text;

    // The offsets follow the names into a fresh state with the drives the other way round.
    disctest::useDrives({b_, a_});
    ASSERT_EQ(CR_Init(cdrip3test::kSettingsName), 0);
    EXPECT_EQ(CR_GetReadOffset(), 6);
    CR_SetActiveCDROM(1);
    EXPECT_EQ(CR_GetReadOffset(), -667);

    // A hand-edited value out of range is clamped as it is read.
    disctest::writeText(settingsPath(), "[Image: beta.cue]\nread_offset=-123456789012\n");
    ASSERT_EQ(CR_Init(cdrip3test::kSettingsName), 0);
    EXPECT_EQ(CR_GetReadOffset(), -5000);
}

// A drive without an offset of its own is not one set to 0: the list of drive offsets may
// give it one, which neither the user's nor a detected one gives way to.
TEST_F(Params, AnOffsetKeepsWhereItCameFromThroughTheFile) {
    const auto expect = [](int32_t drive, int32_t samples, int32_t from) {
        CR_SetActiveCDROM(drive);
        EXPECT_EQ(CR_GetReadOffset(), samples) << "drive " << drive;
        EXPECT_EQ(CR_GetReadOffsetFrom(), from) << "drive " << drive;
    };
    expect(0, 0, CDRIP3_OFFSET_FROM_NONE);
    ASSERT_EQ(CR_SetReadOffsetFrom(9000, CDRIP3_OFFSET_FROM_LIST), CDRIP3_OK);
    expect(0, 5000, CDRIP3_OFFSET_FROM_LIST);
    EXPECT_EQ(CR_SetReadOffsetFrom(7, 4), CDRIP3_ERROR);
    EXPECT_EQ(CR_SetReadOffsetFrom(7, -1), CDRIP3_ERROR);
    expect(0, 5000, CDRIP3_OFFSET_FROM_LIST);
    CR_SetActiveCDROM(1);
    ASSERT_EQ(CR_SetReadOffsetFrom(30, CDRIP3_OFFSET_FROM_DETECTED), CDRIP3_OK);
    ASSERT_EQ(CR_SetReadOffset(-6), CDRIP3_OK);
    expect(1, -6, CDRIP3_OFFSET_FROM_USER);
    ASSERT_EQ(CR_SaveSettings(), CDRIP3_OK);
    std::string text = readText(settingsPath());
    EXPECT_NE(text.find("read_offset=5000\nread_offset_from=list\n"), std::string::npos) << text;
    EXPECT_NE(text.find("read_offset=-6\nread_offset_from=user\n"), std::string::npos) << text;

    ASSERT_EQ(CR_Init(cdrip3test::kSettingsName), 0);
    expect(0, 5000, CDRIP3_OFFSET_FROM_LIST);
    expect(1, -6, CDRIP3_OFFSET_FROM_USER);
    ASSERT_EQ(CR_SetReadOffsetFrom(-12, CDRIP3_OFFSET_FROM_DETECTED), CDRIP3_OK);
    CR_SetActiveCDROM(0);
    ASSERT_EQ(CR_SetReadOffsetFrom(5, CDRIP3_OFFSET_FROM_NONE), CDRIP3_OK);
    ASSERT_EQ(CR_SaveSettings(), CDRIP3_OK);
    ASSERT_EQ(CR_Init(cdrip3test::kSettingsName), 0);
    expect(0, 0, CDRIP3_OFFSET_FROM_NONE);
    expect(1, -12, CDRIP3_OFFSET_FROM_DETECTED);
    text = readText(settingsPath());
    const size_t alpha = text.find("[Image: alpha.cue]");
    ASSERT_NE(alpha, std::string::npos) << text;
    EXPECT_EQ(text.find("read_offset", alpha),
              text.find("read_offset=-12\nread_offset_from=detected"))
        << text;

    // Files written before the source was kept hold the user's offsets, 0 too; a source
    // alone is no offset, and one the library does not know leaves the offset the user's.
    disctest::writeText(settingsPath(),
                        "[Image: alpha.cue]\nread_offset_from=list\n"
                        "[Image: beta.cue]\nread_offset=0\n");
    ASSERT_EQ(CR_Init(cdrip3test::kSettingsName), 0);
    expect(0, 0, CDRIP3_OFFSET_FROM_NONE);
    expect(1, 0, CDRIP3_OFFSET_FROM_USER);
    disctest::writeText(settingsPath(),
                        "[Image: beta.cue]\nread_offset_from=guess\nread_offset=8\n");
    ASSERT_EQ(CR_Init(cdrip3test::kSettingsName), 0);
    expect(1, 8, CDRIP3_OFFSET_FROM_USER);
}

TEST_F(Params, ImageListOfTheSettingsFileBecomesDrives) {
    const auto discPlan = testdisc::audioDisc({40, 40});
    const std::string gamma = home_.file("config/sonvale/gamma.cue");
    testdisc::writeImage(discPlan, gamma);
    disctest::writeText(settingsPath(), "# hand-written\n[Images]\nimage1=gamma.cue\nimage2=" + a_ +
                                            "\n\n[Image: gamma.cue]\nsectors_per_read=3\n"
                                            "[Gone drive (/dev/sr9)]\nspeed=4\n");
    disctest::useDrives({a_});
    ASSERT_EQ(CR_Init(cdrip3test::kSettingsName), 0);
    ASSERT_EQ(CR_GetNumCDROM(), 2);  // alpha is already there from the environment
    EXPECT_STREQ(CR_GetCDROMIDByIndex(1), "Image: gamma.cue");
    CR_SetActiveCDROM(1);
    ASSERT_EQ(CR_ReadToc(), CDRIP3_OK);
    EXPECT_EQ(CR_GetNumTocEntries(), 2);
    int32_t size = 0;
    ASSERT_EQ(CR_OpenRipper(&size, 0, 9), CDRIP3_OK);
    EXPECT_EQ(size, 3 * 2352);
    ASSERT_EQ(CR_CloseRipper(), CDRIP3_OK);

    // Saving keeps the list and the absent drive's section.
    ASSERT_EQ(CR_SaveSettings(), CDRIP3_OK);
    const std::string text = readText(settingsPath());
    EXPECT_NE(text.find("image1=gamma.cue\n"), std::string::npos) << text;
    EXPECT_NE(text.find("image2=" + a_ + "\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[Gone drive (/dev/sr9)]\nsectors_per_read=26\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("speed=4\n"), std::string::npos) << text;
}

TEST_F(Params, SaveCreatesTheFolderAndReplacesTheFileWhole) {
    ASSERT_FALSE(std::filesystem::exists(settingsPath()));
    ASSERT_EQ(CR_SaveSettings(), CDRIP3_OK);
    ASSERT_TRUE(std::filesystem::exists(settingsPath()));
    ASSERT_EQ(CR_SaveSettings(), CDRIP3_OK);
    // Only the file itself is left behind: the temporary was renamed over it.
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(home_.file("config/sonvale"))) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST_F(Params, SaveFailsWhereNoFileCanBe) {
    // Root may write anywhere, but not below a regular file.
    disctest::writeText(home_.file("blocker"), "x");
    setenv("XDG_CONFIG_HOME", home_.file("blocker/config").c_str(), 1);
    ASSERT_EQ(CR_Init(cdrip3test::kSettingsName), 0);  // no file to read is fine
    errno = 0;
    EXPECT_NE(CR_SaveSettings(), CDRIP3_OK);
    EXPECT_EQ(errno, ENOTDIR);       // the program says why
    EXPECT_EQ(CR_GetNumCDROM(), 2);  // the library still works

    // A folder where the file should be.
    setenv("XDG_CONFIG_HOME", home_.file("config").c_str(), 1);
    std::filesystem::create_directories(settingsPath());
    ASSERT_EQ(CR_Init(cdrip3test::kSettingsName), 0);
    errno = 0;
    EXPECT_NE(CR_SaveSettings(), CDRIP3_OK);
    EXPECT_EQ(errno, EISDIR);
}

// As the header's example writes them: a comment after a value or a header, led by a
// blank; a ';' within a value (a path) stays.
TEST_F(Params, CommentsAfterValuesAreLeftOut) {
    const std::string gamma = home_.file("config/sonvale/gam;ma.cue");
    testdisc::writeImage(testdisc::audioDisc({40, 40}), gamma);
    disctest::writeText(settingsPath(),
                        "[Images]\nimage1=gam;ma.cue      ; relative paths are taken from the "
                        "file's folder\n\n[Image: gam;ma.cue]   ; one section per drive\n"
                        "sectors_per_read=3\t# block offset 256\nread_offset=6 ; samples\n"
                        "speed=4;5\n");
    disctest::useDrives({a_});
    ASSERT_EQ(CR_Init(cdrip3test::kSettingsName), 0);
    ASSERT_EQ(CR_GetNumCDROM(), 2);
    ASSERT_STREQ(CR_GetCDROMIDByIndex(1), "Image: gam;ma.cue");
    CR_SetActiveCDROM(1);
    EXPECT_EQ(CR_IsUnitReady(), 1);
    EXPECT_EQ(CR_ReadToc(), CDRIP3_OK);
    CR_DRIVEPARAMS p;
    ASSERT_EQ(CR_GetCDROMParameters(&p), CDRIP3_OK);
    EXPECT_EQ(field(p, CR_OFS_SECTORS_PER_READ), 3);
    EXPECT_EQ(field(p, CR_OFS_SPEED), 0);  // "4;5" is no number
    EXPECT_EQ(CR_GetReadOffset(), 6);
}

TEST_F(Params, HomeFolderIsUsedWithoutXdgConfigHome) {
    unsetenv("XDG_CONFIG_HOME");
    ASSERT_EQ(CR_Init("plain.ini"), 0);
    // The library names the file it writes, so the program can tell the user.
    EXPECT_EQ(std::string(CR_GetSettingsFileName()), home_.file(".config/plain.ini"));
    ASSERT_EQ(CR_SaveSettings(), CDRIP3_OK);
    EXPECT_TRUE(std::filesystem::exists(home_.file(".config/plain.ini")));
}

TEST_F(Params, WithoutANameNothingIsSaved) {
    EXPECT_NE(CR_Init(nullptr), CDRIP3_OK);
    EXPECT_STREQ(CR_GetSettingsFileName(), "");
    EXPECT_NE(CR_SaveSettings(), CDRIP3_OK);
    EXPECT_NE(CR_Init(""), CDRIP3_OK);
    EXPECT_NE(CR_SaveSettings(), CDRIP3_OK);
    EXPECT_EQ(CR_GetNumCDROM(), 2);
    CR_DRIVEPARAMS p;
    EXPECT_EQ(CR_GetCDROMParameters(&p), CDRIP3_OK);
}

TEST_F(Params, MalformedSettingsLinesAreSkipped) {
    std::filesystem::create_directories(home_.file("config/sonvale"));
    disctest::writeText(settingsPath(),
                        "garbage line\n[Image: alpha.cue\nspeed=9\n[Image: alpha.cue]\n"
                        "speed=abc\nretries=5x\n=7\ntimeout = 12 \nsectors_per_read=0x10\n"
                        "field_4294967552=99\nfield_256x=98\n");
    ASSERT_EQ(CR_Init(cdrip3test::kSettingsName), 0);
    CR_DRIVEPARAMS p;
    ASSERT_EQ(CR_GetCDROMParameters(&p), CDRIP3_OK);
    EXPECT_EQ(field(p, CR_OFS_SPEED), 0);
    EXPECT_EQ(field(p, CR_OFS_RETRIES), 0);
    EXPECT_EQ(field(p, CR_OFS_TIMEOUT), 12);
    EXPECT_EQ(field(p, CR_OFS_SECTORS_PER_READ), 16);
}

TEST_F(Params, ADriveNamedWithATrailingBlankKeepsItsSavedValues) {
    // The settings file trims its section names, so the name must not end in a blank.
    const std::string gamma = home_.file("discs/gamma.cue ");
    testdisc::writeImage(testdisc::audioDisc({50}), gamma);
    useDrives({gamma});
    ASSERT_STREQ(CR_GetCDROMIDByIndex(0), "Image: gamma.cue");
    CR_DRIVEPARAMS p;
    ASSERT_EQ(CR_GetCDROMParameters(&p), CDRIP3_OK);
    setField(&p, CR_OFS_SECTORS_PER_READ, 5);
    ASSERT_EQ(CR_SetCDROMParameters(&p), CDRIP3_OK);
    ASSERT_EQ(CR_SaveSettings(), CDRIP3_OK);

    useDrives({gamma});
    ASSERT_EQ(CR_GetCDROMParameters(&p), CDRIP3_OK);
    EXPECT_EQ(field(p, CR_OFS_SECTORS_PER_READ), 5);
}

TEST_F(Params, AnImagePathWithANulByteIsNoDrive) {
    std::filesystem::create_directories(home_.file("config/sonvale"));
    disctest::writeText(settingsPath(), "[Images]\nimage1=" + a_ + std::string(1, '\0') + "x\n");
    ASSERT_EQ(CR_Init(cdrip3test::kSettingsName), 0);
    EXPECT_EQ(CR_GetNumCDROM(), 2);
    EXPECT_STRNE(CR_GetCDROMIDByIndex(CR_GetNumCDROM() - 1), "Image: alpha.cue");
}

TEST_F(Params, LinesUnderABrokenHeaderStayOutOfTheSectionBefore) {
    // A blank name is no drive's; neither header may hand its values to [Images], which
    // would list them as images, nor to the drive before it.
    std::filesystem::create_directories(home_.file("config/sonvale"));
    disctest::writeText(settingsPath(), "[Images]\nimage1=" + a_ +
                                            "\n[ ]\nspeed=9\n[Image: beta.cue\ntimeout=5\n"
                                            "[Image: alpha.cue]\nretries=3\n[]\nretries=7\n");
    ASSERT_EQ(CR_Init(cdrip3test::kSettingsName), 0);
    EXPECT_EQ(CR_GetNumCDROM(), 2);
    CR_DRIVEPARAMS p;
    ASSERT_EQ(CR_GetCDROMParameters(&p), CDRIP3_OK);
    EXPECT_EQ(field(p, CR_OFS_RETRIES), 3);
    CR_SetActiveCDROM(1);
    ASSERT_EQ(CR_GetCDROMParameters(&p), CDRIP3_OK);
    EXPECT_EQ(field(p, CR_OFS_TIMEOUT), 30);

    // Saved and read back, the file lists the one image it had.
    ASSERT_EQ(CR_SaveSettings(), CDRIP3_OK);
    const std::string saved = readText(settingsPath());
    EXPECT_EQ(saved.find("image2="), std::string::npos) << saved;
    EXPECT_EQ(saved.find("[]"), std::string::npos) << saved;
    disctest::useDrives({a_, b_});
    ASSERT_EQ(CR_Init(cdrip3test::kSettingsName), 0);
    EXPECT_EQ(CR_GetNumCDROM(), 2);
    ASSERT_EQ(CR_SaveSettings(), CDRIP3_OK);
    EXPECT_EQ(readText(settingsPath()), saved);
}

}  // namespace
