// The Wave track ripper over a scripted CD library and the fake window.
#include <gtest/gtest.h>

#include <filesystem>

#include "CDRipIntf.h"
#include "CDSession.h"
#include "Encoders.h"
#include "FakeRipWindow.h"
#include "RipTestSupport.h"
#include "ScriptedCDRip.h"
#include "WaveRipper.h"

using namespace CDRipIntf;
using namespace riptest;
using Rip::TOutputFailure;
using Rip::TWaveRipper;

namespace {

constexpr int32_t kChunk = 4 * 2352;  // the scripted library's buffer size

class WaveRipperTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.choices.Directory = QString::fromStdString(dir.path().string());
        window.choices.Album = "Live";
        window.choices.RecordingName = "Track 1";
    }
    void TearDown() override { session.Finalize(); }
    // Loads a disc into the scripted drive and the disc information record.
    void Load(const ScriptedDrive& drive) {
        lib.drives = {drive};
        lib.calls.clear();
        lib.Install(session);
        ASSERT_EQ(session.ReadDiscInfo(session.Disc()), 0);
    }
    void Script(std::vector<ScriptedChunk> chunks) { lib.ripper.chunks = std::move(chunks); }
    std::string File(const std::string& name) const { return dir.file(name); }
    std::vector<uint8_t> Delivered(std::initializer_list<size_t> chunks) const {
        std::vector<uint8_t> all;
        for (size_t k : chunks) {
            const auto c = lib.ripper.ChunkBytes(k);
            all.insert(all.end(), c.begin(), c.end());
        }
        return all;
    }
    bool NoFiles() const { return std::filesystem::is_empty(dir.path()); }

    TempDir dir;
    ScriptedCDRip lib;
    CDRipIntf::TCDSession session;
    FakeRipWindow window;
    TWaveRipper ripper{window, window.control, session};
};

}  // namespace

TEST(WaveNames, FileNameAndProgressText) {
    EXPECT_EQ(TWaveRipper::WaveFileName("/music", "Live", "Track 3"), "/music/Live Track 3.wav");
    EXPECT_EQ(TWaveRipper::WaveFileName("/music", "", "Track 3"), "/music/ Track 3.wav");
    EXPECT_EQ(TWaveRipper::WaveFileName("/music/", "Live", "Track 3"), "/music//Live Track 3.wav");
    EXPECT_EQ(TWaveRipper::ProgressText(3, 45), "Ripping Track 3 : 45% Done.");
    EXPECT_EQ(TWaveRipper::ProgressText(12, 0), "Ripping Track 12 : 0% Done.");
}

TEST_F(WaveRipperTest, RefusedTracksTouchNeitherLibraryNorDisk) {
    ScriptedDrive d = AudioDrive("A", {300, 400, 500});
    d.tracks[2].data = true;
    Load(d);
    for (int n : {0, 4, 200}) {
        SCOPED_TRACE(n);
        EXPECT_EQ(ripper.RipChunk(session.Disc(), static_cast<uint8_t>(n)), 1);
        EXPECT_EQ(window.status, "Error : Bad Track Number.");
    }
    EXPECT_EQ(ripper.RipChunk(session.Disc(), 3), 1);
    EXPECT_EQ(window.status, "Error : not an Audio Track.");
    EXPECT_EQ(lib.Count("OpenRipper"), 0);
    EXPECT_TRUE(NoFiles());
    EXPECT_TRUE(window.progress.empty());
}

TEST_F(WaveRipperTest, SectorRangesOfTheTracks) {
    // Audio, audio, then a data track in the same session, then the last audio track.
    ScriptedDrive d = AudioDrive("A", {300, 400, 500, 600});
    d.tracks[2].data = true;
    Load(d);
    struct Case {
        uint8_t n;
        int32_t first, last;
    };
    for (const Case c : {Case{1, 0, 299}, Case{2, 300, 699}, Case{4, 1200, 1799}}) {
        SCOPED_TRACE(c.n);
        EXPECT_EQ(ripper.RipChunk(session.Disc(), c.n), 0);
        EXPECT_EQ(lib.ripper.first, c.first);
        EXPECT_EQ(lib.ripper.last, c.last);
        lib.ripper.open = false;
    }
}

