// The MP3 and Ogg Vorbis batches over a scripted CD library and scripted encoders.
#include <gtest/gtest.h>

#include <filesystem>

#include "CDRipIntf.h"
#include "CDSession.h"
#include "EncodeBatch.h"
#include "Encoders.h"
#include "FakeRipWindow.h"
#include "RipTestSupport.h"
#include "ScriptedCDRip.h"
#include "ScriptedEncoders.h"

using namespace CDRipIntf;
using namespace riptest;

namespace {

enum class Format { Mp3, Ogg };

constexpr int32_t kDelivery = 4 * 2352;

class EncodeBatchTest : public ::testing::TestWithParam<Format> {
protected:
    void SetUp() override {
        lib.drives = {AudioDrive("A", {300, 400, 500, 600})};
        lib.Install(session);
        ASSERT_EQ(session.ReadDiscInfo(session.Disc()), 0);
        lib.ripper.chunks = {{0, kDelivery, 50}, {0, kDelivery, 100}};
        if (Ogg())
            encoder.InstallVorbis(encoders);
        else
            encoder.InstallBlade(encoders);
        window.choices.Directory = QString::fromStdString(dir.path().string());
        window.choices.Album = "Live";
        window.choices.RecordingName = "Track 1";
        window.choices.MultipleTracks = true;
        window.SetLines(4, {1, 3});
        lib.calls.clear();
    }
    void TearDown() override {
        encoders.RestoreBladeFunctions();
        encoders.UnloadVorbisLibrary();
        session.Finalize();
    }

    bool Ogg() const { return GetParam() == Format::Ogg; }
    QString Ext() const { return Ogg() ? ".ogg" : ".mp3"; }
    std::string File(const QString& recordingName) const {
        return dir.file(("Live " + recordingName + Ext()).toStdString());
    }
    QString Success(const QString& recordingName) const {
        return "Successfully Ripped and Encoded Live to Live " + recordingName + Ext() +
               (Ogg() ? " to Ogg Vorbis Format." : " to MP3 Format.");
    }
    void Run() {
        if (Ogg())
            Rip::RipTracksToOgg(window, window.control, ripper, window.Plan(session.Disc()));
        else
            Rip::RipTracksToMp3(window, window.control, ripper, window.Plan(session.Disc()));
    }
    std::vector<uint8_t> WholeTrackFile() const {
        std::vector<uint8_t> all;
        for (size_t k = 0; k < 2; ++k) {
            const auto c = lib.ripper.ChunkBytes(k);
            all.insert(all.end(), c.begin(), c.end());
        }
        all.insert(all.end(), encoder.ending.begin(), encoder.ending.end());
        return all;
    }
    // The closing steps of every batch that started: its last word, a flash only when it
    // ended by itself, and the window and the drive left free.
    void ExpectEnded(const QString& lastStatus) {
        EXPECT_EQ(window.status, lastStatus);
        EXPECT_EQ(window.ripStatus, "");
        EXPECT_EQ(window.position, 0);
        EXPECT_EQ(window.flashes,
                  lastStatus == QStringLiteral("Ripping and Encoding Canceled.") ? 0 : 1);
        EXPECT_EQ(lib.Count("LockCD"), 1);
        EXPECT_EQ(lib.Count("StopPlayTrack"), 1);
        EXPECT_FALSE(lib.ripper.open);
        EXPECT_EQ(encoder.live, 0);
        EXPECT_EQ(encoder.badCalls, 0);
    }
    void ExpectCompleted() { ExpectEnded("Ripping and Encoding Completed."); }
    void ExpectCancelled() { ExpectEnded("Ripping and Encoding Canceled."); }
    void ExpectNotRipped(int failed, int processed) {
        ExpectEnded("Ripping and Encoding Ended with Errors - " + QString::number(failed) + " of " +
                    QString::number(processed) + " Track(s) not Ripped.");
    }

