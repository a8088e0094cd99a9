#include "discimage.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <libcue.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <optional>

#include "cdtiming.h"
#include "textencoding.h"

namespace svdrives::detail {
namespace {

// Sheets are a few kilobytes; anything far bigger is not a cue sheet, and libcue's
// parser should not be fed it.
constexpr off_t kMaxSheetBytes = 1 << 20;
// 99 tracks of 99 minutes each stays far below this; it keeps sector arithmetic in 32 bits.
constexpr uint64_t kMaxDiscSectors = uint64_t(1) << 30;

// libcue's parser keeps its state in globals.
std::mutex& cueParserMutex() {
    static std::mutex m;
    return m;
}

std::string upper(std::string s) {
    for (char& c : s) c = char(toupper(static_cast<unsigned char>(c)));
    return s;
}

// Splits a sheet line into words; a double-quoted word may hold blanks.
std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isspace(static_cast<unsigned char>(line[i]))) ++i;
        if (i >= line.size()) break;
        std::string w;
        if (line[i] == '"') {
            size_t end = line.find('"', i + 1);
            if (end == std::string::npos) end = line.size();
            w = line.substr(i + 1, end - i - 1);
            i = end + 1;
        } else {
            while (i < line.size() && !isspace(static_cast<unsigned char>(line[i]))) w += line[i++];
        }
        out.push_back(std::move(w));
    }
    return out;
}

std::optional<uint64_t> parseMsf(const std::string& s) {
    unsigned m = 0, sec = 0, f = 0;
    char tail = 0;
    if (sscanf(s.c_str(), "%u:%u:%u%c", &m, &sec, &f, &tail) != 3) return std::nullopt;
    if (sec >= 60 || f >= cdtiming::kFramesPerSecond || m > 10000) return std::nullopt;
    return (uint64_t(m) * 60 + sec) * cdtiming::kFramesPerSecond + f;
}

// What libcue does not tell: the type of each FILE, each track's number and session, and
// PREGAP (libcue folds it into the INDEX 00 length when both are present).
struct ScannedTrack {
    int number = 0;
    int session = 1;
    int file = -1;  // ordinal of the FILE line in force
    bool data = false;
    uint64_t pregap = 0;
    bool hasIndex1 = false;
};
struct ScannedSheet {
    std::vector<FileType> files;
    std::vector<ScannedTrack> tracks;
};

bool scanSheet(const std::string& text, ScannedSheet* out, std::string* error) {
    int session = 1;
    size_t pos = 0;
    int lineNo = 0;
    while (pos <= text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        const auto w = words(line);
        if (w.empty()) continue;
        const std::string key = upper(w[0]);
        const auto fail = [&](const std::string& what) {
            *error = "line " + std::to_string(lineNo) + ": " + what;
            return false;
        };
        if (key == "FILE") {
            if (w.size() < 3) return fail("FILE without name or type");
            const std::string type = upper(w.back());
            if (type == "BINARY") {
                out->files.push_back(FileType::Binary);
            } else if (type == "MOTOROLA") {
                out->files.push_back(FileType::Motorola);
            } else if (type == "WAVE") {
                out->files.push_back(FileType::Wave);
            } else {
                return fail("unsupported file type " + w.back());
            }
        } else if (key == "TRACK") {
            if (w.size() < 3) return fail("TRACK without number or mode");
            if (out->files.empty()) return fail("TRACK before any FILE");
            char* endp = nullptr;
            const long number = strtol(w[1].c_str(), &endp, 10);
            if (*endp != 0 || number < 1 || number > 99) return fail("bad track number");
            if (!out->tracks.empty() && number <= out->tracks.back().number) {
                return fail("track numbers must increase");
            }
            const std::string mode = upper(w[2]);
            ScannedTrack t;
            t.number = int(number);
            t.session = session;
            t.file = int(out->files.size()) - 1;
            if (mode == "AUDIO") {
                t.data = false;
            } else if (mode == "MODE1/2352" || mode == "MODE2/2352") {
                t.data = true;
            } else {
                // Cooked sectors (2048, 2336 bytes) would need sync, header and ECC made
                // up to present them as raw sectors; no audio lives there anyway.
                return fail("unsupported track mode " + w[2]);
            }
            out->tracks.push_back(t);
        } else if (key == "INDEX") {
            if (out->tracks.empty()) return fail("INDEX outside a track");
            char* endp = nullptr;
            const long number = w.size() >= 3 ? strtol(w[1].c_str(), &endp, 10) : -1;
            if (number < 0 || number > 99 || *endp != 0 || !parseMsf(w[2])) {
                return fail("bad INDEX");
            }
            if (number == 1) out->tracks.back().hasIndex1 = true;
        } else if (key == "PREGAP") {
            if (out->tracks.empty()) return fail("PREGAP outside a track");
            const auto len = w.size() >= 2 ? parseMsf(w[1]) : std::nullopt;
            if (!len) return fail("bad PREGAP length");
            out->tracks.back().pregap = *len;
        } else if (key == "REM" && w.size() >= 3 && upper(w[1]) == "SESSION") {
            char* endp = nullptr;
            const long s = strtol(w[2].c_str(), &endp, 10);
            if (*endp != 0 || s < 1 || s > 99 || s < session) return fail("bad REM SESSION");
            session = int(s);
        }
    }
    if (out->tracks.empty()) {
        *error = "no tracks";
        return false;
    }
    // Checked here rather than left to libcue, which leaks what it parsed when a track
    // ends without its index.
    for (const ScannedTrack& t : out->tracks) {
        if (!t.hasIndex1) {
            *error = "track " + std::to_string(t.number) + " has no INDEX 01";
            return false;
        }
    }
    return true;
}

