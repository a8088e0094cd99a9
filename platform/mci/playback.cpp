#include "playback.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

namespace svmci {
namespace {

std::atomic<MCI_NOTIFY_CALLBACK> g_notify{nullptr};

// About a sixth of a second per read: small enough that a stop is heard at once, large
// enough that a real drive is not asked sector by sector.
constexpr int kChunkSectors = 13;
constexpr int kPollMs = 5;
// Beyond the time the buffered audio needs to play out, how long an output that stopped
// making progress is waited for before the playback counts as finished anyway.
constexpr auto kDrainGrace = std::chrono::seconds(2);

bool isDataSector(const svdrives::Toc& toc, uint32_t lsn) {
    const svdrives::TocTrack* holder = nullptr;
    for (const auto& t : toc.tracks) {
        if (t.startSector <= lsn) holder = &t;
    }
    return holder && holder->data;
}

}  // namespace

void setNotifyCallback(MCI_NOTIFY_CALLBACK callback) {
    g_notify.store(callback);
}

Playback::Playback(PlayRequest request) : req_(std::move(request)), position_(req_.from) {}

Playback::~Playback() {
    if (thread_.joinable()) {
        // The last reference went with the worker itself (its notification closed the
        // device): nobody is left to join it.
        if (thread_.get_id() == std::this_thread::get_id()) {
            thread_.detach();
        } else {
            thread_.join();
        }
    }
}

void Playback::start() {
    std::weak_ptr<Playback> weak = weak_from_this();
    const int drive = req_.driveIndex;
    // Registered before the worker runs, so a tray opened right after MCI_PLAY returned
    // is not missed.
    mediaListener_ =
        svdrives::DriveModel::instance().addMediaListener([weak, drive](int index, bool arrived) {
            if (index != drive || arrived) return;
            if (auto self = weak.lock()) self->onMediaGone();
        });
    try {
        std::lock_guard lock(joinMutex_);
        thread_ = std::thread([self = shared_from_this()] { self->run(); });
    } catch (...) {
        // No thread to be had: the playback is over before it began, and says nothing.
        svdrives::DriveModel::instance().removeMediaListener(mediaListener_);
        {
            std::lock_guard lock(mutex_);
            ended_ = true;
            done_ = true;
        }
        signal_.notify_all();
        throw;
    }
}

void Playback::requestStop(UINT code) {
    {
        std::lock_guard lock(mutex_);
        if (ended_ || stopCode_ != 0) return;
        stopCode_ = code;
    }
    signal_.notify_all();
}

void Playback::join() {
    // Checked before the lock: a notification calling back into MCI on the worker must not
    // wait for a join of that same worker running on another thread.
    if (workerId_.load() == std::this_thread::get_id()) return;
    std::lock_guard lock(joinMutex_);
    if (thread_.joinable()) thread_.join();
}

void Playback::waitDone() {
    if (workerId_.load() == std::this_thread::get_id()) return;
    std::unique_lock lock(mutex_);
    signal_.wait(lock, [this] { return done_; });
}

bool Playback::playing() const {
    std::lock_guard lock(mutex_);
    return !ended_ && stopCode_ == 0;
}

void Playback::onMediaGone() {
    {
        std::lock_guard lock(mutex_);
        mediaGone_ = true;
    }
    signal_.notify_all();
}

bool Playback::interrupted() {
    std::lock_guard lock(mutex_);
    return stopCode_ != 0 || mediaGone_;
}

void Playback::waitForSignal(int ms) {
    std::unique_lock lock(mutex_);
    signal_.wait_for(lock, std::chrono::milliseconds(ms),
                     [this] { return stopCode_ != 0 || mediaGone_; });
}

void Playback::run() {
    workerId_.store(std::this_thread::get_id());
    UINT code = MCI_NOTIFY_FAILURE;
    try {
        code = play();
    } catch (...) {
        code = MCI_NOTIFY_FAILURE;
    }
    {
        std::lock_guard lock(mutex_);
        // A stop asked for wins over what the worker saw while winding down (the tray that
        // MCI_SET opened after stopping the playback, for one).
        if (stopCode_ != 0) code = stopCode_;
        ended_ = true;
    }
    svdrives::DriveModel::instance().removeMediaListener(mediaListener_);
    req_.reader.reset();
    const MCI_NOTIFY_CALLBACK callback = g_notify.load();
    if (req_.notify && callback) callback(req_.callbackData, code, req_.device);
    {
        std::lock_guard lock(mutex_);
        done_ = true;
    }
    signal_.notify_all();
}

UINT Playback::play() {
    if (req_.from >= req_.to) return MCI_NOTIFY_SUCCESSFUL;
    if (!req_.reader || !req_.output) return MCI_NOTIFY_FAILURE;
    std::unique_ptr<AudioOutput> out = req_.output->create();
    if (!out || !out->start()) return MCI_NOTIFY_FAILURE;

    // How the loop left: the code to report, with the output stopped on every early exit.
    auto leave = [&out](UINT code) {
        out->stop();
        return code;
    };
    auto updatePosition = [this, &out](int64_t taken) {
        const int64_t heard =
            std::max<int64_t>(0, taken - std::max<int64_t>(0, out->pendingBytes()));
        position_.store(req_.from + uint32_t(heard / svdrives::kSectorBytes));
    };

    std::vector<uint8_t> buffer(size_t(kChunkSectors) * svdrives::kSectorBytes);
    uint32_t next = req_.from;
    int64_t taken = 0;
    while (next < req_.to) {
        if (interrupted()) return leave(MCI_NOTIFY_FAILURE);
        const int want = int(std::min<uint32_t>(kChunkSectors, req_.to - next));
        int got = 0;
        const svdrives::ReadResult r = req_.reader->read(buffer.data(), want, &got);
        if ((r != svdrives::ReadResult::Ok && r != svdrives::ReadResult::Jitter) || got <= 0) {
            return leave(MCI_NOTIFY_FAILURE);
        }
        for (int i = 0; i < got; ++i) {
            if (isDataSector(req_.toc, next + uint32_t(i))) {
                std::memset(buffer.data() + size_t(i) * svdrives::kSectorBytes, 0,
                            svdrives::kSectorBytes);
            }
        }
        const int64_t size = int64_t(got) * svdrives::kSectorBytes;
        int64_t offset = 0;
        while (offset < size) {
            if (interrupted()) return leave(MCI_NOTIFY_FAILURE);
            const int64_t n = out->write(buffer.data() + offset, size - offset);
            if (n < 0) return leave(MCI_NOTIFY_FAILURE);
            offset += n;
            taken += n;
            updatePosition(taken);
            if (n == 0) {
                out->idle();
                waitForSignal(kPollMs);
            }
        }
        next += uint32_t(got);
    }

    // Let the buffered end play out before telling anyone it finished.
    const auto outputTime = std::chrono::milliseconds(std::max<int64_t>(0, out->pendingBytes()) *
                                                      1000 / kOutputBytesPerSecond);
    const auto deadline = std::chrono::steady_clock::now() + outputTime + kDrainGrace;
    while (out->pendingBytes() > 0 && std::chrono::steady_clock::now() < deadline) {
        if (interrupted()) return leave(MCI_NOTIFY_FAILURE);
        out->idle();
        updatePosition(taken);
        waitForSignal(kPollMs);
    }
    out->stop();
    position_.store(req_.to);
    return MCI_NOTIFY_SUCCESSFUL;
}

}  // namespace svmci
