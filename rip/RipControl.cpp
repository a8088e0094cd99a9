#include "RipControl.h"

#include <chrono>

namespace Rip {

void TRipControl::Cancel() {
    {
        // Under the lock, so a Pause between its check and its wait cannot miss the wake.
        const std::lock_guard lock(mutex_);
        std::atomic_ref<int32_t>(abort_).store(1);
    }
    wake_.notify_all();
}

void TRipControl::CancelForRemoval() {
    // Before the cancel, so a batch that sees the cancel also sees why.
    removed_.store(true);
    Cancel();
}

bool TRipControl::Cancelled() const {
    return std::atomic_ref<int32_t>(const_cast<int32_t&>(abort_)).load() != 0;
}

bool TRipControl::Pause(int milliseconds) {
    std::unique_lock lock(mutex_);
    return wake_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                          [this] { return Cancelled(); });
}

}  // namespace Rip
