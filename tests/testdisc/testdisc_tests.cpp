// Tests of the test-disc generator: the written files against sectorBytes/expectedToc.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "testdisc.h"

namespace fs = std::filesystem;
using testdisc::DiscPlan;
using testdisc::ExpectedDisc;
using testdisc::kSectorBytes;
using testdisc::Layout;

namespace {

class TempDir {
public:
    TempDir() {
        static int counter = 0;
        path_ = fs::temp_directory_path() /
                ("testdisc-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    fs::path operator/(const std::string& name) const { return path_ / name; }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

std::vector<uint8_t> readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

uint32_t le32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}
uint16_t le16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}

// The disc sectors a track's file part holds: [start - INDEX 00 sectors, start + sectors).
struct FileRange {
    uint32_t first, count;
};

std::vector<FileRange> trackFileRanges(const DiscPlan& discPlan, const ExpectedDisc& toc) {
    std::vector<FileRange> r;
    for (size_t i = 0; i < toc.tracks.size(); ++i) {
        const bool extraData = discPlan.cdExtra && i + 1 == toc.tracks.size();
        uint32_t index0 = extraData ? 0 : discPlan.tracks[i].index0;
        if (i == 0) index0 += discPlan.hiddenSectors;
        r.push_back({toc.tracks[i].startSector - index0, index0 + discPlan.tracks[i].sectors});
    }
    return r;
}

std::vector<uint8_t> expectedFileBytes(const DiscPlan& discPlan,
                                       const std::vector<FileRange>& ranges) {
    std::vector<uint8_t> out;
    for (const FileRange& fr : ranges) {
        auto b = testdisc::rangeBytes(discPlan, fr.first, fr.first + fr.count - 1);
        out.insert(out.end(), b.begin(), b.end());
    }
    return out;
}

DiscPlan complexPlan() {
    DiscPlan discPlan = testdisc::audioDisc({40, 33, 51, 20});
    discPlan.hiddenSectors = 17;
    discPlan.tracks[1].index0 = 9;
    discPlan.tracks[2].pregap = 12;
    discPlan.tracks[2].index0 = 5;
    discPlan.tracks[3].pregap = 7;
    return discPlan;
}

bool isZero(const uint8_t* p) {
    for (int i = 0; i < kSectorBytes; ++i) {
        if (p[i]) return false;
    }
    return true;
}

// Left-channel zero crossings (rising) of a block of LE stereo audio -> frequency.
double measureHz(const std::vector<uint8_t>& audio) {
    const size_t frames = audio.size() / 4;
    int rising = 0;
    size_t firstRise = 0, lastRise = 0;
    int16_t prev = int16_t(le16(audio.data()));
    for (size_t i = 1; i < frames; ++i) {
        const int16_t cur = int16_t(le16(audio.data() + i * 4));
        if (prev < 0 && cur >= 0) {
            if (rising == 0) firstRise = i;
            lastRise = i;
            ++rising;
        }
        prev = cur;
    }
    if (rising < 2) return 0;
    return (rising - 1) * 44100.0 / double(lastRise - firstRise);
}

}  // namespace

TEST(ExpectedToc, PlainAudio) {
    const DiscPlan discPlan = testdisc::audioDisc({100, 200, 50});
    const ExpectedDisc toc = testdisc::expectedToc(discPlan);
    ASSERT_EQ(toc.tracks.size(), 3u);
    EXPECT_EQ(toc.tracks[0].startSector, 0u);
    EXPECT_EQ(toc.tracks[1].startSector, 100u);
    EXPECT_EQ(toc.tracks[2].startSector, 300u);
    EXPECT_EQ(toc.leadOut, 350u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(toc.tracks[i].number, i + 1);
        EXPECT_FALSE(toc.tracks[i].data);
        EXPECT_EQ(toc.tracks[i].session, 1);
        EXPECT_EQ(toc.tracks[i].sectors, discPlan.tracks[i].sectors);
    }
}

TEST(ExpectedToc, PregapsIndex0AndHiddenTrack) {
    const DiscPlan discPlan = complexPlan();
    const ExpectedDisc toc = testdisc::expectedToc(discPlan);
    ASSERT_EQ(toc.tracks.size(), 4u);
    EXPECT_EQ(toc.tracks[0].startSector, 17u);
    EXPECT_EQ(toc.tracks[1].startSector, 17u + 40 + 9);
    EXPECT_EQ(toc.tracks[2].startSector, 66u + 33 + 12 + 5);
    EXPECT_EQ(toc.tracks[3].startSector, 116u + 51 + 7);
    EXPECT_EQ(toc.leadOut, 174u + 20);
    // sectors = next start - start (includes the next track's pregap).
    EXPECT_EQ(toc.tracks[0].sectors, 49u);
    EXPECT_EQ(toc.tracks[1].sectors, 50u);
    EXPECT_EQ(toc.tracks[2].sectors, 58u);
    EXPECT_EQ(toc.tracks[3].sectors, 20u);
}

TEST(ExpectedToc, CdExtra) {
    DiscPlan discPlan = testdisc::audioDisc({30, 40, 25});
    discPlan.cdExtra = true;
    discPlan.tracks[2].pregap = 150;  // ignored: the session gap holds it
    discPlan.tracks[2].index0 = 10;   // ignored too
    const ExpectedDisc toc = testdisc::expectedToc(discPlan);
    ASSERT_EQ(toc.tracks.size(), 3u);
    EXPECT_FALSE(toc.tracks[0].data);
    EXPECT_FALSE(toc.tracks[1].data);
    EXPECT_TRUE(toc.tracks[2].data);
    EXPECT_EQ(toc.tracks[1].session, 1);
    EXPECT_EQ(toc.tracks[2].session, 2);
    EXPECT_EQ(toc.tracks[2].startSector, 70u + cdtiming::kSessionGapSectors);
    EXPECT_EQ(toc.tracks[1].sectors, 40u);
    EXPECT_EQ(toc.tracks[2].sectors, 25u);
    EXPECT_EQ(toc.leadOut, 70u + cdtiming::kSessionGapSectors + 25u);
}

TEST(ExpectedToc, MixedModeAndFirstTrackNumber) {
    DiscPlan discPlan = testdisc::audioDisc({30, 40, 25});
    discPlan.tracks[0].data = true;
    discPlan.tracks[2].data = true;
    discPlan.tracks[2].pregap = 150;
    discPlan.firstTrackNumber = 3;
    const ExpectedDisc toc = testdisc::expectedToc(discPlan);
    EXPECT_TRUE(toc.tracks[0].data);
    EXPECT_FALSE(toc.tracks[1].data);
    EXPECT_TRUE(toc.tracks[2].data);
    EXPECT_EQ(toc.tracks[0].number, 3);
    EXPECT_EQ(toc.tracks[2].number, 5);
    EXPECT_EQ(toc.tracks[2].startSector, 220u);
    EXPECT_EQ(toc.tracks[1].sectors, 190u);
    EXPECT_EQ(toc.tracks[2].session, 1);
}

TEST(ExpectedToc, InvalidSpecsThrow) {
    EXPECT_THROW(testdisc::expectedToc(DiscPlan{}), std::runtime_error);
    EXPECT_THROW(testdisc::expectedToc(testdisc::audioDisc({10, 0})), std::runtime_error);
    DiscPlan discPlan = testdisc::audioDisc({10});
    discPlan.cdExtra = true;
    EXPECT_THROW(testdisc::expectedToc(discPlan), std::runtime_error);
    discPlan = testdisc::audioDisc({10, 10});
    discPlan.firstTrackNumber = 99;
    EXPECT_THROW(testdisc::expectedToc(discPlan), std::runtime_error);
}

TEST(WriteImage, SingleBinMatchesSectorBytes) {
    TempDir dir;
    const DiscPlan discPlan = complexPlan();
    const ExpectedDisc toc = testdisc::writeImage(discPlan, (dir / "disc.cue").string());
    const auto bin = readFile(dir / "disc.bin");
    const auto ranges = trackFileRanges(discPlan, toc);
    const auto expected = expectedFileBytes(discPlan, ranges);
    ASSERT_EQ(bin.size(), expected.size());
    // Sector by sector, so a failure names the sector.
    for (size_t s = 0; s < bin.size() / kSectorBytes; ++s) {
        ASSERT_EQ(0, std::memcmp(bin.data() + s * kSectorBytes, expected.data() + s * kSectorBytes,
                                 kSectorBytes))
            << "file sector " << s;
    }
    // Track boundaries through sectorBytes directly.
    uint8_t sector[kSectorBytes];
    size_t fileOffset = 0;
    for (const FileRange& fr : ranges) {
        for (uint32_t k : {0u, 1u, fr.count - 1}) {
            testdisc::sectorBytes(discPlan, fr.first + k, sector);
            EXPECT_EQ(
                0, std::memcmp(sector, bin.data() + (fileOffset + k) * kSectorBytes, kSectorBytes))
                << "lsn " << fr.first + k;
        }
        fileOffset += fr.count;
    }
    // PREGAP sectors read as zeros, the sectors around them do not.
    const uint32_t pregapFirst = toc.tracks[2].startSector - 5 - 12;
    for (uint32_t lsn = pregapFirst; lsn < pregapFirst + 12; ++lsn) {
        testdisc::sectorBytes(discPlan, lsn, sector);
        EXPECT_TRUE(isZero(sector)) << lsn;
    }
    testdisc::sectorBytes(discPlan, pregapFirst - 1, sector);
    EXPECT_FALSE(isZero(sector));
    testdisc::sectorBytes(discPlan, pregapFirst + 12, sector);
    EXPECT_FALSE(isZero(sector));
}

TEST(WriteImage, BinPerTrackMatchesSectorBytes) {
    TempDir dir;
    DiscPlan discPlan = complexPlan();
    discPlan.layout = Layout::BinPerTrack;
    discPlan.firstTrackNumber = 3;
    const ExpectedDisc toc = testdisc::writeImage(discPlan, (dir / "per.cue").string());
    const auto ranges = trackFileRanges(discPlan, toc);
    const auto names = testdisc::imageFiles(discPlan, "per.cue");
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names[0], "per-03.bin");
    EXPECT_EQ(names[3], "per-06.bin");
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(readFile(dir / names[i]), expectedFileBytes(discPlan, {ranges[i]})) << names[i];
    }
}

