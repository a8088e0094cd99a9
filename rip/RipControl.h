// The one thing a running batch takes from outside while it works: a request to stop.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace Rip {

// Cancel may come from any thread (the Cancel button, a removed disc, Exit); the batch
// reads it between chunks, and the CD library reads AbortFlag between sectors, so a slow
// or stalled read ends within one sector rather than one chunk. Once set it stays set: a
// batch gets a fresh control.
class TRipControl {
public:
    virtual ~TRipControl() = default;

    void Cancel();
    bool Cancelled() const;
    // A cancel because the batch's disc went: the track it cuts short is reported as such.
    void CancelForRemoval();
    bool DiscRemoved() const { return removed_.load(); }
    // For CR_RipChunk's abort argument. Owned here; the library only loads it atomically.
    int32_t* AbortFlag() { return &abort_; }

    // The pause between tracks: waits milliseconds, or less once a cancel comes. True when
    // it was cancelled. Virtual so that tests record pauses instead of waiting.
    virtual bool Pause(int milliseconds);

protected:
    // For a control that stands for several batches in a row (tests).
    void Rearm() {
        std::atomic_ref<int32_t>(abort_).store(0);
        removed_.store(false);
    }

private:
    alignas(std::atomic_ref<int32_t>::required_alignment) int32_t abort_ = 0;
    std::atomic<bool> removed_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
};

}  // namespace Rip
