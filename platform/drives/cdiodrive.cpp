// Drives read through libcdio: real drives, and whatever else libcdio's drivers open
// (its bin/cue image driver lets this backend run without hardware). Audio goes through
// libcdio-paranoia.
#include <cdio/cdio.h>
// after cdio.h, which defines the types it uses
#include <cdio/audio.h>
#include <cdio/mmc.h>
#include <cdio/mmc_ll_cmds.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <cstring>
#include <mutex>

#include "backends.h"

namespace svdrives::detail {
namespace {

constexpr int kDefaultRetries = 20;

// One opening of the device. Readers keep the handle they started on alive, so closing
// the drive (medium change, eject) never pulls libcdio objects out from under them; they
// notice the drive moved on and stop.
struct Handle {
    CdIo_t* cdio = nullptr;
    cdrom_drive_t* cdda = nullptr;  // made on the first read
    ~Handle() {
        if (cdda) cdio_cddap_close_no_free_cdio(cdda);
        if (cdio) cdio_destroy(cdio);
    }
};

struct CdioState {
    std::mutex mutex;  // libcdio objects of this drive are used by one thread at a time
    std::shared_ptr<Handle> current;
};

// libcdio-paranoia's callback carries no context; a reader runs on one thread at a time,
// so the flag of the sector being read lives with the thread.
thread_local bool t_unverified = false;

void paranoiaCallback(long, paranoia_cb_mode_t mode) {
    if (mode == PARANOIA_CB_SKIP || mode == PARANOIA_CB_READERR) t_unverified = true;
}

class CdioReader final : public SectorReader {
public:
    CdioReader(std::shared_ptr<CdioState> state, std::shared_ptr<Handle> handle,
               cdrom_paranoia_t* paranoia, uint32_t first, uint32_t last, int retries)
        : state_(std::move(state)),
          handle_(std::move(handle)),
          paranoia_(paranoia),
          retries_(retries),
          first_(first),
          last_(last),
          next_(first) {}

    ~CdioReader() override {
        std::lock_guard lock(state_->mutex);
        cdio_paranoia_free(paranoia_);
    }

    ReadResult read(uint8_t* out, int maxSectors, int* sectorsRead) override {
        if (sectorsRead) *sectorsRead = 0;
        if (!out || !sectorsRead || maxSectors <= 0) return ReadResult::IoError;
        bool unverified = false;
        int done = 0;
        while (done < maxSectors && next_ <= last_) {
            // Locked per sector, not per chunk: a sector's retries are the longest anyone
            // asking the drive for its state has to wait.
            std::lock_guard lock(state_->mutex);
            if (state_->current != handle_) {
                if (done > 0) break;  // deliver what was read; the next call reports it
                return ReadResult::NotReady;
            }
            t_unverified = false;
            const int16_t* samples =
                cdio_paranoia_read_limited(paranoia_, paranoiaCallback, retries_);
            if (!samples) {
                if (done > 0) break;
                return ReadResult::IoError;
            }
            memcpy(out + size_t(done) * kSectorBytes, samples, kSectorBytes);
            unverified = unverified || t_unverified;
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
    std::shared_ptr<CdioState> state_;
    std::shared_ptr<Handle> handle_;
    cdrom_paranoia_t* paranoia_;
    int retries_;
    uint32_t first_, last_;
    uint64_t next_;
};

class CdioDrive final : public Drive {
public:
    CdioDrive(std::string name, std::string path)
        : name_(std::move(name)), path_(std::move(path)), state_(std::make_shared<CdioState>()) {}

    std::string name() const override { return name_; }
    bool isImage() const override { return false; }

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
        if (settings.readSpeed > 0) cdio_cddap_speed_set(h->cdda, settings.readSpeed);
        cdrom_paranoia_t* p = cdio_paranoia_init(h->cdda);
        if (!p) return nullptr;
        cdio_paranoia_modeset(p, settings.paranoia ? settings.paranoiaMode : PARANOIA_MODE_DISABLE);
        cdio_paranoia_seek(p, int32_t(first), SEEK_SET);
        const int retries = settings.retries > 0 ? settings.retries : kDefaultRetries;
        return std::make_unique<CdioReader>(state_, state_->current, p, first, last, retries);
    }

    void eject(bool open) override {
        {
            std::lock_guard lock(state_->mutex);
            state_->current.reset();
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

    std::string name_;
    std::string path_;
    std::shared_ptr<CdioState> state_;
};

std::string trimmed(const char* s) {
    std::string out(s);
    while (!out.empty() && out.back() == ' ') out.pop_back();
    while (!out.empty() && out.front() == ' ') out.erase(0, 1);
    return out;
}

}  // namespace

std::unique_ptr<Drive> makeCdioDrive(int, std::string name, std::string devicePath) {
    return std::make_unique<CdioDrive>(std::move(name), std::move(devicePath));
}

std::vector<std::string> cdioDevicePaths() {
    std::vector<std::string> out;
    char** list = cdio_get_devices(DRIVER_DEVICE);
    if (!list) return out;
    for (char** p = list; *p; ++p) out.emplace_back(*p);
    cdio_free_device_list(list);
    return out;
}

std::string cdioDriveName(const std::string& devicePath) {
    std::string model;
    if (CdIo_t* cdio = cdio_open(devicePath.c_str(), DRIVER_UNKNOWN)) {
        cdio_hwinfo_t hw{};
        if (cdio_get_hwinfo(cdio, &hw)) {
            const std::string vendor = trimmed(hw.psz_vendor);
            const std::string product = trimmed(hw.psz_model);
            model = vendor.empty() ? product : product.empty() ? vendor : vendor + " " + product;
        }
        cdio_destroy(cdio);
    }
    return (model.empty() ? std::string("CD drive") : model) + " (" + devicePath + ")";
}

}  // namespace svdrives::detail
