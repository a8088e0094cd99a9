// Carries a rip thread's calls to the window over to the window's own thread.
#pragma once

#include <QObject>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "RipWindow.h"

namespace Rip {

// Calls that change the window are queued and return at once; they reach the window in
// the order made. Choices and ShowDialog wait until the window has answered, so the
// window's thread must keep handling events while a batch runs (it must never block
// waiting for the rip thread: it runs a local event loop instead). Made on the calling
// thread of the window itself, every call goes straight through.
//
// The calls travel in a queue of our own under a std::mutex; the window's event loop is
// only woken to take them, through a file it watches. So every hand-over between the
// threads is one a thread checker can see, whatever the toolkit does inside.
class TQueuedRipWindow : public TRipWindow {
public:
    // Made on the window's thread. window lives there and outlives this object.
    explicit TQueuedRipWindow(TRipWindow& window);
    // Delivers what is still queued; on the window's thread, once no rip thread calls in.
    ~TQueuedRipWindow() override;
    TQueuedRipWindow(const TQueuedRipWindow&) = delete;
    TQueuedRipWindow& operator=(const TQueuedRipWindow&) = delete;

    // Makes the queued calls, one at a time, in order. The window's thread only; a call
    // may end the job meanwhile.
    void Deliver() { deliver(shared_); }
    // Queues call for the window's thread, after the calls made so far. Any thread.
    void Then(std::function<void()> call) { post(std::move(call)); }

    TRipChoices Choices() override;
    void SetRecordingName(const QString& text) override;
    void DeselectTrackLine(int line) override;
    void SetStatus(const QString& text) override;
    void SetRipStatus(const QString& text) override;
    void SetProgressRange(int minimum, int maximum) override;
    void SetProgress(int position) override;
    void Flash() override;
    void ShowDialog(TDialog kind, const QString& text, const QString& title) override;

private:
    // What the two threads share. Kept alive by whoever delivers, so a call that ends the
    // job (Exit pressed in a progress step) does not pull the queue from under its loop.
    struct TShared {
        std::mutex mutex;
        std::condition_variable answered;
        std::deque<std::function<void()>> calls;  // under mutex
        bool wakePending = false;                 // under mutex
    };
    class TMailbox;
    static void deliver(const std::shared_ptr<TShared>& shared);
    bool onWindowThread() const;
    void post(std::function<void()> call);
    void wait(const std::function<void()>& call);

    TRipWindow& window_;
    std::shared_ptr<TShared> shared_;
    TMailbox* mailbox_;  // lives on the window's thread, takes the wake-ups; deleted later
};

}  // namespace Rip