    TempDir dir;
    ScriptedCDRip lib;
    ScriptedEncoder encoder;
    CDRipIntf::TCDSession session;
    Rip::TEncoders encoders;
    FakeRipWindow window;
    Rip::TEncodeRipper ripper{window, window.control, session, encoders};
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Formats, EncodeBatchTest, ::testing::Values(Format::Mp3, Format::Ogg),
                         [](const auto& info) {
                             return std::string(info.param == Format::Mp3 ? "Mp3" : "Ogg");
                         });

TEST_P(EncodeBatchTest, MultipleTracksOneFileEach) {
    Run();

    EXPECT_EQ(readFile(File("Track 2")), WholeTrackFile());
    EXPECT_EQ(readFile(File("Track 4")), WholeTrackFile());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
    EXPECT_EQ(window.choices.RecordingName, "Track 4");
    EXPECT_TRUE(window.SelectedLines().empty());
    EXPECT_TRUE(window.statuses.contains(Success("Track 2")));
    EXPECT_TRUE(window.statuses.contains(Success("Track 4")));
    EXPECT_EQ(window.ripStatuses.first(),
              Ogg() ? "Ripping to Ogg Vorbis" : "Ripping to MP3 Format");
    EXPECT_EQ(window.ripStatuses.size(), 3);  // two tracks, then cleared
    // Every track, the last too, is followed by the pause.
    EXPECT_EQ(window.control.pauses, std::vector<int>({2000, 2000}));
    EXPECT_EQ(lib.Count("OpenRipper"), 2);
    EXPECT_EQ(lib.Count("CloseRipper"), 2);
    EXPECT_TRUE(window.dialogs.empty());
    ExpectCompleted();
    if (Ogg()) {
        EXPECT_EQ(encoder.title, "Track 4");
        EXPECT_EQ(encoder.infoNumber, 4u);
        EXPECT_EQ(encoder.infoCount, 4u);
    }
}

TEST_P(EncodeBatchTest, SingleTrackKeepsTheTypedName) {
    window.choices.MultipleTracks = false;
    window.choices.RecordingName = "Opening";
    window.choices.Album = "";
    window.SetLines(4, {2});
    Run();
    const std::string file = dir.file(" Opening" + Ext().toStdString());
    EXPECT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(window.choices.RecordingName, "Opening");
    EXPECT_TRUE(window.statuses.contains("Successfully Ripped and Encoded  to  Opening" + Ext() +
                                         (Ogg() ? " to Ogg Vorbis Format." : " to MP3 Format.")));
    EXPECT_EQ(lib.ripper.first, 700);
    ExpectCompleted();
}

TEST_P(EncodeBatchTest, CancelEndsTheBatch) {
    // The bar is reset as the track begins (step 1), then follows each chunk.
    window.onProgress = [&](int call) {
        if (call == 2) window.control.Cancel();
    };
    Run();
    auto partial = lib.ripper.ChunkBytes(0);
    partial.resize(4608);
    partial.insert(partial.end(), encoder.ending.begin(), encoder.ending.end());
    EXPECT_EQ(readFile(File("Track 2")), partial);
    EXPECT_FALSE(window.statuses.contains(Success("Track 2")));
    EXPECT_FALSE(std::filesystem::exists(File("Track 4")));
    EXPECT_EQ(lib.Count("OpenRipper"), 1);
    // The cancelled track and those after it keep their lines, to be ripped again.
    EXPECT_EQ(window.SelectedLines(), std::vector<int>({1, 3}));
    EXPECT_TRUE(window.control.pauses.empty());
    ExpectCancelled();
}

TEST_P(EncodeBatchTest, CancelBetweenTracksEndsTheBatchBeforeTheNextOne) {
    // A click in the pause after track 1, and one that comes as track 2 begins: neither
    // lets track 2 start a file.
    for (const bool queued : {false, true}) {
        SCOPED_TRACE(queued ? "as track 2 begins" : "in the pause");
        std::filesystem::remove_all(dir.path());
        std::filesystem::create_directories(dir.path());
        window.SetLines(4, {0, 1, 2});
        window.statuses.clear();
        window.control.Reset();
        window.flashes = 0;
        lib.calls.clear();
        bool clicked = false;
        const auto click = [&] {
            clicked = true;
            window.control.Cancel();
        };
        window.onChoices = [&](int) {
            if (queued && !clicked && !window.selected[0]) click();
        };
        if (!queued) window.control.onPause = [&](int) { click(); };
        Run();
        EXPECT_TRUE(clicked);
        EXPECT_EQ(readFile(File("Track 1")), WholeTrackFile());
        EXPECT_FALSE(std::filesystem::exists(File("Track 2")));
        EXPECT_EQ(lib.Count("OpenRipper"), 1);
        EXPECT_EQ(window.SelectedLines(), std::vector<int>({1, 2}));
        ExpectCancelled();
    }
}

TEST_P(EncodeBatchTest, DataTrackIsPassedOver) {
    ScriptedDrive d = AudioDrive("A", {300, 400, 500, 600});
    d.tracks[2].data = true;
    lib.drives = {d};
    lib.Install(session);
    ASSERT_EQ(session.ReadDiscInfo(session.Disc()), 0);
    lib.calls.clear();
    window.SetLines(4, {1, 2, 3});
    Run();
    EXPECT_TRUE(window.statuses.contains("Not an Audio Track - Track 3"));
    EXPECT_FALSE(std::filesystem::exists(File("Track 3")));
    EXPECT_EQ(readFile(File("Track 4")), WholeTrackFile());
    EXPECT_EQ(lib.Count("OpenRipper"), 2);
    EXPECT_EQ(window.control.pauses.size(), 3u);
    EXPECT_TRUE(window.SelectedLines().empty());
    ExpectNotRipped(1, 3);
}

TEST_P(EncodeBatchTest, FailedTracksKeepTheirMessageAndTheBatchEndsCountingThem) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        QString dialog;
    };
    const std::vector<Case> cases = {
        {"ripping process", [&] { lib.ripper.openResult = 1; }, "box:OK: Error : CR_OpenRipper"},
        {"encoder stream", [&] { encoder.openResult = 3; },
         "error: Error opening encoding stream 3"},
        {"library error",
         [&] {
             lib.ripper.chunks = {{0, kDelivery, 50}, {2, 0, 0}};
         },
         "box:OK: Error : CR_RipChunk"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window.SetLines(4, {1, 3});
        window.dialogs.clear();
        window.statuses.clear();
        window.flashes = 0;
        lib.calls.clear();
        lib.ripper.openResult = 0;
        encoder.openResult = 0;
        lib.ripper.chunks = {{0, kDelivery, 50}, {0, kDelivery, 100}};
        c.arrange();
        Run();
        EXPECT_EQ(window.dialogs, QStringList({c.dialog, c.dialog}));
        EXPECT_FALSE(window.statuses.contains(Success("Track 2")));
        EXPECT_FALSE(window.statuses.contains(Success("Track 4")));
        EXPECT_EQ(window.control.pauses.size() % 2, 0u);
        EXPECT_TRUE(window.SelectedLines().empty());
        ExpectNotRipped(2, 2);
    }
}

