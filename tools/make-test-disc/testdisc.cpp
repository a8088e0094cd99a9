// Deterministic CD disc images; see testdisc.h for the layout and content rules.
#include "testdisc.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <numbers>
#include <stdexcept>

namespace testdisc {

namespace {

using cdtiming::kFramesPerMinute;
using cdtiming::kFramesPerSecond;
using cdtiming::kSessionGapSectors;

constexpr int kFramesPerSector = kSectorBytes / 4;  // 16-bit stereo
constexpr int kWaveHeaderBytes = 44;
constexpr int kQuietAmpQ15 = 3277;  // 0.1 full scale (-20 dBFS)
constexpr uint32_t kChunkSectors = 1024;

// ---------------------------------------------------------------------------------------
// Sample generation

// One period of a sine, 65536 entries, scaled to 32767. Built once.
const std::array<int32_t, 65536>& sineTable() {
    static const std::array<int32_t, 65536> table = [] {
        std::array<int32_t, 65536> t{};
        for (int i = 0; i < 65536; ++i) {
            t[i] = static_cast<int32_t>(
                std::lround(std::sin(2.0 * std::numbers::pi * i / 65536.0) * 32767.0));
        }
        return t;
    }();
    return table;
}

// Phase increment per sample in 1/2^32 turns.
uint32_t phaseIncrement(double hz) {
    return static_cast<uint32_t>(std::llround(hz / 44100.0 * 4294967296.0));
}

inline uint64_t mix64(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

inline void putLE16(uint8_t* p, int v) {
    const uint16_t u = static_cast<uint16_t>(static_cast<int16_t>(v));
    p[0] = static_cast<uint8_t>(u);
    p[1] = static_cast<uint8_t>(u >> 8);
}

// Fills count audio sectors starting at lsn with a tone whose phase is 0 at sector origin.
void fillTone(uint32_t lsn, uint32_t count, uint32_t origin, double hz, int ampQ15, uint8_t* out) {
    const auto& table = sineTable();
    const uint32_t inc = phaseIncrement(hz);
    for (uint32_t s = 0; s < count; ++s) {
        const uint64_t sector = uint64_t(lsn) + s;
        const uint64_t rel = (sector - origin) * kFramesPerSector;
        const uint64_t absFrame = sector * kFramesPerSector;
        uint8_t* p = out + size_t(s) * kSectorBytes;
        uint32_t phase = static_cast<uint32_t>(rel * inc);
        for (int k = 0; k < kFramesPerSector; ++k, phase += inc, p += 4) {
            const uint64_t h = mix64(absFrame + uint64_t(k));
            const int dl = static_cast<int>((h & 0xFFFF) % 7) - 3;
            const int dr = static_cast<int>(((h >> 16) & 0xFFFF) % 7) - 3;
            const int l = (table[phase >> 16] * ampQ15) >> 15;
            const int r = (table[(phase + 0x40000000u) >> 16] * ampQ15) >> 15;
            putLE16(p, l + dl);
            putLE16(p + 2, r + dr);
        }
    }
}

inline uint8_t bcd(uint32_t v) {
    return static_cast<uint8_t>(((v / 10) << 4) | (v % 10));
}

void fillData(uint32_t lsn, uint32_t count, uint8_t* out) {
    for (uint32_t s = 0; s < count; ++s) {
        const uint32_t sector = lsn + s;
        uint8_t* p = out + size_t(s) * kSectorBytes;
        std::memset(p, 0, kSectorBytes);
        std::memset(p + 1, 0xFF, 10);
        const uint32_t a = sector + cdtiming::kLeadInFrames;
        p[12] = bcd(a / kFramesPerMinute);
        p[13] = bcd((a / kFramesPerSecond) % 60);
        p[14] = bcd(a % kFramesPerSecond);
        p[15] = 1;
        const uint32_t salt = static_cast<uint32_t>(mix64(sector));
        for (int j = 0; j < 2048; ++j) {
            p[16 + j] = static_cast<uint8_t>((salt >> ((j & 3) * 8)) + uint32_t(j) * 7u);
        }
        // EDC (2064..2067), zero area and ECC stay zero.
    }
}

// ---------------------------------------------------------------------------------------
// Layout

struct Region {
    enum Kind { Zero, Tone, Quiet, Data } kind = Zero;
    uint32_t first = 0;
    uint32_t count = 0;
    int track = 0;        // 0-based track position
    uint32_t origin = 0;  // sector where the tone's phase is 0
    bool inFile = false;
};

struct TrackLayout {
    int number = 0;
    bool data = false;
    int session = 1;
    uint32_t pregap = 0;  // effective PREGAP sectors
    uint32_t index0 = 0;  // effective INDEX 00 sectors (hidden track included for track 1)
    uint32_t start = 0;
    uint32_t sectors = 0;  // TrackPlan::sectors
    int file = 0;
    uint32_t fileIndex0 = 0;  // sector offset of INDEX 00 in its file
    uint32_t fileIndex1 = 0;  // sector offset of INDEX 01 in its file
};

struct FileLayout {
    std::string name;
    const char* type = "BINARY";
    bool wave = false;
    bool swap = false;  // audio sectors big-endian
    std::vector<size_t> regions;
};

struct DiscLayout {
    std::vector<Region> regions;
    std::vector<TrackLayout> tracks;
    std::vector<FileLayout> files;
    uint32_t leadOut = 0;
};

std::string stemOf(const std::string& cueFileName) {
    std::string name = std::filesystem::path(cueFileName).filename().string();
    if (name.size() > 4) {
        std::string ext = name.substr(name.size() - 4);
        std::transform(ext.begin(), ext.end(), ext.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (ext == ".cue") name.resize(name.size() - 4);
    }
    return name.empty() ? std::string("disc") : name;
}

std::string twoDigits(int n) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", n);
    return buf;
}

void validate(const DiscPlan& discPlan) {
    const size_t n = discPlan.tracks.size();
    if (n == 0 || n > 99) throw std::runtime_error("testdisc: 1..99 tracks needed");
    if (discPlan.firstTrackNumber < 1 || discPlan.firstTrackNumber + int(n) - 1 > 99) {
        throw std::runtime_error("testdisc: track numbers must lie in 1..99");
    }
    if (discPlan.cdExtra && n < 2) throw std::runtime_error("testdisc: CD-Extra needs >= 2 tracks");
    uint64_t total = discPlan.hiddenSectors;
    for (const TrackPlan& t : discPlan.tracks) {
        if (t.sectors == 0) throw std::runtime_error("testdisc: a track needs >= 1 sector");
        total += uint64_t(t.sectors) + t.index0 + t.pregap;
    }
    if (discPlan.cdExtra) total += kSessionGapSectors;
    if (total > uint64_t(100) * kFramesPerMinute)
        throw std::runtime_error("testdisc: disc longer than 100 min");
}

DiscLayout buildLayout(const DiscPlan& discPlan, const std::string& cueFileName = "disc.cue") {
    validate(discPlan);
    DiscLayout d;
    const int n = static_cast<int>(discPlan.tracks.size());
    const std::string stem = stemOf(cueFileName);
    std::vector<uint32_t> fileSectors;

    auto fileFor = [&](int i, bool data) -> int {
        if (discPlan.layout == Layout::SingleBin) {
            if (d.files.empty()) {
                FileLayout f;
                f.name = stem + ".bin";
                f.swap = discPlan.motorola;
                f.type = discPlan.motorola ? "MOTOROLA" : "BINARY";
                d.files.push_back(f);
                fileSectors.push_back(0);
            }
            return 0;
        }
        FileLayout f;
        const std::string base = stem + "-" + twoDigits(discPlan.firstTrackNumber + i);
        if (discPlan.layout == Layout::WavePerTrack && !data) {
            f.name = base + ".wav";
            f.wave = true;
            f.type = "WAVE";
        } else {
            f.name = base + ".bin";
            f.swap = discPlan.motorola && !data;
            f.type = f.swap ? "MOTOROLA" : "BINARY";
        }
        d.files.push_back(f);
        fileSectors.push_back(0);
        return static_cast<int>(d.files.size()) - 1;
    };

    auto addRegion = [&](Region r, int file) {
        if (r.count == 0) return;
        d.regions.push_back(r);
        if (r.inFile) {
            d.files[file].regions.push_back(d.regions.size() - 1);
            fileSectors[file] += r.count;
        }
    };

    uint32_t pos = 0;
    for (int i = 0; i < n; ++i) {
        const TrackPlan& ts = discPlan.tracks[i];
        TrackLayout t;
        t.number = discPlan.firstTrackNumber + i;
        t.sectors = ts.sectors;
        const bool extraData = discPlan.cdExtra && i == n - 1;
        t.data = ts.data || extraData;
        t.session = extraData ? 2 : 1;
        t.file = fileFor(i, t.data);
        if (extraData) {
            addRegion({Region::Zero, pos, kSessionGapSectors, i, pos, false}, t.file);
            pos += kSessionGapSectors;
        } else {
            t.pregap = ts.pregap;
            t.index0 = ts.index0 + (i == 0 ? discPlan.hiddenSectors : 0);
            addRegion({Region::Zero, pos, t.pregap, i, pos, false}, t.file);
            pos += t.pregap;
            t.fileIndex0 = fileSectors[t.file];
            addRegion({t.data ? Region::Data : Region::Quiet, pos, t.index0, i, pos, true}, t.file);
            pos += t.index0;
        }
        t.start = pos;
        t.fileIndex1 = fileSectors[t.file];
        if (extraData) t.fileIndex0 = t.fileIndex1;
        addRegion({t.data ? Region::Data : Region::Tone, pos, t.sectors, i, pos, true}, t.file);
        pos += t.sectors;
        d.tracks.push_back(t);
    }
    d.leadOut = pos;
    return d;
}

// Fills count sectors from lsn (little-endian audio), walking the regions.
void fillRange(const DiscPlan& discPlan, const DiscLayout& d, uint32_t lsn, uint32_t count,
               uint8_t* out) {
    uint32_t done = 0;
    while (done < count) {
        const uint32_t cur = lsn + done;
        uint8_t* p = out + size_t(done) * kSectorBytes;
        const Region* reg = nullptr;
        for (const Region& r : d.regions) {
            if (cur >= r.first && cur < r.first + r.count) {
                reg = &r;
                break;
            }
        }
        if (!reg) {  // beyond the disc
            std::memset(p, 0, size_t(count - done) * kSectorBytes);
            return;
        }
        const uint32_t take = std::min(count - done, reg->first + reg->count - cur);
        switch (reg->kind) {
            case Region::Zero:
                std::memset(p, 0, size_t(take) * kSectorBytes);
                break;
            case Region::Tone:
                fillTone(cur, take, reg->origin, toneHz(reg->track),
                         discPlan.tracks[size_t(reg->track)].levelQ15, p);
                break;
            case Region::Quiet:
                fillTone(cur, take, reg->origin, pregapToneHz(reg->track), kQuietAmpQ15, p);
                break;
            case Region::Data:
                fillData(cur, take, p);
                break;
        }
        done += take;
    }
}

std::string msf(uint32_t sectors) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02u:%02u:%02u", sectors / kFramesPerMinute,
                  (sectors / kFramesPerSecond) % 60, sectors % kFramesPerSecond);
    return buf;
}

void putLE32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

std::array<uint8_t, kWaveHeaderBytes> waveHeader(uint32_t dataBytes) {
    std::array<uint8_t, kWaveHeaderBytes> h{};
    std::memcpy(h.data(), "RIFF", 4);
    putLE32(h.data() + 4, 36 + dataBytes);
    std::memcpy(h.data() + 8, "WAVEfmt ", 8);
    putLE32(h.data() + 16, 16);
    h[20] = 1;  // PCM
    h[22] = 2;  // channels
    putLE32(h.data() + 24, 44100);
    putLE32(h.data() + 28, 44100 * 4);
    h[32] = 4;   // block align
    h[34] = 16;  // bits per sample
    std::memcpy(h.data() + 36, "data", 4);
    putLE32(h.data() + 40, dataBytes);
    return h;
}

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};

}  // namespace

