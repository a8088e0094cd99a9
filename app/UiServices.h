#pragma once

#include <QString>
#include <QUrl>

class QWidget;

// What the program asks of the desktop: dialogs, the web browser, the folder browser, the
// taskbar and the clock. The window and the rippers go through this, so tests answer the
// dialogs and skip the waits without a modal loop.
class TUiServices {
public:
    virtual ~TUiServices() = default;
    // Information dialog with one OK button.
    virtual void Information(QWidget* owner, const QString& text) = 0;
    // Error dialog titled "Error" with one OK button.
    virtual void Error(QWidget* owner, const QString& text) = 0;
    // Plain message box with the given title and one OK button.
    virtual void MessageBox(QWidget* owner, const QString& text, const QString& title) = 0;
    // An error that reached the application's error display uncaught.
    virtual void ApplicationError(QWidget* owner, const QString& text) = 0;
    virtual void OpenUrl(const QUrl& url) = 0;
    // Empty when the user cancels.
    virtual QString BrowseForFolder(QWidget* owner, const QString& caption,
                                    const QString& startFolder) = 0;
    virtual void Flash(QWidget* window) = 0;
    virtual void Sleep(int milliseconds) = 0;
};

// The real desktop.
class TDesktopServices : public TUiServices {
public:
    void Information(QWidget* owner, const QString& text) override;
    void Error(QWidget* owner, const QString& text) override;
    void MessageBox(QWidget* owner, const QString& text, const QString& title) override;
    void ApplicationError(QWidget* owner, const QString& text) override;
    void OpenUrl(const QUrl& url) override;
    QString BrowseForFolder(QWidget* owner, const QString& caption,
                            const QString& startFolder) override;
    void Flash(QWidget* window) override;
    void Sleep(int milliseconds) override;
};
