// The main window's controls, captions, hints, limits and defaults.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "CDRipTest.h"
#include "CreateNewDir.h"
#include "DirectoryEdit.h"
#include "RecordingServices.h"
#include "ScriptedCDRip.h"
#include "TempDir.h"

namespace {
class MainWindowTest : public ::testing::Test {
protected:
    RecordingServices services;
    CDRipIntf::TCDSession session;
    Rip::TEncoders encoders;
    sonvaletest::TempDir home;
    TProgramOptions options{QString::fromStdString(home.file("Sonvale.conf"))};
    TCDRipTestForm form{services, session, encoders, options};
};

QRect at(int x, int y, int w, int h) {
    return QRect(x, y, w, h);
}
}  // namespace

TEST_F(MainWindowTest, WindowIsBorderlessAndSized) {
    EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(form.size(), QSize(513, 676));
    EXPECT_EQ(form.windowTitle(), "Sonvale");
    EXPECT_EQ(form.Label1->text(), "Sonvale");
}

TEST_F(MainWindowTest, ButtonsCarryTheirHintsAndPositions) {
    struct Expect {
        QWidget* w;
        const char* hint;
        QRect geometry;
    };
    const Expect buttons[] = {
        {form.btnOpenCD, "Open Tray", at(24, 153, 75, 33)},
        {form.btnCloseCD1, "Close Tray", at(115, 153, 75, 33)},
        {form.btnPlay, "Play Selected Track", at(275, 153, 75, 33)},
        {form.btnStop, "Stop Playing", at(366, 153, 75, 33)},
        {form.btnRip, "Rip To Wave", at(24, 198, 90, 57)},
        {form.btnOgg, "Rip To Ogg Vorbis", at(133, 198, 90, 57)},
        {form.btnMp3, "Rip to MP3", at(243, 198, 90, 57)},
        {form.btnCancelCDRip, "Cancel Ripping", at(351, 198, 90, 57)},
        {form.btnSave, "Save CD/DVD-Rom Settings", at(158, 4, 25, 22)},
        {form.btnNewDir, "Create a New Directory", at(158, 54, 25, 22)},
        {form.XiButton1, "Get Disc Info", at(110, 4, 25, 22)},
        {form.btnClose, "Exit", at(414, 632, 75, 25)},
        {form.Progbar1, "Ripping Progress", at(24, 592, 465, 25)},
    };
    for (const Expect& e : buttons) {
        EXPECT_EQ(e.w->toolTip(), e.hint);
        EXPECT_EQ(e.w->geometry(), e.geometry) << e.hint;
    }
    EXPECT_EQ(form.dxToolButton1->toolTip(), "Minimize");
    EXPECT_EQ(form.dxToolButton2->toolTip(), "Close");
    EXPECT_EQ(form.dxToolButton1->pos(), QPoint(472, 8));
    EXPECT_EQ(form.dxToolButton2->pos(), QPoint(488, 8));
    EXPECT_EQ(form.RbPanel2->geometry(), at(24, 64, 465, 201));
    EXPECT_EQ(form.RbPanel3->geometry(), at(24, 280, 465, 297));
    EXPECT_EQ(form.TrackList->geometry(), at(24, 29, 417, 113));
    EXPECT_EQ(form.lblStatus->geometry(), at(24, 264, 417, 30));
    EXPECT_EQ(form.DriveSelBox->geometry(), at(24, 28, 273, 21));
    EXPECT_EQ(form.DirectoryEdit1->geometry(), at(24, 81, 273, 21));
}