TEST_F(WaveRipperTest, CdExtraAudioTrackEndsBeforeTheSessionGap) {
    // Session 2's data track starts 11400 sectors after the audio of session 1.
    ScriptedDrive d = AudioDrive("A", {300, 400});
    d.tracks.push_back(ScriptedTrack{700 + kSessionGapSectors, true, 0, 2});
    d.leadOut = 700 + kSessionGapSectors + 1000;
    Load(d);
    EXPECT_EQ(ripper.RipChunk(session.Disc(), 2), 0);
    EXPECT_EQ(lib.ripper.first, 300);
    EXPECT_EQ(lib.ripper.last, 699);
}

TEST_F(WaveRipperTest, CompleteRipWritesEveryChunkAndShowsProgress) {
    Load(AudioDrive("A", {100, 200}));
    window.choices.RecordingName = "Track 2";
    Script({{0, kChunk, 30}, {0, kChunk, 60}, {0, 1000, 100}});
    std::vector<bool> holding;
    window.onProgress = [&](int) { holding.push_back(ripper.HoldsChunkBuffer()); };

    EXPECT_EQ(ripper.RipChunk(session.Disc(), 2), 0);

    const auto f = readFile(File("Live Track 2.wav"));
    expectValidWav(f);
    EXPECT_EQ(le32(f, 40), uint32_t(2 * kChunk + 1000));
    EXPECT_EQ(audioOf(f), Delivered({0, 1, 2}));
    EXPECT_EQ(ripper.LastFileName(), QString::fromStdString(File("Live Track 2.wav")));
    EXPECT_EQ(ripper.LastOutputFailure(), TOutputFailure::None);

    EXPECT_EQ(window.statuses,
              QStringList({"Ripping Track 2 : 30% Done.", "Ripping Track 2 : 60% Done.",
                           "Ripping Track 2 : 100% Done."}));
    EXPECT_EQ(window.progress, std::vector<int>({0, 30, 60, 100}));
    EXPECT_EQ(window.rangeMin, 0);
    EXPECT_EQ(window.rangeMax, 100);
    // The buffer is held from the bar's reset through every chunk, and gone afterwards;
    // the ripping process is left for the caller to close.
    EXPECT_EQ(holding, std::vector<bool>(4, true));
    EXPECT_FALSE(ripper.HoldsChunkBuffer());
    EXPECT_TRUE(lib.ripper.open);
    EXPECT_EQ(lib.Count("CloseRipper"), 0);
    EXPECT_EQ(lib.ripper.aborts, std::vector<int32_t>(3, 0));
}

TEST_F(WaveRipperTest, DoneBeforeOneHundredPercentCountsAsComplete) {
    Load(AudioDrive("A", {100}));
    Script({{0, kChunk, 40}, {4, 0, 40}});
    EXPECT_EQ(ripper.RipChunk(session.Disc(), 1), 0);
    EXPECT_EQ(window.status, "Ripping Track 1 : 100% Done.");
    EXPECT_EQ(window.progress.back(), 100);
    EXPECT_EQ(audioOf(readFile(File("Live Track 1.wav"))), Delivered({0}));
    EXPECT_EQ(lib.Count("RipChunk"), 2);
}

TEST_F(WaveRipperTest, AudioStopsBeforeOneHundredPercent) {
    struct Case {
        const char* name;
        ScriptedChunk end;
    };
    for (const Case c : {Case{"empty chunk", {0, 0, 50}}, Case{"error", {1, 0, 50}},
                         Case{"disc gone", {6, 0, 50}}, Case{"negative count", {0, -5, 50}}}) {
        SCOPED_TRACE(c.name);
        Load(AudioDrive("A", {100}));
        Script({{0, kChunk, 25}, {0, kChunk, 50}, c.end, {0, kChunk, 100}});
        window.statuses.clear();
        EXPECT_EQ(ripper.RipChunk(session.Disc(), 1), 1);
        // The last progress text stays; the file keeps what came, with its sizes.
        EXPECT_EQ(window.status, "Ripping Track 1 : 50% Done.");
        const auto f = readFile(File("Live Track 1.wav"));
        expectValidWav(f);
        EXPECT_EQ(audioOf(f), Delivered({0, 1}));
        EXPECT_EQ(lib.Count("RipChunk"), 3);
        EXPECT_EQ(ripper.LastOutputFailure(), TOutputFailure::None);
    }
}

