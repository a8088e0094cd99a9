#include "cdrip3.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "drivemodel.h"
#include "inifile.h"

namespace {

using svdrives::DriveModel;

constexpr const char* kImagesSection = "Images";
constexpr int kDefaultRetries = 20;
constexpr const char* kReadOffsetKey = "read_offset";
constexpr const char* kReadOffsetFromKey = "read_offset_from";
// The words of read_offset_from, indexed by CDRIP3_OFFSET_FROM_*.
constexpr const char* kOffsetSources[] = {"", "user", "list", "detected"};
constexpr int kSampleBytes = 4;  // a stereo sample of two 16-bit channels

struct Field {
    const char* key;
    int offset;
    int32_t def;
    int32_t min;
    int32_t max;
};
// The named fields of the parameter block, with their defaults and the range a stored
// value is clamped to.
constexpr Field kFields[] = {
    {"sectors_per_read", CR_OFS_SECTORS_PER_READ, 26, 1, 200},
    {"overlap", CR_OFS_OVERLAP, 7, 0, 100},
    {"compare", CR_OFS_COMPARE, 1, 0, 100},
    {"speed", CR_OFS_SPEED, 0, -1, 255},
    {"jitter_on", CR_OFS_JITTER_ON, 1, INT32_MIN, INT32_MAX},
    {"retries", CR_OFS_RETRIES, 0, 0, 1000},
    {"timeout", CR_OFS_TIMEOUT, 30, 0, 3600},
    {"multiread", CR_OFS_MULTIREAD, 0, INT32_MIN, INT32_MAX},
    {"multiread_first", CR_OFS_MULTIREAD_FIRST, 0, INT32_MIN, INT32_MAX},
    {"multiread_count", CR_OFS_MULTIREAD_COUNT, 0, INT32_MIN, INT32_MAX},
    {"lock_during_read", CR_OFS_LOCK_DURING_READ, 0, INT32_MIN, INT32_MAX},
    {"rip_mode", CR_OFS_RIP_MODE, 1, 0, 1},
    {"paranoia_mode", CR_OFS_PARANOIA_MODE, 0xDF, 0, 0xFF},
};
constexpr int kFirstField = CR_OFS_SECTORS_PER_READ;  // the drive name fills the bytes before
constexpr int kLastField = CR_PARAMS_SIZE - 4;

int32_t getField(const CR_DRIVEPARAMS& p, int offset) {
    const uint8_t* b = p.bytes + offset;
    return int32_t(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 |
                   uint32_t(b[3]) << 24);
}

void setField(CR_DRIVEPARAMS* p, int offset, int32_t value) {
    const uint32_t v = uint32_t(value);
    for (int i = 0; i < 4; ++i) p->bytes[offset + i] = uint8_t(v >> (8 * i));
}

const Field* namedField(int offset) {
    for (const Field& f : kFields) {
        if (f.offset == offset) return &f;
    }
    return nullptr;
}

CR_DRIVEPARAMS defaultParams() {
    CR_DRIVEPARAMS p{};
    for (const Field& f : kFields) setField(&p, f.offset, f.def);
    return p;
}

void clampAndName(CR_DRIVEPARAMS* p, const std::string& name) {
    for (const Field& f : kFields) {
        const int32_t v = getField(*p, f.offset);
        setField(p, f.offset, v < f.min ? f.min : v > f.max ? f.max : v);
    }
    memset(p->bytes, 0, kFirstField);
    memcpy(p->bytes, name.data(), std::min<size_t>(name.size(), kFirstField - 1));
}

long long clampReadOffset(long long samples) {
    return std::clamp<long long>(samples, -CR_MAX_READ_OFFSET, CR_MAX_READ_OFFSET);
}

svdrives::ReadSettings readSettings(const CR_DRIVEPARAMS& p) {
    svdrives::ReadSettings s;
    s.sectorsPerRead = getField(p, CR_OFS_SECTORS_PER_READ);
    s.readSpeed = std::max(0, getField(p, CR_OFS_SPEED));
    s.paranoia = getField(p, CR_OFS_JITTER_ON) != 0 && getField(p, CR_OFS_RIP_MODE) == 1;
    s.paranoiaMode = getField(p, CR_OFS_PARANOIA_MODE) & 0xFF;
    const int32_t retries = getField(p, CR_OFS_RETRIES);
    s.retries = retries > 0 ? retries : kDefaultRetries;
    return s;
}

constexpr int64_t kSector = svdrives::kSectorBytes;

int64_t floorDiv(int64_t a, int64_t b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0) ? 1 : 0);
}

