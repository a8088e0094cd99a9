// The MP3 and Ogg Vorbis batches end to end: the program's bindings over the real
// libcdrip3.so, libbladeenc.so and libvorbisdll.so, reading generated disc images. The
// files are read back independently, with libmpg123 and libvorbisfile, and their audio
// is compared with the tone the image holds for the track.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <zlib.h>

#include <QDate>
#include <QLocale>
#include <cstring>
#include <filesystem>

#include "CDRipIntf.h"
#include "CDSession.h"
#include "EncodeBatch.h"
#include "Encoders.h"
#include "FakeRipWindow.h"
#include "RipTestSupport.h"
#include "ToneSignal.h"
#include "WaveBatch.h"
#include "drivemodel.h"
#include "mp3check.h"
#include "oggcheck.h"
#include "testdisc.h"

using namespace CDRipIntf;
using namespace riptest;
using namespace tonesignal;

namespace {

const std::string kBin = SONVALE_BIN_DIR;
constexpr size_t kMp3Frame = 1152;
constexpr size_t kEncoderDelay = 576;
// The stream has no Info frame to trim by: the encoder's delay in front and the padding
// of the last frames behind.
constexpr size_t kMaxExtra = kEncoderDelay + 2 * kMp3Frame;

class EncodeRipE2E : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("HOME", home.path().c_str(), 1);
        setenv("XDG_CONFIG_HOME", home.file("config").c_str(), 1);
        ASSERT_TRUE(encoders.LoadVorbisLibrary(kBin + "/libvorbisdll.so"));
    }
    void TearDown() override {
        unsetenv("CDRIP3_FAULTS");
        session.CR_CloseRipper();
        session.Finalize();
        encoders.UnloadVorbisLibrary();
    }

    void Insert(const testdisc::DiscPlan& disc) {
        discPlan = disc;
        const std::string cue = images.file("disc.cue");
        toc = testdisc::writeImage(discPlan, cue);
        setenv("CDRIP3_IMAGES", cue.c_str(), 1);
        setenv("CDRIP3_DEVICES", "", 1);
        svdrives::DriveModel::instance().resetForTests();
        session.Initialize(kBin + "/libcdrip3.so");
        ASSERT_TRUE(session.Ready());
        for (int32_t i = 0; i < session.CR_GetNumCDROM(); ++i)
            if (session.CR_GetCDROMIDByIndex(i) == "Image: disc.cue") session.CR_SetActiveCDROM(i);
        ASSERT_EQ(session.ReadDiscInfo(session.Disc()), 0);
        window.choices.Directory = QString::fromStdString(out.path().string());
        window.choices.Album = "Live";
        window.choices.Artist = "The Testers";
        window.choices.Genre = "Ambient";
        window.choices.MultipleTracks = true;
        window.SetLines(session.Disc().TrackCount, {});
    }
    void Choose(bool mono, bool device) {
        window.choices.Stereo = !mono;
        window.choices.Mono = mono;
        window.choices.PersonalComputer = !device;
        window.choices.PersonalDevice = device;
    }

    // Track position i (from 0) as the disc holds it, one channel or the mono mix.
    size_t TrackFrames(size_t i) const { return size_t(toc.tracks.at(i).sectors) * 588; }
    std::vector<double> Source(size_t i, int which) const {
        const auto& t = toc.tracks.at(i);
        const auto bytes =
            testdisc::rangeBytes(discPlan, t.startSector, t.startSector + t.sectors - 1);
        std::vector<int16_t> pcm(bytes.size() / 2);
        std::memcpy(pcm.data(), bytes.data(), pcm.size() * 2);
        if (which >= 0) return channel(pcm, 2, which);
        std::vector<double> mix(pcm.size() / 2);
        for (size_t k = 0; k < mix.size(); ++k) mix[k] = (pcm[2 * k] + pcm[2 * k + 1]) / 65536.0;
        return mix;
    }
    std::vector<uint8_t> Read(const std::string& name) const { return readFile(out.file(name)); }

    // A track's MP3 file: bare frames of the chosen rate and mode, decoding to the track's
    // audio. partial: the file ends early (a cancelled track).
    void ExpectMp3(const std::string& name, size_t i, bool mono, int kbps, bool partial = false) {
        SCOPED_TRACE(name);
        const auto mp3 = Read(name);
        const mp3check::Walk w = mp3check::walkFrames(mp3);
        ASSERT_FALSE(w.frames.empty());
        EXPECT_EQ(w.end, mp3.size());  // no tag behind, nothing but frames
        EXPECT_NE(std::memcmp(mp3.data(), "ID3", 3), 0);
        const uint8_t* first = mp3.data();
        EXPECT_FALSE(mp3check::contains(first, first + w.frames[0].length, "Xing"));
        EXPECT_FALSE(mp3check::contains(first, first + w.frames[0].length, "Info"));
        for (const mp3check::Frame& f : w.frames) {
            ASSERT_EQ(f.kbps, kbps) << "frame at " << f.offset;
            ASSERT_EQ(f.mode, mono ? 3 : 0) << "frame at " << f.offset;
        }

        const mp3check::Decoded d = mp3check::decode(mp3, "e2e.mp3");
        ASSERT_EQ(d.channels, mono ? 1 : 2);
        EXPECT_EQ(d.rate, 44100);
        const size_t frames = TrackFrames(i);
        if (partial) {
            ASSERT_GT(d.frames(), 2 * kMaxExtra);
            EXPECT_LT(d.frames(), frames);
        } else {
            EXPECT_GE(d.frames(), frames + kEncoderDelay);
            EXPECT_LE(d.frames(), frames + kMaxExtra);
        }
        ExpectCloseToSource(d.pcm, d.channels, i, 0, kMaxExtra, mono ? 20 : 25);
    }

    // A track's Ogg file: decoding to the track's length to the sample (unless partial).
    oggcheck::Decoded ExpectOgg(const std::string& name, size_t i, bool mono,
                                bool partial = false) {
        SCOPED_TRACE(name);
        const oggcheck::Decoded d = oggcheck::decode(Read(name), "e2e.ogg");
        EXPECT_TRUE(d.opened);
        if (!d.opened) return d;
        EXPECT_EQ(d.channels, mono ? 1 : 2);
        EXPECT_EQ(d.rate, 44100);
        if (partial) {
            EXPECT_GT(d.frames(), size_t(kRate));
            EXPECT_LT(d.frames(), TrackFrames(i));
        } else {
            EXPECT_EQ(d.frames(), TrackFrames(i));
            EXPECT_EQ(d.pcmTotal, int64_t(TrackFrames(i)));
        }
        ExpectCloseToSource(d.pcm, d.channels, i, 0, 0, 20);
        return d;
    }

    // Each decoded channel against the image's audio for the track, over a second from its
    // middle (or all of a short piece), at the best lag within [minLag, maxLag].
    void ExpectCloseToSource(const std::vector<int16_t>& pcm, int channels, size_t i, size_t minLag,
                             size_t maxLag, double minSnrDb) {
        const double hz = testdisc::toneHz(int(i));
        for (int c = 0; c < channels; ++c) {
            const auto decoded = channel(pcm, channels, c);
            const auto source = Source(i, channels == 1 ? -1 : c);
            const size_t usable = std::min(source.size(), decoded.size() - maxLag);
            const size_t count = std::min<size_t>(kRate, usable / 2);
            const size_t from = (usable - count) / 2;
            const Match m = bestMatch(source, decoded, from, count, minLag, maxLag);
            EXPECT_GT(m.snrDb, minSnrDb) << "channel " << c << " lag " << m.lag;
            // The track's own tone at its level: 0.5 per channel, or the mix of the two
            // channels 90 degrees apart.
            const double expected = channels == 1 ? 0.5 * std::sqrt(0.5) : 0.5;
            EXPECT_NEAR(amplitudeAt(decoded, from + m.lag, count, hz), expected, 0.03);
        }
    }

    TempDir home, images, out;
    testdisc::DiscPlan discPlan;
    testdisc::ExpectedDisc toc;
    CDRipIntf::TCDSession session;
    Rip::TEncoders encoders;
    FakeRipWindow window;
    Rip::TEncodeRipper ripper{window, window.control, session, encoders};
};

}  // namespace

