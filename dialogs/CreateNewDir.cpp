#include "CreateNewDir.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStorageInfo>
#include <QWindow>
#include <algorithm>

#include "DirectoryTree.h"
#include "RbPanel.h"
#include "Skin.h"
#include "UiServices.h"

namespace {

QPushButton* makeButton(QWidget* parent, const QString& hint, const char* icon, int x, int y) {
    auto* button = new QPushButton(parent);
    button->setToolTip(hint);
    button->setAccessibleName(hint);
    button->setIcon(Skin::Icon(QString::fromLatin1(icon)));
    button->setIconSize(QSize(18, 18));
    button->setGeometry(x, y, 75, 25);
    // Enter belongs to the name edit: no button may take it as the dialog's default.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

}  // namespace

TfrmNewDir::TfrmNewDir(TUiServices& services, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), services_(services) {
    setObjectName(QStringLiteral("frmNewDir"));
    setWindowTitle(QStringLiteral("Create A New Directory for Ripping"));
    setModal(true);
    setFixedSize(433, 435);
    QFont base = font();
    base.setPointSize(8);
    setFont(base);
    buildControls();
}

void TfrmNewDir::buildControls() {
    RbPanel1 = new TRbPanel(this, TRbPanel::Kind::Backdrop);
    RbPanel1->setGeometry(0, 0, 433, 435);
    RbPanel1->SetCaption(QStringLiteral("Create A New Directory for Ripping"));

    RbPanel2 = new TRbPanel(RbPanel1);
    RbPanel2->setGeometry(24, 32, 385, 345);

    editDirNameLabel = new QLabel(QStringLiteral("Directory Name:"), RbPanel2);
    {
        QFont f = editDirNameLabel->font();
        f.setBold(true);
        editDirNameLabel->setFont(f);
    }
    editDirNameLabel->setGeometry(24, 15, 337, 16);
    editDirName = new QLineEdit(RbPanel2);
    editDirName->setGeometry(24, 32, 337, 21);
    editDirNameLabel->setBuddy(editDirName);
    connect(editDirName, &QLineEdit::textChanged, this, &TfrmNewDir::editDirNameChange);
    editDirName->installEventFilter(this);

    lblDirName = new QLabel(RbPanel2);
    lblDirName->setTextFormat(Qt::PlainText);
    lblDirName->setGeometry(24, 64, 353, 13);

    DriveComboBox1 = new QComboBox(RbPanel2);
    DriveComboBox1->setGeometry(24, 88, 337, 22);
    // activated: the user's choice only; the dialog's own updates of the box do not move.
    connect(DriveComboBox1, &QComboBox::activated, this, &TfrmNewDir::DriveComboBox1Change);

    DirectoryListBox1 = new TDirectoryTree(RbPanel2);
    DirectoryListBox1->setGeometry(24, 128, 337, 201);
    connect(DirectoryListBox1, &TDirectoryTree::Changed, this,
            &TfrmNewDir::DirectoryListBox1Change);

    btnNewDir = makeButton(RbPanel1, QStringLiteral("Create New Directory"), "new-folder", 40, 392);
    btnClose = makeButton(RbPanel1, QStringLiteral("Close"), "done", 320, 392);
    connect(btnNewDir, &QPushButton::clicked, this, &TfrmNewDir::btnNewDirClick);
    connect(btnClose, &QPushButton::clicked, this, &TfrmNewDir::btnCloseClick);

    setTabOrder(editDirName, DriveComboBox1);
    setTabOrder(DriveComboBox1, DirectoryListBox1);
    setTabOrder(DirectoryListBox1, btnClose);
    setTabOrder(btnClose, btnNewDir);

    // The borderless dialog is moved by its background.
    RbPanel1->installEventFilter(this);
    RbPanel2->installEventFilter(this);
}

void TfrmNewDir::Execute(QLineEdit* directoryEdit) {
    directoryEdit_ = directoryEdit;
    exec();
}

// ---------------------------------------------------------------------------------------
// Drives

QString TfrmNewDir::VolumeText(const QStorageInfo& volume) {
    const QString name = volume.name();
    if (name.isEmpty() || name == volume.rootPath()) return volume.rootPath();
    return volume.rootPath() + QStringLiteral("  [") + name + QLatin1Char(']');
}

bool TfrmNewDir::IsListedVolume(const QStorageInfo& volume) {
    if (!volume.isValid() || !volume.isReady()) return false;
    if (!QFileInfo(volume.rootPath()).isDir()) return false;  // bind-mounted single files
    static const QList<QByteArray> pseudo = {
        "proc",    "sysfs",   "devpts",      "devtmpfs", "cgroup", "cgroup2",    "securityfs",
        "pstore",  "debugfs", "tracefs",     "configfs", "mqueue", "hugetlbfs",  "bpf",
        "fusectl", "autofs",  "binfmt_misc", "efivarfs", "nsfs",   "rpc_pipefs", "selinuxfs"};
    if (pseudo.contains(volume.fileSystemType())) return false;
    const QString root = volume.rootPath();
    for (const char* system : {"/proc", "/sys", "/dev", "/run"}) {
        const QString prefix = QString::fromLatin1(system);
        if (root == prefix || root.startsWith(prefix + QLatin1Char('/'))) {
            // Removable media are mounted under /run/media/<user>.
            if (!root.startsWith(QStringLiteral("/run/media/"))) return false;
        }
    }
    return true;
}

void TfrmNewDir::fillDrives() {
    QList<QStorageInfo> volumes = QStorageInfo::mountedVolumes();
    std::sort(volumes.begin(), volumes.end(), [](const QStorageInfo& a, const QStorageInfo& b) {
        return a.rootPath() < b.rootPath();
    });
    const QSignalBlocker blocker(DriveComboBox1);
    DriveComboBox1->clear();
    for (const QStorageInfo& volume : volumes)
        if (IsListedVolume(volume) && DriveComboBox1->findData(volume.rootPath()) < 0)
            DriveComboBox1->addItem(VolumeText(volume), volume.rootPath());
}

// Keeps the drive box on the volume that holds the tree's folder, even one it does not list.
// A build root or chroot may have no mount table, or one without "/": then no volume holds
// the folder and the box shows none rather than the last folder's drive.
void TfrmNewDir::showDriveOf(const QString& folder) {
    const QStorageInfo volume(folder);
    const QSignalBlocker blocker(DriveComboBox1);
    if (!volume.isValid()) {
        DriveComboBox1->setCurrentIndex(-1);
        return;
    }
    int index = DriveComboBox1->findData(volume.rootPath());
    if (index < 0) {
        DriveComboBox1->addItem(VolumeText(volume), volume.rootPath());
        index = DriveComboBox1->count() - 1;
    }
    DriveComboBox1->setCurrentIndex(index);
}

// ---------------------------------------------------------------------------------------
// Handlers

void TfrmNewDir::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    if (owner && owner->isVisible()) {
        move(owner->geometry().center() - rect().center());
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    FormShow();
}

void TfrmNewDir::FormShow() {
    editDirName->clear();
    const QString start = directoryEdit_ ? directoryEdit_->text() : QString();
    fillDrives();
    // A folder that does not exist leaves the tree where it was.
    DirectoryListBox1->SetDirectory(start);
    showDriveOf(DirectoryListBox1->Directory());
    lblDirName->setText(start);
    editDirName->setFocus();
    btnNewDir->setEnabled(false);
}

void TfrmNewDir::DirectoryListBox1Change() {
    lblDirName->setText(DirectoryListBox1->Directory());
    showDriveOf(DirectoryListBox1->Directory());
}

void TfrmNewDir::DriveComboBox1Change(int index) {
    const QString root = DriveComboBox1->itemData(index).toString();
    if (!root.isEmpty()) DirectoryListBox1->SetDirectory(root);
}

void TfrmNewDir::editDirNameChange() {
    btnNewDir->setEnabled(true);
}

bool TfrmNewDir::editDirNameKeyDown(int key) {
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
    btnNewDirClick();
    return true;
}

void TfrmNewDir::btnNewDirClick() {
    if (editDirName->text().isEmpty()) {
        services_.Information(this, QStringLiteral("Directory Name not Specified"));
        editDirName->setFocus();
        return;
    }
    // Joined as they stand: after the root this gives "//name", which the system reads as
    // "/name"; the tree cleans it when it moves there.
    const QString path = DirectoryListBox1->Directory() + QLatin1Char('/') + editDirName->text();
    if (!QDir().mkdir(path)) services_.Error(this, QStringLiteral("Error Creating Directory"));
    DirectoryListBox1->Update();
    DirectoryListBox1->SetDirectory(DirectoryListBox1->Directory() + QLatin1Char('/') +
                                    editDirName->text());
    editDirName->clear();
    editDirName->setFocus();
    btnNewDir->setEnabled(false);
}

void TfrmNewDir::btnCloseClick() {
    if (directoryEdit_) directoryEdit_->setText(DirectoryListBox1->Directory());
    accept();
}

void TfrmNewDir::keyPressEvent(QKeyEvent* event) {
    // No cancel: the dialog is left through Close only, which always writes the folder back.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TfrmNewDir::eventFilter(QObject* watched, QEvent* event) {
    if (watched == editDirName && event->type() == QEvent::KeyPress) {
        if (editDirNameKeyDown(static_cast<QKeyEvent*>(event)->key())) return true;
    } else if ((watched == RbPanel1 || watched == RbPanel2) &&
               event->type() == QEvent::MouseButtonPress &&
               static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (QWindow* handle = windowHandle()) handle->startSystemMove();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