// The drive's read offset moves every delivered sample by the same number of samples, so
// the chunks are cut from the disc's bytes at a byte position rather than at a sector
// boundary. Sectors outside the disc are silence: the reader is opened on the part of the
// shifted range the disc holds, and the rest is never asked of the drive (a real drive
// fails on the lead-in and the lead-out, and before a later session).
class ShiftedRange {
public:
    // Delivers the sectors from first on, moved by shiftBytes; the reader covers the disc
    // sectors readFirst..readLast of them (null: the whole range lies off the disc).
    ShiftedRange(std::unique_ptr<svdrives::SectorReader> reader, uint32_t first, int64_t shiftBytes,
                 uint32_t readFirst, uint32_t readLast)
        : reader_(std::move(reader)),
          outStart_(int64_t(first) * kSector + shiftBytes),
          readStart_(int64_t(readFirst) * kSector),
          readEnd_(reader_ ? (int64_t(readLast) + 1) * kSector : readStart_),
          pendingStart_(readStart_) {}

    // Fills out with up to sectors shifted sectors; *delivered is how many it holds.
    svdrives::ReadResult read(uint8_t* out, int sectors, const int32_t* abort, int* delivered) {
        *delivered = 0;
        const int64_t outEnd = outStart_ + int64_t(sectors) * kSector;
        // A shift of whole sectors, none above all, delivers the drive's sectors as they
        // are: they are read into place, as a rip always was, rather than copied through
        // the buffer chunk by chunk.
        if (pending_.empty() && outStart_ == pendingStart_ && outEnd <= readEnd_) {
            reader_->setAbortFlag(abort);
            const auto result = reader_->read(out, sectors, delivered);
            reader_->setAbortFlag(nullptr);
            if (result == svdrives::ReadResult::Ok || result == svdrives::ReadResult::Jitter) {
                outStart_ += int64_t(*delivered) * kSector;
                pendingStart_ = outStart_;
            }
            return result;
        }
        const int64_t target = std::min(outEnd, readEnd_);
        auto failure = svdrives::ReadResult::Ok;
        bool stopped = false;  // aborted, or the reader had no more
        if (reader_) reader_->setAbortFlag(abort);
        while (covered() < target) {
            const int need = int((target - covered() + kSector - 1) / kSector);
            const size_t old = pending_.size();
            pending_.resize(old + size_t(need) * kSector);
            int got = 0;
            const auto result = reader_->read(pending_.data() + old, need, &got);
            const bool delivering =
                result == svdrives::ReadResult::Ok || result == svdrives::ReadResult::Jitter;
            if (!delivering) got = 0;
            pending_.resize(old + size_t(got) * kSector);
            if (result == svdrives::ReadResult::Jitter && got > 0) {
                unverified_.push_back({covered() - int64_t(got) * kSector, covered()});
            }
            if (!delivering) {
                failure = result;
                break;
            }
            if (got == 0) {
                stopped = true;
                break;
            }
            // A read that stopped short met a fault, or an abort: what it brought is
            // delivered first, and the next call meets the fault, as without a shift.
            if (got < need && covered() >= outStart_ + kSector) break;
        }
        if (reader_) reader_->setAbortFlag(nullptr);

        const int64_t available = covered() >= readEnd_ ? outEnd : covered();
        const int whole = int(std::clamp<int64_t>((available - outStart_) / kSector, 0, sectors));
        if (whole == 0) return stopped ? svdrives::ReadResult::Ok : failure;
        const int64_t end = outStart_ + int64_t(whole) * kSector;
        const int64_t lo = std::clamp(readStart_, outStart_, end);
        const int64_t hi = std::clamp(readEnd_, outStart_, end);
        memset(out, 0, size_t(end - outStart_));
        if (lo < hi) {
            memcpy(out + (lo - outStart_), pending_.data() + (lo - pendingStart_), size_t(hi - lo));
        }
        bool jitter = false;
        for (const Span& span : unverified_)
            jitter = jitter || (span.first < end && span.end > outStart_);
        outStart_ = end;
        // Keep only what later chunks still need.
        if (outStart_ > pendingStart_) {
            const int64_t drop =
                std::min<int64_t>(outStart_ - pendingStart_, int64_t(pending_.size()));
            pending_.erase(pending_.begin(), pending_.begin() + drop);
            pendingStart_ += drop;
        }
        std::erase_if(unverified_, [this](const Span& span) { return span.end <= outStart_; });
        *delivered = whole;
        return jitter ? svdrives::ReadResult::Jitter : svdrives::ReadResult::Ok;
    }

private:
    struct Span {
        int64_t first, end;  // disc bytes of a read the drive could not verify
    };
    int64_t covered() const { return pendingStart_ + int64_t(pending_.size()); }

