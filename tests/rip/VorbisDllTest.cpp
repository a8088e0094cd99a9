// Loading the Ogg Vorbis library at run time: the real libvorbisdll.so, a missing one, and
// one that lacks entry points.
#include <gtest/gtest.h>

#include <QRegularExpression>

#include "CDSession.h"
#include "EncodeRipper.h"
#include "Encoders.h"
#include "FakeRipWindow.h"
#include "RipTestSupport.h"
#include "ScriptedCDRip.h"

using namespace VorbisDll;

namespace {

const std::string kBin = SONVALE_BIN_DIR;

class VorbisDllTest : public ::testing::Test {
protected:
    Rip::TEncoders encoders;
};

}  // namespace

TEST_F(VorbisDllTest, LoadsTheLibraryBesideTheProgram) {
    EXPECT_FALSE(encoders.VorbisLibraryReady());
    ASSERT_TRUE(encoders.LoadVorbisLibrary());
    EXPECT_TRUE(encoders.VorbisLibraryReady());
    const VorbisDll::TVorbisFunctions& cells = encoders.Vorbis();
    for (const void* cell :
         {(void*)cells.vbEncOpen, (void*)cells.vbEncWrite, (void*)cells.vbEncClose,
          (void*)cells.vbDecOpen, (void*)cells.vbDecRead, (void*)cells.vbDecSeek,
          (void*)cells.vbDecClose, (void*)cells.vbVersion})
        EXPECT_NE(cell, nullptr);
    const std::string text = encoders.VorbisVersionText();
    const QRegularExpression format(QStringLiteral(
        R"(^Ver \d+\.\d\d \(Engine Ver : \d+\.\d\d, Date : \d{4}-\d{1,2}-\d{1,2}\)$)"));
    EXPECT_TRUE(format.match(QString::fromStdString(text)).hasMatch()) << text;

    // Loaded once: a second call neither loads again nor looks the entry points up. The
    // partial library lacks vbEncWrite and names another version.
    const auto encWrite = cells.vbEncWrite;
    EXPECT_TRUE(encoders.LoadVorbisLibrary(kBin + "/libvorbisdll-partial.so"));
    EXPECT_EQ(cells.vbEncWrite, encWrite);
    EXPECT_EQ(encoders.VorbisVersionText(), text);
    EXPECT_TRUE(encoders.LoadVorbisLibrary(kBin + "/no-such-library.so"));

    encoders.UnloadVorbisLibrary();
    EXPECT_FALSE(encoders.VorbisLibraryReady());
    EXPECT_EQ(encoders.Vorbis().vbEncOpen, nullptr);
    EXPECT_EQ(encoders.VorbisVersionText(), "");
    encoders.UnloadVorbisLibrary();  // a second unload does nothing
}

TEST_F(VorbisDllTest, MissingLibraryLeavesTheBindingNotReady) {
    EXPECT_FALSE(encoders.LoadVorbisLibrary(kBin + "/no-such-library.so"));
    EXPECT_FALSE(encoders.VorbisLibraryReady());
    EXPECT_EQ(encoders.VorbisVersionText(), "");
    uint32_t bytes = 7;
    EXPECT_EQ(encoders.vbEncWrite(1, 0, nullptr, nullptr, &bytes), kMissingEntryPoint);
    EXPECT_EQ(bytes, 0u);
    EXPECT_EQ(encoders.vbEncClose(1, nullptr, nullptr), kMissingEntryPoint);
    // A failed load is not remembered as a handle: the real library still loads afterwards.
    EXPECT_TRUE(encoders.LoadVorbisLibrary(kBin + "/libvorbisdll.so"));
}

TEST_F(VorbisDllTest, EntryPointsTheLibraryLacksAreNeverCalled) {
    ASSERT_TRUE(encoders.LoadVorbisLibrary(kBin + "/libvorbisdll-partial.so"));
    EXPECT_TRUE(encoders.VorbisLibraryReady());
    EXPECT_NE(encoders.Vorbis().vbEncOpen, nullptr);
    EXPECT_NE(encoders.Vorbis().vbVersion, nullptr);
    EXPECT_EQ(encoders.Vorbis().vbEncWrite, nullptr);
    EXPECT_EQ(encoders.Vorbis().vbEncClose, nullptr);
    EXPECT_EQ(encoders.Vorbis().vbDecOpen, nullptr);
    EXPECT_EQ(encoders.VorbisVersionText(), "Ver 0.09 (Engine Ver : 1.03, Date : 2026-4-1)");

    // A track through it fails at the first missing call and says so.
    ScriptedCDRip lib;
    CDRipIntf::TCDSession session;
    lib.drives = {AudioDrive("A", {300})};
    lib.ripper.chunks = {{0, 4 * 2352, 100}};
    lib.Install(session);
    ASSERT_EQ(session.ReadDiscInfo(session.Disc()), 0);
    riptest::TempDir dir;
    FakeRipWindow window;
    Rip::TEncodeRipper ripper(window, window.control, session, encoders);
    const QString name = QString::fromStdString(dir.file("Live Track 1.ogg"));
    EXPECT_EQ(ripper.EncodeTrackToOgg(session.Disc(), 1, name, ripper.BuildOggConfig()), 1);
    EXPECT_EQ(window.dialogs, QStringList({"error: vbEncWrite failed 4294967295"}));
    EXPECT_TRUE(riptest::readFile(dir.file("Live Track 1.ogg")).empty());
    session.Finalize();
}
