// The MP3 and Ogg Vorbis track rippers over a scripted CD library and scripted encoders:
// the whole track reaches the encoder, and every failure shows its message, keeps the
// file it should and frees the encoder's stream.
#include <gtest/gtest.h>

#include <filesystem>

#include "CDRipIntf.h"
#include "CDSession.h"
#include "EncodeRipper.h"
#include "Encoders.h"
#include "FakeRipWindow.h"
#include "RipTestSupport.h"
#include "ScriptedCDRip.h"
#include "ScriptedEncoders.h"

using namespace CDRipIntf;
using namespace riptest;
using Rip::TEncodeRipper;

namespace {

enum class Format { Mp3, Ogg };

struct Texts {
    const char* encodeFailed;
    const char* finishFailed;
};

class EncodeRipperTest : public ::testing::TestWithParam<Format> {
protected:
    void SetUp() override {
        lib.drives = {AudioDrive("A", {300, 400, 500})};
        lib.Install(session);
        ASSERT_EQ(session.ReadDiscInfo(session.Disc()), 0);
        if (Ogg())
            encoder.InstallVorbis(encoders);
        else
            encoder.InstallBlade(encoders);
        lib.calls.clear();
    }
    void TearDown() override {
        encoders.RestoreBladeFunctions();
        encoders.UnloadVorbisLibrary();
        session.Finalize();
    }

    bool Ogg() const { return GetParam() == Format::Ogg; }
    Texts Messages() const {
        return Ogg() ? Texts{"vbEncWrite failed ", "vbEncClose failed "}
                     : Texts{"beEncodeChunk failed ", "beExitStream failed "};
    }
    std::string Name() const { return Ogg() ? "Live Track 2.ogg" : "Live Track 2.mp3"; }
    QString Path() const { return QString::fromStdString(dir.file(Name())); }
    int32_t Encode(uint8_t n, TEncodeRipper& with) {
        return Ogg() ? with.EncodeTrackToOgg(session.Disc(), n, Path(), with.BuildOggConfig())
                     : with.EncodeTrackToMp3(session.Disc(), n, Path(), with.BuildMp3Config());
    }
    int32_t Encode(uint8_t n = 2) { return Encode(n, ripper); }
    void Script(std::vector<ScriptedChunk> chunks) { lib.ripper.chunks = std::move(chunks); }

    // The audio of the first `count` deliveries, as the library handed it over.
    std::vector<uint8_t> Delivered(size_t count) const {
        std::vector<uint8_t> all;
        for (size_t k = 0; k < count; ++k) {
            const auto c = lib.ripper.ChunkBytes(k);
            all.insert(all.end(), c.begin(), c.end());
        }
        return all;
    }
    std::vector<uint8_t> WithEnding(std::vector<uint8_t> audio) const {
        audio.insert(audio.end(), encoder.ending.begin(), encoder.ending.end());
        return audio;
    }
    std::vector<uint8_t> Written() const { return readFile(dir.file(Name())); }
    bool NoFiles() const { return std::filesystem::is_empty(dir.path()); }

    // After every track: the stream is freed, the program made no call on a dead handle,
    // and the ripping process is left for the batch to close.
    void ExpectStreamsFreed() {
        EXPECT_EQ(encoder.live, 0);
        EXPECT_EQ(encoder.badCalls, 0);
    }

    TempDir dir;
    ScriptedCDRip lib;
    ScriptedEncoder encoder;
    CDRipIntf::TCDSession session;
    Rip::TEncoders encoders;
    FakeRipWindow window;
    TEncodeRipper ripper{window, window.control, session, encoders};
};

// W = 2 * 2304 = 4608 bytes; a delivery of 9408 bytes feeds two chunks and carries 192.
constexpr int32_t kDelivery = 4 * 2352;
constexpr uint32_t kChunkSamples = 2 * 1152;

}  // namespace

INSTANTIATE_TEST_SUITE_P(Formats, EncodeRipperTest, ::testing::Values(Format::Mp3, Format::Ogg),
                         [](const auto& info) {
                             return std::string(info.param == Format::Mp3 ? "Mp3" : "Ogg");
                         });

TEST_P(EncodeRipperTest, RipsTheWholeTrack) {
    Script({{0, kDelivery, 100}});
    for (const auto& [n, first, last] :
         {std::tuple{1, 0, 299}, std::tuple{2, 300, 699}, std::tuple{3, 700, 1199}}) {
        SCOPED_TRACE(n);
        EXPECT_EQ(Encode(uint8_t(n)), 0);
        EXPECT_EQ(lib.ripper.first, first);
        EXPECT_EQ(lib.ripper.last, last);
        lib.ripper.open = false;
    }
}