    std::unique_ptr<svdrives::SectorReader> reader_;
    int64_t outStart_;                   // the disc byte the next delivered byte comes from
    const int64_t readStart_, readEnd_;  // the disc bytes the reader covers
    std::vector<uint8_t> pending_;       // disc bytes read, not yet delivered
    int64_t pendingStart_;               // the disc byte pending_ starts with
    std::vector<Span> unverified_;
};

// One past the last sector a read of a range ending at lastSector may reach: the lead-out,
// or the end of the range's session when a later one follows, since a drive cannot read
// the gap between sessions any more than the lead-out.
uint32_t readableEnd(const svdrives::Toc& toc, uint32_t lastSector) {
    const auto& tracks = toc.tracks;
    for (size_t i = 1; i < tracks.size(); ++i) {
        if (tracks[i].startSector <= lastSector) continue;
        if (tracks[i].session == tracks[i - 1].session) continue;
        const int64_t end =
            cdtiming::trackEnd(tracks[i - 1].startSector, tracks[i].startSector, true);
        return end > int64_t(lastSector) ? uint32_t(end) : toc.leadOut;
    }
    return toc.leadOut;
}

// A chunk is read without the library's lock, so a slow or stalled drive never keeps the
// other calls waiting (the window asks whether the unit is ready while a rip runs on its
// own thread). The ripper's own mutex keeps its reads in order; CR_CloseRipper lets go of
// the ripper at once, and a read still running finishes on the reference it holds.
struct Ripper {
    std::mutex readMutex;
    std::unique_ptr<ShiftedRange> range;  // used under readMutex
    int sectorsPerRead = 0;
    uint64_t total = 0;
    std::atomic<uint64_t> delivered{0};
    bool finished = false;  // under readMutex
};

struct State {
    std::string settingsPath;  // empty until CR_Init names a file
    std::string settingsDir;
    std::vector<std::string> images;               // the [Images] section, as written
    std::map<std::string, CR_DRIVEPARAMS> params;  // by drive name, also absent drives
    struct ReadOffset {
        int32_t samples = 0;
        int32_t from = CDRIP3_OFFSET_FROM_USER;
    };
    // By drive name; a drive without one has no offset of its own.
    std::map<std::string, ReadOffset> readOffsets;
    uint64_t modelGeneration = 0;
    int active = 0;
    std::string activeName;
    bool tocValid = false;
    svdrives::Toc toc;
    svdrives::CdText cdText;  // read with the table, and valid with it
    std::shared_ptr<Ripper> ripper;
    std::string idBuffer;
    int listenerId = 0;
    // CDRIP3_FAULTS' spinup= and tray=, as read at the last CR_Init or CR_EjectCD.
    int spinUpMs = 0;
    int trayMs = 0;

    int32_t readOffsetOf(const std::string& drive) const {
        const auto it = readOffsets.find(drive);
        return it == readOffsets.end() ? 0 : it->second.samples;
    }
};

// Calls may come from more than one thread (a window and a rip of its own), and the media
// callback may call back in from another; recursive, so that a callback run from within a
// call may still call in.
std::recursive_mutex g_mutex;
State* g_state = nullptr;

// The program loads the library at run time and may unload it, while the drive model, a
// library of its own, stays loaded. What the state holds must go with us: the media
// listener, whose code is ours and would be called after the unload, the open ripper and
// the state's memory. Defined after g_mutex, so it is destroyed first.
struct UnloadGuard {
    ~UnloadGuard() {
        std::lock_guard lock(g_mutex);
        if (!g_state) return;
        if (g_state->listenerId) DriveModel::instance().removeMediaListener(g_state->listenerId);
        delete g_state;
        g_state = nullptr;
    }
} g_unloadGuard;

