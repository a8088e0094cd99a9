// The encoder configurations, the Ogg track information and the Vorbis binding's version
// text, over the fake window and scripted libraries.
#include <gtest/gtest.h>

#include <QDate>
#include <QLocale>
#include <cstring>

#include "CDRipIntf.h"
#include "CDSession.h"
#include "EncodeRipper.h"
#include "Encoders.h"
#include "FakeRipWindow.h"
#include "ScriptedCDRip.h"
#include "ScriptedEncoders.h"

using namespace CDRipIntf;
using Rip::TEncodeRipper;

namespace {

template <typename Record>
std::vector<uint8_t> bytesOf(const Record& r) {
    std::vector<uint8_t> b(sizeof r);
    std::memcpy(b.data(), &r, sizeof r);
    return b;
}

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

// True when every byte outside the given [offset, offset + width) fields is zero.
bool zeroOutside(const std::vector<uint8_t>& b, std::vector<std::pair<size_t, size_t>> fields) {
    for (size_t i = 0; i < b.size(); ++i) {
        bool inField = false;
        for (const auto& [at, width] : fields) inField = inField || (i >= at && i < at + width);
        if (!inField && b[i] != 0) return false;
    }
    return true;
}

VbVersionInfo version(uint8_t major, uint8_t minor, uint8_t engineMajor, uint8_t engineMinor,
                      uint8_t day, uint8_t month, uint16_t year) {
    VbVersionInfo v{};
    v.byMajor = major;
    v.byMinor = minor;
    v.byEngineMajor = engineMajor;
    v.byEngineMinor = engineMinor;
    v.byDay = day;
    v.byMonth = month;
    v.wYear = year;
    return v;
}

struct Choice {
    bool mono, device;
};

}  // namespace

TEST(EncodeConfigs, Mp3ConfigFollowsTheChoices) {
    struct Case {
        Choice choice;
        uint8_t mode;
        uint16_t kbps;
    };
    for (const Case c : {Case{{false, false}, 0, 192}, Case{{true, true}, 3, 128},
                         Case{{true, false}, 3, 192}, Case{{false, true}, 0, 128}}) {
        SCOPED_TRACE(testing::Message() << int(c.mode) << " " << c.kbps);
        FakeRipWindow window;
        CDRipIntf::TCDSession session;
        Rip::TEncoders encoders;
        window.choices.Stereo = !c.choice.mono;
        window.choices.Mono = c.choice.mono;
        window.choices.PersonalComputer = !c.choice.device;
        window.choices.PersonalDevice = c.choice.device;
        const BE_CONFIG config =
            TEncodeRipper(window, window.control, session, encoders).BuildMp3Config();
        const auto b = bytesOf(config);
        ASSERT_EQ(b.size(), 260u);
        EXPECT_EQ(le32(b, 0), 0u);  // the MP3 variant
        EXPECT_EQ(le32(b, 4), 44100u);
        EXPECT_EQ(b[8], c.mode);
        EXPECT_EQ(b[9] | b[10] << 8, c.kbps);
        // The private, CRC, copyright and original flags and the rest stay zero.
        EXPECT_TRUE(zeroOutside(b, {{4, 4}, {8, 1}, {9, 2}}));
    }
}

TEST(EncodeConfigs, OggConfigFollowsTheChoices) {
    struct Case {
        Choice choice;
        uint32_t channels;
        float quality;
    };
    for (const Case c : {Case{{false, false}, 2, 0.6f}, Case{{true, true}, 1, 0.4f},
                         Case{{true, false}, 1, 0.6f}, Case{{false, true}, 2, 0.4f}}) {
        SCOPED_TRACE(testing::Message() << c.channels << " " << c.quality);
        FakeRipWindow window;
        CDRipIntf::TCDSession session;
        Rip::TEncoders encoders;
        window.choices.Stereo = !c.choice.mono;
        window.choices.Mono = c.choice.mono;
        window.choices.PersonalComputer = !c.choice.device;
        window.choices.PersonalDevice = c.choice.device;
        const auto b =
            bytesOf(TEncodeRipper(window, window.control, session, encoders).BuildOggConfig());
        ASSERT_EQ(b.size(), 260u);
        EXPECT_EQ(le32(b, 0), 1024u);
        EXPECT_EQ(le32(b, 4), 0u);
        EXPECT_EQ(le32(b, 8), 260u);
        EXPECT_EQ(le32(b, 12), c.channels);
        EXPECT_EQ(le32(b, 16), 44100u);
        float quality = 0;
        std::memcpy(&quality, b.data() + 36, 4);
        EXPECT_EQ(quality, c.quality);  // the nearest single-precision value, exactly
        EXPECT_TRUE(zeroOutside(b, {{0, 4}, {8, 4}, {12, 4}, {16, 4}, {36, 4}}));
    }
}

TEST(VorbisVersion, TextOfTheVersionRecord) {
    EXPECT_EQ(VorbisDll::VersionText(version(1, 2, 1, 10, 5, 3, 2003)),
              "Ver 1.02 (Engine Ver : 1.10, Date : 2003-3-5)");
    // Minors are padded to two digits; day and month never are.
    EXPECT_EQ(VorbisDll::VersionText(version(2, 5, 1, 3, 28, 12, 2026)),
              "Ver 2.05 (Engine Ver : 1.03, Date : 2026-12-28)");
    EXPECT_EQ(VorbisDll::VersionText(version(10, 12, 0, 0, 1, 1, 1999)),
              "Ver 10.12 (Engine Ver : 0.00, Date : 1999-1-1)");
    EXPECT_EQ(VorbisDll::VersionText(version(255, 255, 255, 255, 31, 12, 65535)),
              "Ver 255.255 (Engine Ver : 255.255, Date : 65535-12-31)");
}