// -----------------------------------------------------------------------------------------

double toneHz(int trackIndex) {
    return 220.0 * std::pow(2.0, trackIndex / 4.0);
}

double pregapToneHz(int trackIndex) {
    return 1.5 * toneHz(trackIndex);
}

std::vector<uint32_t> defaultLengths(int n) {
    std::vector<uint32_t> v;
    for (int i = 0; i < n; ++i) {
        v.push_back(75u * (3u + uint32_t(i * 7) % 10u) + uint32_t(i * 37) % 75u);
    }
    return v;
}

DiscPlan audioDisc(const std::vector<uint32_t>& lengths) {
    DiscPlan discPlan;
    for (uint32_t len : lengths) {
        TrackPlan t;
        t.sectors = len;
        discPlan.tracks.push_back(t);
    }
    return discPlan;
}

ExpectedDisc expectedToc(const DiscPlan& discPlan) {
    const DiscLayout d = buildLayout(discPlan);
    ExpectedDisc e;
    e.leadOut = d.leadOut;
    for (size_t i = 0; i < d.tracks.size(); ++i) {
        const TrackLayout& t = d.tracks[i];
        ExpectedTrack x;
        x.number = t.number;
        x.data = t.data;
        x.startSector = t.start;
        x.session = t.session;
        const bool last = i + 1 == d.tracks.size();
        const uint32_t next = last ? d.leadOut : d.tracks[i + 1].start;
        const bool laterSession = !last && d.tracks[i + 1].session != t.session;
        x.sectors =
            static_cast<uint32_t>(cdtiming::trackEnd(t.start, next, laterSession) - t.start);
        e.tracks.push_back(x);
    }
    return e;
}

