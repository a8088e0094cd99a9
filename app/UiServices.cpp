#include "UiServices.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QThread>

void TDesktopServices::ShowDialog(QWidget* owner, TDialogIcon icon, const QString& title,
                                  const QString& text) {
    QMessageBox::Icon shown = QMessageBox::NoIcon;
    if (icon == TDialogIcon::Information) shown = QMessageBox::Information;
    if (icon == TDialogIcon::Error) shown = QMessageBox::Critical;
    QMessageBox box(shown, title, text, QMessageBox::Ok, owner);
    box.exec();
}

void TDesktopServices::ApplicationError(QWidget* owner, const QString& text) {
    QMessageBox::critical(owner, QApplication::applicationDisplayName(), text);
}

void TDesktopServices::OpenUrl(const QUrl& url) {
    QDesktopServices::openUrl(url);
}

QString TDesktopServices::BrowseForFolder(QWidget* owner, const QString& caption,
                                          const QString& startFolder) {
    return QFileDialog::getExistingDirectory(owner, caption, startFolder);
}

std::optional<int> TDesktopServices::AskInteger(QWidget* owner, const QString& title,
                                                const QString& label, int value, int minimum,
                                                int maximum) {
    bool ok = false;
    const int answer = QInputDialog::getInt(owner, title, label, value, minimum, maximum, 1, &ok);
    if (!ok) return std::nullopt;
    return answer;
}

void TDesktopServices::Flash(QWidget* window) {
    QApplication::alert(window, 0);
}

void TDesktopServices::Sleep(int milliseconds) {
    QThread::msleep(static_cast<unsigned long>(milliseconds));
}
