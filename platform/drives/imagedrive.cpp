// Disc-image drives: a cue sheet plays the disc, a flag plays the tray.
#include <sys/stat.h>

#include <mutex>

#include "backends.h"
#include "discimage.h"

namespace svdrives::detail {
namespace {

// Shared between the drive and its readers, so a reader outliving a model reset (or
// racing an eject on another thread) never touches freed state.
struct ImageState {
    std::mutex mutex;
    bool trayOpen = false;
    uint64_t insertion = 0;  // bumped when the disc goes out; readers of an old one stop
    bool loaded = false;     // the sheet was parsed for the current insertion
    std::shared_ptr<const DiscImage> image;  // null when loading failed
    std::string error;
};

class ImageReader final : public SectorReader {
public:
    ImageReader(std::shared_ptr<ImageState> state, std::shared_ptr<const DiscImage> image,
                uint64_t insertion, uint32_t first, uint32_t last)
        : state_(std::move(state)),
          image_(std::move(image)),
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
        if (next_ > last_) return ReadResult::Ok;
        const uint32_t n = uint32_t(std::min<uint64_t>(uint64_t(maxSectors), last_ - next_ + 1));
        if (!image_->read(next_, n, out)) return ReadResult::IoError;
        next_ += n;
        *sectorsRead = int(n);
        return ReadResult::Ok;
    }
    uint32_t firstSector() const override { return first_; }
    uint32_t lastSector() const override { return last_; }
    uint32_t nextSector() const override { return next_; }

private:
    std::shared_ptr<ImageState> state_;
    std::shared_ptr<const DiscImage> image_;
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
          state_(std::make_shared<ImageState>()) {}

    std::string name() const override { return name_; }
    bool isImage() const override { return true; }

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

    std::unique_ptr<SectorReader> openReader(uint32_t first, uint32_t last,
                                             const ReadSettings&) override {
        std::lock_guard lock(state_->mutex);
        const DiscImage* image = loadLocked();
        if (!image || first > last || last >= image->toc().leadOut) return nullptr;
        return std::make_unique<ImageReader>(state_, state_->image, state_->insertion, first, last);
    }

    void eject(bool open) override {
        {
            std::lock_guard lock(state_->mutex);
            if (state_->trayOpen == open) return;
            state_->trayOpen = open;
            if (open) {
                ++state_->insertion;
                // The sheet is read afresh when the disc comes back: it may have changed.
                state_->loaded = false;
                state_->image.reset();
                state_->error.clear();
            }
        }
        DriveModel::instance().notifyMedia(index_, !open);
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
