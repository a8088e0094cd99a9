#include "DriveWorker.h"

namespace CDRipIntf {

TDriveWorker::TDriveWorker() : thread_([this] { loop(); }) {}

TDriveWorker::~TDriveWorker() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        tasks_.clear();
    }
    wake_.notify_all();
    thread_.join();
}

void TDriveWorker::Run(TTask task) {
    ++unfinished_;
    {
        const std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    wake_.notify_all();
}

void TDriveWorker::DropWaiting() {
    size_t dropped = 0;
    {
        const std::lock_guard lock(mutex_);
        dropped = tasks_.size();
        tasks_.clear();
    }
    unfinished_ -= static_cast<int>(dropped);
    if (dropped > 0 && unfinished_ == 0 && OnIdle) OnIdle();
}

void TDriveWorker::finished(const TOutcome& outcome) {
    --unfinished_;
    if (outcome) outcome();
    if (unfinished_ == 0 && OnIdle) OnIdle();
}

void TDriveWorker::loop() {
    for (;;) {
        TTask task;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
            if (stopping_) return;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        TOutcome outcome = task();
        outcomes_.post([this, outcome = std::move(outcome)] { finished(outcome); });
    }
}

}  // namespace CDRipIntf
