// Cue sheets as they come from elsewhere (not from our generator): commands and file
// shapes real sheets contain, and the broken ones a drive must refuse without harm.
#include <gtest/gtest.h>

#include <cstring>

#include "discfixture.h"

namespace {

using svdrives::kSectorBytes;

struct WaveShape {
    uint16_t tag = 1;
    uint16_t channels = 2;
    uint32_t rate = 44100;
    uint16_t bits = 16;
    bool extensible = false;
    bool listChunkFirst = false;
    int64_t claimedDataBytes = -1;  // -1: the real size
};

void put16(std::vector<uint8_t>& v, uint16_t x) {
    v.push_back(uint8_t(x));
    v.push_back(uint8_t(x >> 8));
}
void put32(std::vector<uint8_t>& v, uint32_t x) {
    put16(v, uint16_t(x));
    put16(v, uint16_t(x >> 16));
}
void putTag(std::vector<uint8_t>& v, const char* tag) {
    v.insert(v.end(), tag, tag + 4);
}

std::vector<uint8_t> makeWave(const WaveShape& w, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> v;
    putTag(v, "RIFF");
    put32(v, 0);  // patched below
    putTag(v, "WAVE");
    if (w.listChunkFirst) {
        putTag(v, "LIST");
        put32(v, 7);  // odd: the chunk is padded to an even size
        v.insert(v.end(), {'I', 'N', 'F', 'O', 'a', 'b', 'c', 0});
    }
    putTag(v, "fmt ");
    put32(v, w.extensible ? 40 : 16);
    put16(v, w.extensible ? 0xFFFE : w.tag);
    put16(v, w.channels);
    put32(v, w.rate);
    put32(v, w.rate * w.channels * w.bits / 8);
    put16(v, uint16_t(w.channels * w.bits / 8));
    put16(v, w.bits);
    if (w.extensible) {
        put16(v, 22);
        put16(v, w.bits);
        put32(v, 3);      // channel mask: front left and right
        put16(v, w.tag);  // the sub-format GUID starts with the format tag
        v.insert(v.end(), {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71});
    }
    putTag(v, "data");
    put32(v, uint32_t(w.claimedDataBytes >= 0 ? uint64_t(w.claimedDataBytes) : data.size()));
    v.insert(v.end(), data.begin(), data.end());
    const uint32_t riff = uint32_t(v.size() - 8);
    memcpy(v.data() + 4, &riff, 4);
    return v;
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<uint8_t> readAll(svdrives::Drive* drive, uint32_t first, uint32_t last) {
    auto reader = drive->openReader(first, last, {});
    if (!reader) return {};
    std::vector<uint8_t> out(size_t(last - first + 1) * kSectorBytes);
    int n = 0;
    if (reader->read(out.data(), int(last - first + 1), &n) != svdrives::ReadResult::Ok) return {};
    out.resize(size_t(n) * kSectorBytes);
    return out;
}

// A plain three-track disc whose BIN file the hand-written sheets below borrow.
class ForeignSheets : public ::testing::Test {
protected:
    void SetUp() override {
        plan_ = testdisc::audioDisc({100, 100, 100});
        testdisc::writeImage(plan_, dir_.file("src.cue"));
    }
    std::vector<uint8_t> source(uint32_t first, uint32_t last) const {
        return testdisc::rangeBytes(plan_, first, last);
    }
    svdrives::Drive* driveFor(const std::string& sheetName, const std::string& text) {
        disctest::writeText(dir_.file(sheetName), text);
        disctest::useDrives({dir_.file(sheetName)});
        return svdrives::DriveModel::instance().drive(0);
    }

    disctest::TempDir dir_;
    testdisc::DiscPlan plan_;
};

TEST_F(ForeignSheets, PostgapInsertsSilenceAndShiftsWhatFollows) {
    svdrives::Drive* d = driveFor("post.cue",
                                  "FILE \"src.bin\" BINARY\n"
                                  "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n    POSTGAP 00:00:10\n"
                                  "  TRACK 02 AUDIO\n    INDEX 01 00:01:25\n"
                                  "  TRACK 03 AUDIO\n    INDEX 01 00:02:50\n");
    svdrives::Toc toc;
    ASSERT_TRUE(d->readToc(&toc));
    ASSERT_EQ(toc.tracks.size(), 3u);
    EXPECT_EQ(toc.tracks[0].startSector, 0u);
    EXPECT_EQ(toc.tracks[1].startSector, 110u);
    EXPECT_EQ(toc.tracks[2].startSector, 210u);
    EXPECT_EQ(toc.leadOut, 310u);
    std::vector<uint8_t> want = source(0, 99);
    const auto gap = disctest::zeros(10);
    want.insert(want.end(), gap.begin(), gap.end());
    const auto rest = source(100, 299);
    want.insert(want.end(), rest.begin(), rest.end());
    EXPECT_EQ(disctest::firstDifferentSector(readAll(d, 0, 309), want, 0), -1);
}

TEST_F(ForeignSheets, SheetFromAnotherMachineFindsItsFileBesideIt) {
    // CRLF, a byte-order mark, a drive-letter path and the name in capitals.
    svdrives::Drive* d = driveFor("win.cue",
                                  "\xEF\xBB\xBFREM DISCID 12345678\r\n"
                                  "FILE \"C:\\Rips\\SRC.BIN\" BINARY\r\n"
                                  "  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n"
                                  "  TRACK 02 AUDIO\r\n    FLAGS DCP\r\n    INDEX 01 00:01:25\r\n");
    svdrives::Toc toc;
    ASSERT_TRUE(d->readToc(&toc));
    ASSERT_EQ(toc.tracks.size(), 2u);
    EXPECT_EQ(toc.tracks[1].startSector, 100u);
    EXPECT_EQ(toc.leadOut, 300u);
    EXPECT_EQ(disctest::firstDifferentSector(readAll(d, 290, 299), source(290, 299), 290), -1);
}

TEST_F(ForeignSheets, WaveWithExtraChunksAndPartialLastSector) {
    // WAVE tracks need not end on a sector boundary; the rest of the last sector is
    // silence. The LIST chunk before "fmt " and the extensible format are both common.
    auto data = source(0, 49);
    data.erase(data.end() - 1000, data.end());
    WaveShape shape;
    shape.extensible = true;
    shape.listChunkFirst = true;
    writeBytes(dir_.file("odd.wav"), makeWave(shape, data));
    svdrives::Drive* d =
        driveFor("wav.cue", "FILE \"odd.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    svdrives::Toc toc;
    ASSERT_TRUE(d->readToc(&toc));
    EXPECT_EQ(toc.leadOut, 50u);
    auto want = data;
    want.resize(size_t(50) * kSectorBytes, 0);
    EXPECT_EQ(disctest::firstDifferentSector(readAll(d, 0, 49), want, 0), -1);
}

TEST_F(ForeignSheets, ReaderStopsAtItsLastSector) {
    svdrives::Drive* d = driveFor("src2.cue", testdisc::cueSheet(plan_, "src.cue"));
    auto reader = d->openReader(295, 299, {});
    ASSERT_NE(reader, nullptr);
    std::vector<uint8_t> buf(size_t(26) * kSectorBytes);
    int n = 0;
    ASSERT_EQ(reader->read(buf.data(), 26, &n), svdrives::ReadResult::Ok);
    EXPECT_EQ(n, 5);
    EXPECT_EQ(reader->nextSector(), 300u);
    ASSERT_EQ(reader->read(buf.data(), 26, &n), svdrives::ReadResult::Ok);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(reader->firstSector(), 295u);
    EXPECT_EQ(reader->lastSector(), 299u);
    // The lead-out and beyond are not on the disc.
    EXPECT_EQ(d->openReader(299, 300, {}), nullptr);
    EXPECT_EQ(d->openReader(200, 199, {}), nullptr);
}

struct BrokenCase {
    const char* name;
    std::string sheet;
    // Prepares the files the sheet names, from the good src.bin.
    std::function<void(const disctest::TempDir&)> files;
};

void copyCut(const disctest::TempDir& dir, const std::string& to, uintmax_t bytes) {
    std::filesystem::copy_file(dir.file("src.bin"), dir.file(to));
    std::filesystem::resize_file(dir.file(to), bytes);
}

std::vector<uint8_t> someAudio() {
    return std::vector<uint8_t>(size_t(10) * kSectorBytes, 7);
}

const std::string kThreeTracks =
    "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    INDEX 01 00:01:25\n"
    "  TRACK 03 AUDIO\n    INDEX 01 00:02:50\n";
const std::string kWaveTrack = "FILE \"w.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";

std::vector<BrokenCase> brokenCases() {
    auto none = [](const disctest::TempDir&) {};
    auto wave = [](WaveShape shape) {
        return [shape](const disctest::TempDir& dir) {
            writeBytes(dir.file("w.wav"), makeWave(shape, someAudio()));
        };
    };
    WaveShape mono;
    mono.channels = 1;
    WaveShape fortyEight;
    fortyEight.rate = 48000;
    WaveShape eightBit;
    eightBit.bits = 8;
    WaveShape floats;
    floats.tag = 3;
    floats.bits = 32;
    WaveShape overclaimed;
    overclaimed.claimedDataBytes = 20 * kSectorBytes;
    return {
        {"MissingFile", "FILE \"nowhere.bin\" BINARY\n" + kThreeTracks, none},
        {"BinNotWholeSectors", "FILE \"cut.bin\" BINARY\n" + kThreeTracks,
         [](const disctest::TempDir& d) { copyCut(d, "cut.bin", 250 * 2352 + 100); }},
        {"BinEndsBeforeLastTrack", "FILE \"cut.bin\" BINARY\n" + kThreeTracks,
         [](const disctest::TempDir& d) { copyCut(d, "cut.bin", 200 * 2352); }},
        {"Garbage", "This is not a cue sheet at all.\nJust words.\n", none},
        {"BinaryJunk", std::string("\x01\x02\0\xFF\xFE junk \0\0", 14), none},
        {"Empty", "", none},
        {"NoTracks", "FILE \"src.bin\" BINARY\n", none},
        {"TrackBeforeFile", "TRACK 01 AUDIO\nINDEX 01 00:00:00\nFILE \"src.bin\" BINARY\n", none},
        {"TrackWithoutIndex01", "FILE \"src.bin\" BINARY\n  TRACK 01 AUDIO\n", none},
        {"IndicesGoBackwards",
         "FILE \"src.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:02:00\n"
         "  TRACK 02 AUDIO\n    INDEX 01 00:01:00\n",
         none},
        {"TrackNumbersRepeat",
         "FILE \"src.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
         "  TRACK 01 AUDIO\n    INDEX 01 00:01:00\n",
         none},
        {"CookedDataMode",
         "FILE \"src.bin\" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\n", none},
        {"UnknownFileType", "FILE \"src.mp3\" MP3\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n",
         none},
        {"WaveMono", kWaveTrack, wave(mono)},
        {"Wave48k", kWaveTrack, wave(fortyEight)},
        {"Wave8Bit", kWaveTrack, wave(eightBit)},
        {"WaveFloat", kWaveTrack, wave(floats)},
        {"WaveShorterThanItsData", kWaveTrack, wave(overclaimed)},
        {"WaveThatIsRawBytes", kWaveTrack,
         [](const disctest::TempDir& d) { copyCut(d, "w.wav", 10 * 2352); }},
    };
}

class BrokenSheet : public ::testing::TestWithParam<BrokenCase> {
protected:
    void SetUp() override {
        testdisc::writeImage(testdisc::audioDisc({100, 100, 100}), dir_.file("src.cue"));
    }
    disctest::TempDir dir_;
};

TEST_P(BrokenSheet, IsRefusedButStaysADrive) {
    GetParam().files(dir_);
    disctest::writeText(dir_.file("broken.cue"), GetParam().sheet);
    disctest::useDrives({dir_.file("broken.cue"), dir_.file("src.cue")});
    auto& model = svdrives::DriveModel::instance();
    ASSERT_EQ(model.count(), 2);
    svdrives::Drive* d = model.drive(0);
    EXPECT_EQ(d->name(), "Image: broken.cue");
    EXPECT_TRUE(d->unitReady());
    svdrives::Toc toc;
    toc.leadOut = 12345;
    EXPECT_FALSE(d->readToc(&toc));
    EXPECT_FALSE(d->readToc(nullptr));
    EXPECT_EQ(d->openReader(0, 0, {}), nullptr);
    // A broken neighbour does not spoil the good image.
    EXPECT_TRUE(model.drive(1)->readToc(&toc));
    EXPECT_EQ(toc.leadOut, 300u);
}

INSTANTIATE_TEST_SUITE_P(Sheets, BrokenSheet, ::testing::ValuesIn(brokenCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MissingSheet, IsADriveWithoutDisc) {
    disctest::TempDir dir;
    disctest::useDrives({dir.file("gone.cue")});
    svdrives::Drive* d = svdrives::DriveModel::instance().drive(0);
    ASSERT_NE(d, nullptr);
    EXPECT_FALSE(d->unitReady());
    EXPECT_FALSE(d->readToc(nullptr));
}

}  // namespace

namespace {

// Whatever a damaged sheet looks like, the drive either refuses it or presents a disc
// that makes sense: tracks in order, all before the lead-out, and readable to its end.
TEST(DamagedSheets, AreRefusedOrConsistentNeverACrash) {
    disctest::TempDir dir;
    auto discPlan = testdisc::audioDisc({60, 70, 80});
    discPlan.tracks[1].index0 = 10;
    discPlan.tracks[2].pregap = 5;
    testdisc::writeImage(discPlan, dir.file("src.cue"));
    const std::string good = testdisc::cueSheet(discPlan, "src.cue");
    std::vector<std::string> sheets;
    for (size_t cut = 0; cut < good.size(); cut += 7) sheets.push_back(good.substr(0, cut));
    uint32_t seed = 12345;
    const auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    const std::string alphabet = "0123456789:\" \n\\/.ABCDEFGIKLMNOPRSTUXY";
    for (int i = 0; i < 300; ++i) {
        std::string s = good;
        for (int edits = 1 + int(next() % 4); edits > 0; --edits) {
            const size_t at = next() % s.size();
            const char c = alphabet[(next() >> 8) % alphabet.size()];
            switch (next() % 3) {
                case 0:
                    s[at] = c;
                    break;
                case 1:
                    s.insert(s.begin() + long(at), c);
                    break;
                default:
                    s.erase(at, 1 + (next() >> 8) % 5);
                    break;
            }
        }
        sheets.push_back(s);
    }
    int accepted = 0;
    for (size_t i = 0; i < sheets.size(); ++i) {
        SCOPED_TRACE("sheet " + std::to_string(i) + ":\n" + sheets[i]);
        const std::string cue = dir.file("m" + std::to_string(i) + ".cue");
        disctest::writeText(cue, sheets[i]);
        disctest::useDrives({cue});
        svdrives::Drive* d = svdrives::DriveModel::instance().drive(0);
        svdrives::Toc toc;
        if (!d->readToc(&toc)) continue;
        ++accepted;
        ASSERT_FALSE(toc.tracks.empty());
        for (size_t t = 1; t < toc.tracks.size(); ++t) {
            ASSERT_LT(toc.tracks[t - 1].startSector, toc.tracks[t].startSector);
        }
        ASSERT_LT(toc.tracks.back().startSector, toc.leadOut);
        auto r = d->openReader(toc.leadOut - 1, toc.leadOut - 1, {});
        ASSERT_NE(r, nullptr);
        std::vector<uint8_t> buf(kSectorBytes);
        int n = 0;
        EXPECT_EQ(r->read(buf.data(), 1, &n), svdrives::ReadResult::Ok);
        EXPECT_EQ(n, 1);
    }
    // Mild damage (a changed title, a cut after the last index) still reads.
    EXPECT_GT(accepted, 0);
}

}  // namespace