TEST_P(EncodeRipperTest, CompleteTrackFeedsEveryByteAndFlushes) {
    // 3 deliveries of 9408 and a short one of 1000: 29224 bytes = 6 chunks and 1576 bytes.
    Script({{0, kDelivery, 25}, {3, kDelivery, 50}, {0, kDelivery, 75}, {0, 1000, 100}});
    std::vector<int> live;
    window.onProgress = [&](int) { live.push_back(encoder.live); };

    EXPECT_EQ(Encode(), 0);

    // The short last chunk is encoded; the file is the encoder's output and nothing else.
    EXPECT_EQ(Written(), WithEnding(Delivered(4)));
    EXPECT_EQ(encoder.chunkSamples,
              std::vector<uint32_t>({kChunkSamples, kChunkSamples, kChunkSamples, kChunkSamples,
                                     kChunkSamples, kChunkSamples, 1576 / 2}));
    EXPECT_EQ(encoder.opens, 1);
    EXPECT_EQ(encoder.finishes, 1);
    ExpectStreamsFreed();
    EXPECT_EQ(encoder.drops, 0);
    EXPECT_EQ(ripper.LastOutputFailure(), Rip::TOutputFailure::None);
    EXPECT_TRUE(window.dialogs.empty());
    // Progress after every chunk, shown once per percentage, the stream open at each step.
    EXPECT_EQ(window.statuses, QStringList({"Ripping and Encoding Track: 2 : 25% Done",
                                            "Ripping and Encoding Track: 2 : 50% Done",
                                            "Ripping and Encoding Track: 2 : 75% Done",
                                            "Ripping and Encoding Track: 2 : 100% Done"}));
    EXPECT_EQ(window.progress, std::vector<int>({0, 25, 50, 75, 100, 100}));
    EXPECT_EQ(window.rangeMin, 0);
    EXPECT_EQ(window.rangeMax, 100);
    EXPECT_EQ(live, std::vector<int>(6, 1));
    EXPECT_TRUE(lib.ripper.open);
    EXPECT_EQ(lib.Count("CloseRipper"), 0);
}

TEST_P(EncodeRipperTest, CarriedOverBytesAreEncodedWhenTheLibraryEnds) {
    // 9408 bytes: two chunks, and 192 bytes carried over when the library says done.
    Script({{0, kDelivery, 100}});
    EXPECT_EQ(Encode(), 0);
    EXPECT_EQ(encoder.chunkSamples, std::vector<uint32_t>({kChunkSamples, kChunkSamples, 96}));
    EXPECT_EQ(Written(), WithEnding(Delivered(1)));
}

TEST_P(EncodeRipperTest, SilentChunksWriteNothing) {
    encoder.silent = true;
    Script({{0, kDelivery, 100}});
    EXPECT_EQ(Encode(), 0);
    const std::string ending = encoder.ending;
    EXPECT_EQ(Written(), std::vector<uint8_t>(ending.begin(), ending.end()));
}

TEST_P(EncodeRipperTest, RipChunkErrorFinishesTheFileButFailsTheTrack) {
    Script({{0, kDelivery, 30}, {0, kDelivery, 60}, {9, 0, 0}, {0, kDelivery, 100}});
    EXPECT_EQ(Encode(), 1);
    EXPECT_EQ(window.dialogs, QStringList({"box:OK: Error : CR_RipChunk"}));
    EXPECT_EQ(Written(), WithEnding(Delivered(2)));
    EXPECT_EQ(encoder.finishes, 1);
    ExpectStreamsFreed();
    EXPECT_EQ(window.status, "Ripping and Encoding Track: 2 : 60% Done");
}

TEST_P(EncodeRipperTest, CancelFinishesTheFileWithTheAudioSoFar) {
    Script({{0, kDelivery, 30}, {0, kDelivery, 60}, {0, kDelivery, 100}});
    // Step 1 is the bar's reset, step 2 follows the first chunk.
    window.onProgress = [&](int call) {
        if (call == 2) window.control.Cancel();
    };
    EXPECT_EQ(Encode(), 1);
    EXPECT_EQ(encoder.chunkSamples.size(), 1u);
    auto audio = Delivered(1);
    audio.resize(4608);
    EXPECT_EQ(Written(), WithEnding(audio));
    EXPECT_EQ(window.status, "Ripping and Encoding Canceled.");
    EXPECT_EQ(window.position, 0);
    EXPECT_TRUE(window.dialogs.empty());
    ExpectStreamsFreed();
}

