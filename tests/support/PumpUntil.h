// Handles the thread's events until a condition holds, for tests of what arrives later:
// a batch's calls from its launcher thread, a server's answer.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>

// False when done() still fails after timeoutMs.
inline bool pumpUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}
