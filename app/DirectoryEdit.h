#pragma once

#include <QLineEdit>

class QAction;
class TUiServices;

// A folder name edit with a browse button inside its right edge.
class TDirectoryEdit : public QLineEdit {
    Q_OBJECT
public:
    TDirectoryEdit(TUiServices& services, QWidget* parent = nullptr);

    QAction* BrowseButton() const { return browse_; }
    // The browse button's hint: its tooltip and its accessible name.
    void SetBrowseHint(const QString& hint);
    QString DialogText() const { return dialogText_; }
    void SetDialogText(const QString& text) { dialogText_ = text; }
    QString InitialFolder() const { return initialFolder_; }
    void SetInitialFolder(const QString& folder) { initialFolder_ = folder; }

public slots:
    void Browse();

private:
    TUiServices& services_;
    QAction* browse_ = nullptr;
    QString dialogText_;
    QString initialFolder_;
};
