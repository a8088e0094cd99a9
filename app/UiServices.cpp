#include "UiServices.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QThread>

void TDesktopServices::Information(QWidget* owner, const QString& text) {
    QMessageBox::information(owner, QApplication::applicationDisplayName(), text);
}

void TDesktopServices::Error(QWidget* owner, const QString& text) {
    QMessageBox::critical(owner, QStringLiteral("Error"), text);
}

void TDesktopServices::MessageBox(QWidget* owner, const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, owner);
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

void TDesktopServices::Flash(QWidget* window) {
    QApplication::alert(window, 0);
}

void TDesktopServices::Sleep(int milliseconds) {
    QThread::msleep(static_cast<unsigned long>(milliseconds));
}
