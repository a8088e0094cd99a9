// The rip commands' checks, Cancel and the Wave batch over a scripted CD library.
#include <gtest/gtest.h>

#include <filesystem>

#include "CDSession.h"
#include "FakeRipWindow.h"
#include "RipState.h"
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
        ResetFlags();
        window.directory = QString::fromStdString(dir.path().string());
        window.album = "Live";
        window.recordingName = "Track 1";
        Load(AudioDrive("A", {100, 200, 300, 400}));
        window.SetLines(4, {0});
    }
    void TearDown() override {
        session.Finalize();
        ResetFlags();
    }
    static void ResetFlags() {
        Rip::RipInProgress = false;
        Rip::CancelRequested = false;
        Rip::BatchRunning = false;
    }
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
        EXPECT_FALSE(Rip::RipInProgress);
        EXPECT_FALSE(Rip::BatchRunning);
        EXPECT_EQ(lib.Count("LockCD"), 1);
        EXPECT_FALSE(lib.ripper.open);
    }

    TempDir dir;
    ScriptedCDRip lib;
    CDRipIntf::TCDSession session;
    FakeRipWindow window;
    Rip::TWaveRipper ripper{window, session};
};

}  // namespace

TEST_F(WaveBatchTest, RipCommandNeedsASelectedCurrentLine) {
    window.current = -1;
    EXPECT_FALSE(Rip::RipSelectionReady(window));
    // Ctrl-click on a selected line deselects it and leaves it current.
    window.SetLines(5, {1, 3});
    window.current = 3;
    window.selected[3] = false;
    EXPECT_FALSE(Rip::RipSelectionReady(window));
    EXPECT_EQ(window.dialogs, QStringList({"information: Please select track(s) to Rip.",
                                           "information: Please select track(s) to Rip."}));
    window.current = 1;
    EXPECT_TRUE(Rip::RipSelectionReady(window));
    EXPECT_EQ(window.dialogs.size(), 2);
}

TEST_F(WaveBatchTest, CancelOnlyWhileATrackIsRipped) {
    Rip::CancelRip(window);
    EXPECT_EQ(window.status, "CD/DVD-ROM is Not Ripping any Data.");
    EXPECT_FALSE(Rip::CancelRequested);
    Rip::RipInProgress = true;
    window.status.clear();
    Rip::CancelRip(window);
    EXPECT_TRUE(Rip::CancelRequested);
    EXPECT_EQ(window.status, "");
}

TEST_F(WaveBatchTest, ChecksBeforeAnythingStarts) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        QString dialog, status;
    };
    const std::vector<Case> cases = {
        {"empty list", [&] { window.selected.clear(); }, "information: Track List is Empty.", ""},
        {"no name", [&] { window.recordingName.clear(); },
         "information: Please insert a Recording Name.", ""},
        {"library not ready",
         [&] {
             lib.initResult = 1;
             lib.Install(session);
             lib.initResult = 0;
             lib.calls.clear();
         },
         "", "Sonvale is not ready."},
        {"no disc", [&] { window.audioReady = false; }, "", "Error : No Disc in Drive."},
        {"track being ripped", [] { Rip::RipInProgress = true; }, "", ""},
        {"batch running", [] { Rip::BatchRunning = true; }, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Load(AudioDrive("A", {100, 200, 300, 400}));
        lib.calls.clear();
        window = FakeRipWindow();
        window.directory = QString::fromStdString(dir.path().string());
        window.recordingName = "Track 1";
        window.SetLines(4, {0});
        ResetFlags();
        c.arrange();
        const bool wasRunning = Rip::BatchRunning;
        const std::vector<int> selectedBefore = window.SelectedLines();
        RipTracksToWave(window, ripper);
        EXPECT_EQ(window.dialogs, c.dialog.isEmpty() ? QStringList() : QStringList({c.dialog}));
        EXPECT_EQ(window.status, c.status);
        EXPECT_TRUE(lib.calls.empty()) << lib.calls.front();
        EXPECT_EQ(window.SelectedLines(), selectedBefore);
        EXPECT_EQ(Rip::BatchRunning, wasRunning);
        EXPECT_FALSE(Exists("Live Track 1.wav"));
    }
}