TEST_P(EncodeRipperTest, CancelBeforeTheFirstChunkLeavesOnlyTheEnding) {
    Script({{0, kDelivery, 100}});
    window.control.Cancel();
    EXPECT_EQ(Encode(), 1);
    EXPECT_TRUE(encoder.chunkSamples.empty());
    EXPECT_EQ(lib.Count("RipChunk"), 0);
    EXPECT_EQ(Written(), WithEnding({}));
    EXPECT_EQ(window.status, "Ripping and Encoding Canceled.");
    ExpectStreamsFreed();
}

TEST_P(EncodeRipperTest, FailuresBeforeTheStreamOpens) {
    Script({{0, kDelivery, 100}});
    // The ripping process cannot be opened: nothing is created.
    lib.ripper.openResult = 1;
    EXPECT_EQ(Encode(), 1);
    EXPECT_EQ(window.dialogs, QStringList({"box:OK: Error : CR_OpenRipper"}));
    EXPECT_TRUE(NoFiles());
    EXPECT_EQ(encoder.opens, 0);
    lib.ripper.openResult = 0;

    // No rip buffer: the ripping process is open, but there is no file.
    window.dialogs.clear();
    ripper.SetBufferAllocator([](TEncodeRipper::TBuffer, size_t) { return nullptr; });
    EXPECT_EQ(Encode(), 1);
    EXPECT_EQ(window.dialogs, QStringList({"box:OK: Error : memory allocation (RipBuffer)"}));
    EXPECT_TRUE(lib.ripper.open);
    EXPECT_TRUE(NoFiles());
    EXPECT_EQ(encoder.opens, 0);
    lib.ripper.open = false;

    // A library that opens a ripping process with no buffer size is treated alike.
    window.dialogs.clear();
    TEncodeRipper fresh(window, window.control, session, encoders);
    lib.ripper.bufferSize = 0;
    EXPECT_EQ(Encode(2, fresh), 1);
    EXPECT_EQ(window.dialogs, QStringList({"box:OK: Error : memory allocation (RipBuffer)"}));
    EXPECT_TRUE(NoFiles());
    lib.ripper.open = false;

    // An entry without sectors never reaches the library.
    window.dialogs.clear();
    lib.calls.clear();
    session.Disc().Entry(2).LengthSectors = 0;
    EXPECT_EQ(Encode(2, fresh), 1);
    EXPECT_EQ(window.dialogs, QStringList({"box:OK: Error : CR_OpenRipper"}));
    EXPECT_EQ(lib.Count("OpenRipper"), 0);
}

TEST_P(EncodeRipperTest, OutputFileThatCannotBeCreated) {
    Script({{0, kDelivery, 100}});
    const QString name = QString::fromStdString(dir.file("missing/Live Track 2.x"));
    const int32_t result =
        Ogg() ? ripper.EncodeTrackToOgg(session.Disc(), 2, name, ripper.BuildOggConfig())
              : ripper.EncodeTrackToMp3(session.Disc(), 2, name, ripper.BuildMp3Config());
    EXPECT_EQ(result, 1);
    EXPECT_EQ(window.status, "Error : Cannot create file " + name);
    EXPECT_EQ(ripper.LastOutputFailure(), Rip::TOutputFailure::CannotCreateFile);
    EXPECT_EQ(encoder.opens, 0);
    EXPECT_TRUE(window.dialogs.empty());
    EXPECT_TRUE(lib.ripper.open);  // for the batch to close
}

TEST_P(EncodeRipperTest, StreamThatCannotBeOpenedLeavesAnEmptyFile) {
    Script({{0, kDelivery, 100}});
    for (const auto& [code, shown] : {std::pair{2u, "2"}, std::pair{0xFFFFFFFEu, "4294967294"}}) {
        SCOPED_TRACE(shown);
        window.dialogs.clear();
        encoder.openResult = code;
        EXPECT_EQ(Encode(), 1);
        EXPECT_EQ(window.dialogs,
                  QStringList({QString("error: Error opening encoding stream ") + shown}));
        EXPECT_TRUE(std::filesystem::exists(dir.file(Name())));
        EXPECT_TRUE(Written().empty());
        EXPECT_EQ(lib.Count("RipChunk"), 0);
        ExpectStreamsFreed();
        lib.ripper.open = false;
    }
    // Nothing was opened, so nothing is closed.
    EXPECT_EQ(encoder.Count(Ogg() ? "vbEncClose(drop)" : "beCloseStream"), 0);
}

