// A cue sheet from anywhere, read by an image drive: the input is the sheet, written
// beside a few small audio files it may name (raw little- and big-endian, a WAVE file
// with a partial last sector, a file cut mid-sector). Whatever the sheet says, the drive
// either refuses it (and has no CD-Text) or presents a table of contents a drive could
// have (tracks in order, each with sectors, all before the lead-out) with UTF-8 CD-Text
// laid out along it, and every sector read from it is either silence or a whole sector of
// one of the files.
#include <strings.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "backends.h"
#include "fuzzcheck.h"
#include "textencoding.h"

using namespace svdrives;

namespace {

constexpr int kFiles = 3;
// Sectors each file holds; the WAVE file (file 2) has a partial sector after these.
constexpr uint32_t kFileSectors[kFiles + 1] = {0, 7, 4, 3};
constexpr size_t kWavePartialBytes = 1000;

uint8_t sampleByte(int file, uint32_t sector, size_t i) {
    switch (i) {
        case 0:
            return 0xA5;
        case 1:
            return uint8_t(file);
        case 2:
            return uint8_t(sector);
        case 3:
            return uint8_t(sector >> 8);
        default:
            return uint8_t(i * 7 + size_t(file) * 31 + sector * 3 + 1);
    }
}

std::vector<uint8_t> fileSectors(int file, uint32_t sectors, size_t extraBytes) {
    std::vector<uint8_t> b(size_t(sectors) * kSectorBytes + extraBytes);
    for (size_t i = 0; i < b.size(); ++i) {
        b[i] = sampleByte(file, uint32_t(i / kSectorBytes), i % kSectorBytes);
    }
    return b;
}

void put32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
void put16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}

std::vector<uint8_t> waveFile(const std::vector<uint8_t>& pcm) {
    std::vector<uint8_t> b = {'R', 'I', 'F', 'F'};
    put32(b, uint32_t(36 + pcm.size()));
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(b, 16);
    put16(b, 1);
    put16(b, 2);
    put32(b, 44100);
    put32(b, 44100 * 4);
    put16(b, 4);
    put16(b, 16);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    put32(b, uint32_t(pcm.size()));
    b.insert(b.end(), pcm.begin(), pcm.end());
    return b;
}

// The folder with the files a sheet may name; the sheet itself goes there as sheet.cue.
const std::string& imageFolder() {
    static const std::string dir = [] {
        const std::string d = fuzzsupport::scratchFolder();
        const auto a = fileSectors(1, kFileSectors[1], 0);
        fuzzsupport::writeFile(d + "/a.bin", a.data(), a.size());
        const auto w = waveFile(fileSectors(2, kFileSectors[2], kWavePartialBytes));
        fuzzsupport::writeFile(d + "/b.wav", w.data(), w.size());
        // Upper case, so a sheet naming "c.bin" is matched ignoring case.
        const auto c = fileSectors(3, kFileSectors[3], 0);
        fuzzsupport::writeFile(d + "/C.BIN", c.data(), c.size());
        const auto cut = fileSectors(1, 1, 100);
        fuzzsupport::writeFile(d + "/cut.bin", cut.data(), cut.size());
        return d;
    }();
    return dir;
}

// A delivered sector is silence or a whole file sector, its samples swapped or not (a
// MOTOROLA file holds big-endian audio); the WAVE file's partial sector ends in silence.
bool plausibleSector(const uint8_t* s) {
    if (std::all_of(s, s + kSectorBytes, [](uint8_t b) { return b == 0; })) return true;
    const bool swapped = s[1] == 0xA5 && s[0] != 0xA5;
    if (s[swapped ? 1 : 0] != 0xA5) return false;
    const int file = s[swapped ? 0 : 1];
    const uint32_t sector =
        swapped ? uint32_t(s[3]) | uint32_t(s[2]) << 8 : uint32_t(s[2]) | uint32_t(s[3]) << 8;
    if (file < 1 || file > kFiles) return false;
    const bool partial = file == 2 && sector == kFileSectors[2];
    if (sector > kFileSectors[file] || (sector == kFileSectors[file] && !partial)) return false;
    const size_t have = partial ? kWavePartialBytes : size_t(kSectorBytes);
    for (size_t i = 0; i < size_t(kSectorBytes); ++i) {
        const uint8_t want = i < have ? sampleByte(file, sector, swapped ? i ^ 1 : i) : 0;
        if (s[i] != want) return false;
    }
    return true;
}