TEST(WriteImage, MotorolaIsByteSwappedAudio) {
    TempDir dir;
    DiscPlan discPlan = testdisc::audioDisc({12, 9, 7});
    discPlan.motorola = true;
    discPlan.tracks[2].data = true;
    discPlan.tracks[2].pregap = 150;
    testdisc::writeImage(discPlan, (dir / "m.cue").string());
    const auto bin = readFile(dir / "m.bin");
    const auto le = testdisc::rangeBytes(discPlan, 0, 20);
    ASSERT_EQ(bin.size(), size_t(28) * kSectorBytes);
    for (size_t i = 0; i < le.size(); i += 2) {
        ASSERT_EQ(bin[i], le[i + 1]) << i;
        ASSERT_EQ(bin[i + 1], le[i]) << i;
    }
    // Data sectors are not swapped.
    const auto data = testdisc::rangeBytes(discPlan, 171, 177);
    EXPECT_EQ(0, std::memcmp(bin.data() + size_t(21) * kSectorBytes, data.data(), data.size()));
    EXPECT_NE(readText(dir / "m.cue").find("FILE \"m.bin\" MOTOROLA\n"), std::string::npos);

    discPlan.layout = Layout::BinPerTrack;
    testdisc::writeImage(discPlan, (dir / "p.cue").string());
    const std::string cue = readText(dir / "p.cue");
    EXPECT_NE(cue.find("FILE \"p-01.bin\" MOTOROLA\n"), std::string::npos);
    EXPECT_NE(cue.find("FILE \"p-03.bin\" BINARY\n"), std::string::npos);
    const auto t1 = readFile(dir / "p-01.bin");
    const auto t1le = testdisc::rangeBytes(discPlan, 0, 11);
    ASSERT_EQ(t1.size(), t1le.size());
    EXPECT_EQ(t1[0], t1le[1]);
    EXPECT_EQ(t1[1], t1le[0]);
}

