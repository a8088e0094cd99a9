// The Wave batch end to end: the program's binding over the real libcdrip3.so, reading
// generated disc images, with sox as an independent reader of the files written.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>

#include "CDRipIntf.h"
#include "CDSession.h"
#include "Encoders.h"
#include "FakeRipWindow.h"
#include "RipTestSupport.h"
#include "WaveBatch.h"
#include "drivemodel.h"
#include "testdisc.h"

using namespace CDRipIntf;
using namespace riptest;

namespace {

// What soxi says about one property of a file ("-r", "-c", ...), trimmed.
std::string soxi(const std::string& option, const std::string& path) {
    const std::string command = "soxi " + option + " '" + path + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return "(soxi did not run)";
    std::string out;
    char buf[256];
    while (fgets(buf, sizeof buf, pipe)) out += buf;
    pclose(pipe);
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

void expectSoxReads(const std::string& path, size_t audioBytes) {
    SCOPED_TRACE(path);
    EXPECT_EQ(soxi("-t", path), "wav");
    EXPECT_EQ(soxi("-r", path), "44100");
    EXPECT_EQ(soxi("-c", path), "2");
    EXPECT_EQ(soxi("-b", path), "16");
    EXPECT_EQ(soxi("-s", path), std::to_string(audioBytes / 4));
}

class WaveRipE2E : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("HOME", home.path().c_str(), 1);
        setenv("XDG_CONFIG_HOME", home.file("config").c_str(), 1);
    }
    void TearDown() override {
        session.CR_CloseRipper();
        session.Finalize();
    }

    // Writes the image, points the library at it and reads its table of contents, as the
    // window does when it shows a disc.
    void Insert(const testdisc::DiscPlan& disc) {
        discPlan = disc;
        const std::string cue = images.file("disc.cue");
        toc = testdisc::writeImage(discPlan, cue);
        setenv("CDRIP3_IMAGES", cue.c_str(), 1);
        setenv("CDRIP3_DEVICES", "", 1);
        svdrives::DriveModel::instance().resetForTests();
        session.Initialize(std::string(SONVALE_BIN_DIR) + "/libcdrip3.so");
        ASSERT_TRUE(session.Ready());
        for (int32_t i = 0; i < session.CR_GetNumCDROM(); ++i)
            if (session.CR_GetCDROMIDByIndex(i) == "Image: disc.cue") session.CR_SetActiveCDROM(i);
        ASSERT_EQ(session.CR_GetCDROMIDByIndex(session.CR_GetActiveCDROM()), "Image: disc.cue");
        ASSERT_EQ(session.ReadDiscInfo(session.Disc()), 0);
        window.choices.Directory = QString::fromStdString(out.path().string());
        window.choices.Album = "Live";
        window.choices.MultipleTracks = true;
        window.SetLines(session.Disc().TrackCount, {});
    }
    // The bytes the disc holds for track position i (from 0).
    std::vector<uint8_t> TrackBytes(size_t i) const {
        const auto& t = toc.tracks.at(i);
        return testdisc::rangeBytes(discPlan, t.startSector, t.startSector + t.sectors - 1);
    }
    // A finished WAV file whose audio is the first part of track position i.
    void ExpectPartialTrack(const std::string& name, size_t i) {
        const auto f = readFile(out.file(name));
        expectValidWav(f);
        const auto audio = audioOf(f);
        const auto whole = TrackBytes(i);
        EXPECT_GT(audio.size(), 0u);
        EXPECT_LT(audio.size(), whole.size());
        EXPECT_EQ(audio.size() % testdisc::kSectorBytes, 0u);
        EXPECT_TRUE(std::equal(audio.begin(), audio.end(), whole.begin()));
        expectSoxReads(out.file(name), audio.size());
    }

    TempDir home, images, out;
    testdisc::DiscPlan discPlan;
    testdisc::ExpectedDisc toc;
    CDRipIntf::TCDSession session;
    FakeRipWindow window;
    Rip::TWaveRipper ripper{window, window.control, session};
};

// What the window does on a removal notice: cancel a running track, forget the disc.
// What the window does with a removal notice of the drive model.
void mediaNotice(bool arrived, FakeRipWindow& window, CDRipIntf::TCDSession& session) {
    if (arrived) return;
    window.control.Cancel();
    window.SetStatus("Media is Removed.");
    window.selected.clear();
    session.Disc().TrackCount = 0;
}

}  // namespace