TEST_F(WaveBatchTest, MultipleTracksGiveOneFilePerTrack) {
    window.multipleTracks = true;
    window.SetLines(4, {0, 2});
    RipTracksToWave(window, ripper);

    for (const char* name : {"Live Track 1.wav", "Live Track 3.wav"}) {
        SCOPED_TRACE(name);
        const auto f = Read(name);
        expectValidWav(f);
        EXPECT_EQ(f.size(), 44u + 3 * kChunk);
    }
    EXPECT_FALSE(Exists("Live Track 2.wav"));
    EXPECT_EQ(window.status, "Ripping Completed.");
    EXPECT_TRUE(window.SelectedLines().empty());
    EXPECT_EQ(window.recordingName, "Track 3");
    EXPECT_TRUE(window.statuses.contains(
        "Ripping Successfully Ended - Audio Data is Saved as Live Track 1.wav File."));
    EXPECT_TRUE(window.statuses.contains(
        "Ripping Successfully Ended - Audio Data is Saved as Live Track 3.wav File."));
    EXPECT_EQ(window.statuses.count("Set CDROM Parameters OK"), 2);
    EXPECT_EQ(window.ripStatuses,
              QStringList({"Ripping to Wave Format", "Ripping to Wave Format", ""}));
    EXPECT_EQ(window.sleeps, std::vector<int>({2000, 2000}));
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
    window.recordingName = "Opening";
    RipTracksToWave(window, ripper);
    EXPECT_TRUE(Exists("Live Opening.wav"));
    EXPECT_EQ(window.recordingName, "Opening");
    EXPECT_EQ(window.statuses.at(window.statuses.size() - 2),
              "Ripping Successfully Ended - Audio Data is Saved as Live Opening.wav File.");
    EXPECT_EQ(window.status, "Ripping Completed.");
}

TEST_F(WaveBatchTest, SavedTextNamesTheFileWritten) {
    // An album title edited while the track is ripped does not rename what was saved.
    window.onProcessEvents = [&](int call) {
        if (call == 3) window.album = "Studio";
    };
    RipTracksToWave(window, ripper);
    EXPECT_TRUE(Exists("Live Track 1.wav"));
    EXPECT_TRUE(window.statuses.contains(
        "Ripping Successfully Ended - Audio Data is Saved as Live Track 1.wav File."));
}

TEST_F(WaveBatchTest, DataTrackEndsTheBatch) {
    ScriptedDrive d = AudioDrive("A", {100, 200, 300, 400});
    d.tracks[1].data = true;
    Load(d);
    window.multipleTracks = true;
    window.SetLines(4, {0, 1, 2});
    RipTracksToWave(window, ripper);
    EXPECT_EQ(window.status, "Encountered error(s) during Ripping");
    EXPECT_TRUE(Exists("Live Track 1.wav"));
    EXPECT_FALSE(Exists("Live Track 3.wav"));
    EXPECT_EQ(window.SelectedLines(), std::vector<int>({1, 2}));
    EXPECT_EQ(lib.Count("CloseRipper"), 2);  // also for the track that opened nothing
    EXPECT_EQ(window.flashes, 0);
    ExpectCleanEnd();
}

TEST_F(WaveBatchTest, JitterOnTheSecondOfThreeTracks) {
    window.multipleTracks = true;
    window.SetLines(4, {0, 1, 2});
    lib.ripper.scripts = {threeChunks(), {{0, kChunk, 33}, {3, kChunk, 66}, {0, kChunk, 100}}};
    RipTracksToWave(window, ripper);
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
        window.directory = QString::fromStdString(dir.path().string());
        window.multipleTracks = true;
        window.SetLines(4, {0, 3});
        // Call 1 is the pump while the drive parameters are set; 2 follows the first chunk.
        window.onProcessEvents = [&](int call) {
            if (call == 2) Rip::CancelRip(window);
        };
        RipTracksToWave(window, ripper);
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
    window.multipleTracks = true;
    window.SetLines(4, {0, 1, 2});
    // Exit pressed while the drive is set up for the second track.
    window.onProcessEvents = [&](int) {
        if (!window.selected[0]) window.closing = true;
    };
    RipTracksToWave(window, ripper);
    EXPECT_EQ(Read("Live Track 1.wav").size(), 44u + 3 * kChunk);
    EXPECT_FALSE(Exists("Live Track 2.wav"));
    EXPECT_FALSE(Exists("Live Track 3.wav"));
    EXPECT_EQ(lib.Count("OpenRipper"), 1);
    EXPECT_EQ(window.status, "Ripping and Encoding Canceled.");
    EXPECT_EQ(window.SelectedLines(), std::vector<int>({1, 2}));
    EXPECT_EQ(window.flashes, 0);
    ExpectCleanEnd();
}

TEST_F(WaveBatchTest, CancelBetweenTracksFindsNothingRipping) {
    window.SetLines(4, {0});
    window.onProcessEvents = [&](int call) {
        if (call == 1) Rip::CancelRip(window);
    };
    RipTracksToWave(window, ripper);
    EXPECT_TRUE(window.statuses.contains("CD/DVD-ROM is Not Ripping any Data."));
    EXPECT_EQ(window.status, "Ripping Completed.");
}

