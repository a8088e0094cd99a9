#include "QueuedRipWindow.h"

#include <QSocketNotifier>
#include <QThread>
#include <cerrno>
#include <system_error>

#include <sys/eventfd.h>
#include <unistd.h>

namespace Rip {

// Wakes the window's thread through an event counter it watches: a write and a read of one
// file, which orders the two threads as plainly as a lock does (for a thread checker too),
// where the toolkit's own cross-thread event queue keeps its ordering to itself.
class TQueuedRipWindow::TMailbox : public QObject {
public:
    explicit TMailbox(std::shared_ptr<TShared> shared)
        : shared_(std::move(shared)), fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
        if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
        notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] {
            uint64_t count = 0;
            [[maybe_unused]] const ssize_t n = read(fd_, &count, sizeof count);
            // Delivered from the event queue, not from here: a delivered call may wait in
            // a loop of its own (Exit waits for the batch's end), and that loop must be able
            // to take the next wake-up.
            QMetaObject::invokeMethod(
                this, [shared = shared_] { deliver(shared); }, Qt::QueuedConnection);
        });
    }
    ~TMailbox() override {
        delete notifier_;
        close(fd_);
    }
    // Any thread.
    void Wake() {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = write(fd_, &one, sizeof one);
    }

private:
    std::shared_ptr<TShared> shared_;
    int fd_;
    QSocketNotifier* notifier_ = nullptr;
};

TQueuedRipWindow::TQueuedRipWindow(TRipWindow& window)
    : window_(window), shared_(std::make_shared<TShared>()), mailbox_(new TMailbox(shared_)) {}

TQueuedRipWindow::~TQueuedRipWindow() {
    deliver(shared_);
    // Perhaps inside its own handler right now (a delivered call ended the job).
    mailbox_->deleteLater();
}

bool TQueuedRipWindow::onWindowThread() const {
    return QThread::currentThread() == mailbox_->thread();
}

void TQueuedRipWindow::deliver(const std::shared_ptr<TShared>& shared) {
    const std::shared_ptr<TShared> keep = shared;
    for (;;) {
        std::function<void()> call;
        {
            const std::lock_guard lock(keep->mutex);
            // A call made from now on wakes the window again: the call about to run may
            // hold this loop up in a loop of its own (Exit waits for the batch's end).
            keep->wakePending = false;
            if (keep->calls.empty()) return;
            call = std::move(keep->calls.front());
            keep->calls.pop_front();
        }
        call();
    }
}

void TQueuedRipWindow::post(std::function<void()> call) {
    if (onWindowThread()) return call();
    bool wake = false;
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->calls.push_back(std::move(call));
        wake = !shared_->wakePending;
        shared_->wakePending = true;
    }
    // One wake-up for however many calls come before the window takes them.
    if (wake) mailbox_->Wake();
}

void TQueuedRipWindow::wait(const std::function<void()>& call) {
    if (onWindowThread()) return call();
    bool done = false;
    TShared& shared = *shared_;
    post([&] {
        call();
        const std::lock_guard lock(shared.mutex);
        done = true;
        shared.answered.notify_all();
    });
    std::unique_lock lock(shared.mutex);
    shared.answered.wait(lock, [&] { return done; });
}

// The calls reach the window itself, which outlives the job; never this object, which a
// delivered call may end.

TRipChoices TQueuedRipWindow::Choices() {
    TRipChoices choices;
    wait([&] { choices = window_.Choices(); });
    return choices;
}

void TQueuedRipWindow::SetRecordingName(const QString& text) {
    post([w = &window_, text] { w->SetRecordingName(text); });
}

void TQueuedRipWindow::DeselectTrackLine(int line) {
    post([w = &window_, line] { w->DeselectTrackLine(line); });
}

void TQueuedRipWindow::SetStatus(const QString& text) {
    post([w = &window_, text] { w->SetStatus(text); });
}

void TQueuedRipWindow::SetRipStatus(const QString& text) {
    post([w = &window_, text] { w->SetRipStatus(text); });
}

void TQueuedRipWindow::SetProgressRange(int minimum, int maximum) {
    post([w = &window_, minimum, maximum] { w->SetProgressRange(minimum, maximum); });
}

void TQueuedRipWindow::SetProgress(int position) {
    post([w = &window_, position] { w->SetProgress(position); });
}

void TQueuedRipWindow::Flash() {
    post([w = &window_] { w->Flash(); });
}

void TQueuedRipWindow::ShowDialog(TDialog kind, const QString& text, const QString& title) {
    wait([&] { window_.ShowDialog(kind, text, title); });
}

}  // namespace Rip
