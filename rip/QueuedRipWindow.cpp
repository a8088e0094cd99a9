#include "QueuedRipWindow.h"

#include <QMetaObject>
#include <QThread>

namespace Rip {

template <typename Call>
void TQueuedRipWindow::post(Call call) {
    if (QThread::currentThread() == context_->thread())
        call();
    else
        QMetaObject::invokeMethod(context_, std::move(call), Qt::QueuedConnection);
}

template <typename Call>
void TQueuedRipWindow::wait(Call call) {
    if (QThread::currentThread() == context_->thread())
        call();
    else
        QMetaObject::invokeMethod(context_, std::move(call), Qt::BlockingQueuedConnection);
}

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
