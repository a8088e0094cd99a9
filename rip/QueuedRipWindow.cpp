#include "QueuedRipWindow.h"

namespace Rip {

TQueuedRipWindow::TQueuedRipWindow(TRipWindow& window) : window_(window) {}

TQueuedRipWindow::~TQueuedRipWindow() {
    calls_.deliver();
}

void TQueuedRipWindow::post(std::function<void()> call) {
    if (onWindowThread()) return call();
    calls_.post(std::move(call));
}

void TQueuedRipWindow::wait(const std::function<void()>& call) {
    if (onWindowThread()) return call();
    bool done = false;
    calls_.post([&] {
        call();
        const std::lock_guard lock(answerMutex_);
        done = true;
        answered_.notify_all();
    });
    std::unique_lock lock(answerMutex_);
    answered_.wait(lock, [&] { return done; });
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
