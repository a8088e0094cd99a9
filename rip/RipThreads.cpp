#include "RipThreads.h"

#include <QMetaObject>
#include <algorithm>
#include <vector>

namespace Rip {

namespace {
// Created and freed on the user-interface thread only, so no lock.
std::vector<TRipLauncherThread*>& launchers() {
    static std::vector<TRipLauncherThread*> live;
    return live;
}
}  // namespace

TRipLauncherThread::TRipLauncherThread(QObject* context, std::function<void()> batch)
    : context_(context), batch_(std::move(batch)) {
    connect(this, &QThread::finished, this, &QObject::deleteLater);
    launchers().push_back(this);
}

TRipLauncherThread::~TRipLauncherThread() {
    auto& live = launchers();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
}

void TRipLauncherThread::run() {
    setPriority(QThread::HighestPriority);
    QMetaObject::invokeMethod(
        context_,
        [this] {
            handedOver_ = true;
            batch_();
        },
        Qt::BlockingQueuedConnection);
}

void TRipLauncherThread::WaitForLaunchers() {
    const std::vector<TRipLauncherThread*> live = launchers();
    for (TRipLauncherThread* launcher : live)
        if (launcher->HandedOver()) launcher->wait();
}

int TRipLauncherThread::LiveLaunchers() {
    return static_cast<int>(launchers().size());
}

}  // namespace Rip
