// Loading the Ogg Vorbis library at run time: the real libvorbisdll.so, a missing one, and
// one that lacks entry points.
#include <gtest/gtest.h>

#include <QRegularExpression>

#include "CDRipIntf.h"
#include "EncodeRipper.h"
#include "FakeRipWindow.h"
#include "RipTestSupport.h"
#include "ScriptedCDRip.h"
#include "VorbisDll.h"

using namespace VorbisDll;

namespace {

const std::string kBin = SONVALE_BIN_DIR;

class VorbisDllTest : public ::testing::Test {
protected:
    void SetUp() override { UnloadVorbisLibrary(); }
    void TearDown() override { UnloadVorbisLibrary(); }
};

VbResult fakeVersion(VbVersionInfo* info) {
    *info = VbVersionInfo{};
    info->byMajor = 42;
    return VB_OK;
}

}  // namespace

TEST_F(VorbisDllTest, LoadsTheLibraryBesideTheProgram) {
    EXPECT_FALSE(VorbisLibraryReady());
    ASSERT_TRUE(LoadVorbisLibrary());
    EXPECT_TRUE(VorbisLibraryReady());
    for (const void* cell :
         {(void*)Vorbis.vbEncOpen, (void*)Vorbis.vbEncWrite, (void*)Vorbis.vbEncClose,
          (void*)Vorbis.vbDecOpen, (void*)Vorbis.vbDecRead, (void*)Vorbis.vbDecSeek,
          (void*)Vorbis.vbDecClose, (void*)Vorbis.vbVersion})
        EXPECT_NE(cell, nullptr);
    const std::string text = VorbisVersionText();
    const QRegularExpression format(QStringLiteral(
        R"(^Ver \d+\.\d\d \(Engine Ver : \d+\.\d\d, Date : \d{4}-\d{1,2}-\d{1,2}\)$)"));
    EXPECT_TRUE(format.match(QString::fromStdString(text)).hasMatch()) << text;

    // Loaded once: a second call neither loads again nor looks the entry points up.
    Vorbis.vbVersion = fakeVersion;
    EXPECT_TRUE(LoadVorbisLibrary(kBin + "/no-such-library.so"));
    EXPECT_EQ(Vorbis.vbVersion, &fakeVersion);
    EXPECT_EQ(VorbisVersionText(), "Ver 42.00 (Engine Ver : 0.00, Date : 0-0-0)");

    UnloadVorbisLibrary();
    EXPECT_FALSE(VorbisLibraryReady());
    EXPECT_EQ(Vorbis.vbEncOpen, nullptr);
    EXPECT_EQ(VorbisVersionText(), "");
    UnloadVorbisLibrary();  // a second unload does nothing
}

TEST_F(VorbisDllTest, MissingLibraryLeavesTheBindingNotReady) {
    EXPECT_FALSE(LoadVorbisLibrary(kBin + "/no-such-library.so"));
    EXPECT_FALSE(VorbisLibraryReady());
    EXPECT_EQ(VorbisVersionText(), "");
    uint32_t bytes = 7;
    EXPECT_EQ(VorbisDll::vbEncWrite(1, 0, nullptr, nullptr, &bytes), kMissingEntryPoint);
    EXPECT_EQ(bytes, 0u);
    EXPECT_EQ(VorbisDll::vbEncClose(1, nullptr, nullptr), kMissingEntryPoint);
    // A failed load is not remembered as a handle: the real library still loads afterwards.
    EXPECT_TRUE(LoadVorbisLibrary(kBin + "/libvorbisdll.so"));
}

TEST_F(VorbisDllTest, EntryPointsTheLibraryLacksAreNeverCalled) {
    ASSERT_TRUE(LoadVorbisLibrary(kBin + "/libvorbisdll-partial.so"));
    EXPECT_TRUE(VorbisLibraryReady());
    EXPECT_NE(Vorbis.vbEncOpen, nullptr);
    EXPECT_NE(Vorbis.vbVersion, nullptr);
    EXPECT_EQ(Vorbis.vbEncWrite, nullptr);
    EXPECT_EQ(Vorbis.vbEncClose, nullptr);
    EXPECT_EQ(Vorbis.vbDecOpen, nullptr);
    EXPECT_EQ(VorbisVersionText(), "Ver 0.09 (Engine Ver : 1.03, Date : 2026-4-1)");

    // A track through it fails at the first missing call and says so.
    ScriptedCDRip lib;
    lib.drives = {AudioDrive("A", {300})};
    lib.ripper.chunks = {{0, 4 * 2352, 100}};
    lib.Install();
    ASSERT_EQ(CDRipIntf::ReadDiscInfo(CDRipIntf::DiscInfo), 0);
    riptest::TempDir dir;
    FakeRipWindow window;
    Rip::TEncodeRipper ripper(window, window.control);
    const QString name = QString::fromStdString(dir.file("Live Track 1.ogg"));
    EXPECT_EQ(ripper.EncodeTrackToOgg(CDRipIntf::DiscInfo, 1, name, ripper.BuildOggConfig()), 1);
    EXPECT_EQ(window.dialogs, QStringList({"error: vbEncWrite failed 4294967295"}));
    EXPECT_TRUE(riptest::readFile(dir.file("Live Track 1.ogg")).empty());
    CDRipIntf::FinalizeCDRip();
}