TEST_F(WaveBatchTest, ClosingTheRipperFails) {
    window.SetLines(4, {0, 1});
    window.multipleTracks = true;
    lib.ripper.closeResult = 1;
    RipTracksToWave(window, ripper);
    EXPECT_EQ(window.status, "Error : error at Closing Ripping Process.");
    expectValidWav(Read("Live Track 1.wav"));
    EXPECT_EQ(window.SelectedLines(), std::vector<int>({0, 1}));
    EXPECT_TRUE(window.sleeps.empty());
    ExpectCleanEnd();
}

TEST_F(WaveBatchTest, DriveParametersThatFailDoNotStopTheTrack) {
    lib.getParamsResult = 1;
    RipTracksToWave(window, ripper);
    EXPECT_EQ(window.statuses.front(), "Error at getting CDROM parameters");
    EXPECT_EQ(lib.Count("SetCDROMParameters"), 0);
    EXPECT_EQ(window.status, "Ripping Completed.");

    lib.getParamsResult = 0;
    lib.setParamsResult = 1;
    window.statuses.clear();
    window.SetLines(4, {2});
    RipTracksToWave(window, ripper);
    EXPECT_EQ(window.statuses.front(), "Error at setting CDROM parameters");
    EXPECT_EQ(window.status, "Ripping Completed.");
    EXPECT_TRUE(Exists("Live Track 1.wav"));
}

TEST_F(WaveBatchTest, OutputFileThatCannotBeCreatedEndsTheBatch) {
    window.directory += "/missing";
    window.multipleTracks = true;
    window.SetLines(4, {0, 1});
    RipTracksToWave(window, ripper);
    EXPECT_EQ(window.status,
              "Error : Cannot create file " + window.directory + "/Live Track 1.wav");
    EXPECT_EQ(lib.Count("OpenRipper"), 1);
    EXPECT_EQ(lib.Count("CloseRipper"), 1);
    EXPECT_EQ(window.SelectedLines(), std::vector<int>({0, 1}));
    ExpectCleanEnd();
    // Nothing is left behind that would refuse the next batch.
    window.directory = QString::fromStdString(dir.path().string());
    RipTracksToWave(window, ripper);
    EXPECT_EQ(window.status, "Ripping Completed.");
}

TEST_F(WaveBatchTest, FullDiskEndsTheBatchWithItsOwnText) {
    auto disk = std::make_shared<MemoryDisk>();
    disk->capacity = 44 + kChunk + 8;
    Rip::TWaveRipper full(window, session, memoryOpener(disk));
    window.multipleTracks = true;
    window.SetLines(4, {0, 1});
    RipTracksToWave(window, full);
    EXPECT_EQ(window.status,
              "Error : Write error (disk full?) " + window.directory + "/Live Track 1.wav");
    EXPECT_FALSE(window.statuses.contains(
        "Ripping Successfully Ended - Audio Data is Saved as Live Track 1.wav File."));
    EXPECT_EQ(window.SelectedLines(), std::vector<int>({0, 1}));
    expectValidWav(disk->bytes);
    ExpectCleanEnd();
}

TEST_F(WaveBatchTest, RipCommandInsideARunningBatchStartsNothing) {
    window.multipleTracks = true;
    window.SetLines(4, {0, 1});
    int nested = 0;
    // Between the tracks (the pump while the drive parameters are set) and during a chunk.
    window.onProcessEvents = [&](int call) {
        if (call == 1 || call == 3 || call == 5) {
            ++nested;
            RipTracksToWave(window, ripper);
        }
    };
    RipTracksToWave(window, ripper);
    EXPECT_EQ(nested, 3);
    EXPECT_EQ(lib.Count("StopPlayTrack"), 1);
    EXPECT_EQ(lib.Count("OpenRipper"), 2);
    EXPECT_EQ(window.status, "Ripping Completed.");
    EXPECT_TRUE(window.SelectedLines().empty());
    EXPECT_EQ(window.flashes, 1);
    ExpectCleanEnd();
}

TEST_F(WaveBatchTest, DiscRemovedBetweenTracks) {
    // The removal notice empties the list and forgets the disc while the drive parameters
    // are set for the second track.
    window.multipleTracks = true;
    window.SetLines(4, {0, 1});
    window.onProcessEvents = [&](int call) {
        if (call == 5) {
            Rip::CancelRip(window);
            window.selected.clear();
            session.Disc().TrackCount = 0;
        }
    };
    RipTracksToWave(window, ripper);
    EXPECT_TRUE(Exists("Live Track 1.wav"));
    EXPECT_EQ(window.status, "Encountered error(s) during Ripping");
    ExpectCleanEnd();
}
