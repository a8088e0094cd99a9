#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

class QWidget;

// What the program asks of the desktop: dialogs, the web browser, the folder browser, the
// taskbar and the clock. The window and the rippers go through this, so tests answer the
// dialogs and skip the waits without a modal loop.
class TUiServices {
public:
    enum class TDialogIcon { None, Information, Error };

    virtual ~TUiServices() = default;
    // A modal dialog with one OK button. Every message of the program comes through here,
    // its title already chosen, so tests see the title the user would.
    virtual void ShowDialog(QWidget* owner, TDialogIcon icon, const QString& title,
                            const QString& text) = 0;

    // Information dialog titled "Information".
    void Information(QWidget* owner, const QString& text) {
        ShowDialog(owner, TDialogIcon::Information, QStringLiteral("Information"), text);
    }
    // Error dialog titled "Error", with the error icon.
    void Error(QWidget* owner, const QString& text) {
        ShowDialog(owner, TDialogIcon::Error, QStringLiteral("Error"), text);
    }
    // Plain message box with the given title.
    void MessageBox(QWidget* owner, const QString& text, const QString& title) {
        ShowDialog(owner, TDialogIcon::None, title, text);
    }
    // An error that reached the application's error display uncaught.
    virtual void ApplicationError(QWidget* owner, const QString& text) = 0;
    virtual void OpenUrl(const QUrl& url) = 0;
    // Empty when the user cancels.
    virtual QString BrowseForFolder(QWidget* owner, const QString& caption,
                                    const QString& startFolder) = 0;
    // Asks for a whole number in minimum..maximum, offering value; none when the user cancels.
    virtual std::optional<int> AskInteger(QWidget* owner, const QString& title,
                                          const QString& label, int value, int minimum,
                                          int maximum) = 0;
    // Asks the user to pick one of items (shown in this order, the first offered); its
    // index, or none when the user cancels.
    virtual std::optional<int> ChooseItem(QWidget* owner, const QString& title,
                                          const QString& label, const QStringList& items) = 0;
    virtual void Flash(QWidget* window) = 0;
    virtual void Sleep(int milliseconds) = 0;
};

// The real desktop.
class TDesktopServices : public TUiServices {
public:
    void ShowDialog(QWidget* owner, TDialogIcon icon, const QString& title,
                    const QString& text) override;
    void ApplicationError(QWidget* owner, const QString& text) override;
    void OpenUrl(const QUrl& url) override;
    QString BrowseForFolder(QWidget* owner, const QString& caption,
                            const QString& startFolder) override;
    std::optional<int> AskInteger(QWidget* owner, const QString& title, const QString& label,
                                  int value, int minimum, int maximum) override;
    std::optional<int> ChooseItem(QWidget* owner, const QString& title, const QString& label,
                                  const QStringList& items) override;
    void Flash(QWidget* window) override;
    void Sleep(int milliseconds) override;
};
