// The Wave batch over a scripted CD library.
#include <gtest/gtest.h>

#include <filesystem>

#include "CDRipIntf.h"
#include "CDSession.h"
#include "Encoders.h"
#include "FakeRipWindow.h"
#include "RipTestSupport.h"
#include "ScriptedCDRip.h"
#include "WaveBatch.h"

using namespace CDRipIntf;
using namespace riptest;
using Rip::RipTracksToWave;

namespace {

constexpr int32_t kChunk = 4 * 2352;

// Three chunks to 100 % per track, as often as the batch asks.
std::vector<ScriptedChunk> threeChunks() {
    return {{0, kChunk, 33}, {0, kChunk, 66}, {0, kChunk, 100}};
}

class WaveBatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.choices.Directory = QString::fromStdString(dir.path().string());
        window.choices.Album = "Live";
        window.choices.RecordingName = "Track 1";
        Load(AudioDrive("A", {100, 200, 300, 400}));
        window.SetLines(4, {0});
    }
    void TearDown() override { session.Finalize(); }
    void Load(const ScriptedDrive& drive) {
        lib.drives = {drive};
        lib.Install(session);
        ASSERT_EQ(session.ReadDiscInfo(session.Disc()), 0);
        lib.ripper.chunks = threeChunks();
    }
    std::vector<uint8_t> Read(const std::string& name) const { return readFile(dir.file(name)); }
    bool Exists(const std::string& name) const { return std::filesystem::exists(dir.file(name)); }

    // Every end of a batch leaves the window and the drive free.
    void ExpectCleanEnd() {
        EXPECT_EQ(window.ripStatus, "");
        EXPECT_EQ(window.position, 0);
        EXPECT_EQ(lib.Count("LockCD"), 1);
        EXPECT_FALSE(lib.ripper.open);
    }

    TempDir dir;
    ScriptedCDRip lib;
    CDRipIntf::TCDSession session;
    FakeRipWindow window;
    Rip::TWaveRipper ripper{window, window.control, session};

    // A batch of the lines selected now, as a rip command plans it.
    void Rip(Rip::TWaveRipper& with) {
        RipTracksToWave(window, window.control, with, window.Plan(session.Disc()));
    }
    void Rip() { Rip(ripper); }
};

}  // namespace

TEST_F(WaveBatchTest, MultipleTracksGiveOneFilePerTrack) {
    window.choices.MultipleTracks = true;
    window.SetLines(4, {0, 2});
    Rip();

    for (const char* name : {"Live Track 1.wav", "Live Track 3.wav"}) {
        SCOPED_TRACE(name);
        const auto f = Read(name);
        expectValidWav(f);
        EXPECT_EQ(f.size(), 44u + 3 * kChunk);
    }
    EXPECT_FALSE(Exists("Live Track 2.wav"));
    EXPECT_EQ(window.status, "Ripping Completed.");
    EXPECT_TRUE(window.SelectedLines().empty());
    EXPECT_EQ(window.choices.RecordingName, "Track 3");
    EXPECT_TRUE(window.statuses.contains(
        "Ripping Successfully Ended - Audio Data is Saved as Live Track 1.wav File."));
    EXPECT_TRUE(window.statuses.contains(
        "Ripping Successfully Ended - Audio Data is Saved as Live Track 3.wav File."));
    EXPECT_EQ(window.statuses.count("Set CDROM Parameters OK"), 2);
    EXPECT_EQ(window.ripStatuses,
              QStringList({"Ripping to Wave Format", "Ripping to Wave Format", ""}));
    EXPECT_EQ(window.control.pauses, std::vector<int>({2000, 2000}));
    EXPECT_EQ(window.flashes, 1);
    EXPECT_EQ(lib.Count("StopPlayTrack"), 1);
    EXPECT_EQ(lib.Count("OpenRipper"), 2);
    EXPECT_EQ(lib.Count("CloseRipper"), 2);
    ExpectCleanEnd();

    // The drive reads with the batch's parameters.
    EXPECT_EQ(GetParam(lib.params, 276), 8);
    EXPECT_EQ(GetParam(lib.params, 284), -1);
    EXPECT_EQ(GetParam(lib.params, 352), 1);
    EXPECT_EQ(GetParam(lib.params, 356), 223);
}

TEST_F(WaveBatchTest, SingleTrackTakesTheTypedName) {
    window.SetLines(4, {1});
    window.choices.RecordingName = "Opening";
    Rip();
    EXPECT_TRUE(Exists("Live Opening.wav"));
    EXPECT_EQ(window.choices.RecordingName, "Opening");
    EXPECT_EQ(window.statuses.at(window.statuses.size() - 2),
              "Ripping Successfully Ended - Audio Data is Saved as Live Opening.wav File.");
    EXPECT_EQ(window.status, "Ripping Completed.");
}