TEST_F(EncodeRipE2E, Mp3StereoAt192) {
    Insert(testdisc::audioDisc({300, 412, 263}));
    window.SetLines(3, {0, 2});
    Rip::RipTracksToMp3(window, window.control, ripper, window.Plan(session.Disc()));
    EXPECT_EQ(window.status, "Ripping and Encoding Completed.");
    EXPECT_TRUE(window.statuses.contains(
        "Successfully Ripped and Encoded Live to Live Track 3.mp3 to MP3 Format."));
    EXPECT_TRUE(window.dialogs.empty());
    EXPECT_TRUE(window.SelectedLines().empty());
    EXPECT_FALSE(std::filesystem::exists(out.file("Live Track 2.mp3")));
    ExpectMp3("Live Track 1.mp3", 0, false, 192);
    ExpectMp3("Live Track 3.mp3", 2, false, 192);
    EXPECT_NE(session.CR_CloseRipper(), 0);  // the batch closed it
    // The sums of the last track are over the audio as delivered, before the encoder.
    const auto& t = toc.tracks.at(2);
    const auto audio = testdisc::rangeBytes(discPlan, t.startSector, t.startSector + t.sectors - 1);
    EXPECT_EQ(ripper.LastChecksum().Samples(), audio.size() / 4);
    EXPECT_EQ(ripper.LastChecksum().Crc32(), uint32_t(crc32(0, audio.data(), uInt(audio.size()))));
}