void sectorBytes(const DiscPlan& discPlan, uint32_t lsn, uint8_t* out) {
    const DiscLayout d = buildLayout(discPlan);
    fillRange(discPlan, d, lsn, 1, out);
}

std::vector<uint8_t> rangeBytes(const DiscPlan& discPlan, uint32_t first, uint32_t last) {
    if (last < first) return {};
    const DiscLayout d = buildLayout(discPlan);
    std::vector<uint8_t> out(size_t(last - first + 1) * kSectorBytes);
    fillRange(discPlan, d, first, last - first + 1, out.data());
    return out;
}

std::vector<std::string> imageFiles(const DiscPlan& discPlan, const std::string& cueFileName) {
    const DiscLayout d = buildLayout(discPlan, cueFileName);
    std::vector<std::string> names;
    for (const FileLayout& f : d.files) names.push_back(f.name);
    return names;
}

std::vector<SheetText> sampleCdText(const DiscPlan& discPlan) {
    std::vector<SheetText> text;
    text.push_back(SheetText{"Sonvale Test Disc", "Sonvale"});
    for (size_t i = 0; i < discPlan.tracks.size(); ++i) {
        SheetText track;
        if (!discPlan.tracks[i].data)
            track.title = "Tone " + twoDigits(discPlan.firstTrackNumber + static_cast<int>(i));
        text.push_back(track);
    }
    return text;
}

