#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QPointer>

class QComboBox;
class QLabel;
class QPushButton;
class QStorageInfo;
class TDirectoryTree;
class TRbPanel;
class TUiServices;

// The new-directory dialog: walks the folder tree, creates folders by name, and hands the
// folder it ends in back to the main window's output directory box. One instance lives for
// the whole run and is shown again for every use.
class TfrmNewDir : public QDialog {
    Q_OBJECT
public:
    TfrmNewDir(TUiServices& services, QWidget* parent = nullptr);

    // Runs the dialog modally, starting in the folder that directoryEdit names and writing
    // the chosen folder back into it on Close.
    void Execute(QLineEdit* directoryEdit);
    // The output directory box read at each showing and written by Close.
    void SetDirectoryEdit(QLineEdit* directoryEdit) { directoryEdit_ = directoryEdit; }
    QLineEdit* DirectoryEdit() const { return directoryEdit_; }

    // How a volume is listed in the drive box: its root, and its name when it has one.
    static QString VolumeText(const QStorageInfo& volume);
    // Volumes worth offering: real, mounted folders, not the kernel's own pseudo file systems.
    static bool IsListedVolume(const QStorageInfo& volume);

    TRbPanel* RbPanel1 = nullptr;
    TRbPanel* RbPanel2 = nullptr;
    QLabel* editDirNameLabel = nullptr;
    QLineEdit* editDirName = nullptr;
    QLabel* lblDirName = nullptr;
    QComboBox* DriveComboBox1 = nullptr;
    TDirectoryTree* DirectoryListBox1 = nullptr;
    QPushButton* btnNewDir = nullptr;
    QPushButton* btnClose = nullptr;

public slots:
    void FormShow();
    void DirectoryListBox1Change();
    void DriveComboBox1Change(int index);
    void editDirNameChange();
    // True when the key was the Enter key, which runs the create steps.
    bool editDirNameKeyDown(int key);
    void btnNewDirClick();
    void btnCloseClick();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void fillDrives();
    void showDriveOf(const QString& folder);

    TUiServices& services_;
    QPointer<QLineEdit> directoryEdit_;
};