TEST_F(EncodeRipE2E, Mp3MonoAt128) {
    Insert(testdisc::audioDisc({300, 412, 263}));
    Choose(true, true);
    window.SetLines(3, {1});
    Rip::RipTracksToMp3(window, window.control, ripper, window.Plan(session.Disc()));
    EXPECT_EQ(window.status, "Ripping and Encoding Completed.");
    ExpectMp3("Live Track 2.mp3", 1, true, 128);
}

TEST_F(EncodeRipE2E, OggStereoAtQuality06WithTheNineComments) {
    Insert(testdisc::audioDisc({300, 412, 263}));
    window.SetLines(3, {0, 1});
    const QDate today(2026, 12, 31);
    ripper.SetToday([&] { return today; });
    Rip::RipTracksToOgg(window, window.control, ripper, window.Plan(session.Disc()));
    EXPECT_EQ(window.status, "Ripping and Encoding Completed.");
    EXPECT_TRUE(window.statuses.contains(
        "Successfully Ripped and Encoded Live to Live Track 2.ogg to Ogg Vorbis Format."));
    EXPECT_TRUE(window.dialogs.empty());
    ExpectOgg("Live Track 1.ogg", 0, false);
    const oggcheck::Decoded d = ExpectOgg("Live Track 2.ogg", 1, false);
    EXPECT_GE(d.bitrateNominal, 176000);
    EXPECT_LE(d.bitrateNominal, 208000);

    const std::string encoder = "Encoder DLL : " + encoders.VorbisVersionText();
    const std::multimap<std::string, std::string> expected = {
        {"ARTIST", "The Testers"},
        {"ALBUM", "Live"},
        {"TITLE", "Track 2"},
        {"GENRE", "Ambient"},
        {"TRACKNUMBER", "2"},
        {"TRACKTOTAL", "3"},
        {"DATE", QLocale().toString(today, QLocale::ShortFormat).toStdString()},
        {"ENCODER", encoder},
        {"COMMENT", "Sonvale - https://www.sonvale.example/"}};
    EXPECT_EQ(d.comments, expected);
    EXPECT_EQ(encoder.rfind("Encoder DLL : Ver ", 0), 0u);
}

TEST_F(EncodeRipE2E, OggMonoAtQuality04) {
    Insert(testdisc::audioDisc({300, 412, 263}));
    Choose(true, true);
    window.SetLines(3, {2});
    Rip::RipTracksToOgg(window, window.control, ripper, window.Plan(session.Disc()));
    EXPECT_EQ(window.status, "Ripping and Encoding Completed.");
    const oggcheck::Decoded d = ExpectOgg("Live Track 3.ogg", 2, true);
    EXPECT_GT(d.bitrateNominal, 0);
    EXPECT_LT(d.bitrateNominal, 112000);
}