TEST_F(WaveBatchTest, SavedTextNamesTheFileWritten) {
    // An album title edited while the track is ripped does not rename what was saved.
    window.onProgress = [&](int call) {
        if (call == 3) window.choices.Album = "Studio";
    };
    Rip();
    EXPECT_TRUE(Exists("Live Track 1.wav"));
    EXPECT_TRUE(window.statuses.contains(
        "Ripping Successfully Ended - Audio Data is Saved as Live Track 1.wav File."));
}

TEST_F(WaveBatchTest, DataTrackEndsTheBatch) {
    ScriptedDrive d = AudioDrive("A", {100, 200, 300, 400});
    d.tracks[1].data = true;
    Load(d);
    window.choices.MultipleTracks = true;
    window.SetLines(4, {0, 1, 2});
    Rip::TBatchRecord record;
    RipTracksToWave(window, window.control, ripper, window.Plan(session.Disc()), &record);
    EXPECT_EQ(window.status, "Encountered error(s) during Ripping");
    EXPECT_TRUE(Exists("Live Track 1.wav"));
    EXPECT_FALSE(Exists("Live Track 3.wav"));
    EXPECT_EQ(window.SelectedLines(), std::vector<int>({1, 2}));
    EXPECT_EQ(lib.Count("CloseRipper"), 2);  // also for the track that opened nothing
    EXPECT_EQ(window.flashes, 0);
    ExpectCleanEnd();
    // The data track is not a failed rip the database could judge, and the batch did not
    // complete.
    ASSERT_EQ(record.Tracks.size(), 2u);
    EXPECT_EQ(record.Tracks[1].End, Rip::TTrackRecord::TEnd::NotAudio);
    EXPECT_TRUE(record.Tracks[1].FileName.isEmpty());
    EXPECT_FALSE(record.Completed);
}

TEST_F(WaveBatchTest, JitterOnTheSecondOfThreeTracks) {
    window.choices.MultipleTracks = true;
    window.SetLines(4, {0, 1, 2});
    lib.ripper.scripts = {threeChunks(), {{0, kChunk, 33}, {3, kChunk, 66}, {0, kChunk, 100}}};
    Rip();
    EXPECT_EQ(window.status, "Encountered Jitter error(s) during Ripping");
    const auto f = Read("Live Track 2.wav");
    expectValidWav(f);
    EXPECT_EQ(f.size(), 44u + 3 * kChunk);
    EXPECT_FALSE(Exists("Live Track 3.wav"));
    EXPECT_EQ(window.SelectedLines(), std::vector<int>({1, 2}));
    ExpectCleanEnd();
}

TEST_F(WaveBatchTest, CancelDuringTheFirstOfTwoTracks) {
    for (const bool jitter : {false, true}) {
        SCOPED_TRACE(jitter ? "jitter seen" : "clean");
        Load(AudioDrive("A", {100, 200, 300, 400}));
        lib.calls.clear();
        lib.ripper.chunks = {{jitter ? 3 : 0, kChunk, 33}, {0, kChunk, 66}, {0, kChunk, 100}};
        window = FakeRipWindow();
        window.choices.Directory = QString::fromStdString(dir.path().string());
        window.choices.MultipleTracks = true;
        window.SetLines(4, {0, 3});
        // Step 1 is the bar's reset; 2 follows the first chunk.
        window.onProgress = [&](int call) {
            if (call == 2) window.control.Cancel();
        };
        Rip();
        EXPECT_EQ(window.status, jitter ? "Encountered Jitter error(s) during Ripping"
                                        : "Ripping and Encoding Canceled.");
        const auto f = Read("Live Track 1.wav");
        expectValidWav(f);
        EXPECT_EQ(f.size(), 44u + kChunk);
        EXPECT_FALSE(Exists("Live Track 4.wav"));
        EXPECT_EQ(window.SelectedLines(), std::vector<int>({0, 3}));
        ExpectCleanEnd();
    }
}

TEST_F(WaveBatchTest, ExitBetweenTwoTracksRipsNoFurtherTrack) {
    window.choices.MultipleTracks = true;
    window.SetLines(4, {0, 1, 2});
    // Exit pressed while the drive is set up for the second track.
    window.onChoices = [&](int) {
        if (!window.selected[0]) window.control.Cancel();
    };
    Rip();
    EXPECT_EQ(Read("Live Track 1.wav").size(), 44u + 3 * kChunk);
    EXPECT_FALSE(Exists("Live Track 2.wav"));
    EXPECT_FALSE(Exists("Live Track 3.wav"));
    EXPECT_EQ(lib.Count("OpenRipper"), 1);
    EXPECT_EQ(window.status, "Ripping and Encoding Canceled.");
    EXPECT_EQ(window.SelectedLines(), std::vector<int>({1, 2}));
    EXPECT_EQ(window.flashes, 0);
    ExpectCleanEnd();
}