// libcue and libcdio both export a function named cdtext_get, with different arguments,
// and this library links both. A call by name would run whichever the dynamic linker meets
// first in the process, which is a matter of load order, not of the header included here:
// in a program that loads libcdio first, libcue's texts would be handed to libcdio's
// function. Linking options cannot help (-Bsymbolic binds a library's references to its
// own definitions, and neither function is ours). So libcue's is looked up in libcue:
// dlsym on its own handle searches libcue before anything else. libcdio's texts are read
// with cdtext_get_const, which libcue does not have, so nothing here calls cdtext_get by
// name.
using CueTextGetter = const char* (*)(enum Pti, const Cdtext*);

CueTextGetter cueTextGetter() {
    static const CueTextGetter getter = []() -> CueTextGetter {
        Dl_info info{};
        // A function only libcue has tells which file libcue was loaded from.
        if (!dladdr(reinterpret_cast<void*>(&cd_get_cdtext), &info) || !info.dli_fname) {
            return nullptr;
        }
        void* cue = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
        if (!cue) return nullptr;
        auto fn = reinterpret_cast<CueTextGetter>(dlsym(cue, "cdtext_get"));
        dlclose(cue);  // only the reference NOLOAD took: we link libcue, so it stays
        return fn;
    }();
    return getter;
}

// The CD-Text of a parsed sheet along its tracks. latin1: the sheet is not UTF-8.
CdText cueText(const Cd* cd, int tracks, bool latin1) {
    const CueTextGetter get = cueTextGetter();
    if (!get) return {};
    CdText out(size_t(tracks) + 1);
    bool any = false;
    const auto put = [&](std::string* field, const char* value) {
        if (!value || !value[0]) return;
        *field = latin1 ? latin1ToUtf8(value) : std::string(value);
        any = true;
    };
    for (int i = 0; i <= tracks; ++i) {
        const Track* track = i == 0 ? nullptr : cd_get_track(cd, i);
        const Cdtext* text = i == 0 ? cd_get_cdtext(cd) : track ? track_get_cdtext(track) : nullptr;
        if (!text) continue;
        TextFields& f = out[size_t(i)];
        put(&f[kTextTitle], get(PTI_TITLE, text));
        put(&f[kTextPerformer], get(PTI_PERFORMER, text));
        put(&f[kTextSongwriter], get(PTI_SONGWRITER, text));
        if (i == 0) {
            put(&f[kTextGenre], get(PTI_GENRE, text));  // libcue files REM GENRE here
            Rem* rem = cd_get_rem(cd);
            put(&f[kTextDate], rem ? rem_get(REM_DATE, rem) : nullptr);
        }
    }
    if (!any) out.clear();
    return out;
}