TEST_P(EncodeRipperTest, BuffersThatCannotBeAllocatedFreeTheStream) {
    Script({{0, kDelivery, 100}});
    for (const auto failing : {TEncodeRipper::TBuffer::Output, TEncodeRipper::TBuffer::Samples}) {
        SCOPED_TRACE(int(failing));
        window.dialogs.clear();
        ripper.SetBufferAllocator(
            [failing](TEncodeRipper::TBuffer which, size_t bytes) -> std::unique_ptr<uint8_t[]> {
                if (which == failing) return nullptr;
                return std::make_unique<uint8_t[]>(bytes);
            });
        EXPECT_EQ(Encode(), 1);
        EXPECT_EQ(window.dialogs,
                  QStringList({"box:OK: Error : memory allocation (OutBuffer, RawBuffer)"}));
        EXPECT_TRUE(Written().empty());
        EXPECT_TRUE(encoder.chunkSamples.empty());
        ExpectStreamsFreed();
        lib.ripper.open = false;
    }
    EXPECT_EQ(encoder.opens, 2);
    EXPECT_EQ(encoder.finishes, 0);
}

TEST_P(EncodeRipperTest, EncoderThatAnnouncesNoChunkSizeIsRefused) {
    Script({{0, kDelivery, 100}});
    encoder.samplesPerChunk = 0;
    EXPECT_EQ(Encode(), 1);
    EXPECT_EQ(window.dialogs,
              QStringList({"box:OK: Error : memory allocation (OutBuffer, RawBuffer)"}));
    ExpectStreamsFreed();
}

TEST_P(EncodeRipperTest, EncodingFailureKeepsTheDataSoFarWithoutAnEnding) {
    Script({{0, kDelivery, 50}, {0, kDelivery, 100}});
    encoder.failEncodeAt = 3;
    encoder.encodeResult = 0x80000001u;
    EXPECT_EQ(Encode(), 1);
    EXPECT_EQ(window.dialogs,
              QStringList({QString("error: ") + Messages().encodeFailed + "2147483649"}));
    auto audio = Delivered(2);
    audio.resize(2 * 4608);
    EXPECT_EQ(Written(), audio);
    EXPECT_EQ(encoder.finishes, 0);
    ExpectStreamsFreed();
}

TEST_P(EncodeRipperTest, FinishFailureKeepsAllChunksWithoutTheEnding) {
    Script({{0, kDelivery, 100}});
    encoder.finishResult = 8;
    EXPECT_EQ(Encode(), 1);
    EXPECT_EQ(window.dialogs, QStringList({QString("error: ") + Messages().finishFailed + "8"}));
    EXPECT_EQ(Written(), Delivered(1));
    EXPECT_EQ(encoder.drops, 0);  // the library freed the stream in its ending call
    ExpectStreamsFreed();
}

TEST_P(EncodeRipperTest, ShortWritesOfAChunkAndOfTheEnding) {
    Script({{0, kDelivery, 50}, {0, kDelivery, 100}});
    auto disk = std::make_shared<MemoryDisk>();
    TEncodeRipper onDisk(window, window.control, session, encoders, memoryOpener(disk));
    // Room for one chunk and a half.
    disk->capacity = 4608 + 2304;
    EXPECT_EQ(Encode(2, onDisk), 1);
    EXPECT_EQ(window.dialogs, QStringList({"error: Write Error"}));
    EXPECT_EQ(disk->bytes.size(), disk->capacity);
    EXPECT_TRUE(disk->closed);
    EXPECT_EQ(encoder.chunkSamples.size(), 2u);
    EXPECT_EQ(encoder.finishes, 0);
    ExpectStreamsFreed();
    lib.ripper.open = false;

    // Room for every chunk and two bytes of the ending.
    window.dialogs.clear();
    disk->capacity = 2 * kDelivery + 2;
    EXPECT_EQ(Encode(2, onDisk), 1);
    EXPECT_EQ(window.dialogs, QStringList({"error: Write error"}));
    EXPECT_EQ(disk->bytes.size(), disk->capacity);
    EXPECT_TRUE(disk->closed);
    ExpectStreamsFreed();
    lib.ripper.open = false;

    // Everything fits, but the file system reports the failure only when the file closes.
    window.dialogs.clear();
    disk->capacity = SIZE_MAX;
    disk->failClose = true;
    EXPECT_EQ(Encode(2, onDisk), 1);
    EXPECT_EQ(window.dialogs, QStringList({"error: Write error"}));
    ExpectStreamsFreed();
}