TEST_F(WaveRipperTest, JitterChunksAreKeptAndReported) {
    Load(AudioDrive("A", {100}));
    // A jitter report with audio is written like any chunk; one without audio changes
    // nothing but the count.
    Script({{0, kChunk, 25}, {3, kChunk, 50}, {3, 0, 50}, {0, kChunk, 75}, {3, 2352, 100}});
    EXPECT_EQ(ripper.RipChunk(session.Disc(), 1), 3);
    EXPECT_EQ(ripper.LastJitterCount(), 3);
    const auto f = readFile(File("Live Track 1.wav"));
    expectValidWav(f);
    EXPECT_EQ(audioOf(f), Delivered({0, 1, 3, 4}));
    EXPECT_EQ(window.statuses.back(), "Ripping Track 1 : 100% Done.");
}

TEST_F(WaveRipperTest, CancelAfterSomeChunks) {
    for (const bool jitter : {false, true}) {
        SCOPED_TRACE(jitter ? "with jitter" : "clean");
        Load(AudioDrive("A", {100}));
        Script({{0, kChunk, 20}, {jitter ? 3 : 0, kChunk, 40}, {0, kChunk, 60}, {0, kChunk, 80}});
        window.control.Reset();
        window.progress.clear();
        lib.ripper.aborts.clear();
        // Step 1 is the bar's reset; step 3 follows the second chunk.
        window.onProgress = [&](int call) {
            if (call == 3) window.control.Cancel();
        };
        EXPECT_EQ(ripper.RipChunk(session.Disc(), 1), jitter ? 3 : 0);
        EXPECT_EQ(lib.Count("RipChunk"), 2);
        const auto f = readFile(File("Live Track 1.wav"));
        expectValidWav(f);
        EXPECT_EQ(audioOf(f), Delivered({0, 1}));
        EXPECT_EQ(window.status, "Ripping Track 1 : 40% Done.");
        // The library saw no request before it: the cancel came after its delivery.
        EXPECT_EQ(lib.ripper.aborts, std::vector<int32_t>(2, 0));
    }
}

TEST_F(WaveRipperTest, ChunkLargerThanTheBufferIsNotTrusted) {
    Load(AudioDrive("A", {100}));
    Script({{0, kChunk, 50}, {0, kChunk + 1, 100}});
    EXPECT_EQ(ripper.RipChunk(session.Disc(), 1), 1);
    EXPECT_EQ(audioOf(readFile(File("Live Track 1.wav"))), Delivered({0}));
}

TEST_F(WaveRipperTest, LibraryRefusesToOpen) {
    Load(AudioDrive("A", {100}));
    lib.ripper.openResult = 1;
    EXPECT_EQ(ripper.RipChunk(session.Disc(), 1), 1);
    EXPECT_EQ(window.status, "Error : Application Error.");
    EXPECT_TRUE(NoFiles());
    EXPECT_EQ(lib.Count("RipChunk"), 0);
}

TEST_F(WaveRipperTest, BufferThatCannotBeAllocated) {
    Load(AudioDrive("A", {100}));
    Script({{0, kChunk, 100}});
    size_t asked = 0;
    ripper.SetBufferAllocator([&](size_t bytes) {
        asked = bytes;
        return std::unique_ptr<uint8_t[]>();
    });
    EXPECT_EQ(ripper.RipChunk(session.Disc(), 1), 1);
    EXPECT_EQ(asked, size_t(kChunk));
    EXPECT_EQ(window.status, "Error : Memory Allocation Error.");
    EXPECT_EQ(lib.Count("RipChunk"), 0);
    EXPECT_TRUE(lib.ripper.open);
    const auto f = readFile(File("Live Track 1.wav"));
    ASSERT_EQ(f.size(), 44u);
    expectValidWav(f);
}

TEST_F(WaveRipperTest, LibraryAnnouncesNoBuffer) {
    Load(AudioDrive("A", {100}));
    lib.ripper.bufferSize = 0;
    EXPECT_EQ(ripper.RipChunk(session.Disc(), 1), 1);
    EXPECT_EQ(window.status, "Error : Memory Allocation Error.");
    EXPECT_EQ(lib.Count("RipChunk"), 0);
}