TEST_F(WaveRipE2E, TracksOneAndThreeOfAnImage) {
    Insert(testdisc::audioDisc({300, 180, 260}));
    window.SetLines(3, {0, 2});
    Rip::RipTracksToWave(window, window.control, ripper, window.Plan(session.Disc()));

    EXPECT_EQ(window.status, "Ripping Completed.");
    EXPECT_TRUE(window.SelectedLines().empty());
    EXPECT_FALSE(std::filesystem::exists(out.file("Live Track 2.wav")));
    for (const size_t i : {size_t(0), size_t(2)}) {
        const std::string name = "Live Track " + std::to_string(i + 1) + ".wav";
        SCOPED_TRACE(name);
        const auto f = readFile(out.file(name));
        expectValidWav(f);
        EXPECT_EQ(audioOf(f) == TrackBytes(i), true);
        EXPECT_EQ(f.size(), 44u + size_t(toc.tracks[i].sectors) * testdisc::kSectorBytes);
        expectSoxReads(out.file(name), f.size() - 44);
    }
    // The sums of the last track ripped are those of the disc's last track's bytes.
    const auto audio = TrackBytes(2);
    Rip::TTrackChecksum expected;
    expected.Start(uint32_t(audio.size() / 4), false, true);
    expected.Add(audio.data(), audio.size());
    const Rip::TTrackChecksum& sums = ripper.LastChecksum();
    EXPECT_EQ(sums.Samples(), audio.size() / 4);
    EXPECT_EQ(sums.Crc32(), uint32_t(crc32(0, audio.data(), uInt(audio.size()))));
    EXPECT_EQ(sums.AccurateRipV1(), expected.AccurateRipV1());
    EXPECT_EQ(sums.AccurateRipV2(), expected.AccurateRipV2());
}

TEST_F(WaveRipE2E, CdExtraAudioTrackStopsAtTheSessionEnd) {
    testdisc::DiscPlan disc = testdisc::audioDisc({200, 150, 300});
    disc.cdExtra = true;
    Insert(disc);
    window.SetLines(3, {1});
    Rip::RipTracksToWave(window, window.control, ripper, window.Plan(session.Disc()));
    EXPECT_EQ(window.status, "Ripping Completed.");
    const auto f = readFile(out.file("Live Track 2.wav"));
    expectValidWav(f);
    EXPECT_EQ(f.size(), 44u + 150u * testdisc::kSectorBytes);
    EXPECT_TRUE(audioOf(f) == TrackBytes(1));
}

TEST_F(WaveRipE2E, CancelLeavesAPlayablePartialFile) {
    Insert(testdisc::audioDisc({400, 200}));
    window.SetLines(2, {0, 1});
    // Step 1 is the bar's reset; 3 follows the second chunk.
    window.onProgress = [&](int call) {
        if (call == 3) window.control.Cancel();
    };
    Rip::RipTracksToWave(window, window.control, ripper, window.Plan(session.Disc()));
    EXPECT_EQ(window.status, "Ripping and Encoding Canceled.");
    EXPECT_EQ(window.SelectedLines(), std::vector<int>({0, 1}));
    EXPECT_EQ(window.position, 0);
    ExpectPartialTrack("Live Track 1.wav", 0);
    EXPECT_FALSE(std::filesystem::exists(out.file("Live Track 2.wav")));
    // The batch closed the ripping process.
    EXPECT_NE(session.CR_CloseRipper(), 0);
}

TEST_F(WaveRipE2E, TrayOpenedDuringARipCancelsIt) {
    Insert(testdisc::audioDisc({400, 200}));
    window.SetLines(2, {0, 1});
    svdrives::DriveModel& drives = svdrives::DriveModel::instance();
    const int listener =
        drives.addMediaListener([&](int, bool arrived) { mediaNotice(arrived, window, session); });
    window.onProgress = [&](int call) {
        if (call == 3) session.CR_EjectCD(1);
    };
    Rip::RipTracksToWave(window, window.control, ripper, window.Plan(session.Disc()));
    drives.removeMediaListener(listener);
    EXPECT_TRUE(window.statuses.contains("Media is Removed."));
    EXPECT_EQ(window.status, "Ripping and Encoding Canceled.");
    EXPECT_EQ(window.ripStatus, "");
    ExpectPartialTrack("Live Track 1.wav", 0);
    EXPECT_NE(session.CR_CloseRipper(), 0);
}

TEST_F(WaveRipE2E, DiscGoneWithoutNoticeEndsTheBatchAsAnError) {
    Insert(testdisc::audioDisc({400, 200}));
    window.SetLines(2, {0, 1});
    window.onProgress = [&](int call) {
        if (call == 3) session.CR_EjectCD(1);
    };
    Rip::RipTracksToWave(window, window.control, ripper, window.Plan(session.Disc()));
    EXPECT_EQ(window.status, "Encountered error(s) during Ripping");
    EXPECT_EQ(window.ripStatus, "");
    EXPECT_EQ(window.position, 0);
    EXPECT_EQ(window.SelectedLines(), std::vector<int>({0, 1}));
    ExpectPartialTrack("Live Track 1.wav", 0);
}