std::string cueSheet(const DiscPlan& discPlan, const std::string& cueFileName) {
    const DiscLayout d = buildLayout(discPlan, cueFileName);
    std::string s;
    const auto line = [&s](const char* indent, const char* key, const std::string& value) {
        if (!value.empty()) s += std::string(indent) + key + " \"" + value + "\"\n";
    };
    const auto textOf = [&discPlan](size_t i) -> const SheetText* {
        return discPlan.cdText && i < discPlan.cdText->size() ? &(*discPlan.cdText)[i] : nullptr;
    };
    s += "REM COMMENT \"make-test-disc\"\n";
    if (const SheetText* t = textOf(0)) {
        line("", "REM GENRE", t->genre);
        line("", "REM DATE", t->date);
        line("", "TITLE", t->title);
        line("", "PERFORMER", t->performer);
        line("", "SONGWRITER", t->songwriter);
    }
    if (discPlan.cdExtra) s += "REM SESSION 01\n";
    int currentFile = -1;
    size_t position = 0;
    for (const TrackLayout& t : d.tracks) {
        if (t.session == 2) s += "REM SESSION 02\n";
        if (t.file != currentFile) {
            currentFile = t.file;
            const FileLayout& f = d.files[t.file];
            s += "FILE \"";
            s += discPlan.backslashes ? ".\\" + f.name : f.name;
            s += "\" ";
            s += f.type;
            s += "\n";
        }
        s += "  TRACK " + twoDigits(t.number) + (t.data ? " MODE1/2352\n" : " AUDIO\n");
        if (const SheetText* text = textOf(position + 1)) {
            line("    ", "TITLE", text->title);
            line("    ", "PERFORMER", text->performer);
            line("    ", "SONGWRITER", text->songwriter);
        }
        ++position;
        if (t.pregap) s += "    PREGAP " + msf(t.pregap) + "\n";
        if (t.index0) s += "    INDEX 00 " + msf(t.fileIndex0) + "\n";
        s += "    INDEX 01 " + msf(t.fileIndex1) + "\n";
    }
    return s;
}

