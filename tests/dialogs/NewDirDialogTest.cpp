// The new-directory dialog: showing, naming, creating, moving through the tree and handing
// the folder back to the output directory box.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "CreateNewDir.h"
#include "DirectoryTree.h"
#include "RbPanel.h"
#include "RecordingServices.h"

namespace {

class NewDirDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp.isValid());
        root = QDir::cleanPath(temp.path());
        outputDir.setText(root);
        dialog.SetDirectoryEdit(&outputDir);
    }
    void Show() {
        dialog.show();
        ASSERT_TRUE(dialog.isVisible());
    }
    void Type(const QString& text) { QTest::keyClicks(dialog.editDirName, text); }
    QString Under(const QString& name) const { return root + QLatin1Char('/') + name; }

    QTemporaryDir temp;
    QString root;
    QLineEdit outputDir;
    RecordingServices services;
    TfrmNewDir dialog{services};
};

const QString kNoName = QStringLiteral("information: Directory Name not Specified");
const QString kNotCreated = QStringLiteral("error: Error Creating Directory");

}  // namespace

TEST_F(NewDirDialogTest, LayoutHintsAndTitle) {
    EXPECT_TRUE(dialog.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(dialog.size(), QSize(433, 435));
    EXPECT_EQ(dialog.RbPanel1->geometry(), QRect(0, 0, 433, 435));
    EXPECT_EQ(dialog.RbPanel1->Caption(), "Create A New Directory for Ripping");
    EXPECT_EQ(dialog.RbPanel2->geometry(), QRect(24, 32, 385, 345));
    EXPECT_EQ(dialog.editDirName->geometry(), QRect(24, 32, 337, 21));
    EXPECT_EQ(dialog.editDirNameLabel->text(), "Directory Name:");
    EXPECT_LE(dialog.editDirNameLabel->geometry().bottom(), dialog.editDirName->y());
    EXPECT_EQ(dialog.lblDirName->geometry(), QRect(24, 64, 353, 13));
    EXPECT_EQ(dialog.DriveComboBox1->geometry(), QRect(24, 88, 337, 22));
    EXPECT_EQ(dialog.DirectoryListBox1->geometry(), QRect(24, 128, 337, 201));
    EXPECT_EQ(dialog.btnNewDir->geometry(), QRect(40, 392, 75, 25));
    EXPECT_EQ(dialog.btnClose->geometry(), QRect(320, 392, 75, 25));
    EXPECT_EQ(dialog.btnNewDir->toolTip(), "Create New Directory");
    EXPECT_EQ(dialog.btnClose->toolTip(), "Close");
    for (QPushButton* b : {dialog.btnNewDir, dialog.btnClose}) {
        EXPECT_TRUE(b->text().isEmpty());
        EXPECT_FALSE(b->icon().isNull());
        EXPECT_EQ(b->accessibleName(), b->toolTip());
        EXPECT_FALSE(b->autoDefault()) << "Enter in the name edit must not press a button";
    }
}

TEST_F(NewDirDialogTest, ShowStartsFromTheOutputDirectoryWithAnEmptyName) {
    dialog.editDirName->setText("left over");
    Show();
    EXPECT_EQ(dialog.editDirName->text(), "");
    EXPECT_EQ(dialog.DirectoryListBox1->Directory(), root);
    EXPECT_EQ(dialog.lblDirName->text(), root);
    EXPECT_FALSE(dialog.btnNewDir->isEnabled());
    EXPECT_TRUE(dialog.btnClose->isEnabled());
    EXPECT_EQ(dialog.focusWidget(), dialog.editDirName);
    EXPECT_TRUE(services.shown.isEmpty());
}

TEST_F(NewDirDialogTest, AnyEditEnablesCreateAndAnEmptyNameIsRefused) {
    Show();
    Type("a");
    EXPECT_TRUE(dialog.btnNewDir->isEnabled());
    QTest::keyClick(dialog.editDirName, Qt::Key_Backspace);
    EXPECT_EQ(dialog.editDirName->text(), "");
    EXPECT_TRUE(dialog.btnNewDir->isEnabled()) << "erasing is an edit too";

    const QStringList before = QDir(root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    QTest::mouseClick(dialog.btnNewDir, Qt::LeftButton);
    EXPECT_EQ(services.shown, QStringList{kNoName});
    EXPECT_EQ(QDir(root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    EXPECT_EQ(dialog.DirectoryListBox1->Directory(), root);
    EXPECT_EQ(dialog.focusWidget(), dialog.editDirName);
}

TEST_F(NewDirDialogTest, EnterInAnEmptyNameIsRefusedThoughTheButtonIsDisabled) {
    Show();
    ASSERT_FALSE(dialog.btnNewDir->isEnabled());
    QTest::keyClick(dialog.editDirName, Qt::Key_Return);
    QTest::keyClick(dialog.editDirName, Qt::Key_Enter);  // the keypad's
    EXPECT_EQ(services.shown, (QStringList{kNoName, kNoName}));
    EXPECT_TRUE(dialog.isVisible()) << "Enter must not close the dialog";
    // Other keys are the edit's own.
    EXPECT_FALSE(dialog.editDirNameKeyDown(Qt::Key_Tab));
    EXPECT_EQ(services.shown.size(), 2);
}

TEST_F(NewDirDialogTest, CreatingAFolderEntersItAndCloseHandsItBack) {
    Show();
    Type("Music");
    QTest::mouseClick(dialog.btnNewDir, Qt::LeftButton);
    EXPECT_TRUE(services.shown.isEmpty()) << services.shown.join("; ").toStdString();
    EXPECT_TRUE(QFileInfo(Under("Music")).isDir());
    EXPECT_EQ(dialog.DirectoryListBox1->Directory(), Under("Music"));
    EXPECT_EQ(dialog.lblDirName->text(), Under("Music"));
    EXPECT_EQ(dialog.editDirName->text(), "");
    EXPECT_FALSE(dialog.btnNewDir->isEnabled());
    EXPECT_EQ(dialog.focusWidget(), dialog.editDirName);
    // The new folder is in the tree's model at once, under its parent.
    const QModelIndex made = dialog.DirectoryListBox1->Model()->index(Under("Music"));
    ASSERT_TRUE(made.isValid());
    EXPECT_EQ(dialog.DirectoryListBox1->Model()->filePath(made.parent()), root);
    EXPECT_EQ(dialog.DirectoryListBox1->currentIndex(), made);

    // A second one goes inside the first, through Enter.
    Type("Live");
    QTest::keyClick(dialog.editDirName, Qt::Key_Return);
    EXPECT_TRUE(QFileInfo(Under("Music/Live")).isDir());
    EXPECT_EQ(dialog.DirectoryListBox1->Directory(), Under("Music/Live"));

    QTest::mouseClick(dialog.btnClose, Qt::LeftButton);
    EXPECT_EQ(outputDir.text(), Under("Music/Live"));
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(NewDirDialogTest, NamesAreJoinedAsTheyStand) {
    Show();
    Type(" Spaced Out ");
    dialog.btnNewDirClick();
    EXPECT_TRUE(QFileInfo(Under(" Spaced Out ")).isDir());
    EXPECT_EQ(dialog.DirectoryListBox1->Directory(), Under(" Spaced Out "));
}

TEST_F(NewDirDialogTest, AnExistingNameIsReportedAndStillEntered) {
    ASSERT_TRUE(QDir(root).mkdir("Music"));
    Show();
    Type("Music");
    dialog.btnNewDirClick();
    EXPECT_EQ(services.shown, QStringList{kNotCreated});
    EXPECT_EQ(dialog.DirectoryListBox1->Directory(), Under("Music"));
    EXPECT_EQ(dialog.lblDirName->text(), Under("Music"));
    EXPECT_EQ(dialog.editDirName->text(), "");
    EXPECT_FALSE(dialog.btnNewDir->isEnabled());
}

TEST_F(NewDirDialogTest, AfterTheRootTheDoubledSeparatorStillFindsTheFolder) {
    // From "/" the path is built as "//tmp": the folder exists, so creation fails, and the
    // tree still enters it under its clean name.
    outputDir.setText("/");
    Show();
    ASSERT_EQ(dialog.DirectoryListBox1->Directory(), "/");
    Type("tmp");
    dialog.btnNewDirClick();
    EXPECT_EQ(services.shown, QStringList{kNotCreated});
    EXPECT_EQ(dialog.DirectoryListBox1->Directory(), "/tmp");
    EXPECT_EQ(dialog.lblDirName->text(), "/tmp");
}

TEST_F(NewDirDialogTest, AFailedCreateLeavesTheTreeWhereItWasAndTheDialogUsable) {
    Show();
    Type("no/such/parent");
    dialog.btnNewDirClick();
    EXPECT_EQ(services.shown, QStringList{kNotCreated});
    EXPECT_EQ(dialog.DirectoryListBox1->Directory(), root);
    EXPECT_EQ(dialog.lblDirName->text(), root);
    EXPECT_EQ(dialog.editDirName->text(), "");
    EXPECT_FALSE(dialog.btnNewDir->isEnabled());

    Type("Next");
    dialog.btnNewDirClick();
    EXPECT_EQ(dialog.DirectoryListBox1->Directory(), Under("Next"));
    dialog.btnCloseClick();
    EXPECT_EQ(outputDir.text(), Under("Next"));
}

TEST_F(NewDirDialogTest, CloseWritesTheTreesFolderNotTheBoxsOldText) {
    ASSERT_TRUE(QDir(root).mkpath("Albums/2024"));
    Show();
    // The user clicks a folder in the tree.
    TDirectoryTree* tree = dialog.DirectoryListBox1;
    tree->setCurrentIndex(tree->Model()->index(Under("Albums/2024")));
    EXPECT_EQ(tree->Directory(), Under("Albums/2024"));
    EXPECT_EQ(dialog.lblDirName->text(), Under("Albums/2024"));
    dialog.btnCloseClick();
    EXPECT_EQ(outputDir.text(), Under("Albums/2024"));

    // Browsing without creating anything also changes the box.
    outputDir.setText(Under("Albums/2024"));
    Show();
    tree->setCurrentIndex(tree->Model()->index(Under("Albums")));
    dialog.btnCloseClick();
    EXPECT_EQ(outputDir.text(), Under("Albums"));
}

TEST_F(NewDirDialogTest, AStartFolderThatDoesNotExistLeavesTheTreeWhereItWas) {
    Show();
    dialog.btnCloseClick();
    outputDir.setText(Under("gone"));
    Show();
    EXPECT_TRUE(services.shown.isEmpty());
    EXPECT_EQ(dialog.DirectoryListBox1->Directory(), root);
    EXPECT_EQ(dialog.lblDirName->text(), Under("gone")) << "the label shows the box's text";
    EXPECT_FALSE(dialog.btnNewDir->isEnabled());
    Type("Here");
    dialog.btnNewDirClick();
    EXPECT_EQ(dialog.DirectoryListBox1->Directory(), Under("Here"));
    dialog.btnCloseClick();
    EXPECT_EQ(outputDir.text(), Under("Here"));
}

TEST_F(NewDirDialogTest, EachShowingStartsAfresh) {
    Show();
    Type("half typed");
    ASSERT_TRUE(dialog.btnNewDir->isEnabled());
    dialog.btnCloseClick();
    ASSERT_TRUE(QDir(root).mkdir("Other"));
    outputDir.setText(Under("Other"));
    Show();
    EXPECT_EQ(dialog.editDirName->text(), "");
    EXPECT_FALSE(dialog.btnNewDir->isEnabled());
    EXPECT_EQ(dialog.DirectoryListBox1->Directory(), Under("Other"));
    EXPECT_EQ(dialog.lblDirName->text(), Under("Other"));
}

TEST_F(NewDirDialogTest, EscapeDoesNotLeaveWithoutWritingBack) {
    Show();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QTest::keyClick(dialog.editDirName, Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());
}

// What the drive box lists depends on the machine: in a chroot or a package build root the
// mount table may be missing or lack "/", and then the box may be empty. The expectation is
// taken from what the system reports, so it holds on a desktop and in a build root alike.
TEST_F(NewDirDialogTest, TheDriveBoxListsTheSystemsVolumesAndSelectsTheFoldersOwn) {
    Show();
    QStringList expected;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (TfrmNewDir::IsListedVolume(volume)) expected << volume.rootPath();
    expected.sort();
    expected.removeDuplicates();
    const QStorageInfo own(root);
    if (own.isValid() && !expected.contains(own.rootPath())) expected << own.rootPath();

    QComboBox* drives = dialog.DriveComboBox1;
    QStringList listed;
    for (int i = 0; i < drives->count(); ++i) {
        listed << drives->itemData(i).toString();
        EXPECT_FALSE(listed.last().startsWith("/proc") || listed.last().startsWith("/sys"))
            << listed.last().toStdString();
    }
    EXPECT_EQ(listed, expected);
    if (own.isValid()) {
        EXPECT_EQ(drives->currentData().toString(), own.rootPath());
        EXPECT_TRUE(drives->currentText().startsWith(own.rootPath()));
    } else {
        EXPECT_EQ(drives->currentIndex(), -1) << "no volume holds the folder here";
    }
    // Either way the tree is where the dialog was asked to start.
    EXPECT_EQ(dialog.DirectoryListBox1->Directory(), root);
}

TEST_F(NewDirDialogTest, ChoosingADriveMovesTheTreeToItsRoot) {
    // An entry of the test's own, so the move does not hang on what this machine mounts.
    ASSERT_TRUE(QDir(root).mkdir("Drive"));
    Show();
    QComboBox* drives = dialog.DriveComboBox1;
    {
        const QSignalBlocker blocker(drives);
        drives->addItem("Drive", Under("Drive"));
    }
    dialog.DriveComboBox1Change(drives->count() - 1);
    EXPECT_EQ(dialog.DirectoryListBox1->Directory(), Under("Drive"));
    EXPECT_EQ(dialog.lblDirName->text(), Under("Drive"));
    dialog.btnCloseClick();
    EXPECT_EQ(outputDir.text(), Under("Drive"));
}

TEST_F(NewDirDialogTest, KernelFileSystemsAreNotOfferedAsDrives) {
    EXPECT_FALSE(TfrmNewDir::IsListedVolume(QStorageInfo()));
    // Without proc mounted (a chroot), "/proc" is a plain folder of the root volume, which is
    // offered like any other.
    const QStorageInfo proc("/proc");
    if (proc.rootPath() == "/proc") {
        EXPECT_FALSE(TfrmNewDir::IsListedVolume(proc));
    }
    // A folder's volume is offered whenever the mount table knows it (a build root's may not).
    const QStorageInfo own(root);
    if (own.isValid()) {
        EXPECT_TRUE(TfrmNewDir::IsListedVolume(own));
    }
}

TEST_F(NewDirDialogTest, ExecuteRunsModallyOverItsOwnerAndReturnsOnClose) {
    QWidget owner(nullptr, Qt::Window | Qt::FramelessWindowHint);
    owner.setGeometry(100, 60, 513, 676);
    owner.show();
    TfrmNewDir owned(services, &owner);
    bool checked = false;
    QTimer::singleShot(0, &owned, [&] {
        EXPECT_TRUE(owned.isVisible());
        EXPECT_TRUE(owned.isModal());
        EXPECT_EQ(owned.geometry().center(), owner.geometry().center());
        EXPECT_EQ(owned.DirectoryListBox1->Directory(), root);
        QTest::keyClicks(owned.editDirName, "Ripped");
        QTest::keyClick(owned.editDirName, Qt::Key_Return);
        checked = true;
        QTest::mouseClick(owned.btnClose, Qt::LeftButton);
    });
    // Guards against a test that hangs in the modal loop.
    QTimer::singleShot(10000, &owned, [&] { owned.reject(); });
    owned.Execute(&outputDir);
    EXPECT_TRUE(checked);
    EXPECT_FALSE(owned.isVisible());
    EXPECT_EQ(outputDir.text(), Under("Ripped"));
    EXPECT_TRUE(QFileInfo(Under("Ripped")).isDir());
}
