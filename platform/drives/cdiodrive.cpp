// Drives read through libcdio: real drives, and whatever else libcdio's drivers open
// (its bin/cue image driver lets this backend run without hardware). Audio goes through
// libcdio-paranoia.
#include <cdio/cdio.h>
// after cdio.h, which defines the types it uses
#include <cdio/audio.h>
#include <cdio/cdtext.h>
#include <cdio/mmc.h>
#include <cdio/mmc_ll_cmds.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "backends.h"
#include "faults.h"
#include "textencoding.h"

namespace svdrives::detail {
namespace {

constexpr int kDefaultRetries = 20;

// ---------------------------------------------------------------------------------------
// Every read paranoia makes of a drive passes through readThroughHook, for two reasons.
//
// A read budget. libcdio-paranoia bounds its retries by progress: as long as its read-ahead
// verifies new audio further on, it starts counting afresh. A sector it cannot read at
// the very start of what it was asked for (a bad first sector of a track, a drive that
// stopped answering) then never ends its retries, and the rip hangs. Where it does give
// up, its skip can misplace the audio that follows (a bad sector 0 made it hand out
// stale read-ahead for the rest of the disc, unreported). So paranoia is never left to
// give up by itself: once it has spent half its retries on one sector, whatever the
// drive fails to deliver is read sector by sector, the unreadable ones handed over as
// silence and remembered, and the reader reports them as unverified. The damage is then
// the unreadable sectors and nothing else.
//
// Faults (CDRIP3_FAULTS), injected where the drive's reads enter paranoia, so its own
// verification, retries and skipping meet them as they would meet a bad disc or drive.

using ReadAudioFn = long (*)(cdrom_drive_t*, void*, lsn_t, long);

// Failed reads for one returned sector before the budget is spent: paranoia gives up by
// itself after about one failed read per retry, so half of them.
unsigned readBudget(int retries, bool paranoiaOff) {
    // Without paranoia nothing retries: a failed read would lose its readable neighbours.
    return paranoiaOff ? 0 : unsigned(retries) / 2;
}

// What the reader reading on this thread asks of the drive.
struct ReadScope {
    const FaultPlan* plan = nullptr;
    const SectorReader* reader = nullptr;  // set with the scope: its abort ends a stall's wait
    unsigned budget = 0;                   // failed reads allowed for one sector
    unsigned failedThisCall = 0;           // failed reads for the sector being read
    std::set<uint32_t> filled;             // sectors handed over as silence
    bool dead = false;                     // the drive stopped answering (a stall)
    unsigned jitterReads = 0;              // picks the next shift
    FlakyReads* flakyReads = nullptr;      // the drive's, as its reads deliver them
};
thread_local ReadScope* t_scope = nullptr;

std::mutex g_readHooksMutex;
std::map<cdrom_drive_t*, ReadAudioFn>& readHooks() {
    static std::map<cdrom_drive_t*, ReadAudioFn> hooks;
    return hooks;
}

ReadAudioFn originalRead(cdrom_drive_t* d) {
    std::lock_guard lock(g_readHooksMutex);
    auto it = readHooks().find(d);
    return it == readHooks().end() ? nullptr : it->second;
}

// A drive that does not hold its position delivers each read a few frames early or late,
// by a different amount every time; paranoia has to notice it by comparing overlapping
// reads. Offsets in stereo frames.
constexpr int kJitterShifts[] = {7, -13, 3, -5, 11, -2};

long shiftedRead(ReadAudioFn read, cdrom_drive_t* d, void* p, lsn_t begin, long sectors,
                 int shiftFrames) {
    // One sector more on the side the shift reaches into, in two reads: the drive takes
    // no more sectors per read than paranoia asks for.
    const lsn_t from = shiftFrames < 0 ? begin - 1 : begin;
    std::vector<uint8_t> tmp(size_t(sectors + 1) * CDIO_CD_FRAMESIZE_RAW);
    if (from < 0 || read(d, tmp.data(), from, sectors) != sectors ||
        read(d, tmp.data() + size_t(sectors) * CDIO_CD_FRAMESIZE_RAW, from + lsn_t(sectors), 1) !=
            1) {
        return read(d, p, begin, sectors);  // at the disc's edges: an exact read
    }
    const long offset = (shiftFrames < 0 ? CDIO_CD_FRAMESIZE_RAW : 0) + shiftFrames * 4;
    memcpy(p, tmp.data() + offset, size_t(sectors) * CDIO_CD_FRAMESIZE_RAW);
    return sectors;
}

// The drive as the fault plan makes it: the sectors delivered, or -1.
long driveRead(ReadScope& scope, ReadAudioFn read, cdrom_drive_t* d, void* p, lsn_t begin,
               long sectors) {
    if (scope.dead) return -1;
    if (!scope.plan || scope.plan->empty()) return read(d, p, begin, sectors);
    const FaultPlan& plan = *scope.plan;
    const uint32_t first = uint32_t(begin);
    const uint32_t count = uint32_t(sectors);
    // A stall or an unreadable sector ends the read there: the sectors before it arrive,
    // the rest do not.
    int64_t stop = plan.firstUnreadable(first, count);
    if (const FaultPlan::Stall* stall = plan.firstStallIn(first, count)) {
        scope.dead = true;
        // An abort ends the wait: the read fails at once and the rip is over.
        scope.reader->abortableSleep(stall->milliseconds);
        if (stop < 0 || int64_t(stall->sector) < stop) stop = stall->sector;
    }
    if (stop >= 0) {
        const long good = long(stop - int64_t(first));
        return good > 0 ? read(d, p, begin, good) : -1;
    }
    long got;
    if (p && plan.jitterIn(first, count)) {
        const size_t n = sizeof kJitterShifts / sizeof kJitterShifts[0];
        got = shiftedRead(read, d, p, begin, sectors, kJitterShifts[scope.jitterReads++ % n]);
    } else {
        got = read(d, p, begin, sectors);
    }
    // Every read the drive delivers counts, paranoia's re-reads too: it is the drive that
    // is flaky, not the rip.
    if (p && got > 0 && scope.flakyReads)
        scope.flakyReads->deliver(plan, first, uint32_t(got), static_cast<uint8_t*>(p));
    return got;
}

long readThroughHook(cdrom_drive_t* d, void* p, lsn_t begin, long sectors) {
    const ReadAudioFn read = originalRead(d);
    if (!read) return -1;
    ReadScope* scope = t_scope;
    if (!scope || begin < 0 || sectors <= 0) return read(d, p, begin, sectors);
    const long got = driveRead(*scope, read, d, p, begin, sectors);
    // Without a buffer paranoia only moves the drive's head, to empty its cache.
    if (got == sectors || !p || ++scope->failedThisCall <= scope->budget) return got;
    // Sector by sector, so the readable ones still arrive.
    auto* out = static_cast<uint8_t*>(p);
    for (long i = std::max(got, 0L); i < sectors; ++i) {
        uint8_t* at = out + size_t(i) * CDIO_CD_FRAMESIZE_RAW;
        if (driveRead(*scope, read, d, at, begin + lsn_t(i), 1) != 1) {
            memset(at, 0, CDIO_CD_FRAMESIZE_RAW);
            scope->filled.insert(uint32_t(begin + lsn_t(i)));
        }
    }
    return sectors;
}

void hookReads(cdrom_drive_t* d) {
    std::lock_guard lock(g_readHooksMutex);
    if (d->read_audio == readThroughHook) return;
    readHooks()[d] = d->read_audio;
    d->read_audio = readThroughHook;
}

void unhookReads(cdrom_drive_t* d) {
    std::lock_guard lock(g_readHooksMutex);
    readHooks().erase(d);
}

// ---------------------------------------------------------------------------------------

// One opening of the device. Readers keep the handle they started on alive, so closing
// the drive (medium change, eject) never pulls libcdio objects out from under them; they
// notice the drive moved on and stop.
struct Handle {
    CdIo_t* cdio = nullptr;
    cdrom_drive_t* cdda = nullptr;  // made on the first read
    ~Handle() {
        if (cdda) unhookReads(cdda);
        if (cdda) cdio_cddap_close_no_free_cdio(cdda);
        if (cdio) cdio_destroy(cdio);
    }
};

struct CdioState {
    std::mutex mutex;  // libcdio objects of this drive are used by one thread at a time
    std::shared_ptr<Handle> current;
    bool removed = false;   // a fault took the disc out; it stays out until the tray closes
    FlakyReads flakyReads;  // of this drive's every reader, for as long as the drive exists
};

// Where paranoia gave up. Its callback reports positions, and it verifies ahead of the
// sector it hands out, so a give-up is often reported while an earlier sector is being
// read: flagging the sector then in hand would mark the wrong chunk and let the damaged
// one pass as exact. The positions are kept and the flag goes with the sectors they name.
struct GiveUps {
    // Stretches [first, last] that paranoia skipped. A skip is reported once, where it
    // starts; the failed reads around it (reported before it too, while paranoia read
    // ahead) show how far it reaches, and paranoia lets it run on a little past the last.
    std::vector<std::pair<uint32_t, uint32_t>> stretches;
    std::set<uint32_t> readErrors;

