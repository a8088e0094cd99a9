// The WAV writer on real files, an in-memory disk that fills up, and a small tmpfs.
#include <gtest/gtest.h>

#include <filesystem>

#include "RipTestSupport.h"
#include "WavWriter.h"

using namespace riptest;
using Rip::TWavWriter;

namespace {
std::vector<uint8_t> pattern(size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 9));
    return v;
}
}  // namespace

TEST(WavHeader, FirstWrittenWithEmptySizes) {
    uint8_t h[Rip::kWavHeaderSize];
    Rip::BuildWavHeader(h);
    const uint8_t want[44] = {'R', 'I', 'F',  'F',  0,   0,   0,    0,    'W',  'A', 'V',
                              'E', 'f', 'm',  't',  ' ', 16,  0,    0,    0,    1,   0,
                              2,   0,   0x44, 0xAC, 0,   0,   0x10, 0xB1, 0x02, 0,   4,
                              0,   16,  0,    'd',  'a', 't', 'a',  0,    0,    0,   0};
    EXPECT_EQ(0, memcmp(h, want, 44));
}

TEST(WavWriter, CompleteFileHasSizesOfItsLength) {
    TempDir dir;
    const std::string path = dir.file("a.wav");
    const auto a = pattern(61152, 3), b = pattern(2352 * 3, 9);
    TWavWriter w;
    ASSERT_TRUE(w.Create(path));
    // Until the end the size fields stay empty.
    EXPECT_EQ(le32(readFile(path), 4), 0u);
    ASSERT_TRUE(w.Append(a.data(), a.size()));
    ASSERT_TRUE(w.Append(b.data(), b.size()));
    EXPECT_EQ(le32(readFile(path), 40), 0u);
    ASSERT_TRUE(w.Finish());
    EXPECT_FALSE(w.IsOpen());

    const auto f = readFile(path);
    const size_t k = a.size() + b.size();
    ASSERT_EQ(f.size(), k + 44);
    EXPECT_EQ(le32(f, 4), k + 36);
    EXPECT_EQ(le32(f, 40), k);
    expectValidWav(f);
    auto want = a;
    want.insert(want.end(), b.begin(), b.end());
    EXPECT_EQ(audioOf(f), want);
}

TEST(WavWriter, EmptyFileAndReplacedFile) {
    TempDir dir;
    const std::string path = dir.file("e.wav");
    {
        std::ofstream old(path, std::ios::binary);
        old << std::string(100000, 'x');
    }
    TWavWriter w;
    ASSERT_TRUE(w.Create(path));
    ASSERT_TRUE(w.Finish());
    const auto f = readFile(path);
    ASSERT_EQ(f.size(), 44u);
    EXPECT_EQ(le32(f, 4), 36u);
    EXPECT_EQ(le32(f, 40), 0u);
}

TEST(WavWriter, FileThatCannotBeCreated) {
    TempDir dir;
    TWavWriter w;
    EXPECT_FALSE(w.Create(dir.file("no such folder/a.wav")));
    EXPECT_FALSE(w.IsOpen());
    EXPECT_FALSE(w.Append(reinterpret_cast<const uint8_t*>("abcd"), 4));
    EXPECT_FALSE(w.Finish());
}

TEST(WavWriter, DestructionFinishesTheFile) {
    TempDir dir;
    const std::string path = dir.file("d.wav");
    const auto a = pattern(4000, 1);
    {
        TWavWriter w;
        ASSERT_TRUE(w.Create(path));
        ASSERT_TRUE(w.Append(a.data(), a.size()));
    }
    const auto f = readFile(path);
    expectValidWav(f);
    EXPECT_EQ(audioOf(f), a);
}