TEST(WriteImage, WaveHeadersAndData) {
    TempDir dir;
    DiscPlan discPlan = complexPlan();
    discPlan.layout = Layout::WavePerTrack;
    discPlan.tracks[3].data = true;
    const ExpectedDisc toc = testdisc::writeImage(discPlan, (dir / "w.cue").string());
    const auto ranges = trackFileRanges(discPlan, toc);
    const auto names = testdisc::imageFiles(discPlan, "w.cue");
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names[3], "w-04.bin");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(names[i], "w-0" + std::to_string(i + 1) + ".wav");
        const auto f = readFile(dir / names[i]);
        const uint32_t dataBytes = ranges[i].count * kSectorBytes;
        ASSERT_EQ(f.size(), 44u + dataBytes);
        EXPECT_EQ(0, std::memcmp(f.data(), "RIFF", 4));
        EXPECT_EQ(le32(f.data() + 4), 36u + dataBytes);
        EXPECT_EQ(0, std::memcmp(f.data() + 8, "WAVEfmt ", 8));
        EXPECT_EQ(le32(f.data() + 16), 16u);
        EXPECT_EQ(le16(f.data() + 20), 1);  // PCM
        EXPECT_EQ(le16(f.data() + 22), 2);  // stereo
        EXPECT_EQ(le32(f.data() + 24), 44100u);
        EXPECT_EQ(le32(f.data() + 28), 176400u);
        EXPECT_EQ(le16(f.data() + 32), 4);
        EXPECT_EQ(le16(f.data() + 34), 16);
        EXPECT_EQ(0, std::memcmp(f.data() + 36, "data", 4));
        EXPECT_EQ(le32(f.data() + 40), dataBytes);
        EXPECT_EQ(std::vector<uint8_t>(f.begin() + 44, f.end()),
                  expectedFileBytes(discPlan, {ranges[i]}));
    }
    EXPECT_EQ(readFile(dir / names[3]), expectedFileBytes(discPlan, {ranges[3]}));
    const std::string cue = readText(dir / "w.cue");
    EXPECT_NE(cue.find("FILE \"w-01.wav\" WAVE\n"), std::string::npos);
    EXPECT_NE(cue.find("FILE \"w-04.bin\" BINARY\n  TRACK 04 MODE1/2352\n"), std::string::npos);
}