    static constexpr uint32_t kTail = 32;  // sectors

    void skip(uint32_t sector) {
        stretches.emplace_back(sector, sector);
        extend(stretches.back());
    }
    void readError(uint32_t sector) {
        readErrors.insert(sector);
        for (auto& s : stretches) extend(s);
    }
    // Takes in the failed reads that continue the stretch.
    void extend(std::pair<uint32_t, uint32_t>& s) {
        for (auto it = readErrors.upper_bound(s.second);
             it != readErrors.end() && uint64_t(*it) <= uint64_t(s.second) + kTail; ++it) {
            s.second = *it;
        }
    }
    bool covers(uint32_t sector) const {
        for (const auto& [first, last] : stretches) {
            if (sector >= first && uint64_t(sector) <= uint64_t(last) + kTail) return true;
        }
        return false;
    }
    void forgetBefore(uint32_t sector) {
        std::erase_if(stretches,
                      [&](const auto& s) { return uint64_t(s.second) + kTail < sector; });
        readErrors.erase(readErrors.begin(), readErrors.lower_bound(sector));
    }
};

// libcdio-paranoia's callback carries no context; a reader runs on one thread at a time,
// so the reader whose sector is being read is named with the thread.
thread_local GiveUps* t_giveUps = nullptr;

void paranoiaCallback(long pos, paranoia_cb_mode_t mode) {
    if (!t_giveUps || pos < 0) return;
    const uint32_t sector = uint32_t(pos / (CDIO_CD_FRAMESIZE_RAW / 2));
    if (mode == PARANOIA_CB_SKIP) t_giveUps->skip(sector);
    if (mode == PARANOIA_CB_READERR) t_giveUps->readError(sector);
}

class CdioReader final : public SectorReader {
public:
    CdioReader(int driveIndex, std::shared_ptr<CdioState> state, std::shared_ptr<Handle> handle,
               cdrom_paranoia_t* paranoia, bool paranoiaOff, uint32_t first, uint32_t last,
               int retries, FaultPlan faults)
        : driveIndex_(driveIndex),
          state_(std::move(state)),
          handle_(std::move(handle)),
          paranoia_(paranoia),
          faults_(std::move(faults)),
          pacer_(faults_.slowRate),
          retries_(retries),
          first_(first),
          last_(last),
          next_(first) {
        scope_.plan = &faults_;
        scope_.reader = this;
        scope_.flakyReads = &state_->flakyReads;
        scope_.budget = readBudget(retries, paranoiaOff);
    }