TEST(VorbisVersion, AsksTheLibraryAndIsEmptyWithoutOne) {
    Rip::TEncoders encoders;
    encoders.UnloadVorbisLibrary();
    EXPECT_EQ(encoders.VorbisVersionText(), "");
    ScriptedEncoder encoder;
    encoder.version = version(1, 2, 1, 10, 5, 3, 2003);
    encoder.InstallVorbis(encoders);
    EXPECT_EQ(encoders.VorbisVersionText(), "Ver 1.02 (Engine Ver : 1.10, Date : 2003-3-5)");
    encoder.versionResult = 1;
    EXPECT_EQ(encoders.VorbisVersionText(), "");
    encoders.UnloadVorbisLibrary();
    EXPECT_EQ(encoders.VorbisVersionText(), "");
    EXPECT_FALSE(encoders.VorbisLibraryReady());
}

class OggTrackInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Ten audio tracks and a data track.
        ScriptedDrive d = AudioDrive("A", std::vector<uint32_t>(11, 300));
        d.tracks[10].data = true;
        lib.drives = {d};
        lib.Install(session);
        encoder.version = version(1, 2, 1, 10, 5, 3, 2003);
        encoder.InstallVorbis(encoders);
        window.choices.Artist = "The Testers";
        window.choices.Album = "Sine Songs";
        window.choices.RecordingName = "Track 4";
        window.choices.Genre = "Ambient";
    }
    void TearDown() override {
        encoders.UnloadVorbisLibrary();
        session.Finalize();
    }

    ScriptedCDRip lib;
    ScriptedEncoder encoder;
    FakeRipWindow window;
    CDRipIntf::TCDSession session;
    Rip::TEncoders encoders;
    TEncodeRipper ripper{window, window.control, session, encoders};
};

TEST_F(OggTrackInfoTest, WordsAndTexts) {
    const QDate today(2026, 3, 5);
    ripper.SetToday([&] { return today; });
    ripper.FillOggTrackInfo(4);
    const VbTrackInfo& info = ripper.OggTrackInfo();
    EXPECT_EQ(info.dwSize, sizeof(VbTrackInfo));
    EXPECT_EQ(info.dwReserved1, 1u);
    EXPECT_EQ(info.dwReserved2, 1u);
    EXPECT_EQ(info.dwReserved3, 44u);
    EXPECT_EQ(info.dwReserved4, 1u);
    EXPECT_EQ(info.dwTrackNumber, 4u);
    EXPECT_EQ(info.dwTrackCount, 11u);  // data tracks count too
    EXPECT_STREQ(info.pszTitle, "Track 4");
    EXPECT_STREQ(info.pszArtist, "The Testers");
    EXPECT_STREQ(info.pszAlbum, "Sine Songs");
    EXPECT_STREQ(info.pszGenre, "Ambient");
    EXPECT_STREQ(info.pszEncoder, "Encoder DLL : Ver 1.02 (Engine Ver : 1.10, Date : 2003-3-5)");
    EXPECT_STREQ(info.pszComment, "Sonvale - https://www.sonvale.example/");
    EXPECT_EQ(QString::fromUtf8(info.pszDate), QLocale().toString(today, QLocale::ShortFormat));
}

TEST_F(OggTrackInfoTest, TextsAreReadAtEachCall) {
    ripper.FillOggTrackInfo(4);
    window.choices.RecordingName = "Track 7";
    window.choices.Artist.clear();
    lib.tocCountOverride = 3;
    encoders.UnloadVorbisLibrary();
    ripper.FillOggTrackInfo(7);
    const VbTrackInfo& info = ripper.OggTrackInfo();
    EXPECT_STREQ(info.pszTitle, "Track 7");
    EXPECT_STREQ(info.pszArtist, "");
    EXPECT_STREQ(info.pszEncoder, "Encoder DLL : ");
    EXPECT_EQ(info.dwTrackNumber, 7u);
    EXPECT_EQ(info.dwTrackCount, 3u);
}

TEST_F(OggTrackInfoTest, LongTextsAreCutTo131Bytes) {
    window.choices.Genre = QString(200, QLatin1Char('g'));
    ripper.FillOggTrackInfo(1);
    EXPECT_EQ(std::string(ripper.OggTrackInfo().pszGenre), std::string(131, 'g'));

    window.choices.Genre = QString(131, QLatin1Char('x'));
    ripper.FillOggTrackInfo(1);
    EXPECT_EQ(std::string(ripper.OggTrackInfo().pszGenre), std::string(131, 'x'));

    // Two-byte characters: 65 of them fill 130 bytes and the 66th would not fit whole.
    window.choices.Genre = QString(100, QChar(0x00E9));
    ripper.FillOggTrackInfo(1);
    const QByteArray cut(ripper.OggTrackInfo().pszGenre);
    EXPECT_EQ(cut.size(), 130);
    EXPECT_EQ(QString::fromUtf8(cut), QString(65, QChar(0x00E9)));

    // A character of three bytes straddling byte 131.
    window.choices.Genre = QString(130, QLatin1Char('a')) + QChar(0x20AC);
    ripper.FillOggTrackInfo(1);
    EXPECT_EQ(std::string(ripper.OggTrackInfo().pszGenre), std::string(130, 'a'));
}