TEST_F(WaveBatchTest, CancelInThePauseEndsTheBatch) {
    window.choices.MultipleTracks = true;
    window.SetLines(4, {0, 1, 2});
    window.control.onPause = [&](int) { window.control.Cancel(); };
    Rip();
    EXPECT_TRUE(Exists("Live Track 1.wav"));
    EXPECT_FALSE(Exists("Live Track 2.wav"));
    // Seen before the next track is named or its drive set up: the edit keeps the name of
    // the track ripped last.
    EXPECT_EQ(window.choices.RecordingName, "Track 1");
    EXPECT_EQ(window.statuses.count("Set CDROM Parameters OK"), 1);
    EXPECT_EQ(window.status, "Ripping and Encoding Canceled.");
    EXPECT_EQ(window.SelectedLines(), std::vector<int>({1, 2}));
    EXPECT_EQ(window.control.pauses, std::vector<int>({2000}));
    EXPECT_EQ(window.flashes, 0);
    ExpectCleanEnd();
}

TEST_F(WaveBatchTest, ClosingTheRipperFails) {
    window.SetLines(4, {0, 1});
    window.choices.MultipleTracks = true;
    lib.ripper.closeResult = 1;
    Rip();
    EXPECT_EQ(window.status, "Error : error at Closing Ripping Process.");
    expectValidWav(Read("Live Track 1.wav"));
    EXPECT_EQ(window.SelectedLines(), std::vector<int>({0, 1}));
    EXPECT_TRUE(window.control.pauses.empty());
    ExpectCleanEnd();
}

TEST_F(WaveBatchTest, DriveParametersThatFailDoNotStopTheTrack) {
    lib.getParamsResult = 1;
    Rip();
    EXPECT_EQ(window.statuses.front(), "Error at getting CDROM parameters");
    EXPECT_EQ(lib.Count("SetCDROMParameters"), 0);
    EXPECT_EQ(window.status, "Ripping Completed.");

    lib.getParamsResult = 0;
    lib.setParamsResult = 1;
    window.statuses.clear();
    window.SetLines(4, {2});
    Rip();
    EXPECT_EQ(window.statuses.front(), "Error at setting CDROM parameters");
    EXPECT_EQ(window.status, "Ripping Completed.");
    EXPECT_TRUE(Exists("Live Track 1.wav"));
}

TEST_F(WaveBatchTest, OutputFileThatCannotBeCreatedEndsTheBatch) {
    window.choices.Directory += "/missing";
    window.choices.MultipleTracks = true;
    window.SetLines(4, {0, 1});
    Rip();
    EXPECT_EQ(window.status,
              "Error : Cannot create file " + window.choices.Directory + "/Live Track 1.wav");
    EXPECT_EQ(lib.Count("OpenRipper"), 1);
    EXPECT_EQ(lib.Count("CloseRipper"), 1);
    EXPECT_EQ(window.SelectedLines(), std::vector<int>({0, 1}));
    ExpectCleanEnd();
    // Nothing is left behind that would refuse the next batch.
    window.choices.Directory = QString::fromStdString(dir.path().string());
    Rip();
    EXPECT_EQ(window.status, "Ripping Completed.");
}

TEST_F(WaveBatchTest, FullDiskEndsTheBatchWithItsOwnText) {
    auto disk = std::make_shared<MemoryDisk>();
    disk->capacity = 44 + kChunk + 8;
    Rip::TWaveRipper full(window, window.control, session, memoryOpener(disk));
    window.choices.MultipleTracks = true;
    window.SetLines(4, {0, 1});
    Rip(full);
    EXPECT_EQ(window.status,
              "Error : Write error (disk full?) " + window.choices.Directory + "/Live Track 1.wav");
    EXPECT_FALSE(window.statuses.contains(
        "Ripping Successfully Ended - Audio Data is Saved as Live Track 1.wav File."));
    EXPECT_EQ(window.SelectedLines(), std::vector<int>({0, 1}));
    expectValidWav(disk->bytes);
    ExpectCleanEnd();
}

TEST_F(WaveBatchTest, DiscRemovedBetweenTracks) {
    // The removal notice cancels, empties the list and forgets the disc as the second
    // track begins; the batch rips from its own copy of the table, and no further.
    window.choices.MultipleTracks = true;
    window.SetLines(4, {0, 1});
    window.onChoices = [&](int call) {
        if (call == 3) {
            window.control.Cancel();
            window.selected.clear();
            session.Disc().TrackCount = 0;
        }
    };
    Rip();
    EXPECT_TRUE(Exists("Live Track 1.wav"));
    EXPECT_FALSE(Exists("Live Track 2.wav"));
    EXPECT_EQ(lib.Count("OpenRipper"), 1);
    EXPECT_EQ(window.status, "Ripping and Encoding Canceled.");
    ExpectCleanEnd();
}