// Brings the per-drive state in line with the drive model, which may have been rebuilt
// (tests) or grown (images added) since the last call.
State& state() {
    if (!g_state) g_state = new State();
    State& s = *g_state;
    DriveModel& model = DriveModel::instance();
    const uint64_t gen = model.generation();
    if (gen != s.modelGeneration) {
        s.modelGeneration = gen;
        const int n = model.count();
        for (int i = 0; i < n; ++i) {
            svdrives::Drive* d = model.drive(i);
            if (!d) continue;
            const std::string name = d->name();
            if (!s.params.count(name)) {
                CR_DRIVEPARAMS p = defaultParams();
                clampAndName(&p, name);
                s.params.emplace(name, p);
            }
        }
        if (s.active >= n) s.active = 0;
        svdrives::Drive* d = model.drive(s.active);
        const std::string name = d ? d->name() : std::string();
        if (name != s.activeName) {
            s.activeName = name;
            s.tocValid = false;
        }
    }
    return s;
}

svdrives::Drive* activeDrive(State& s) {
    return DriveModel::instance().drive(s.active);
}

// The library's lock, taken once the active drive has spun up: a call that reads the disc
// waits for it without the lock, so the window's calls answer meanwhile, and looks again,
// since the active drive may have changed or its tray closed anew in between.
std::unique_lock<std::recursive_mutex> lockSpunUp() {
    for (;;) {
        std::unique_lock lock(g_mutex);
        svdrives::Drive* d = activeDrive(state());
        if (!d || !d->spinningUp()) return lock;
        lock.unlock();
        d->awaitSpinUp();
    }
}

void readMotion(State& s) {
    const svdrives::DriveMotion motion = svdrives::driveMotionFromEnvironment();
    s.spinUpMs = motion.spinUpMs;
    s.trayMs = motion.trayMs;
}

CR_DRIVEPARAMS* activeParams(State& s) {
    svdrives::Drive* d = activeDrive(s);
    if (!d) return nullptr;
    auto it = s.params.find(d->name());
    return it == s.params.end() ? nullptr : &it->second;
}

std::string configFolder() {
    const char* xdg = getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') return xdg;
    const char* home = getenv("HOME");
    if (home && home[0]) return std::string(home) + "/.config";
    return {};
}

void loadSettings(State& s, const std::string& text) {
    for (const cdrip3::IniSection& sec : cdrip3::parseIni(text)) {
        if (sec.name == kImagesSection) {
            for (const auto& [key, value] : sec.entries) {
                // No file has a NUL in its path; the drive would show the name of the
                // sheet the path names up to the NUL, maybe one already listed.
                if (!value.empty() && value.find('\0') == std::string::npos) {
                    s.images.push_back(value);
                }
            }
            continue;
        }
        CR_DRIVEPARAMS p = defaultParams();
        s.readOffsets.erase(sec.name);
        int32_t from = CDRIP3_OFFSET_FROM_USER;  // files written before the source was kept
        for (const auto& [key, value] : sec.entries) {
            if (key == kReadOffsetFromKey) {
                for (int32_t f = CDRIP3_OFFSET_FROM_USER; f <= CDRIP3_OFFSET_FROM_DETECTED; ++f)
                    if (value == kOffsetSources[f]) from = f;
                continue;
            }
            char* end = nullptr;
            const long long v = strtoll(value.c_str(), &end, 0);
            if (end == value.c_str() || *end != 0) continue;
            if (key == kReadOffsetKey) {
                s.readOffsets[sec.name].samples = int32_t(clampReadOffset(v));
                continue;
            }
            if (v < INT32_MIN || v > UINT32_MAX) continue;
            int offset = -1;
            for (const Field& f : kFields) {
                if (key == f.key) offset = f.offset;
            }
            if (offset < 0 && key.compare(0, 6, "field_") == 0) {
                // The whole rest must be the offset: atoi would wrap a long number onto
                // some other field.
                int o = -1;
                const char* digits = key.c_str() + 6;
                const char* keyEnd = key.c_str() + key.size();
                const auto [stop, ec] = std::from_chars(digits, keyEnd, o);
                const bool whole = ec == std::errc() && stop == keyEnd;
                if (whole && o >= kFirstField && o <= kLastField && o % 4 == 0) offset = o;
            }
            if (offset >= 0) setField(&p, offset, int32_t(uint32_t(v)));
        }
        // The source alone is no offset; with the offset it says where it came from, and a
        // word it does not know leaves it the user's.
        if (const auto it = s.readOffsets.find(sec.name); it != s.readOffsets.end())
            it->second.from = from;
        clampAndName(&p, sec.name);
        s.params[sec.name] = p;
    }
}

