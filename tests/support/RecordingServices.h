#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <optional>

#include "UiServices.h"

// Answers every dialog at once and records it as "kind: text" (kind is information, error,
// box:<title> or application), and each dialog's title as the user would read it; the
// waits only add up.
class RecordingServices : public TUiServices {
public:
    void ShowDialog(QWidget*, TDialogIcon icon, const QString& title,
                    const QString& text) override {
        titles << title;
        if (onDialog) onDialog();
        if (icon == TDialogIcon::Information)
            shown << "information: " + text;
        else if (icon == TDialogIcon::Error)
            shown << "error: " + text;
        else
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
    // Records "title: label [value in minimum..maximum]" and gives integerAnswer.
    std::optional<int> AskInteger(QWidget*, const QString& title, const QString& label, int value,
                                  int minimum, int maximum) override {
        asked << QStringLiteral("%1: %2 [%3 in %4..%5]")
                     .arg(title, label)
                     .arg(value)
                     .arg(minimum)
                     .arg(maximum);
        return integerAnswer;
    }
    // Records "title: label [item | item ...]" and gives choiceAnswer.
    std::optional<int> ChooseItem(QWidget*, const QString& title, const QString& label,
                                  const QStringList& items) override {
        asked << QStringLiteral("%1: %2 [%3]").arg(title, label, items.join(QStringLiteral(" | ")));
        return choiceAnswer;
    }
    void Flash(QWidget*) override { ++flashes; }
    void Sleep(int milliseconds) override { slept += milliseconds; }

    std::function<void()> onDialog;  // while a dialog is up, before it is answered
    QStringList shown;
    QStringList titles;  // of every dialog in `shown`, in the same order
    QList<QUrl> opened;
    QStringList browsed;
    QString browseAnswer;
    QStringList asked;
    std::optional<int> integerAnswer;  // none: the user cancels
    std::optional<int> choiceAnswer;   // none: the user cancels
    int flashes = 0;
    int slept = 0;
};