    ~CdioReader() override {
        std::lock_guard lock(state_->mutex);
        cdio_paranoia_free(paranoia_);
    }

    ReadResult read(uint8_t* out, int maxSectors, int* sectorsRead) override {
        if (sectorsRead) *sectorsRead = 0;
        if (!out || !sectorsRead || maxSectors <= 0) return ReadResult::IoError;
        bool unverified = false;
        int done = 0;
        while (done < maxSectors && next_ <= last_ && !aborted()) {
            if (!faults_.empty() && faults_.removalAt(uint32_t(next_))) takeDiscOut();
            pacer_.takeSector();  // outside the lock: a slow drive keeps its state answering
            // Locked per sector, not per chunk: a sector's retries are the longest anyone
            // asking the drive for its state has to wait.
            std::lock_guard lock(state_->mutex);
            if (state_->current != handle_) {
                if (done > 0) break;  // deliver what was read; the next call reports it
                return ReadResult::NotReady;
            }
            // A drive that stopped answering is given up on, rather than letting paranoia
            // skip sector after sector of silence to the end of the track.
            if (scope_.dead) {
                if (done > 0) break;
                return ReadResult::IoError;
            }
            t_giveUps = &giveUps_;
            t_scope = &scope_;
            scope_.failedThisCall = 0;
            const int16_t* samples =
                cdio_paranoia_read_limited(paranoia_, paranoiaCallback, retries_);
            t_scope = nullptr;
            t_giveUps = nullptr;
            if (!samples || scope_.dead) {
                // A read given up because the rip was aborted is the rip's end, not a fault.
                if (done > 0 || aborted()) break;
                return ReadResult::IoError;
            }
            memcpy(out + size_t(done) * kSectorBytes, samples, kSectorBytes);
            const uint32_t sector = uint32_t(next_);
            unverified = unverified || giveUps_.covers(sector) || scope_.filled.count(sector);
            giveUps_.forgetBefore(sector);
            scope_.filled.erase(scope_.filled.begin(), scope_.filled.upper_bound(sector));
            ++next_;
            ++done;
        }
        *sectorsRead = done;
        return unverified ? ReadResult::Jitter : ReadResult::Ok;
    }
    uint32_t firstSector() const override { return first_; }
    uint32_t lastSector() const override { return last_; }
    uint32_t nextSector() const override { return uint32_t(next_); }

private:
    // The disc goes as the drive reaches the sector: the medium-change path a real drive
    // takes, and a notice as the image drives give one.
    void takeDiscOut() {
        bool took = false;
        {
            std::lock_guard lock(state_->mutex);
            if (state_->current == handle_) {
                state_->current.reset();
                state_->removed = true;
                took = true;
            }
        }
        if (took) DriveModel::instance().notifyMedia(driveIndex_, false);
    }