std::string settingsText(const State& s) {
    std::vector<cdrip3::IniSection> sections;
    cdrip3::IniSection images{kImagesSection, {}};
    for (size_t i = 0; i < s.images.size(); ++i) {
        images.entries.emplace_back("image" + std::to_string(i + 1), s.images[i]);
    }
    sections.push_back(std::move(images));
    for (const auto& [name, p] : s.params) {
        cdrip3::IniSection sec{name, {}};
        for (int o = kFirstField; o <= kLastField; o += 4) {
            const Field* f = namedField(o);
            const int32_t v = getField(p, o);
            if (f) {
                sec.entries.emplace_back(f->key, std::to_string(v));
            } else if (v != 0) {
                sec.entries.emplace_back("field_" + std::to_string(o), std::to_string(v));
            }
        }
        if (const auto it = s.readOffsets.find(name); it != s.readOffsets.end()) {
            sec.entries.emplace_back(kReadOffsetKey, std::to_string(it->second.samples));
            sec.entries.emplace_back(kReadOffsetFromKey, kOffsetSources[it->second.from]);
        }
        sections.push_back(std::move(sec));
    }
    return cdrip3::formatIni(sections, "CD drive settings");
}

std::string resolveImage(const State& s, const std::string& path) {
    if (path.empty() || path[0] == '/' || s.settingsDir.empty()) return path;
    return s.settingsDir + "/" + path;
}

}  // namespace

