// The launcher threads of the rip commands. Each hands its batch to the thread of a given
// object (the main window's, the user-interface thread), waits until the batch has run to
// its end, and then frees itself. The batch itself never runs on the launcher.
#pragma once

#include <QThread>
#include <functional>

class QObject;

namespace Rip {

class TRipLauncherThread : public QThread {
public:
    // context: the object whose thread runs batch; it must live in another thread.
    TRipLauncherThread(QObject* context, std::function<void()> batch);
    ~TRipLauncherThread() override;

    // True once the batch has begun on the context's thread.
    bool HandedOver() const { return handedOver_; }

    // For the end of the program, after the event loop has returned: waits for the
    // launchers whose batch has already run, so none is torn down while it is still
    // returning. Launchers whose batch never began are left alone: their hand-over is
    // dropped with the context object. Call on the user-interface thread.
    static void WaitForLaunchers();
    // Launchers alive (started or not yet freed), for tests.
    static int LiveLaunchers();

protected:
    void run() override;

private:
    QObject* context_;
    std::function<void()> batch_;
    bool handedOver_ = false;  // written and read on the context's thread only
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

// Creates a launcher of the given class, running at once. It frees itself when done.
template <typename TLauncher>
TLauncher* StartRipThread(QObject* context, std::function<void()> batch) {
    auto* launcher = new TLauncher(context, std::move(batch));
    launcher->start();
    return launcher;
}

}  // namespace Rip
