#include "callqueue.h"

#include <QSocketNotifier>
#include <QThread>
#include <cerrno>
#include <system_error>

#include <sys/eventfd.h>
#include <unistd.h>

namespace svcalls {

// Wakes the owner thread through an event counter it watches: a write and a read of one
// file, where the toolkit's own cross-thread event queue keeps its ordering to itself.
class CallQueue::Mailbox : public QObject {
public:
    explicit Mailbox(std::shared_ptr<Shared> shared)
        : shared_(std::move(shared)), fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
        if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
        notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] {
            uint64_t count = 0;
            [[maybe_unused]] const ssize_t n = read(fd_, &count, sizeof count);
            deliver(shared_);
        });
    }
    ~Mailbox() override {
        delete notifier_;
        close(fd_);
    }
    // Any thread, under the shared mutex, while the queue lives.
    void wake() {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = write(fd_, &one, sizeof one);
    }

private:
    std::shared_ptr<Shared> shared_;
    int fd_;
    QSocketNotifier* notifier_ = nullptr;
};

CallQueue::CallQueue() : shared_(std::make_shared<Shared>()), mailbox_(new Mailbox(shared_)) {}

CallQueue::~CallQueue() {
    std::deque<std::function<void()>> unrun;
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->gone = true;
        unrun.swap(shared_->calls);
    }
    // Perhaps inside its own handler right now (a delivered call destroyed the queue).
    mailbox_->deleteLater();
}

bool CallQueue::onOwnerThread() const {
    return QThread::currentThread() == mailbox_->thread();
}

void CallQueue::post(std::function<void()> call) {
    const std::lock_guard lock(shared_->mutex);
    if (shared_->gone) return;
    shared_->calls.push_back(std::move(call));
    shared_->posted.notify_all();
    // One wake-up for however many calls come before the owner takes them.
    if (!shared_->wakePending) {
        shared_->wakePending = true;
        mailbox_->wake();
    }
}

void CallQueue::deliver(const std::shared_ptr<Shared>& shared) {
    const std::shared_ptr<Shared> keep = shared;
    for (;;) {
        std::function<void()> call;
        {
            const std::lock_guard lock(keep->mutex);
            // A call posted from now on wakes the owner again.
            keep->wakePending = false;
            if (keep->gone || keep->calls.empty()) return;
            call = std::move(keep->calls.front());
            keep->calls.pop_front();
        }
        call();
    }
}

void CallQueue::waitAndDeliver() {
    {
        std::unique_lock lock(shared_->mutex);
        shared_->posted.wait(lock, [this] { return !shared_->calls.empty(); });
    }
    deliver(shared_);
}

}  // namespace svcalls
