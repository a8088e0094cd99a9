// Disc-image drives: a cue sheet plays the disc, a flag plays the tray.
#include <sys/stat.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "backends.h"
#include "discimage.h"
#include "faults.h"
#include "textencoding.h"

namespace svdrives::detail {
namespace {

// Shared between the drive and its readers, so a reader outliving a model reset (or
// racing an eject on another thread) never touches freed state.
struct ImageState {
    explicit ImageState(int driveIndex) : index(driveIndex) {}
    const int index;  // what the media listeners are told
    std::mutex mutex;
    bool trayOpen = false;
    uint64_t insertion = 0;  // bumped when the disc goes out; readers of an old one stop
    bool loaded = false;     // the sheet was parsed for the current insertion
    std::shared_ptr<const DiscImage> image;  // null when loading failed
    std::string error;
    FlakyReads flakyReads;  // of this drive's every reader, for as long as the drive exists

    // Takes the disc out; true when the tray moved. Listeners are told by the caller, with
    // the lock released, since they may call back into the drive.
    bool openTrayLocked() {
        if (trayOpen) return false;
        trayOpen = true;
        ++insertion;
        // The sheet is read afresh when the disc comes back: it may have changed.
        loaded = false;
        image.reset();
        error.clear();
        return true;
    }
};

void openTray(ImageState& state) {
    bool moved;
    {
        std::lock_guard lock(state.mutex);
        moved = state.openTrayLocked();
    }
    if (moved) DriveModel::instance().notifyMedia(state.index, false);
}

class ImageReader final : public SectorReader {
public:
    ImageReader(std::shared_ptr<ImageState> state, std::shared_ptr<const DiscImage> image,
                uint64_t insertion, uint32_t first, uint32_t last, FaultPlan faults)
        : state_(std::move(state)),
          image_(std::move(image)),
          faults_(std::move(faults)),
          pacer_(faults_.slowRate),
          insertion_(insertion),
          first_(first),
          last_(last),
          next_(first) {}

    ReadResult read(uint8_t* out, int maxSectors, int* sectorsRead) override {
        if (sectorsRead) *sectorsRead = 0;
        if (!out || !sectorsRead || maxSectors <= 0) return ReadResult::IoError;
        {
            std::lock_guard lock(state_->mutex);
            if (state_->trayOpen || state_->insertion != insertion_) return ReadResult::NotReady;
        }
        if (dead_) return ReadResult::IoError;
        if (next_ > last_ || aborted()) return ReadResult::Ok;
        uint32_t n = uint32_t(std::min<uint64_t>(uint64_t(maxSectors), last_ - next_ + 1));
        bool jitter = false;
        if (!faults_.empty()) {
            // A chunk stops short of a faulty sector, so everything before it is delivered;
            // the fault itself is met by the next call.
            const int64_t stop = faults_.firstStop(uint32_t(next_), n);
            if (stop == int64_t(next_)) return meetFault(uint32_t(next_));
            if (stop > int64_t(next_)) n = uint32_t(stop - int64_t(next_));
            jitter = faults_.jitterIn(uint32_t(next_), n);
        }
        if (!image_->read(uint32_t(next_), n, out)) {
            // A file cut short since the disc was read: deliver the sectors it still holds,
            // and meet the failure at the next call, rather than lose the whole chunk.
            uint32_t k = 0;
            while (k + 1 < n &&
                   image_->read(uint32_t(next_) + k, 1, out + size_t(k) * kSectorBytes))
                ++k;
            if (k == 0) return ReadResult::IoError;
            n = k;
            jitter = !faults_.empty() && faults_.jitterIn(uint32_t(next_), n);
        }
        // A slow drive hands the sectors over one by one, and stops at an abort with
        // those it has; a file read at full speed has nothing to wait for.
        for (uint32_t k = 0; pacer_.active() && k < n; ++k) {
            if (aborted()) {
                n = k;
                jitter = jitter && faults_.jitterIn(uint32_t(next_), n);
                break;
            }
            pacer_.takeSector();
        }
        // Counted as delivered, so a read cut short by an abort leaves the rest unread.
        state_->flakyReads.deliver(faults_, uint32_t(next_), n, out);
        next_ += n;
        *sectorsRead = int(n);
        // An image has no paranoia to correct a shifted read, so it reports the chunk as one
        // whose sectors could not be verified, with the exact audio.
        return jitter ? ReadResult::Jitter : ReadResult::Ok;
    }
    uint32_t firstSector() const override { return first_; }
    uint32_t lastSector() const override { return last_; }
    uint32_t nextSector() const override { return next_; }

private:
    ReadResult meetFault(uint32_t sector) {
        if (const FaultPlan::Stall* stall = faults_.stallAt(sector)) {
            // The drive stops answering: the read waits out the drive's timeout, then fails,
            // and so does every later read at once.
            dead_ = true;
            // An abort lets go of the stalled drive at once, as the end of the rip.
            if (abortableSleep(stall->milliseconds)) return ReadResult::Ok;
            return ReadResult::IoError;
        }
        if (faults_.removalAt(sector)) {
            openTray(*state_);
            return ReadResult::NotReady;
        }
        return ReadResult::IoError;  // unreadable
    }