TEST_F(EncodeRipE2E, CancelFinishesAPlayableFileAndEndsTheBatch) {
    Insert(testdisc::audioDisc({900, 300}));
    window.SetLines(2, {0, 1});
    // Step 1 is the bar's reset; cancel a good way into the first track.
    window.onProgress = [&](int call) {
        if (call == 20) window.control.Cancel();
    };
    Rip::RipTracksToMp3(window, window.control, ripper, window.Plan(session.Disc()));
    EXPECT_EQ(window.status, "Ripping and Encoding Canceled.");
    ExpectMp3("Live Track 1.mp3", 0, false, 192, true);
    EXPECT_FALSE(std::filesystem::exists(out.file("Live Track 2.mp3")));
    EXPECT_EQ(window.SelectedLines(), std::vector<int>({0, 1}));

    window.statuses.clear();
    window.progress.clear();
    window.control.Reset();
    Rip::RipTracksToOgg(window, window.control, ripper, window.Plan(session.Disc()));
    EXPECT_EQ(window.status, "Ripping and Encoding Canceled.");
    ExpectOgg("Live Track 1.ogg", 0, false, true);
    EXPECT_FALSE(std::filesystem::exists(out.file("Live Track 2.ogg")));
}

TEST_F(EncodeRipE2E, UnreadableSectorEndsTheTrackAsFailedAndJitterDoesNot) {
    Insert(testdisc::audioDisc({900, 300}));
    // Track 1 cannot be read from sector 400 on; track 2 (from 900) reports jitter at 1000.
    setenv("CDRIP3_FAULTS", "unreadable=400-420;jitter=1000", 1);
    window.SetLines(2, {0, 1});
    Rip::RipTracksToOgg(window, window.control, ripper, window.Plan(session.Disc()));
    unsetenv("CDRIP3_FAULTS");
    EXPECT_EQ(window.dialogs, QStringList({"box:OK: Error : CR_RipChunk"}));
    EXPECT_FALSE(window.statuses.contains(
        "Successfully Ripped and Encoded Live to Live Track 1.ogg to Ogg Vorbis Format."));
    EXPECT_TRUE(window.statuses.contains(
        "Successfully Ripped and Encoded Live to Live Track 2.ogg to Ogg Vorbis Format."));
    EXPECT_EQ(window.status,
              "Ripping and Encoding Ended with Errors - 1 of 2 Track(s) not Ripped.");
    // The failed track's file ends with the audio read before the bad sector.
    const oggcheck::Decoded d = ExpectOgg("Live Track 1.ogg", 0, false, true);
    EXPECT_EQ(d.frames(), 400u * 588u);
    ExpectOgg("Live Track 2.ogg", 1, false);
}

TEST_F(EncodeRipE2E, DataTrackOfACdExtraDiscIsPassedOver) {
    testdisc::DiscPlan disc = testdisc::audioDisc({200, 150, 300});
    disc.cdExtra = true;
    Insert(disc);
    ASSERT_EQ(session.Disc().TrackCount, 3);
    window.SetLines(3, {1, 2});
    Rip::RipTracksToOgg(window, window.control, ripper, window.Plan(session.Disc()));
    EXPECT_TRUE(window.statuses.contains("Not an Audio Track - Track 3"));
    EXPECT_FALSE(std::filesystem::exists(out.file("Live Track 3.ogg")));
    EXPECT_EQ(window.status,
              "Ripping and Encoding Ended with Errors - 1 of 2 Track(s) not Ripped.");
    EXPECT_TRUE(window.SelectedLines().empty());
    // The last audio track stops where its session ends; the data track is counted.
    const oggcheck::Decoded d = ExpectOgg("Live Track 2.ogg", 1, false);
    EXPECT_EQ(d.frames(), 150u * 588u);
    const auto total = d.comments.find("TRACKTOTAL");
    ASSERT_NE(total, d.comments.end());
    EXPECT_EQ(total->second, "3");
}

TEST_F(EncodeRipE2E, OggBatchWithoutTheLibrary) {
    Insert(testdisc::audioDisc({300, 200}));
    encoders.UnloadVorbisLibrary();
    EXPECT_FALSE(encoders.LoadVorbisLibrary(kBin + "/no-libvorbisdll-here.so"));
    window.SetLines(2, {0, 1});
    Rip::RipTracksToOgg(window, window.control, ripper, window.Plan(session.Disc()));
    EXPECT_EQ(window.dialogs, QStringList({"box:OK: Vorbis.DLL is not Ready."}));
    EXPECT_TRUE(window.statuses.empty());
    EXPECT_EQ(window.SelectedLines(), std::vector<int>({0, 1}));
    EXPECT_TRUE(std::filesystem::is_empty(out.path()));
}
