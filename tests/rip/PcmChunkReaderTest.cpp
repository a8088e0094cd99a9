// The chunk reader over a scripted CD library: what it hands on, and when it asks.
#include <gtest/gtest.h>

#include <random>

#include "CDRipIntf.h"
#include "CDSession.h"
#include "Encoders.h"
#include "FakeRipWindow.h"
#include "PcmChunkReader.h"
#include "ScriptedCDRip.h"

using namespace CDRipIntf;

namespace {

class PcmChunkReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        lib.drives = {AudioDrive("A", {1000})};
        lib.Install(session);
    }
    void TearDown() override { session.Finalize(); }

    // Opens the scripted ripping process with the given deliveries and a rip buffer of its
    // size, and points the reader at it.
    void Start(std::vector<ScriptedChunk> chunks, int32_t bufferSize = 4 * 2352) {
        lib.ripper.chunks = std::move(chunks);
        lib.ripper.bufferSize = bufferSize;
        int32_t size = 0;
        ASSERT_EQ(session.CR_OpenRipper(&size, 0, 999), 0);
        rip.assign(static_cast<size_t>(size), 0);
        samples.assign(1 << 16, 0);
        lib.calls.clear();
        reader.Reset(rip.data(), size, samples.data());
    }
    // Reads chunks of w bytes until the reader says there is no more audio.
    std::vector<std::vector<uint8_t>> ReadAll(int32_t w) {
        std::vector<std::vector<uint8_t>> out;
        for (int guard = 0; guard < 100000; ++guard) {
            const int32_t n = reader.ReadPcmChunk(w);
            EXPECT_GE(n, 0);
            EXPECT_LE(n, w);
            if (n <= 0) break;
            out.emplace_back(samples.begin(), samples.begin() + n);
        }
        return out;
    }
    std::vector<uint8_t> Delivered() const {
        std::vector<uint8_t> all;
        for (size_t k = 0; k < lib.ripper.chunks.size(); ++k) {
            const auto& c = lib.ripper.chunks[k];
            if ((c.result != 0 && c.result != 3) || c.bytes <= 0) break;
            const auto bytes = lib.ripper.ChunkBytes(k);
            all.insert(all.end(), bytes.begin(), bytes.end());
        }
        return all;
    }
    static std::vector<uint8_t> Join(const std::vector<std::vector<uint8_t>>& chunks) {
        std::vector<uint8_t> all;
        for (const auto& c : chunks) all.insert(all.end(), c.begin(), c.end());
        return all;
    }

    ScriptedCDRip lib;
    CDRipIntf::TCDSession session;
    FakeRipWindow window;
    Rip::TPcmChunkReader reader{window, window.control, session};
    std::vector<uint8_t> rip, samples;
};

}  // namespace

TEST_F(PcmChunkReaderTest, HandsOnEveryDeliveredByteInOrderWhateverTheDeliverySizes) {
    std::mt19937 random(20260508);
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        const int32_t bufferSize = 1 + int32_t(random() % 20000);
        const int32_t w = 2 + 2 * int32_t(random() % 6000);
        std::vector<ScriptedChunk> chunks;
        const int deliveries = 1 + int(random() % 30);
        for (int k = 0; k < deliveries; ++k) {
            const int32_t bytes = 1 + int32_t(random() % uint32_t(bufferSize));
            // Now and then a jitter report, which carries audio like any other delivery.
            chunks.push_back({random() % 5 == 0 ? 3 : 0, bytes, 100 * (k + 1) / deliveries});
        }
        // The range ends with "done", or with an empty delivery.
        if (round % 2) chunks.push_back({0, 0, 100});
        Start(chunks, bufferSize);

        const auto read = ReadAll(w);
        EXPECT_EQ(Join(read), Delivered());
        for (size_t i = 0; i + 1 < read.size(); ++i)
            ASSERT_EQ(read[i].size(), size_t(w)) << "only the last chunk may be short";
        // The library is asked once per delivery and once more to learn the end.
        EXPECT_EQ(lib.Count("RipChunk"), deliveries + 1);
        EXPECT_FALSE(reader.RipChunkFailed());
        EXPECT_EQ(reader.Percent(), 100);
        // Asking again after the end neither reads nor asks.
        EXPECT_EQ(reader.ReadPcmChunk(w), 0);
        EXPECT_EQ(lib.Count("RipChunk"), deliveries + 1);
    }
    EXPECT_TRUE(window.dialogs.empty());
}

