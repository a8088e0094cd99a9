// The launcher threads of the rip commands: each runs its batch itself, at the highest
// priority, away from the window, and reaches the window only through a TQueuedRipWindow.
#pragma once

#include <QThread>
#include <functional>

namespace Rip {

class TRipLauncherThread : public QThread {
public:
    explicit TRipLauncherThread(std::function<void()> batch) : batch_(std::move(batch)) {}

protected:
    void run() override;

private:
    std::function<void()> batch_;
};

class TWaveThread : public TRipLauncherThread {
public:
    using TRipLauncherThread::TRipLauncherThread;
};

class TMP3Thread : public TRipLauncherThread {
public:
    using TRipLauncherThread::TRipLauncherThread;
};

class TFooThread : public TRipLauncherThread {
public:
    using TRipLauncherThread::TRipLauncherThread;
};

}  // namespace Rip