// Reads [first, last] in chunks of varying size: every sector arrives, once, in order.
void readRange(Drive& drive, uint32_t first, uint32_t last, bool checkContent) {
    const ReadSettings settings;
    auto reader = drive.openReader(first, last, settings);
    CHECK(reader != nullptr);
    const uint32_t want = last - first + 1;
    std::vector<uint8_t> buf(size_t(want) * kSectorBytes);
    uint32_t got = 0;
    for (int chunk = 1; got < want; chunk = chunk % 3 + 1) {
        int n = -1;
        CHECK(reader->read(buf.data() + size_t(got) * kSectorBytes, chunk, &n) == ReadResult::Ok);
        CHECK(n >= 1 && n <= chunk && uint32_t(n) <= want - got);
        got += uint32_t(n);
        CHECK(reader->nextSector() == first + got);
    }
    int n = -1;
    CHECK(reader->read(buf.data(), 1, &n) == ReadResult::Ok && n == 0);
    if (!checkContent) return;
    for (uint32_t i = 0; i < want; ++i)
        CHECK(plausibleSector(buf.data() + size_t(i) * kSectorBytes));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    unsetenv("CDRIP3_FAULTS");
    const std::string sheet(reinterpret_cast<const char*>(data), size);
    const std::string path = imageFolder() + "/sheet.cue";
    fuzzsupport::writeFile(path, data, size);
    // A sheet naming files outside the folder (or itself) reads bytes this target did not
    // write: the layout is still checked, the content is not. Only a path with a slash
    // leads out of the folder; the slash of a data track's mode does not.
    std::string paths = sheet;
    for (const char* mode : {"MODE1/2352", "MODE2/2352"}) {
        for (char* at; (at = strcasestr(paths.data(), mode)) != nullptr;) *(at + 5) = ' ';
    }
    const bool checkContent = paths.find_first_of("/\\") == std::string::npos &&
                              strcasestr(sheet.c_str(), "sheet") == nullptr;

    auto drive = detail::makeImageDrive(0, "fuzz", path);
    Toc toc;
    if (!drive->readToc(&toc)) {
        CHECK(drive->openReader(0, 0, ReadSettings{}) == nullptr);
        CHECK(drive->readCdText().empty());
        return 0;
    }
    const CdText text = drive->readCdText();
    CHECK(text.empty() || text.size() == toc.tracks.size() + 1);
    for (const TextFields& entry : text) {
        for (const std::string& field : entry) CHECK(detail::isUtf8(field));
    }
    CHECK(!toc.tracks.empty() && toc.tracks.size() <= 99);
    for (size_t i = 0; i < toc.tracks.size(); ++i) {
        const TocTrack& t = toc.tracks[i];
        CHECK(t.number >= 1 && t.number <= 99 && t.session >= 1);
        CHECK(t.startSector < toc.leadOut);
        if (i > 0) {
            const TocTrack& prev = toc.tracks[i - 1];
            CHECK(t.number > prev.number && t.session >= prev.session);
            CHECK(t.startSector > prev.startSector);
        }
    }
    // The edges of every track, and of the lead-out: a few sectors each, since silence
    // may stretch a disc far beyond its files.
    for (size_t i = 0; i < toc.tracks.size(); ++i) {
        const uint32_t first = toc.tracks[i].startSector;
        const uint32_t end =
            i + 1 < toc.tracks.size() ? toc.tracks[i + 1].startSector : toc.leadOut;
        const uint32_t head = std::min<uint32_t>(end - 1, first + 4);
        readRange(*drive, first, head, checkContent);
        if (end - 1 > head) readRange(*drive, std::max(head + 1, end - 4), end - 1, checkContent);
    }
    if (toc.tracks[0].startSector > 0)
        readRange(*drive, 0, std::min(toc.tracks[0].startSector, 4u), checkContent);
    CHECK(drive->openReader(toc.leadOut - 1, toc.leadOut, ReadSettings{}) == nullptr);
    return 0;
}
