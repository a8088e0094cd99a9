// Carries a rip thread's calls to the window over to the window's own thread.
#pragma once

#include <QObject>

#include "RipWindow.h"

namespace Rip {

// Calls that change the window are queued and return at once; they reach the window in
// the order made. Choices and ShowDialog wait until the window has answered, so the
// window's thread must keep handling events while a batch runs (it must never block
// waiting for the rip thread: it runs a local event loop instead). Made on the calling
// thread of the window itself, every call goes straight through.
class TQueuedRipWindow : public TRipWindow {
public:
    // window lives on context's thread and outlives every call made through this object;
    // calls still queued when context is destroyed are dropped with it.
    TQueuedRipWindow(QObject* context, TRipWindow& window) : context_(context), window_(window) {}

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
    template <typename Call>
    void post(Call call);
    template <typename Call>
    void wait(Call call);

    QObject* context_;
    TRipWindow& window_;
};

}  // namespace Rip