ExpectedDisc writeImage(const DiscPlan& discPlan, const std::string& cuePath) {
    namespace fs = std::filesystem;
    const fs::path cue(cuePath);
    const DiscLayout d = buildLayout(discPlan, cue.filename().string());
    const fs::path dir = cue.parent_path();
    std::error_code ec;
    if (!dir.empty()) fs::create_directories(dir, ec);

    std::vector<uint8_t> buf(size_t(kChunkSectors) * kSectorBytes);
    for (const FileLayout& f : d.files) {
        const fs::path path = dir / f.name;
        std::unique_ptr<std::FILE, FileCloser> out(std::fopen(path.c_str(), "wb"));
        if (!out) throw std::runtime_error("testdisc: cannot create " + path.string());
        std::setvbuf(out.get(), nullptr, _IONBF, 0);
        if (f.wave) {
            uint64_t sectors = 0;
            for (size_t r : f.regions) sectors += d.regions[r].count;
            const auto h = waveHeader(static_cast<uint32_t>(sectors * kSectorBytes));
            if (std::fwrite(h.data(), 1, h.size(), out.get()) != h.size()) {
                throw std::runtime_error("testdisc: cannot write " + path.string());
            }
        }
        for (size_t ri : f.regions) {
            const Region& r = d.regions[ri];
            for (uint32_t done = 0; done < r.count;) {
                const uint32_t take = std::min(kChunkSectors, r.count - done);
                const size_t bytes = size_t(take) * kSectorBytes;
                fillRange(discPlan, d, r.first + done, take, buf.data());
                if (f.swap && r.kind != Region::Data) {
                    for (size_t i = 0; i < bytes; i += 2) std::swap(buf[i], buf[i + 1]);
                }
                if (std::fwrite(buf.data(), 1, bytes, out.get()) != bytes) {
                    throw std::runtime_error("testdisc: cannot write " + path.string());
                }
                done += take;
            }
        }
        if (std::fclose(out.release()) != 0) {
            throw std::runtime_error("testdisc: cannot write " + path.string());
        }
    }

    const std::string text = cueSheet(discPlan, cue.filename().string());
    std::unique_ptr<std::FILE, FileCloser> out(std::fopen(cue.c_str(), "wb"));
    if (!out || std::fwrite(text.data(), 1, text.size(), out.get()) != text.size() ||
        std::fclose(out.release()) != 0) {
        throw std::runtime_error("testdisc: cannot write " + cuePath);
    }
    return expectedToc(discPlan);
}

}  // namespace testdisc