TEST(CueSheet, SingleBinLines) {
    TempDir dir;
    const DiscPlan discPlan = complexPlan();
    testdisc::writeImage(discPlan, (dir / "disc.cue").string());
    const std::string cue = readText(dir / "disc.cue");
    EXPECT_EQ(cue, testdisc::cueSheet(discPlan, "disc.cue"));
    // File offsets: track 1: INDEX 00 at 0, INDEX 01 at 17; track 2: 00 at 57, 01 at 66;
    // track 3: 00 at 99, 01 at 104; track 4: 01 at 155.
    const char* lines[] = {
        "FILE \"disc.bin\" BINARY\n", "  TRACK 01 AUDIO\n",      "    INDEX 00 00:00:00\n",
        "    INDEX 01 00:00:17\n",    "  TRACK 02 AUDIO\n",      "    INDEX 00 00:00:57\n",
        "    INDEX 01 00:00:66\n",    "  TRACK 03 AUDIO\n",      "    PREGAP 00:00:12\n",
        "    INDEX 00 00:01:24\n",    "    INDEX 01 00:01:29\n", "  TRACK 04 AUDIO\n",
        "    PREGAP 00:00:07\n",      "    INDEX 01 00:02:05\n",
    };
    size_t pos = 0;
    for (const char* l : lines) {
        const size_t found = cue.find(l, pos);
        ASSERT_NE(found, std::string::npos) << l << "\n" << cue;
        pos = found + std::strlen(l);
    }
    EXPECT_EQ(cue.find("FILE", cue.find("FILE") + 1), std::string::npos);
    EXPECT_EQ(cue.find("REM SESSION"), std::string::npos);
}