bool readWhole(const std::string& path, std::string* text, std::string* error) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *error = "cannot open " + path + ": " + strerror(errno);
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxSheetBytes) {
        close(fd);
        *error = path + " is not a cue sheet";
        return false;
    }
    text->resize(size_t(st.st_size));
    size_t got = 0;
    while (got < text->size()) {
        const ssize_t n = pread(fd, text->data() + got, text->size() - got, off_t(got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += size_t(n);
    }
    close(fd);
    text->resize(got);
    return true;
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Sheets come from other systems: backslashes, ".\" prefixes, absolute paths of the
// machine that wrote them, names in another letter case. The file beside the sheet wins
// when the literal path does not exist.
std::string resolveFile(const std::string& sheetDir, std::string name) {
    std::replace(name.begin(), name.end(), '\\', '/');
    while (name.size() > 2 && name.compare(0, 2, "./") == 0) name.erase(0, 2);
    const std::string literal = (!name.empty() && name[0] == '/') ? name : sheetDir + "/" + name;
    if (fileExists(literal)) return literal;
    std::string base = name.substr(name.find_last_of('/') + 1);
    if (base.size() > 2 && base[1] == ':') base.erase(0, 2);  // "C:name"
    const std::string beside = sheetDir + "/" + base;
    if (fileExists(beside)) return beside;
    if (DIR* dir = opendir(sheetDir.c_str())) {
        std::string found;
        while (const dirent* e = readdir(dir)) {
            if (strcasecmp(e->d_name, base.c_str()) == 0) {
                found = sheetDir + "/" + e->d_name;
                break;
            }
        }
        closedir(dir);
        if (!found.empty() && fileExists(found)) return found;
    }
    return literal;
}

uint32_t le32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}
uint16_t le16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}