TEST_P(EncodeBatchTest, OutputFileThatCannotBeCreated) {
    window.choices.Directory = QString::fromStdString(dir.file("not-there"));
    Run();
    EXPECT_TRUE(window.statuses.contains("Error : Cannot create file " + window.choices.Directory +
                                         "/Live Track 2" + Ext()));
    EXPECT_TRUE(window.statuses.contains("Error : Cannot create file " + window.choices.Directory +
                                         "/Live Track 4" + Ext()));
    EXPECT_EQ(lib.Count("OpenRipper"), 2);
    EXPECT_EQ(lib.Count("CloseRipper"), 2);
    EXPECT_EQ(encoder.opens, 0);
    EXPECT_TRUE(window.dialogs.empty());
    ExpectNotRipped(2, 2);
    // The next batch starts.
    window.choices.Directory = QString::fromStdString(dir.path().string());
    window.SetLines(4, {0});
    Run();
    EXPECT_TRUE(std::filesystem::exists(File("Track 1")));
}

TEST_P(EncodeBatchTest, ClosingTheWindowEndsTheBatchAfterTheCurrentTrack) {
    // What the Exit button does during a rip: cancel the track, then close.
    window.SetLines(4, {0, 1, 3});
    window.onProgress = [&](int call) {
        if (call == 2) window.control.Cancel();
    };
    Run();
    EXPECT_EQ(lib.Count("OpenRipper"), 1);
    EXPECT_TRUE(window.statuses.contains("Ripping and Encoding Canceled."));
    EXPECT_TRUE(std::filesystem::exists(File("Track 1")));
    EXPECT_FALSE(std::filesystem::exists(File("Track 2")));
    EXPECT_EQ(window.SelectedLines(), std::vector<int>({0, 1, 3}));
    EXPECT_TRUE(window.control.pauses.empty());
    ExpectCancelled();
}

TEST_P(EncodeBatchTest, ChoicesAreReadOncePerMp3BatchAndPerOggTrack) {
    // Mono and "Personal Device" chosen while the first track is ripped.
    window.onProgress = [&](int) {
        window.choices.Stereo = false;
        window.choices.Mono = true;
        window.choices.PersonalComputer = false;
        window.choices.PersonalDevice = true;
    };
    Run();
    if (Ogg()) {
        EXPECT_EQ(encoder.oggConfig.dwChannels, 1u);
        EXPECT_EQ(encoder.oggConfig.fQuality, 0.4f);
    } else {
        // Copied out: gtest would bind a reference to the packed record's fields.
        const int mode = encoder.mp3Config.format.mp3.byMode;
        const int kbps = encoder.mp3Config.format.mp3.wBitrate;
        EXPECT_EQ(mode, 0);
        EXPECT_EQ(kbps, 192);
    }
    EXPECT_EQ(encoder.opens, 2);
}

TEST(OggBatch, RefusesWithoutTheLibrary) {
    ScriptedCDRip lib;
    CDRipIntf::TCDSession session;
    Rip::TEncoders encoders;
    lib.drives = {AudioDrive("A", {300, 400})};
    lib.Install(session);
    ASSERT_EQ(session.ReadDiscInfo(session.Disc()), 0);
    lib.calls.clear();
    encoders.UnloadVorbisLibrary();
    FakeRipWindow window;
    window.choices.MultipleTracks = true;
    window.SetLines(2, {0, 1});
    Rip::TEncodeRipper ripper(window, window.control, session, encoders);
    Rip::RipTracksToOgg(window, window.control, ripper, window.Plan(session.Disc()));
    EXPECT_EQ(window.dialogs, QStringList({"box:OK: Vorbis.DLL is not Ready."}));
    EXPECT_TRUE(window.statuses.empty());
    EXPECT_TRUE(window.ripStatuses.empty());
    EXPECT_EQ(window.SelectedLines(), std::vector<int>({0, 1}));
    EXPECT_EQ(window.choices.RecordingName, "Track 1");
    EXPECT_TRUE(lib.calls.empty());
    session.Finalize();
}