TEST(CueSheet, CdExtraSessionsAndBackslashes) {
    TempDir dir;
    DiscPlan discPlan = testdisc::audioDisc({30, 40, 25});
    discPlan.cdExtra = true;
    discPlan.backslashes = true;
    const ExpectedDisc toc = testdisc::writeImage(discPlan, (dir / "x.cue").string());
    const std::string cue = readText(dir / "x.cue");
    const size_t s1 = cue.find("REM SESSION 01\n");
    const size_t t1 = cue.find("TRACK 01 AUDIO");
    const size_t s2 = cue.find("REM SESSION 02\n");
    const size_t t3 = cue.find("  TRACK 03 MODE1/2352\n    INDEX 01 00:00:70\n");
    ASSERT_NE(s1, std::string::npos);
    ASSERT_NE(s2, std::string::npos);
    ASSERT_NE(t3, std::string::npos) << cue;
    EXPECT_LT(s1, t1);
    EXPECT_LT(t1, s2);
    EXPECT_LT(s2, t3);
    EXPECT_NE(cue.find("FILE \".\\x.bin\" BINARY\n"), std::string::npos);
    // The data bytes follow the audio directly in the BIN.
    const auto bin = readFile(dir / "x.bin");
    ASSERT_EQ(bin.size(), size_t(95) * kSectorBytes);
    const auto data = testdisc::rangeBytes(discPlan, toc.tracks[2].startSector, toc.leadOut - 1);
    EXPECT_EQ(0, std::memcmp(bin.data() + size_t(70) * kSectorBytes, data.data(), data.size()));
    // The session gap reads as zeros.
    uint8_t sector[kSectorBytes];
    for (uint32_t lsn : {70u, 5000u, 70u + 11399u}) {
        testdisc::sectorBytes(discPlan, lsn, sector);
        EXPECT_TRUE(isZero(sector)) << lsn;
    }
}

TEST(Content, DataSectorHeaders) {
    DiscPlan discPlan = testdisc::audioDisc({5, 300});
    discPlan.tracks[1].data = true;
    discPlan.tracks[1].pregap = 150;
    uint8_t s[kSectorBytes];
    const uint32_t lsn = 155 + 299;  // 454 + 150 = 604 = 00:08:04
    testdisc::sectorBytes(discPlan, lsn, s);
    EXPECT_EQ(s[0], 0x00);
    for (int i = 1; i <= 10; ++i) EXPECT_EQ(s[i], 0xFF);
    EXPECT_EQ(s[11], 0x00);
    EXPECT_EQ(s[12], 0x00);
    EXPECT_EQ(s[13], 0x08);
    EXPECT_EQ(s[14], 0x04);
    EXPECT_EQ(s[15], 0x01);
    testdisc::sectorBytes(discPlan, 160, s);  // 160 + 150 = 310 = 00:04:10
    EXPECT_EQ(s[13], 0x04);
    EXPECT_EQ(s[14], 0x10);
}

TEST(Content, AllSectorsDistinct) {
    DiscPlan discPlan = complexPlan();
    discPlan.tracks.push_back({30, true, 0, 150});
    const ExpectedDisc toc = testdisc::expectedToc(discPlan);
    const auto all = testdisc::rangeBytes(discPlan, 0, toc.leadOut - 1);
    std::set<std::string> seen;
    size_t nonZero = 0;
    for (uint32_t s = 0; s < toc.leadOut; ++s) {
        const uint8_t* p = all.data() + size_t(s) * kSectorBytes;
        if (isZero(p)) continue;
        ++nonZero;
        seen.insert(std::string(reinterpret_cast<const char*>(p), kSectorBytes));
    }
    EXPECT_EQ(seen.size(), nonZero);
    EXPECT_EQ(nonZero, toc.leadOut - 12 - 7 - 150);
}

TEST(Content, ToneFrequencyAndLevel) {
    const DiscPlan discPlan = complexPlan();
    const ExpectedDisc toc = testdisc::expectedToc(discPlan);
    for (int i = 0; i < 4; ++i) {
        const uint32_t first = toc.tracks[i].startSector;
        const auto audio = testdisc::rangeBytes(discPlan, first, first + 19);
        const double hz = measureHz(audio);
        EXPECT_NEAR(hz, testdisc::toneHz(i), testdisc::toneHz(i) * 0.01) << "track " << i;
        int peak = 0;
        for (size_t k = 0; k < audio.size(); k += 2) {
            peak = std::max(peak, std::abs(int(int16_t(le16(audio.data() + k)))));
        }
        EXPECT_GT(peak, 16000);
        EXPECT_LT(peak, 16500);
    }
    // The hidden track (track 1's INDEX 00): its own quiet tone.
    const auto hidden = testdisc::rangeBytes(discPlan, 0, 16);
    EXPECT_NEAR(measureHz(hidden), testdisc::pregapToneHz(0), testdisc::pregapToneHz(0) * 0.02);
    // Track 2's INDEX 00 area (9 sectors before its start).
    const auto idx0 = testdisc::rangeBytes(discPlan, toc.tracks[1].startSector - 9,
                                           toc.tracks[1].startSector - 1);
    EXPECT_NEAR(measureHz(idx0), testdisc::pregapToneHz(1), testdisc::pregapToneHz(1) * 0.02);
    int peak = 0;
    for (size_t k = 0; k < idx0.size(); k += 2) {
        peak = std::max(peak, std::abs(int(int16_t(le16(idx0.data() + k)))));
    }
    EXPECT_GT(peak, 3000);
    EXPECT_LT(peak, 3400);
}

