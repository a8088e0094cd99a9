// Calls for one thread, made from any thread: the thread that made the queue runs them, in
// the order made, from its Qt event loop. The program's worker threads (a batch's launcher,
// the drive thread, the drive model's media listeners) reach the window's thread only so.
//
// The calls travel in a deque under a std::mutex; the owner's event loop is only woken to
// take them, through an event counter it watches. So every hand-over between the threads is
// one a thread checker can see, whatever the toolkit does inside its own event queue.
//
// Ownership: the queue and its owner thread's event loop belong to the owner thread. A call
// is owned by the queue from post() until it has run (or the queue has gone: calls still
// waiting then are destroyed unrun, on the owner thread).
#pragma once

#include <QObject>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace svcalls {

class CallQueue {
public:
    // On the thread whose event loop is to run the calls.
    CallQueue();
    // The owner thread, once no other thread posts any more (the posting threads have been
    // joined, or their posts go through a guard the owner has closed).
    ~CallQueue();
    CallQueue(const CallQueue&) = delete;
    CallQueue& operator=(const CallQueue&) = delete;

    // Any thread. Returns at once; the call runs later on the owner thread, after the calls
    // posted before it, also when posted from the owner thread itself.
    void post(std::function<void()> call);
    // The owner thread: runs the calls waiting now and those they post, one at a time. A
    // call may destroy the queue meanwhile: the loop then stops after that call.
    void deliver() { deliver(shared_); }
    // The owner thread, where its event loop cannot run (a destructor waiting for a thread
    // to end): blocks until a call is waiting, then delivers.
    void waitAndDeliver();
    bool onOwnerThread() const;

private:
    struct Shared {
        std::mutex mutex;
        std::condition_variable posted;
        std::deque<std::function<void()>> calls;  // under mutex
        bool wakePending = false;                 // under mutex
        bool gone = false;                        // under mutex: the queue was destroyed
    };
    class Mailbox;
    static void deliver(const std::shared_ptr<Shared>& shared);

    std::shared_ptr<Shared> shared_;
    Mailbox* mailbox_;  // lives on the owner thread, takes the wake-ups; deleted later
};

}  // namespace svcalls
