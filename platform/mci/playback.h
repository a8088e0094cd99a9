// One MCI_PLAY: a worker thread reading the range from the drive and handing it to an
// audio output (internal to libsvmci).
//
// Lifetime: the device holds the playback while it runs and afterwards (its final position
// stays the device's position). Whoever drops it from the device asks it to stop and then
// joins it, outside the MCI lock, because the worker's notification may call back into
// MCI. The worker keeps its own reference, so a playback whose last holder is the worker
// itself (the notification closed the device) cleans up on the worker.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "drivemodel.h"
#include "mci.h"
#include "mciaudio.h"

namespace svmci {

struct PlayRequest {
    MCIDEVICEID device = 0;
    int driveIndex = 0;
    svdrives::Toc toc;  // data sectors in the range play as silence
    uint32_t from = 0;  // first sector
    uint32_t to = 0;    // one past the last sector; from == to plays nothing
    std::unique_ptr<svdrives::SectorReader> reader;  // on [from, to - 1]; null when empty
    std::shared_ptr<AudioOutputFactory> output;
    bool notify = false;  // MCI_NOTIFY was given: the callback hears how it ended
    DWORD_PTR callbackData = 0;
};

class Playback : public std::enable_shared_from_this<Playback> {
public:
    explicit Playback(PlayRequest request);
    ~Playback();
    Playback(const Playback&) = delete;
    Playback& operator=(const Playback&) = delete;

    // Starts the worker. Call once.
    void start();
    // Asks the worker to end with code (MCI_NOTIFY_ABORTED or MCI_NOTIFY_SUPERSEDED). No
    // effect once it has ended or was asked before. Returns at once; join to wait.
    void requestStop(UINT code);
    // Waits until the worker has finished. A no-op on the worker itself.
    void join();
    // Waits until the playback has ended and its notification has been sent.
    void waitDone();

    // Playing: started (or about to) and neither ended nor asked to stop.
    bool playing() const;
    // The sector being heard; the end of the range once it has played out.
    uint32_t position() const { return position_.load(); }

private:
    void run();
    UINT play();
    bool interrupted();
    void waitForSignal(int ms);
    void onMediaGone();

    PlayRequest req_;
    std::thread thread_;
    std::mutex joinMutex_;
    std::atomic<std::thread::id> workerId_{};
    std::atomic<uint32_t> position_;
    int mediaListener_ = 0;

    mutable std::mutex mutex_;
    std::condition_variable signal_;
    UINT stopCode_ = 0;  // requested end, 0 = none
    bool mediaGone_ = false;
    bool ended_ = false;  // the worker decided how it ended
    bool done_ = false;   // and the notification went out
};

void setNotifyCallback(MCI_NOTIFY_CALLBACK callback);

}  // namespace svmci