TEST_F(PcmChunkReaderTest, ServesChunksFromTheRipBufferBeforeAskingAgain) {
    // 9408 bytes a delivery, chunks of 4000: two chunks from the first delivery, the third
    // straddles into the second one.
    Start({{0, 9408, 50}, {0, 9408, 100}});
    ASSERT_EQ(reader.ReadPcmChunk(4000), 4000);
    EXPECT_EQ(lib.Count("RipChunk"), 1);
    EXPECT_EQ(reader.Percent(), 50);
    ASSERT_EQ(reader.ReadPcmChunk(4000), 4000);
    EXPECT_EQ(lib.Count("RipChunk"), 1);
    ASSERT_EQ(reader.ReadPcmChunk(4000), 4000);
    EXPECT_EQ(lib.Count("RipChunk"), 2);
    EXPECT_EQ(reader.Percent(), 100);
    const auto first = lib.ripper.ChunkBytes(0), second = lib.ripper.ChunkBytes(1);
    EXPECT_TRUE(std::equal(first.begin() + 8000, first.end(), samples.begin()));
    EXPECT_TRUE(std::equal(second.begin(), second.begin() + 2592, samples.begin() + 1408));
    // A fresh false abort flag on every call.
    EXPECT_EQ(lib.ripper.aborts, std::vector<int32_t>(2, 0));
}

TEST_F(PcmChunkReaderTest, CarriedOverBytesAreTheLastChunkWhenTheLibraryEnds) {
    struct Case {
        const char* name;
        ScriptedChunk end;
    };
    for (const Case& c : {Case{"done", {4, 0, 100}}, Case{"empty delivery", {0, 0, 100}},
                          Case{"empty jitter report", {3, 0, 100}}}) {
        SCOPED_TRACE(c.name);
        Start({{0, 6000, 90}, c.end});
        EXPECT_EQ(reader.ReadPcmChunk(4000), 4000);
        EXPECT_EQ(reader.ReadPcmChunk(4000), 2000);
        const auto bytes = lib.ripper.ChunkBytes(0);
        EXPECT_TRUE(std::equal(bytes.begin() + 4000, bytes.end(), samples.begin()));
        EXPECT_EQ(reader.ReadPcmChunk(4000), 0);
        EXPECT_FALSE(reader.RipChunkFailed());
        EXPECT_TRUE(window.dialogs.empty());
    }
}

TEST_F(PcmChunkReaderTest, LibraryErrorShowsItsBoxOnceAndKeepsWhatWasRead) {
    struct Case {
        const char* name;
        ScriptedChunk bad;
    };
    // An error code, and a delivery larger than the rip buffer it was read into.
    for (const Case& c : {Case{"error", {7, 0, 0}}, Case{"oversized", {0, 9409, 60}}}) {
        SCOPED_TRACE(c.name);
        window.dialogs.clear();
        Start({{0, 9408, 40}, c.bad, {0, 9408, 100}});
        EXPECT_EQ(reader.ReadPcmChunk(8000), 8000);
        EXPECT_EQ(reader.ReadPcmChunk(8000), 1408);
        EXPECT_EQ(reader.ReadPcmChunk(8000), 0);
        EXPECT_EQ(reader.ReadPcmChunk(8000), 0);
        EXPECT_TRUE(reader.RipChunkFailed());
        EXPECT_EQ(reader.Percent(), 40);
        EXPECT_EQ(lib.Count("RipChunk"), 2);
        EXPECT_EQ(window.dialogs, QStringList({"box:OK: Error : CR_RipChunk"}));
    }
}

TEST_F(PcmChunkReaderTest, ResetStartsAFreshTrack) {
    Start({{7, 0, 0}});
    EXPECT_EQ(reader.ReadPcmChunk(100), 0);
    EXPECT_TRUE(reader.RipChunkFailed());
    Start({{0, 300, 100}});
    EXPECT_FALSE(reader.RipChunkFailed());
    EXPECT_EQ(reader.Percent(), 0);
    EXPECT_EQ(reader.ReadPcmChunk(100), 100);
    EXPECT_EQ(reader.Percent(), 100);
}
