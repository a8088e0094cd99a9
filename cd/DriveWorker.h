// The thread that asks the drives for the window: listing a disc, moving a tray, changing
// the active drive. A real drive takes seconds to spin a disc up or to move its tray; the
// window's thread never waits for that, it hands the work over and takes the outcome back.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "callqueue.h"

namespace CDRipIntf {

class TDriveWorker {
public:
    // What a task leaves for the window's thread; empty: nothing.
    using TOutcome = std::function<void()>;
    using TTask = std::function<TOutcome()>;

    // On the window's thread, whose event loop takes the outcomes.
    TDriveWorker();
    // The window's thread: drops the tasks not begun, waits for the running one to come
    // back from the drive, and ends the thread. Outcomes not yet taken are dropped.
    ~TDriveWorker();
    TDriveWorker(const TDriveWorker&) = delete;
    TDriveWorker& operator=(const TDriveWorker&) = delete;

    // The window's thread. task runs on the drive thread after the tasks given before it;
    // what it returns runs on the window's thread, from its event loop. The task owns what
    // it captured until it has run; it must not touch the window's state.
    void Run(TTask task);
    // The window's thread: the tasks not begun are dropped; the running one still ends
    // and its outcome is still delivered.
    void DropWaiting();
    // The window's thread: no task is waiting or running and every outcome has been taken.
    bool Idle() const { return unfinished_ == 0; }
    // Called on the window's thread each time the worker becomes idle.
    std::function<void()> OnIdle;

private:
    void loop();
    void finished(const TOutcome& outcome);

    svcalls::CallQueue outcomes_;
    int unfinished_ = 0;  // window's thread: tasks given whose outcome has not been taken
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<TTask> tasks_;  // under mutex_
    bool stopping_ = false;    // under mutex_
    std::thread thread_;       // last: starts once the rest is in place
};

}  // namespace CDRipIntf
