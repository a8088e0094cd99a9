// Carries a rip thread's calls to the window over to the window's own thread.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>

#include "RipWindow.h"
#include "callqueue.h"

namespace Rip {

// Calls that change the window are queued and return at once; they reach the window in
// the order made, through the window thread's call queue. Choices and ShowDialog wait until
// the window has answered, so the window's thread must keep handling events while a batch
// runs (it never blocks waiting for the rip thread). Made on the calling thread of the
// window itself, every call goes straight through.
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
    void Deliver() { calls_.deliver(); }
    // Where the window's event loop cannot run (a destructor waiting for the batch to end):
    // blocks until the batch calls, then delivers.
    void WaitAndDeliver() { calls_.waitAndDeliver(); }
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
    bool onWindowThread() const { return calls_.onOwnerThread(); }
    void post(std::function<void()> call);
    void wait(const std::function<void()>& call);

    TRipWindow& window_;
    svcalls::CallQueue calls_;
    // An answered call says so under it.
    std::mutex answerMutex_;
    std::condition_variable answered_;
};

}  // namespace Rip