TEST_F(MainWindowTest, DefaultsWhenFirstBuilt) {
    EXPECT_FALSE(form.btnStop->isEnabled());
    for (QWidget* w : {static_cast<QWidget*>(form.btnPlay), static_cast<QWidget*>(form.btnRip),
                       static_cast<QWidget*>(form.edtRecName)})
        EXPECT_TRUE(w->isEnabled());
    EXPECT_EQ(form.edtAlbumName->text(), "Album Title");
    EXPECT_EQ(form.edtArtistName->text(), "Artist Name");
    EXPECT_EQ(form.edtRecName->text(), "Recording Name");
    EXPECT_EQ(form.DirectoryEdit1->text(), QDir::toNativeSeparators(QDir::tempPath()));
    EXPECT_EQ(form.DirectoryEdit1->DialogText(), "Music File Output Directory");
    EXPECT_TRUE(form.rdbStereo->isChecked());
    EXPECT_FALSE(form.rdbMono->isChecked());
    EXPECT_TRUE(form.rdbPC->isChecked());
    EXPECT_FALSE(form.rdbPLD->isChecked());
    EXPECT_FALSE(form.chkMulSel->isChecked());
    EXPECT_EQ(form.TrackList->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(form.TrackList->count(), 0);
    EXPECT_EQ(form.lblStatus->text(), "Status");
    EXPECT_EQ(form.lblRipStatus->text(), "");
    EXPECT_EQ(form.Progbar1->value(), 0);
    EXPECT_EQ(form.Progbar1->maximum(), 100);
    EXPECT_EQ(form.rdbMono->text(), "Mono   - 1 Channel");
    EXPECT_EQ(form.rdbStereo->text(), "Stereo  - 2 Channels");
    EXPECT_EQ(form.chkMulSel->text(), "Rip Multiple Tracks");
    EXPECT_EQ(form.Label4->text(), kMakerWebDomain);
    EXPECT_TRUE(QString(kMakerWebAddress).contains(".example"));
}

TEST_F(MainWindowTest, RadioPairsAreSeparateChoices) {
    form.rdbMono->click();
    form.rdbPLD->click();
    EXPECT_TRUE(form.rdbMono->isChecked());
    EXPECT_FALSE(form.rdbStereo->isChecked());
    EXPECT_TRUE(form.rdbPLD->isChecked());
    EXPECT_FALSE(form.rdbPC->isChecked());
}

TEST_F(MainWindowTest, EditsRefuseTextBeyondTheirLimits) {
    // Long enough for the names discs carry, short enough that album and name together
    // stay a file name.
    for (QLineEdit* e : {form.edtAlbumName, form.edtArtistName, form.edtRecName}) {
        e->clear();
        QTest::keyClicks(e, QString(61, QLatin1Char('b')));
        EXPECT_EQ(e->text().size(), 60);
    }
}

TEST_F(MainWindowTest, GenreListIsTheFixedTableInCharacterOrder) {
    QComboBox* box = form.ComboBox1;
    ASSERT_EQ(box->count(), 148);
    EXPECT_EQ(box->itemText(0), "Acapella");
    EXPECT_EQ(box->itemText(147), "Vocal");
    EXPECT_EQ(box->currentText(), "Other");
    EXPECT_EQ(box->maxVisibleItems(), 13);
    EXPECT_LT(box->findText("AlternRock"), box->findText("Alternative"));
    for (const char* name : {"Gangsta", "Jazz+Funk", "Jpop", "Pop/Funk", "Psychadelic",
                             "Rock & Roll", "Top 40", "Trash Metal"})
        EXPECT_GE(box->findText(name), 0) << name;
    for (int i = 1; i < box->count(); ++i)
        EXPECT_LT(box->itemText(i - 1).toLatin1(), box->itemText(i).toLatin1());
    // Any other text may be typed.
    box->setEditText("Chiptune");
    EXPECT_EQ(box->currentText(), "Chiptune");
}

TEST_F(MainWindowTest, StatusLineShowsAmpersandsAndWraps) {
    form.SetStatus("Drum & Bass");
    EXPECT_EQ(form.lblStatus->text(), "Drum & Bass");
    EXPECT_EQ(form.lblStatus->textFormat(), Qt::PlainText);
    EXPECT_TRUE(form.lblStatus->wordWrap());
    EXPECT_EQ(form.lblStatus->size(), QSize(417, 30));
}

TEST_F(MainWindowTest, LinkLabelUnderlinesAndOpensTheAddress) {
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(form.Label4, &enter);
    EXPECT_TRUE(form.Label4->font().underline());
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(form.Label4, &leave);
    EXPECT_FALSE(form.Label4->font().underline());
    QTest::mouseClick(form.Label4, Qt::LeftButton);
    ASSERT_EQ(services.opened.size(), 1);
    EXPECT_EQ(services.opened[0], QUrl(kMakerWebAddress));
}

TEST_F(MainWindowTest, DirectoryBrowseTakesTheChosenFolder) {
    services.browseAnswer = "/srv/music";
    form.DirectoryEdit1->Browse();
    EXPECT_EQ(form.DirectoryEdit1->text(), "/srv/music");
    ASSERT_EQ(services.browsed.size(), 1);
    EXPECT_TRUE(services.browsed[0].startsWith("Music File Output Directory"));
    services.browseAnswer.clear();  // cancelled: the text stays
    form.DirectoryEdit1->Browse();
    EXPECT_EQ(form.DirectoryEdit1->text(), "/srv/music");
}

TEST_F(MainWindowTest, NewDirectoryButtonOpensTheDialogOverTheOutputDirectory) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    form.DirectoryEdit1->setText(dir.path());
    QString seenAtShow;
    QTimer::singleShot(0, [&] {
        seenAtShow = form.frmNewDir->lblDirName->text();
        form.frmNewDir->editDirName->setText("Concerts");
        form.frmNewDir->btnNewDirClick();
        form.frmNewDir->btnCloseClick();
    });
    form.btnNewDir->click();  // modal: returns once the dialog closed
    EXPECT_EQ(seenAtShow, dir.path());
    EXPECT_TRUE(QDir(dir.path() + "/Concerts").exists());
    EXPECT_EQ(QDir::cleanPath(form.DirectoryEdit1->text()), dir.path() + "/Concerts");
    EXPECT_TRUE(services.shown.isEmpty());
}
