#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include "UiServices.h"

// Answers every dialog at once and records it as "kind: text" (kind is information, error,
// box:<title> or application); the waits only add up.
class RecordingServices : public TUiServices {
public:
    void Information(QWidget*, const QString& text) override { shown << "information: " + text; }
    void Error(QWidget*, const QString& text) override { shown << "error: " + text; }
    void MessageBox(QWidget*, const QString& text, const QString& title) override {
        shown << "box:" + title + ": " + text;
    }
    void ApplicationError(QWidget*, const QString& text) override {
        shown << "application: " + text;
    }
    void OpenUrl(const QUrl& url) override { opened << url; }
    QString BrowseForFolder(QWidget*, const QString& caption, const QString& start) override {
        browsed << caption + " @ " + start;
        return browseAnswer;
    }
    void Flash(QWidget*) override { ++flashes; }
    void Sleep(int milliseconds) override { slept += milliseconds; }

    QStringList shown;
    QList<QUrl> opened;
    QStringList browsed;
    QString browseAnswer;
    int flashes = 0;
    int slept = 0;
};