bool preadAll(int fd, void* buf, size_t len, uint64_t offset) {
    auto* p = static_cast<uint8_t*>(buf);
    while (len > 0) {
        const ssize_t n = pread(fd, p, len, off_t(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        len -= size_t(n);
        offset += uint64_t(n);
    }
    return true;
}

// Finds the PCM data of a RIFF/WAVE file; only CD audio is accepted, since its bytes go
// to the caller as they are.
bool locateWaveData(int fd, uint64_t fileBytes, uint64_t* offset, uint64_t* bytes,
                    std::string* error) {
    uint8_t head[12];
    if (fileBytes < 12 || !preadAll(fd, head, 12, 0) || memcmp(head, "RIFF", 4) != 0 ||
        memcmp(head + 8, "WAVE", 4) != 0) {
        *error = "not a RIFF/WAVE file";
        return false;
    }
    bool formatOk = false;
    uint64_t at = 12;
    for (int chunks = 0; chunks < 1000 && at + 8 <= fileBytes; ++chunks) {
        uint8_t ch[8];
        if (!preadAll(fd, ch, 8, at)) break;
        const uint64_t size = le32(ch + 4);
        const uint64_t body = at + 8;
        if (memcmp(ch, "fmt ", 4) == 0) {
            uint8_t fmt[40] = {};
            if (size < 16 || !preadAll(fd, fmt, size_t(std::min<uint64_t>(size, 40)), body)) {
                *error = "short fmt chunk";
                return false;
            }
            uint16_t tag = le16(fmt);
            // WAVE_FORMAT_EXTENSIBLE names the real format in its sub-format GUID.
            if (tag == 0xFFFE && size >= 40) tag = le16(fmt + 24);
            formatOk = tag == 1 && le16(fmt + 2) == 2 && le32(fmt + 4) == 44100 &&
                       le16(fmt + 12) == 4 && le16(fmt + 14) == 16;
            if (!formatOk) {
                *error = "WAVE file is not 16-bit 44100 Hz stereo PCM";
                return false;
            }
        } else if (memcmp(ch, "data", 4) == 0) {
            if (!formatOk) {
                *error = "WAVE data before its format";
                return false;
            }
            uint64_t len = size;
            const uint64_t rest = fileBytes - body;
            // Writers that stream leave the size at 0 or all ones.
            if (len == 0 || len == 0xFFFFFFFFu) len = rest;
            if (len > rest) {
                *error = "WAVE file shorter than its data chunk";
                return false;
            }
            *offset = body;
            *bytes = len;
            return true;
        }
        at = body + size + (size & 1);
    }
    *error = "WAVE file without data";
    return false;
}

}  // namespace

// Turns the parsed sheet into files and extents; a friend of DiscImage.
class DiscImageBuilder {
public:
    static std::shared_ptr<const DiscImage> build(const std::string& cuePath, std::string* error);
};

DiscImage::~DiscImage() {
    for (const File& f : files_) {
        if (f.fd >= 0) close(f.fd);
    }
}

std::shared_ptr<const DiscImage> DiscImage::load(const std::string& cuePath, std::string* error) {
    std::string ignored;
    return DiscImageBuilder::build(cuePath, error ? error : &ignored);
}

std::shared_ptr<const DiscImage> DiscImageBuilder::build(const std::string& cuePath,
                                                         std::string* error) {
    std::string text;
    if (!readWhole(cuePath, &text, error)) return nullptr;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    if (text.find('\0') != std::string::npos) {
        *error = "binary data in the sheet";
        return nullptr;
    }
    ScannedSheet scanned;
    if (!scanSheet(text, &scanned, error)) return nullptr;

    struct SheetTrack {
        ScannedTrack s;
        std::string fileName;
        int64_t index0 = -1;
        int64_t index1 = -1;
        uint64_t postgap = 0;
    };
    std::vector<SheetTrack> tracks;
    CdText cdText;
    {
        std::lock_guard lock(cueParserMutex());
        Cd* cd = cue_parse_string(text.c_str());
        if (!cd) {
            *error = "malformed cue sheet";
            return nullptr;
        }
        const int n = cd_get_ntrack(cd);
        if (n != int(scanned.tracks.size())) {
            cd_delete(cd);
            *error = "malformed cue sheet (track count)";
            return nullptr;
        }
        for (int i = 0; i < n; ++i) {
            const Track* t = cd_get_track(cd, i + 1);
            SheetTrack st;
            st.s = scanned.tracks[size_t(i)];
            const char* name = t ? track_get_filename(t) : nullptr;
            if (!t || !name) {
                cd_delete(cd);
                *error = "track without file";
                return nullptr;
            }
            st.fileName = name;
            st.index0 = track_get_index(t, 0);
            st.index1 = track_get_index(t, 1);
            const long post = track_get_zero_post(t);
            st.postgap = post > 0 ? uint64_t(post) : 0;
            tracks.push_back(std::move(st));
        }
        cdText = cueText(cd, n, !isUtf8(text));
        cd_delete(cd);
    }

    std::shared_ptr<DiscImage> img(new DiscImage());
    const size_t slash = cuePath.find_last_of('/');
    const std::string sheetDir = slash == std::string::npos ? "." : cuePath.substr(0, slash);

    // One File per FILE line that has tracks, in sheet order.
    std::vector<int> fileOfOrdinal(scanned.files.size(), -1);
    for (const SheetTrack& t : tracks) {
        if (fileOfOrdinal[size_t(t.s.file)] >= 0) continue;
        DiscImage::File f;
        f.type = scanned.files[size_t(t.s.file)];
        f.path = resolveFile(sheetDir, t.fileName);
        f.fd = open(f.path.c_str(), O_RDONLY | O_CLOEXEC);
        if (f.fd < 0) {
            *error = "missing file " + f.path;
            return nullptr;
        }
        img->files_.push_back(f);  // owns the descriptor from here on
        DiscImage::File& file = img->files_.back();
        struct stat st {};
        if (fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            *error = file.path + " is not a regular file";
            return nullptr;
        }
        if (file.type == FileType::Wave) {
            if (!locateWaveData(file.fd, uint64_t(st.st_size), &file.dataOffset, &file.dataBytes,
                                error)) {
                *error = file.path + ": " + *error;
                return nullptr;
            }
            file.sectors = (file.dataBytes + kSectorBytes - 1) / kSectorBytes;
        } else {
            file.dataBytes = uint64_t(st.st_size);
            // Raw images hold whole sectors; a partial one means the copy was cut short.
            if (file.dataBytes % kSectorBytes != 0) {
                *error = file.path + " does not hold whole sectors (truncated?)";
                return nullptr;
            }
            file.sectors = file.dataBytes / kSectorBytes;
        }
        fileOfOrdinal[size_t(t.s.file)] = int(img->files_.size()) - 1;
    }

    uint64_t pos = 0;
    int curFile = -1;
    uint64_t cursor = 0;  // sectors of curFile already placed on the disc
    bool prevSwap = false;
    const auto placeFile = [&](int file, uint64_t from, uint64_t to, bool swap) {
        if (to <= from) return;
        img->extents_.push_back({uint32_t(pos), uint32_t(to - from), file, from, swap});
        pos += to - from;
    };
    const auto placeZeros = [&](uint64_t n) {
        if (n == 0) return;
        img->extents_.push_back({uint32_t(pos), uint32_t(n), -1, 0, false});
        pos += n;
    };
    for (size_t i = 0; i < tracks.size(); ++i) {
        const SheetTrack& t = tracks[i];
        const int file = fileOfOrdinal[size_t(t.s.file)];
        const DiscImage::File& f = img->files_[size_t(file)];
        if (file != curFile) {
            curFile = file;
            cursor = 0;
        }
        if (t.index1 < 0 || (t.index0 >= 0 && t.index0 > t.index1)) {
            *error = "track " + std::to_string(t.s.number) + " lacks a valid INDEX 01";
            return nullptr;
        }
        const uint64_t firstIndex = uint64_t(t.index0 >= 0 ? t.index0 : t.index1);
        if (firstIndex < cursor) {
            *error = "track " + std::to_string(t.s.number) + " starts before the previous one";
            return nullptr;
        }
        const bool swap = f.type == FileType::Motorola && !t.s.data;
        if (i == 0) {
            // Track 1's PREGAP precedes everything; the file bytes before its first index
            // are a hidden track, readable like any audio.
            placeZeros(t.s.pregap);
            placeFile(file, cursor, firstIndex, swap);
        } else {
            // Bytes before this track's first index still belong to the track before.
            placeFile(file, cursor, firstIndex, prevSwap);
            if (t.s.session != tracks[i - 1].s.session) placeZeros(kSessionGapSectors);
            placeZeros(t.s.pregap);
        }
        uint64_t end = f.sectors;
        if (i + 1 < tracks.size() && fileOfOrdinal[size_t(tracks[i + 1].s.file)] == file) {
            const SheetTrack& next = tracks[i + 1];
            end = uint64_t(next.index0 >= 0 ? next.index0 : std::max<int64_t>(next.index1, 0));
        }
        if (uint64_t(t.index1) >= end) {
            *error = uint64_t(t.index1) >= f.sectors
                         ? f.path + " is shorter than the sheet claims"
                         : "track " + std::to_string(t.s.number) + " has no sectors";
            return nullptr;
        }
        TocTrack toc;
        toc.number = uint8_t(t.s.number);
        toc.data = t.s.data;
        toc.session = uint8_t(t.s.session);
        toc.startSector = uint32_t(pos + (uint64_t(t.index1) - firstIndex));
        img->toc_.tracks.push_back(toc);
        placeFile(file, firstIndex, end, swap);
        cursor = end;
        prevSwap = swap;
        placeZeros(t.postgap);
        if (pos > kMaxDiscSectors) {
            *error = "image too large";
            return nullptr;
        }
    }
    img->toc_.leadOut = uint32_t(pos);
    img->cdText_ = std::move(cdText);
    return img;
}

bool DiscImage::readExtent(const Extent& e, uint32_t from, uint32_t count, uint8_t* out) const {
    const size_t bytes = size_t(count) * kSectorBytes;
    if (e.file < 0) {
        memset(out, 0, bytes);
        return true;
    }
    const File& f = files_[size_t(e.file)];
    const uint64_t rel = (e.fileSector + (from - e.first)) * kSectorBytes;
    const size_t have =
        size_t(std::min<uint64_t>(bytes, f.dataBytes > rel ? f.dataBytes - rel : 0));
    if (!preadAll(f.fd, out, have, f.dataOffset + rel)) return false;
    memset(out + have, 0, bytes - have);  // a WAVE file's last partial sector
    if (e.swap) {
        for (size_t i = 0; i + 1 < have; i += 2) std::swap(out[i], out[i + 1]);
    }
    return true;
}

bool DiscImage::read(uint32_t first, uint32_t count, uint8_t* out) const {
    uint64_t cur = first;
    const uint64_t stop = uint64_t(first) + count;
    while (cur < stop) {
        auto it = std::upper_bound(extents_.begin(), extents_.end(), cur,
                                   [](uint64_t s, const Extent& e) { return s < e.first; });
        uint8_t* dst = out + (cur - first) * kSectorBytes;
        if (it == extents_.begin()) {
            memset(dst, 0, size_t(stop - cur) * kSectorBytes);
            return true;
        }
        const Extent& e = *std::prev(it);
        const uint64_t extentEnd = uint64_t(e.first) + e.count;
        if (cur >= extentEnd) {
            // Past the last extent, or in no extent at all: nothing on the disc there.
            const uint64_t gapEnd =
                it == extents_.end() ? stop : std::min<uint64_t>(stop, it->first);
            memset(dst, 0, size_t(gapEnd - cur) * kSectorBytes);
            cur = gapEnd;
            continue;
        }
        const uint64_t n = std::min(stop, extentEnd) - cur;
        if (!readExtent(e, uint32_t(cur), uint32_t(n), dst)) return false;
        cur += n;
    }
    return true;
}

}  // namespace svdrives::detail