extern "C" {

int32_t CR_Init(const char* settingsFileName) {
    std::lock_guard lock(g_mutex);
    State& s = state();
    s.ripper.reset();
    s.tocValid = false;
    s.active = 0;
    s.activeName.clear();
    s.modelGeneration = 0;  // look at the drives again below
    s.settingsPath.clear();
    s.settingsDir.clear();
    if (!settingsFileName || !settingsFileName[0]) return CDRIP3_ERROR;

    s.images.clear();
    s.params.clear();
    s.readOffsets.clear();
    const std::string name(settingsFileName);
    if (name[0] == '/') {
        s.settingsPath = name;
    } else {
        const std::string folder = configFolder();
        s.settingsPath = folder.empty() ? std::string() : folder + "/" + name;
    }
    const size_t slash = s.settingsPath.find_last_of('/');
    s.settingsDir = slash == std::string::npos ? std::string() : s.settingsPath.substr(0, slash);
    std::string text;
    if (!s.settingsPath.empty() && cdrip3::readFile(s.settingsPath, &text)) loadSettings(s, text);

    std::vector<std::string> resolved;
    for (const std::string& p : s.images) resolved.push_back(resolveImage(s, p));
    DriveModel& model = DriveModel::instance();
    model.setConfiguredImages(resolved);
    state();
    // Every disc the library starts with has just gone in, as far as a test can tell; a
    // drive without one is not ready anyway.
    readMotion(s);
    if (s.spinUpMs > 0) {
        for (int i = 0, n = model.count(); i < n; ++i) {
            if (svdrives::Drive* d = model.drive(i)) d->startSpinUp(s.spinUpMs);
        }
    }
    return CDRIP3_OK;
}

int32_t CR_GetNumCDROM(void) {
    std::lock_guard lock(g_mutex);
    state();
    return DriveModel::instance().count();
}

int32_t CR_GetActiveCDROM(void) {
    std::lock_guard lock(g_mutex);
    return state().active;
}

void CR_SetActiveCDROM(int32_t index) {
    std::lock_guard lock(g_mutex);
    State& s = state();
    svdrives::Drive* d = DriveModel::instance().drive(index);
    if (!d || index == s.active) return;
    s.active = index;
    s.activeName = d->name();
    s.tocValid = false;
}

const char* CR_GetCDROMIDByIndex(int32_t index) {
    std::lock_guard lock(g_mutex);
    State& s = state();
    svdrives::Drive* d = DriveModel::instance().drive(index);
    s.idBuffer = d ? d->name() : std::string();
    return s.idBuffer.c_str();
}

int32_t CR_IsUnitReady(void) {
    std::lock_guard lock(g_mutex);
    svdrives::Drive* d = activeDrive(state());
    // A drive becoming ready says so at once, rather than keep the window waiting.
    return d && !d->spinningUp() && d->unitReady() ? 1 : 0;
}

int32_t CR_ReadToc(void) {
    const auto lock = lockSpunUp();
    State& s = state();
    s.tocValid = false;
    s.toc = {};
    s.cdText.clear();
    svdrives::Drive* d = activeDrive(s);
    if (!d || !d->unitReady()) return CDRIP3_ERROR;
    svdrives::Toc toc;
    if (!d->readToc(&toc) || toc.tracks.empty()) return CDRIP3_ERROR;
    svdrives::CdText text = d->readCdText();
    // Text laid out along another table (the disc changed in between) is no text of this one.
    if (text.size() == toc.tracks.size() + 1) s.cdText = std::move(text);
    s.toc = std::move(toc);
    s.tocValid = true;
    return CDRIP3_OK;
}

const char* CR_GetCDText(int32_t track, int32_t field) {
    std::lock_guard lock(g_mutex);
    State& s = state();
    static_assert(CR_CDTEXT_TITLE == svdrives::kTextTitle &&
                  CR_CDTEXT_PERFORMER == svdrives::kTextPerformer &&
                  CR_CDTEXT_SONGWRITER == svdrives::kTextSongwriter &&
                  CR_CDTEXT_GENRE == svdrives::kTextGenre && CR_CDTEXT_DATE == svdrives::kTextDate);
    if (!s.tocValid || track < 0 || size_t(track) >= s.cdText.size() || field < 0 ||
        field >= svdrives::kTextFields) {
        return "";
    }
    return s.cdText[size_t(track)][size_t(field)].c_str();
}

int32_t CR_GetNumTocEntries(void) {
    std::lock_guard lock(g_mutex);
    State& s = state();
    return s.tocValid ? int32_t(s.toc.tracks.size()) : 0;
}

int32_t CR_GetTocEntry2(int32_t index, CR_TOCENTRY* entry) {
    std::lock_guard lock(g_mutex);
    State& s = state();
    if (!entry) return CDRIP3_ERROR;
    *entry = CR_TOCENTRY{};
    const int32_t n = s.tocValid ? int32_t(s.toc.tracks.size()) : 0;
    if (index < 0 || index > n || n == 0) return CDRIP3_ERROR;
    if (index == n) {
        entry->dwStartSector = s.toc.leadOut;
        entry->btTrackNumber = 0xAA;
        entry->btSession = s.toc.tracks.back().session;
        return CDRIP3_OK;
    }
    const svdrives::TocTrack& t = s.toc.tracks[size_t(index)];
    entry->dwStartSector = t.startSector;
    entry->btFlag = t.data ? 4 : 0;
    entry->btTrackNumber = t.number;
    entry->btSession = t.session;
    return CDRIP3_OK;
}

namespace {
int32_t openRipper(int32_t* bufferSize, int32_t firstSector, int32_t lastSector, bool applyOffset) {
    const auto lock = lockSpunUp();
    State& s = state();
    if (s.ripper) return CDRIP3_RIPPING_INPROGRESS;
    svdrives::Drive* d = activeDrive(s);
    CR_DRIVEPARAMS* p = activeParams(s);
    if (!bufferSize || !d || !p || firstSector < 0 || lastSector < firstSector) return CDRIP3_ERROR;
    if (!d->unitReady()) return CDRIP3_NOT_READY;
    svdrives::Toc toc;
    if (!d->readToc(&toc) || uint32_t(lastSector) >= toc.leadOut) return CDRIP3_ERROR;
    const svdrives::ReadSettings settings = readSettings(*p);
    const int64_t shift = applyOffset ? int64_t(s.readOffsetOf(d->name())) * kSampleBytes : 0;
    const int64_t wantFirst = floorDiv(int64_t(firstSector) * kSector + shift, kSector);
    const int64_t wantLast = floorDiv((int64_t(lastSector) + 1) * kSector + shift - 1, kSector);
    const int64_t readFirst = std::max<int64_t>(wantFirst, 0);
    const int64_t readLast =
        std::min<int64_t>(wantLast, int64_t(readableEnd(toc, uint32_t(lastSector))) - 1);
    std::unique_ptr<svdrives::SectorReader> reader;
    if (readFirst <= readLast) {
        reader = d->openReader(uint32_t(readFirst), uint32_t(readLast), settings);
        if (!reader) return CDRIP3_ERROR;
    }
    auto r = std::make_shared<Ripper>();
    r->range = std::make_unique<ShiftedRange>(std::move(reader), uint32_t(firstSector), shift,
                                              uint32_t(readFirst),
                                              uint32_t(std::max(readLast, int64_t(0))));
    r->sectorsPerRead = settings.sectorsPerRead;
    r->total = uint64_t(lastSector) - uint64_t(firstSector) + 1;
    s.ripper = std::move(r);
    *bufferSize = settings.sectorsPerRead * svdrives::kSectorBytes;
    return CDRIP3_OK;
}
}  // namespace

int32_t CR_OpenRipper(int32_t* bufferSize, int32_t firstSector, int32_t lastSector) {
    return openRipper(bufferSize, firstSector, lastSector, true);
}

int32_t CR_OpenRawRipper(int32_t* bufferSize, int32_t firstSector, int32_t lastSector) {
    return openRipper(bufferSize, firstSector, lastSector, false);
}

int32_t CR_RipChunk(uint8_t* buffer, int32_t* bytesRead, int32_t* abort) {
    std::shared_ptr<Ripper> held;
    {
        std::lock_guard lock(g_mutex);
        State& s = state();
        if (bytesRead) *bytesRead = 0;
        if (!s.ripper) return CDRIP3_NO_RIPPER;
        if (!buffer || !bytesRead) return CDRIP3_ERROR;
        held = s.ripper;
    }
    Ripper& r = *held;
    std::lock_guard readLock(r.readMutex);
    // The caller may set *abort from another thread while the chunk is read: the reader
    // looks at it between sectors, so a cancel does not wait for a slow chunk to end.
    if (abort && std::atomic_ref<int32_t>(*abort).load(std::memory_order_relaxed) != 0)
        r.finished = true;
    if (r.delivered == r.total) r.finished = true;
    if (r.finished) return CDRIP3_RIPPING_DONE;
    int sectors = 0;
    const int wanted = int(std::min<uint64_t>(uint64_t(r.sectorsPerRead), r.total - r.delivered));
    const svdrives::ReadResult result = r.range->read(buffer, wanted, abort, &sectors);
    switch (result) {
        case svdrives::ReadResult::Ok:
        case svdrives::ReadResult::Jitter:
            if (sectors <= 0) {
                r.finished = true;
                return CDRIP3_RIPPING_DONE;
            }
            r.delivered += uint64_t(sectors);
            *bytesRead = sectors * svdrives::kSectorBytes;
            return result == svdrives::ReadResult::Ok ? CDRIP3_OK : CDRIP3_JITTER_ERROR;
        case svdrives::ReadResult::NotReady:
            return CDRIP3_NOT_READY;
        case svdrives::ReadResult::OutOfRange:
        case svdrives::ReadResult::IoError:
            break;
    }
    return CDRIP3_ERROR;
}

int32_t CR_GetPercentCompleted(void) {
    std::lock_guard lock(g_mutex);
    State& s = state();
    if (!s.ripper || s.ripper->total == 0) return 0;
    return int32_t(std::min<uint64_t>(100, s.ripper->delivered * 100 / s.ripper->total));
}

int32_t CR_CloseRipper(void) {
    std::lock_guard lock(g_mutex);
    State& s = state();
    if (!s.ripper) return CDRIP3_NO_RIPPER;
    s.ripper.reset();
    return CDRIP3_OK;
}

int32_t CR_GetCDROMParameters(CR_DRIVEPARAMS* params) {
    std::lock_guard lock(g_mutex);
    CR_DRIVEPARAMS* p = activeParams(state());
    if (!params || !p) return CDRIP3_ERROR;
    *params = *p;
    return CDRIP3_OK;
}

int32_t CR_SetCDROMParameters(const CR_DRIVEPARAMS* params) {
    std::lock_guard lock(g_mutex);
    State& s = state();
    svdrives::Drive* d = activeDrive(s);
    if (!params || !d) return CDRIP3_ERROR;
    CR_DRIVEPARAMS p = *params;
    clampAndName(&p, d->name());
    s.params[d->name()] = p;
    return CDRIP3_OK;
}

int32_t CR_GetReadOffset(void) {
    std::lock_guard lock(g_mutex);
    State& s = state();
    svdrives::Drive* d = activeDrive(s);
    if (!d) return 0;
    return s.readOffsetOf(d->name());
}

int32_t CR_SetReadOffset(int32_t samples) {
    return CR_SetReadOffsetFrom(samples, CDRIP3_OFFSET_FROM_USER);
}

int32_t CR_GetReadOffsetFrom(void) {
    std::lock_guard lock(g_mutex);
    State& s = state();
    svdrives::Drive* d = activeDrive(s);
    if (!d) return CDRIP3_OFFSET_FROM_NONE;
    const auto it = s.readOffsets.find(d->name());
    return it == s.readOffsets.end() ? CDRIP3_OFFSET_FROM_NONE : it->second.from;
}

int32_t CR_SetReadOffsetFrom(int32_t samples, int32_t from) {
    std::lock_guard lock(g_mutex);
    State& s = state();
    svdrives::Drive* d = activeDrive(s);
    if (!d || from < CDRIP3_OFFSET_FROM_NONE || from > CDRIP3_OFFSET_FROM_DETECTED)
        return CDRIP3_ERROR;
    if (from == CDRIP3_OFFSET_FROM_NONE)
        s.readOffsets.erase(d->name());
    else
        s.readOffsets[d->name()] = {int32_t(clampReadOffset(samples)), from};
    return CDRIP3_OK;
}

int32_t CR_GetDriveIdentity(CR_DRIVEIDENTITY* identity) {
    std::lock_guard lock(g_mutex);
    if (identity) *identity = CR_DRIVEIDENTITY{};
    svdrives::Drive* d = activeDrive(state());
    if (!identity || !d) return CDRIP3_ERROR;
    const svdrives::DriveIdentity id = d->identity();
    // The drive model cuts the fields to these sizes already; the copies hold to them anyway.
    const auto put = [](char* to, size_t size, const std::string& text) {
        memcpy(to, text.data(), std::min(text.size(), size - 1));
    };
    put(identity->vendor, sizeof identity->vendor, id.vendor);
    put(identity->product, sizeof identity->product, id.product);
    put(identity->revision, sizeof identity->revision, id.revision);
    return CDRIP3_OK;
}

int32_t CR_SaveSettings(void) {
    std::lock_guard lock(g_mutex);
    State& s = state();
    if (s.settingsPath.empty()) {
        errno = ENOENT;
        return CDRIP3_FILEOPEN_ERROR;
    }
    return cdrip3::writeFileAtomically(s.settingsPath, settingsText(s)) ? CDRIP3_OK
                                                                        : CDRIP3_FILEOPEN_ERROR;
}

const char* CR_GetSettingsFileName(void) {
    std::lock_guard lock(g_mutex);
    return state().settingsPath.c_str();
}

void CR_StopPlayTrack(void) {
    std::lock_guard lock(g_mutex);
    if (svdrives::Drive* d = activeDrive(state())) d->stopAudio();
}

void CR_LockCD(int32_t lock) {
    std::lock_guard guard(g_mutex);
    if (svdrives::Drive* d = activeDrive(state())) d->lock(lock != 0);
}

void CR_EjectCD(int32_t open) {
    int index = 0;
    int trayMs = 0;
    {
        std::lock_guard lock(g_mutex);
        State& s = state();
        readMotion(s);
        if (!activeDrive(s)) return;
        index = s.active;
        trayMs = s.trayMs;
    }
    // The tray's mechanics take their time without the lock: the window's calls answer
    // while it moves.
    if (trayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(trayMs));
    svdrives::Drive* d = nullptr;
    {
        std::lock_guard lock(g_mutex);
        State& s = state();
        d = DriveModel::instance().drive(index);
        if (!d) return;
        if (s.active == index) s.tocValid = false;
        // Before the arrival is told, so a listener that asks at once hears "not ready".
        if (!open) d->startSpinUp(s.spinUpMs);
    }
    // Without the lock too: a listener told of the new disc that reads it at once waits
    // for its spin-up, and must not keep the other calls waiting meanwhile.
    d->eject(open != 0);
    if (open) {
        // A table read after the lock was let go and before the tray opened is of a disc
        // that is gone now.
        std::lock_guard lock(g_mutex);
        State& s = state();
        if (s.active == index) s.tocValid = false;
    }
}

void CR_SetMediaNotify(CR_MEDIANOTIFY callback, void* context) {
    std::lock_guard lock(g_mutex);
    State& s = state();
    DriveModel& model = DriveModel::instance();
    if (s.listenerId) model.removeMediaListener(s.listenerId);
    s.listenerId = 0;
    if (!callback) return;
    s.listenerId = model.addMediaListener([callback, context](int index, bool arrived) {
        callback(int32_t(index), arrived ? 1 : 0, context);
    });
}

}  // extern "C"