TEST(WavWriter, FullDiskKeepsWholeFramesAndTrueSizes) {
    auto disk = std::make_shared<MemoryDisk>();
    disk->capacity = 44 + 1000 + 6;  // the second chunk gets 6 bytes: one frame and a half
    TWavWriter w(memoryOpener(disk));
    ASSERT_TRUE(w.Create("/m/a.wav"));
    const auto a = pattern(1000, 5), b = pattern(1000, 77);
    ASSERT_TRUE(w.Append(a.data(), a.size()));
    EXPECT_FALSE(w.Append(b.data(), b.size()));
    EXPECT_TRUE(w.Failed());
    EXPECT_EQ(w.DataBytes(), 1004u);
    // Nothing more goes in once a write has failed, even if room appeared.
    disk->capacity = SIZE_MAX;
    EXPECT_FALSE(w.Append(b.data(), 4));
    EXPECT_FALSE(w.Finish());

    ASSERT_TRUE(disk->closed);
    const auto& f = disk->bytes;
    ASSERT_EQ(f.size(), 44u + 1004u);
    expectValidWav(f);
    EXPECT_TRUE(std::equal(a.begin(), a.end(), f.begin() + 44));
    EXPECT_TRUE(std::equal(b.begin(), b.begin() + 4, f.begin() + 1044));
}

TEST(WavWriter, TornFrameStaysWhenTheDiskCannotCutIt) {
    auto disk = std::make_shared<MemoryDisk>();
    disk->capacity = 44 + 7;
    disk->failTruncate = true;
    TWavWriter w(memoryOpener(disk));
    ASSERT_TRUE(w.Create("/m/a.wav"));
    const auto a = pattern(100, 5);
    EXPECT_FALSE(w.Append(a.data(), a.size()));
    EXPECT_FALSE(w.Finish());
    // The fields describe what is there, torn frame and all.
    ASSERT_EQ(disk->bytes.size(), 51u);
    EXPECT_EQ(le32(disk->bytes, 4), 43u);
    EXPECT_EQ(le32(disk->bytes, 40), 7u);
}

TEST(WavWriter, NoRoomForTheHeader) {
    auto disk = std::make_shared<MemoryDisk>();
    disk->capacity = 20;
    TWavWriter w(memoryOpener(disk));
    ASSERT_TRUE(w.Create("/m/a.wav"));
    EXPECT_TRUE(w.Failed());
    EXPECT_FALSE(w.Append(reinterpret_cast<const uint8_t*>("abcd"), 4));
    EXPECT_FALSE(w.Finish());
    // No half header is left behind to pass for a WAV file.
    EXPECT_TRUE(disk->bytes.empty());
}

TEST(WavWriter, FailingSizeFieldsOrCloseAreReported) {
    for (const bool failClose : {false, true}) {
        SCOPED_TRACE(failClose ? "close fails" : "size fields fail");
        auto disk = std::make_shared<MemoryDisk>();
        disk->failWriteAt = !failClose;
        disk->failClose = failClose;
        TWavWriter w(memoryOpener(disk));
        ASSERT_TRUE(w.Create("/m/a.wav"));
        const auto a = pattern(400, 1);
        ASSERT_TRUE(w.Append(a.data(), a.size()));
        EXPECT_FALSE(w.Finish());
        EXPECT_TRUE(w.Failed());
        EXPECT_TRUE(disk->closed);
    }
}

TEST(WavWriter, RealFullDiskOnSmallTmpfs) {
    SmallTmpfs fs(64 * 1024);
    if (!fs.Mounted()) GTEST_SKIP() << "no permission to mount a tmpfs here";
    const std::string path = fs.file("full.wav");
    TWavWriter w;
    ASSERT_TRUE(w.Create(path));
    const auto chunk = pattern(61152, 11);  // one library chunk of 26 sectors
    ASSERT_TRUE(w.Append(chunk.data(), chunk.size()));
    EXPECT_FALSE(w.Append(chunk.data(), chunk.size()));
    EXPECT_FALSE(w.Finish());

    const auto f = readFile(path);
    ASSERT_GT(f.size(), 44u + chunk.size());
    ASSERT_LT(f.size(), 44u + 2 * chunk.size());
    EXPECT_EQ((f.size() - 44) % 4, 0u);
    expectValidWav(f);
    EXPECT_TRUE(std::equal(chunk.begin(), chunk.end(), f.begin() + 44));
}