    std::shared_ptr<ImageState> state_;
    std::shared_ptr<const DiscImage> image_;
    const FaultPlan faults_;
    Pacer pacer_;
    bool dead_ = false;
    uint64_t insertion_;
    uint32_t first_, last_;
    uint64_t next_;  // may step one past a last sector of 0xFFFFFFFF
};

class ImageDrive final : public Drive {
public:
    ImageDrive(int index, std::string name, std::string cuePath)
        : index_(index),
          name_(std::move(name)),
          cuePath_(std::move(cuePath)),
          state_(std::make_shared<ImageState>(index)) {}

    std::string name() const override { return name_; }
    bool isImage() const override { return true; }
    DriveIdentity identity() const override {
        const size_t slash = cuePath_.find_last_of('/');
        const std::string file = slash == std::string::npos ? cuePath_ : cuePath_.substr(slash + 1);
        return {"IMAGE", cutUtf8(file, 16), ""};
    }

    bool unitReady() override {
        std::lock_guard lock(state_->mutex);
        if (state_->trayOpen) return false;
        struct stat st {};
        return stat(cuePath_.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    }

    bool readToc(Toc* toc) override {
        std::lock_guard lock(state_->mutex);
        const DiscImage* image = loadLocked();
        if (!image) return false;
        if (toc) *toc = image->toc();
        return true;
    }

    CdText readCdText() override {
        std::lock_guard lock(state_->mutex);
        const DiscImage* image = loadLocked();
        return image ? image->cdText() : CdText();
    }

    std::unique_ptr<SectorReader> openReader(uint32_t first, uint32_t last,
                                             const ReadSettings&) override {
        std::lock_guard lock(state_->mutex);
        const DiscImage* image = loadLocked();
        if (!image || first > last || last >= image->toc().leadOut) return nullptr;
        return std::make_unique<ImageReader>(state_, state_->image, state_->insertion, first, last,
                                             FaultPlan::fromEnvironment());
    }

    void eject(bool open) override {
        if (open) {
            openTray(*state_);
            return;
        }
        {
            std::lock_guard lock(state_->mutex);
            if (!state_->trayOpen) return;
            state_->trayOpen = false;
        }
        DriveModel::instance().notifyMedia(index_, true);
    }

    void lock(bool) override {}
    void stopAudio() override {}

private:
    const DiscImage* loadLocked() {
        if (state_->trayOpen) return nullptr;
        if (!state_->loaded) {
            state_->image = DiscImage::load(cuePath_, &state_->error);
            state_->loaded = true;
        }
        return state_->image.get();
    }

    int index_;
    std::string name_;
    std::string cuePath_;
    std::shared_ptr<ImageState> state_;
};

}  // namespace

std::unique_ptr<Drive> makeImageDrive(int index, std::string name, std::string cuePath) {
    return std::make_unique<ImageDrive>(index, std::move(name), std::move(cuePath));
}

}  // namespace svdrives::detail