    int driveIndex_;
    std::shared_ptr<CdioState> state_;
    std::shared_ptr<Handle> handle_;
    cdrom_paranoia_t* paranoia_;
    const FaultPlan faults_;
    Pacer pacer_;
    ReadScope scope_;
    GiveUps giveUps_;
    int retries_;
    uint32_t first_, last_;
    uint64_t next_;
};

class CdioDrive final : public Drive {
public:
    CdioDrive(int index, std::string name, std::string path, DriveIdentity identity)
        : index_(index),
          name_(std::move(name)),
          path_(std::move(path)),
          identity_(std::move(identity)),
          state_(std::make_shared<CdioState>()) {}

    std::string name() const override { return name_; }
    bool isImage() const override { return false; }
    DriveIdentity identity() const override { return identity_; }

    bool unitReady() override {
        std::lock_guard lock(state_->mutex);
        return readyLocked() != nullptr;
    }

    bool readToc(Toc* toc) override {
        std::lock_guard lock(state_->mutex);
        Handle* h = readyLocked();
        if (!h) return false;
        Toc t;
        if (!tocLocked(h->cdio, &t)) return false;
        if (toc) *toc = std::move(t);
        return true;
    }

    // libcdio reads the disc's CD-Text once per opening and keeps it with the handle. Its
    // current language block is the disc's first (its default) unless selected otherwise,
    // which nothing here does. It converts the text to UTF-8 itself where it can; text it
    // could not convert is taken as Latin-1. cdtext_get_const, not cdtext_get: libcue
    // exports a function of that name too (see discimage.cpp).
    CdText readCdText() override {
        std::lock_guard lock(state_->mutex);
        Handle* h = readyLocked();
        Toc toc;
        if (!h || !tocLocked(h->cdio, &toc)) return {};
        const cdtext_t* text = cdio_get_cdtext(h->cdio);
        if (!text) return {};
        static constexpr cdtext_field_t kFields[kTextFields] = {
            CDTEXT_FIELD_TITLE, CDTEXT_FIELD_PERFORMER, CDTEXT_FIELD_SONGWRITER,
            CDTEXT_FIELD_GENRE, CDTEXT_FIELD_INVALID,  // CD-Text has no date
        };
        CdText out(toc.tracks.size() + 1);
        bool any = false;
        for (size_t i = 0; i < out.size(); ++i) {
            const track_t number = i == 0 ? 0 : toc.tracks[i - 1].number;
            for (int f = 0; f < kTextFields; ++f) {
                // Genre belongs to the disc.
                if (kFields[f] == CDTEXT_FIELD_INVALID || (i > 0 && f == kTextGenre)) continue;
                const char* value = cdtext_get_const(text, kFields[f], number);
                if (!value || !value[0]) continue;
                out[i][size_t(f)] = asUtf8(value);
                any = true;
            }
        }
        if (!any) out.clear();
        return out;
    }