TEST_F(WaveRipperTest, OutputFileThatCannotBeCreated) {
    struct Case {
        QString directory, recordingName;
    };
    const QString base = QString::fromStdString(dir.path().string());
    for (const Case& c : {Case{base + "/missing", "Track 1"}, Case{base, "AC/DC"}}) {
        SCOPED_TRACE(c.recordingName.toStdString());
        Load(AudioDrive("A", {100}));
        Script({{0, kChunk, 100}});
        window.choices.Directory = c.directory;
        window.choices.RecordingName = c.recordingName;
        EXPECT_EQ(ripper.RipChunk(session.Disc(), 1), 1);
        const QString name = c.directory + "/Live " + c.recordingName + ".wav";
        EXPECT_EQ(window.status, "Error : Cannot create file " + name);
        EXPECT_EQ(ripper.LastOutputFailure(), TOutputFailure::CannotCreateFile);
        EXPECT_EQ(ripper.LastFileName(), name);
        EXPECT_EQ(lib.Count("RipChunk"), 0);
        // The ripping process is open: the batch closes it.
        EXPECT_TRUE(lib.ripper.open);
    }
    EXPECT_TRUE(NoFiles());
}

TEST_F(WaveRipperTest, FullDiskStopsTheTrackAtOnce) {
    Load(AudioDrive("A", {100}));
    Script({{0, kChunk, 25}, {0, kChunk, 50}, {0, kChunk, 75}, {0, kChunk, 100}});
    auto disk = std::make_shared<MemoryDisk>();
    disk->capacity = 44 + kChunk + 1000;
    TWaveRipper full(window, window.control, session, memoryOpener(disk));
    EXPECT_EQ(full.RipChunk(session.Disc(), 1), 1);
    const QString name = window.choices.Directory + "/Live Track 1.wav";
    EXPECT_EQ(window.status, "Error : Write error (disk full?) " + name);
    EXPECT_EQ(full.LastOutputFailure(), TOutputFailure::WriteError);
    EXPECT_EQ(lib.Count("RipChunk"), 2);
    EXPECT_FALSE(full.HoldsChunkBuffer());
    ASSERT_TRUE(disk->closed);
    expectValidWav(disk->bytes);
    EXPECT_EQ(disk->bytes.size(), size_t(44 + kChunk + 1000));
}

TEST_F(WaveRipperTest, NoRoomForTheHeaderIsAWriteError) {
    Load(AudioDrive("A", {100}));
    Script({{0, kChunk, 100}});
    auto disk = std::make_shared<MemoryDisk>();
    disk->capacity = 10;
    TWaveRipper full(window, window.control, session, memoryOpener(disk));
    EXPECT_EQ(full.RipChunk(session.Disc(), 1), 1);
    EXPECT_EQ(full.LastOutputFailure(), TOutputFailure::WriteError);
    EXPECT_EQ(lib.Count("RipChunk"), 0);
}

TEST_F(WaveRipperTest, SizeFieldsThatCannotBeWrittenAreAWriteError) {
    Load(AudioDrive("A", {100}));
    Script({{0, kChunk, 100}});
    auto disk = std::make_shared<MemoryDisk>();
    disk->failClose = true;
    TWaveRipper failing(window, window.control, session, memoryOpener(disk));
    EXPECT_EQ(failing.RipChunk(session.Disc(), 1), 1);
    EXPECT_EQ(failing.LastOutputFailure(), TOutputFailure::WriteError);
    EXPECT_TRUE(window.status.startsWith("Error : Write error (disk full?) "));
}

TEST_F(WaveRipperTest, FullTmpfsDuringARip) {
    SmallTmpfs fs(64 * 1024);
    if (!fs.Mounted()) GTEST_SKIP() << "no permission to mount a tmpfs here";
    Load(AudioDrive("A", {100}));
    std::vector<ScriptedChunk> chunks;
    for (int i = 1; i <= 10; ++i) chunks.push_back({0, kChunk, i * 10});
    Script(chunks);
    window.choices.Directory = QString::fromStdString(fs.path());
    EXPECT_EQ(ripper.RipChunk(session.Disc(), 1), 1);
    EXPECT_EQ(ripper.LastOutputFailure(), TOutputFailure::WriteError);
    const auto f = readFile(fs.file("Live Track 1.wav"));
    expectValidWav(f);
    EXPECT_LT(f.size(), 44u + 10 * kChunk);
    const auto delivered = Delivered({0, 1, 2, 3, 4, 5, 6});
    const auto audio = audioOf(f);
    ASSERT_LE(audio.size(), delivered.size());
    EXPECT_TRUE(std::equal(audio.begin(), audio.end(), delivered.begin()));
}