TEST(Content, ChannelsDiffer) {
    const auto audio = testdisc::rangeBytes(testdisc::audioDisc({4}), 0, 3);
    int differ = 0;
    for (size_t k = 0; k < audio.size(); k += 4) {
        if (le16(audio.data() + k) != le16(audio.data() + k + 2)) ++differ;
    }
    EXPECT_GT(differ, int(audio.size() / 4) * 9 / 10);
}

TEST(Determinism, SamePlanSameBytes) {
    TempDir a, b;
    DiscPlan discPlan = complexPlan();
    discPlan.layout = Layout::BinPerTrack;
    testdisc::writeImage(discPlan, (a / "d.cue").string());
    testdisc::writeImage(discPlan, (b / "d.cue").string());
    for (const auto& name : testdisc::imageFiles(discPlan, "d.cue")) {
        EXPECT_EQ(readFile(a / name), readFile(b / name)) << name;
    }
    EXPECT_EQ(readText(a / "d.cue"), readText(b / "d.cue"));
    uint8_t x[kSectorBytes], y[kSectorBytes];
    testdisc::sectorBytes(discPlan, 42, x);
    testdisc::sectorBytes(discPlan, 42, y);
    EXPECT_EQ(0, std::memcmp(x, y, kSectorBytes));
    // rangeBytes agrees with sectorBytes one by one.
    const auto r = testdisc::rangeBytes(discPlan, 40, 70);
    for (uint32_t s = 40; s <= 70; ++s) {
        testdisc::sectorBytes(discPlan, s, x);
        EXPECT_EQ(0, std::memcmp(x, r.data() + size_t(s - 40) * kSectorBytes, kSectorBytes));
    }
}

TEST(Cli, PrintTocAndFiles) {
    TempDir dir;
    const std::string cue = (dir / "cli.cue").string();
    const std::string cmd = std::string(MAKE_TEST_DISC_PATH) + " " + cue +
                            " --lengths 30,40,25 --cd-extra --index0 5 --hidden 7 --print-toc";
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char buf[256];
    while (fgets(buf, sizeof buf, p)) out += buf;
    ASSERT_EQ(pclose(p), 0);
    DiscPlan discPlan = testdisc::audioDisc({30, 40, 25});
    discPlan.cdExtra = true;
    discPlan.hiddenSectors = 7;
    discPlan.tracks[1].index0 = 5;
    const ExpectedDisc toc = testdisc::expectedToc(discPlan);
    std::string want;
    for (const auto& t : toc.tracks) {
        want += std::to_string(t.number) + " " + (t.data ? "1 " : "0 ") +
                std::to_string(t.startSector) + " " + std::to_string(t.sectors) + " " +
                std::to_string(t.session) + "\n";
    }
    want += "leadout " + std::to_string(toc.leadOut) + "\n";
    EXPECT_EQ(out, want);
    EXPECT_EQ(readText(cue), testdisc::cueSheet(discPlan, "cli.cue"));
    EXPECT_EQ(readFile(dir / "cli.bin"),
              expectedFileBytes(discPlan, trackFileRanges(discPlan, toc)));
}

TEST(Cli, RejectsBadOptions) {
    TempDir dir;
    const std::string base = std::string(MAKE_TEST_DISC_PATH) + " " + (dir / "bad.cue").string();
    EXPECT_NE(std::system((base + " --layout nope 2>/dev/null").c_str()), 0);
    EXPECT_NE(std::system((base + " --lengths 10,x 2>/dev/null").c_str()), 0);
    EXPECT_NE(std::system((base + " --data-last --cd-extra 2>/dev/null").c_str()), 0);
    EXPECT_EQ(std::system((base + " --tracks 2 --seconds 1").c_str()), 0);
    EXPECT_EQ(testdisc::expectedToc(testdisc::audioDisc({75, 75})).leadOut, 150u);
}