    std::unique_ptr<SectorReader> openReader(uint32_t first, uint32_t last,
                                             const ReadSettings& settings) override {
        std::lock_guard lock(state_->mutex);
        Handle* h = readyLocked();
        Toc toc;
        if (!h || !tocLocked(h->cdio, &toc) || first > last || last >= toc.leadOut) {
            return nullptr;
        }
        if (!h->cdda) {
            cdrom_drive_t* d = cdio_cddap_identify_cdio(h->cdio, CDDA_MESSAGE_FORGETIT, nullptr);
            if (!d) return nullptr;
            // Drives deliver CD-DA little-endian. Left undecided, libcdio-paranoia guesses
            // from the first audio it reads, and a quiet or synthetic start fools it.
            d->bigendianp = 0;
            if (cdio_cddap_open(d) != 0) {
                cdio_cddap_close_no_free_cdio(d);
                return nullptr;
            }
            h->cdda = d;
        }
        FaultPlan faults = FaultPlan::fromEnvironment();
        hookReads(h->cdda);
        if (settings.readSpeed > 0) cdio_cddap_speed_set(h->cdda, settings.readSpeed);
        cdrom_paranoia_t* p = cdio_paranoia_init(h->cdda);
        if (!p) return nullptr;
        const int mode = settings.paranoia ? settings.paranoiaMode : PARANOIA_MODE_DISABLE;
        cdio_paranoia_modeset(p, mode);
        cdio_paranoia_seek(p, int32_t(first), SEEK_SET);
        const int retries = settings.retries > 0 ? settings.retries : kDefaultRetries;
        return std::make_unique<CdioReader>(index_, state_, state_->current, p,
                                            mode == PARANOIA_MODE_DISABLE, first, last, retries,
                                            std::move(faults));
    }

    void eject(bool open) override {
        {
            std::lock_guard lock(state_->mutex);
            state_->current.reset();
            if (!open) state_->removed = false;
        }
        if (open) {
            cdio_eject_media_drive(path_.c_str());
        } else {
            driver_id_t driver = DRIVER_DEVICE;
            cdio_close_tray(path_.c_str(), &driver);
        }
    }

    void lock(bool locked) override {
        std::lock_guard lock(state_->mutex);
        if (Handle* h = openLocked()) {
            mmc_prevent_allow_medium_removal(h->cdio, false, locked, 0);
        }
    }

    void stopAudio() override {
        std::lock_guard lock(state_->mutex);
        if (Handle* h = openLocked()) cdio_audio_stop(h->cdio);
    }

private:
    Handle* openLocked() {
        if (state_->current && cdio_get_media_changed(state_->current->cdio) == 1) {
            state_->current.reset();  // libcdio keeps the old disc's TOC: start over
        }
        if (!state_->current) {
            CdIo_t* cdio = cdio_open(path_.c_str(), DRIVER_UNKNOWN);
            if (!cdio) return nullptr;
            state_->current = std::make_shared<Handle>();
            state_->current->cdio = cdio;
        }
        return state_->current.get();
    }

    Handle* readyLocked() {
        if (state_->removed) return nullptr;
        Handle* h = openLocked();
        if (!h) return nullptr;
        const driver_return_code_t rc = mmc_test_unit_ready(h->cdio, 0);
        if (rc == DRIVER_OP_SUCCESS) return h;
        if (rc == DRIVER_OP_UNSUPPORTED || rc == DRIVER_OP_NO_DRIVER) {
            // Not an MMC device (an image through libcdio): ready when it has tracks.
            if (cdio_get_num_tracks(h->cdio) != CDIO_INVALID_TRACK) return h;
        }
        state_->current.reset();
        return nullptr;
    }

    static bool tocLocked(CdIo_t* cdio, Toc* toc) {
        const track_t first = cdio_get_first_track_num(cdio);
        const track_t count = cdio_get_num_tracks(cdio);
        if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0 ||
            first + count - 1 > 99) {
            return false;
        }
        // libcdio reports where the last session starts; tracks from there on are in it.
        lsn_t lastSession = 0;
        const bool multiSession =
            cdio_get_last_session(cdio, &lastSession) == DRIVER_OP_SUCCESS && lastSession > 0;
        for (track_t i = first; i < first + count; ++i) {
            const lsn_t lsn = cdio_get_track_lsn(cdio, i);
            const track_format_t format = cdio_get_track_format(cdio, i);
            if (lsn == CDIO_INVALID_LSN || lsn < 0 || format == TRACK_FORMAT_ERROR) return false;
            TocTrack t;
            t.number = i;
            t.data = format != TRACK_FORMAT_AUDIO;
            t.startSector = uint32_t(lsn);
            t.session = multiSession && lsn >= lastSession ? 2 : 1;
            toc->tracks.push_back(t);
        }
        const lsn_t leadOut = cdio_get_track_lsn(cdio, CDIO_CDROM_LEADOUT_TRACK);
        if (leadOut == CDIO_INVALID_LSN || leadOut <= lsn_t(toc->tracks.back().startSector)) {
            return false;
        }
        toc->leadOut = uint32_t(leadOut);
        return true;
    }

    int index_;
    std::string name_;
    std::string path_;
    DriveIdentity identity_;
    std::shared_ptr<CdioState> state_;
};

std::string trimmed(const char* s) {
    std::string out(s);
    while (!out.empty() && out.back() == ' ') out.pop_back();
    while (!out.empty() && out.front() == ' ') out.erase(0, 1);
    return out;
}

}  // namespace

std::unique_ptr<Drive> makeCdioDrive(int index, std::string name, std::string devicePath,
                                     DriveIdentity identity) {
    return std::make_unique<CdioDrive>(index, std::move(name), std::move(devicePath),
                                       std::move(identity));
}

std::vector<std::string> cdioDevicePaths() {
    std::vector<std::string> out;
    char** list = cdio_get_devices(DRIVER_DEVICE);
    if (!list) return out;
    for (char** p = list; *p; ++p) out.emplace_back(*p);
    cdio_free_device_list(list);
    return out;
}

DriveIdentity cdioDriveIdentity(const std::string& devicePath) {
    DriveIdentity identity;
    if (CdIo_t* cdio = cdio_open(devicePath.c_str(), DRIVER_UNKNOWN)) {
        cdio_hwinfo_t hw{};
        if (cdio_get_hwinfo(cdio, &hw)) {
            // INQUIRY's fields are 8, 16 and 4 bytes; a driver may say more.
            identity.vendor = cutUtf8(trimmed(hw.psz_vendor), 8);
            identity.product = cutUtf8(trimmed(hw.psz_model), 16);
            identity.revision = cutUtf8(trimmed(hw.psz_revision), 4);
        }
        cdio_destroy(cdio);
    }
    return identity;
}

std::string cdioDriveName(const DriveIdentity& identity, const std::string& devicePath) {
    const std::string& vendor = identity.vendor;
    const std::string& product = identity.product;
    const std::string model = vendor.empty()    ? product
                              : product.empty() ? vendor
                                                : vendor + " " + product;
    return (model.empty() ? std::string("CD drive") : model) + " (" + devicePath + ")";
}

}  // namespace svdrives::detail
