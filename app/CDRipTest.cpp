#include "CDRipTest.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QToolButton>
#include <QWindow>
#include <memory>

#include "CDSession.h"
#include "CreateNewDir.h"
#include "DirectoryEdit.h"
#include "DiscIds.h"
#include "DriveSettings.h"
#include "EncodeBatch.h"
#include "Genres.h"
#include "RbPanel.h"
#include "Skin.h"
#include "WaveBatch.h"
#include "mci.h"

using namespace CDRipIntf;

TCDRipTestForm::TCDRipTestForm(TUiServices& services, TCDSession& session, Rip::TEncoders& encoders,
                               TProgramOptions& options, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      MediaPlayer1(session),
      services_(services),
      session_(session),
      encoders_(encoders),
      options_(options),
      batch_(*this, session, encoders,
             {[this] {
                  lockBatchChoices();
                  settings_.SetBatchRunning(true);
              },
              [this] {
                  settings_.SetBatchRunning(false);
                  batchEnded();
              }}) {
    setObjectName(QStringLiteral("CDRipTestForm"));
    setWindowTitle(QStringLiteral("Sonvale"));
    setFixedSize(513, 676);
    QFont base = font();
    base.setPointSize(8);
    setFont(base);
    buildControls();
    setTabOrders();
    frmNewDir = new TfrmNewDir(services_, this);
    connect(&listed_, &TListedDisc::Listed, this, &TCDRipTestForm::showListing);
    connect(&listed_, &TListedDisc::NamesChanged, this, [this] { showNames(listed_.Names()); });
    // The window answers while the drive is read; the cursor says it is being read.
    connect(&listed_, &TListedDisc::BusyChanged, this, [this](bool busy) {
        if (busy)
            setCursor(Qt::WaitCursor);
        else
            unsetCursor();
    });
    connect(&listed_, &TListedDisc::BecameIdle, this, &TCDRipTestForm::finishClosing);
    connect(&listed_, &TListedDisc::DriveChanged, this, [this] { settings_.DriveBecameActive(); });
    // The notice comes on the playback's thread; the window acts on it on its own.
    MediaPlayer1.SetNotifyHandler([this](uint32_t notifyCode, uint32_t device) {
        QMetaObject::invokeMethod(
            this, [this, notifyCode, device] { MediaPlayer1Notify(notifyCode, device); },
            Qt::QueuedConnection);
    });
}

TCDRipTestForm::~TCDRipTestForm() {
    // A batch still running would call a window that is gone (the event loop has ended:
    // Exit waits for the batch's end before it ends the program).
    batch_.EndBatch();
    batch_.FlushReports();
    // Closing the device ends its playback, so no notice is sent to a window going away.
    MediaPlayer1.Close();
}

// ---------------------------------------------------------------------------------------
// Status line

void TCDRipTestForm::SetStatus(const QString& text) {
    ++statusSets_;
    lblStatus->setText(text);
}

QString TCDRipTestForm::Status() const {
    return lblStatus->text();
}

// ---------------------------------------------------------------------------------------
// What the rippers see of the window

TRipChoices TCDRipTestForm::Choices() {
    TRipChoices choices;
    choices.Directory = DirectoryEdit1->text();
    choices.Album = edtAlbumName->text();
    choices.Artist = edtArtistName->text();
    choices.RecordingName = edtRecName->text();
    choices.Genre = ComboBox1->currentText();
    choices.Stereo = rdbStereo->isChecked();
    choices.Mono = rdbMono->isChecked();
    choices.PersonalComputer = rdbPC->isChecked();
    choices.PersonalDevice = rdbPLD->isChecked();
    choices.MultipleTracks = chkMulSel->isChecked();
    return choices;
}
QString TCDRipTestForm::RecordingName() const {
    return edtRecName->text();
}
void TCDRipTestForm::SetRecordingName(const QString& text) {
    edtRecName->setText(text);
}
int TCDRipTestForm::TrackLineCount() const {
    return TrackList->count();
}
int TCDRipTestForm::CurrentTrackLine() const {
    return TrackList->currentRow();
}
bool TCDRipTestForm::TrackLineSelected(int line) const {
    const QListWidgetItem* item = TrackList->item(line);
    return item && item->isSelected();
}
void TCDRipTestForm::DeselectTrackLine(int line) {
    if (QListWidgetItem* item = TrackList->item(line)) item->setSelected(false);
}
void TCDRipTestForm::SetRipStatus(const QString& text) {
    lblRipStatus->setText(text);
}
void TCDRipTestForm::SetProgressRange(int minimum, int maximum) {
    Progbar1->setRange(minimum, maximum);
}
void TCDRipTestForm::SetProgress(int position) {
    Progbar1->setValue(position);
}
int TCDRipTestForm::Progress() const {
    return Progbar1->value();
}
void TCDRipTestForm::ShowDialog(TDialog kind, const QString& text, const QString& title) {
    switch (kind) {
        case TDialog::Information:
            return services_.Information(this, text);
        case TDialog::Error:
            return services_.Error(this, text);
        case TDialog::Box:
            return services_.MessageBox(this, text, title);
    }
}
void TCDRipTestForm::Flash() {
    services_.Flash(this);
}

// ---------------------------------------------------------------------------------------
// Lifecycle

void TCDRipTestForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shown_) return;
    shown_ = true;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    FormShow();
}

void TCDRipTestForm::FormShow() {
    encoders_.LoadVorbisLibrary();  // without it only the Ogg batch refuses
    if (!session_.Ready()) {
        SetStatus(QStringLiteral("Sonvale is not Ready."));
    } else {
        const int32_t n = session_.CR_GetNumCDROM();
        if (n > 0) {
            for (int32_t i = 0; i < n; ++i)
                DriveSelBox->addItem(QString::fromStdString(session_.CR_GetCDROMIDByIndex(i)));
            session_.SelectCDROM(0);
            settings_.DriveBecameActive();
        }
        const QString found = QStringLiteral("Found ") + QString::number(n) +
                              QStringLiteral(" CD/DVD-ROM Drive(s), ");
        const QString noDisc = found + QStringLiteral("Disc is not Loaded in Active Drive.");
        // A disc the program started with may still be spinning up: it is listed once it
        // has, and until then the drive is said to have none.
        TListedDisc::TListing how;
        if (n > 0) how.First = [](TCDSession& session) { session.SelectCDROM(0); };
        how.WaitForDisc = true;
        auto saidNone = std::make_shared<bool>(false);
        how.NotYet = [this, noDisc, saidNone] {
            *saidNone = true;
            SetStatus(noDisc);
        };
        how.After = [this, found, noDisc, saidNone](bool ready) {
            if (ready)
                SetStatus(found + listed_.DiscTypeMessage());
            else if (!*saidNone)
                SetStatus(noDisc);
        };
        listed_.List(std::move(how));
    }
    DriveSelBox->setCurrentIndex(0);
    DriveSelBox->setFocus();
    TrackList->setFocus();
}

void TCDRipTestForm::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void TCDRipTestForm::FormClose() {
    if (closing_) return;
    closing_ = true;
    // However the window is closed, it goes at once; a running batch is cancelled and the
    // program ends once its track is cleaned up (sizes filled in, streams closed) and the
    // drive thread is back from the library: nothing goes on ripping, no file is left half
    // written, and the library is not unloaded under a call.
    hide();
    if (batch_.Running()) batch_.Cancel();
    listed_.Stop();
    finishClosing();
}

void TCDRipTestForm::finishClosing() {
    if (!closing_ || closed_ || batch_.Running() || !listed_.Idle()) return;
    closed_ = true;
    batch_.FlushReports();
    btnSaveSettingsClick();
    MediaPlayer1.Close();
    QCoreApplication::quit();
}

void TCDRipTestForm::btnCloseClick() {
    close();
}

void TCDRipTestForm::dxToolButton1Click() {
    showMinimized();
}

void TCDRipTestForm::dxToolButton2Click() {
    close();
}

// ---------------------------------------------------------------------------------------
// Disc and track listing

QString TCDRipTestForm::TrackLine(int trackIndex, bool audio, uint32_t length) {
    const auto two = [](unsigned v) {
        return QString::number(v).rightJustified(2, QLatin1Char('0'));
    };
    const QString mm = two((length >> 16) & 0xFF);
    const QString ss = two((length >> 8) & 0xFF);
    QString separator;
    if (!audio)
        separator = QStringLiteral(" = ");
    else if (trackIndex <= 9)
        separator = QStringLiteral("    =  ");
    else
        separator = QStringLiteral("  =  ");
    return QStringLiteral(" Track ") + QString::number(trackIndex) + separator + mm +
           QLatin1Char(':') + ss;
}

void TCDRipTestForm::LoadDiscInfo() {
    listed_.Load();
}

void TCDRipTestForm::showListing() {
    TrackList->clear();
    if (!listed_.Loaded()) return;
    const TDiscInfo& disc = listed_.Disc();
    for (int n = 1; n <= disc.TrackCount; ++n) {
        const TTrackEntry& e = disc.Entry(n);
        TrackList->addItem(TrackLine(n, e.Audio == 1, e.Length));
    }
    if (TrackList->count() > 0) {
        TrackList->setCurrentRow(0);
        TrackList->item(0)->setSelected(true);
    }
    showNames(listed_.Names());
    TrackListClick();
}

void TCDRipTestForm::showNames(const Rip::TDiscNames& names) {
    for (int i = 0; i < TrackList->count(); ++i) TrackList->item(i)->setToolTip(names.Title(i + 1));
    const auto propose = [](QLineEdit* edit, QString& proposed, const QString& name,
                            const QString& none) {
        if (edit->text() != proposed) return;
        edit->setText(name.isEmpty() ? none : name);
        edit->setCursorPosition(0);  // a long name shows its start
        proposed = edit->text();     // as the edit holds it, cut to its length
    };
    propose(edtAlbumName, proposedAlbum_, names.Album, QStringLiteral("Album Title"));
    propose(edtArtistName, proposedArtist_, names.Artist, QStringLiteral("Artist Name"));
    if (edtRecName->text() == proposedName_ && TrackList->currentRow() >= 0) TrackListClick();
}

void TCDRipTestForm::LookUpDisc1Click() {
    // New names in the edits halfway through a batch would split its files between two
    // albums.
    if (BatchRunning()) {
        services_.MessageBox(this, QStringLiteral("Ripping in Progress."), QStringLiteral("OK"));
        return;
    }
    listed_.LookUp();
}

bool TCDRipTestForm::IsAudioCDReady() {
    return listed_.Ready();
}

bool TCDRipTestForm::CanPlay() {
    if (!IsAudioCDReady()) {
        services_.MessageBox(this, QStringLiteral("Not an Audio CD."), QStringLiteral("OK"));
        return false;
    }
    if (BatchRunning()) {
        services_.MessageBox(this, QStringLiteral("Ripping in Progress."), QStringLiteral("OK"));
        return false;
    }
    return true;
}

void TCDRipTestForm::DriveSelBoxChange(int index) {
    // A batch reads from the active drive: switching drives under it would take its disc
    // away and empty the list it shows its progress in.
    if (BatchRunning()) {
        DriveSelBox->setCurrentIndex(session_.CR_GetActiveCDROM());
        return;
    }
    listed_.Relist(index);
}

void TCDRipTestForm::openTrackMenu(const QPoint& at) {
    PopupMenu1->popup(TrackList->viewport()->mapToGlobal(at));
}

void TCDRipTestForm::XiButton1Click() {
    if (BatchRunning()) return;  // the batch's disc stays listed as it started
    TListedDisc::TListing how;
    // As before it was asked: the list kept what it had when the drive had no disc.
    how.KeepIfNotReady = true;
    how.After = [this](bool ready) {
        SetStatus(ready ? listed_.DiscTypeMessage()
                        : QStringLiteral("Disc is not Loaded in Active Drive."));
    };
    listed_.List(std::move(how));
}

bool TCDRipTestForm::noticeOfActiveDrive(const svdevmon::DeviceNotice& notice) {
    const int32_t active = session_.CR_GetActiveCDROM();
    if (notice.driveIndex >= 0) return notice.driveIndex == active;
    return session_.DriveIsDevice(active, notice.deviceNode);
}

void TCDRipTestForm::WMDeviceChange(const svdevmon::DeviceNotice& notice) {
    // The listing, its names and a batch are all the active drive's: a disc coming to or
    // going from another drive changes none of them.
    if (!noticeOfActiveDrive(notice)) return;
    if (notice.code == svdevmon::kDeviceArrival) {
        listed_.Arrive();
    } else if (notice.code == svdevmon::kDeviceRemoveComplete) {
        // The batch ends with its running track; it rips from its own copy of the disc's
        // table, so forgetting the disc here takes nothing from under it.
        batch_.CancelForRemoval();
        // Another disc may come next: it is looked up anew. The discs in the other drives
        // keep their answers.
        if (listed_.Loaded()) batch_.ForgetDisc(listed_.Ids());
        listed_.Remove();
    }
}

// ---------------------------------------------------------------------------------------
// Playback and tray

void TCDRipTestForm::btnEjectCDClick() {
    // Also between two tracks of a batch, where no track is being read.
    if (BatchRunning()) {
        SetStatus(QStringLiteral("Busy Ripping selected track, cannot Eject CD/DVD-ROM."));
        return;
    }
    if (session_.Ready()) listed_.OpenTray();
}

void TCDRipTestForm::btnCloseCDClick() {
    if (BatchRunning()) return;
    if (session_.Ready()) listed_.CloseTray();
}
void TCDRipTestForm::btnPlayTrackClick() {
    if (!CanPlay()) return;
    const int item = TrackList->currentRow();
    const auto t = static_cast<uint8_t>(item + 1);
    if (t == 0 || !TrackLineSelected(item)) {
        services_.Information(this, QStringLiteral("Please select track to Play."));
        return;
    }
    // The drive chosen in the drive box plays, not whichever the system counts first.
    try {
        MediaPlayer1.Open(std::max(DriveSelBox->currentIndex(), 0));
    } catch (const EMciDeviceError& error) {
        services_.ApplicationError(this, QString::fromStdString(error.what()));
        return;
    }
    MediaPlayer1.SetPosition(MediaPlayer1.TrackPosition(t));
    SetButtonsEnabled(false);
    btnStop->setEnabled(true);
    MediaPlayer1.Play();
}

void TCDRipTestForm::btnStopPlayClick() {
    MediaPlayer1.Stop();
    MediaPlayer1.Close();
    SetButtonsEnabled(true);
    btnStop->setEnabled(false);
}

void TCDRipTestForm::MediaPlayer1Notify(uint32_t notifyCode, uint32_t device) {
    // A playback that played out or failed leaves the window as Stop would. A stopped or
    // superseded one was ended by the window itself, and a notice of an earlier device
    // must not end the playback that replaced it.
    if (notifyCode != MCI_NOTIFY_SUCCESSFUL && notifyCode != MCI_NOTIFY_FAILURE) return;
    if (!MediaPlayer1.IsOpen() || MediaPlayer1.DeviceID() != device) return;
    btnStopPlayClick();
}

void TCDRipTestForm::SetButtonsEnabled(bool enabled) {
    for (QPushButton* b :
         {btnSave, btnOpenCD, btnCloseCD1, btnRip, btnOgg, btnCancelCDRip, btnClose, btnMp3})
        b->setEnabled(enabled);
}

// ---------------------------------------------------------------------------------------
// Drive settings

void TCDRipTestForm::btnSaveSettingsClick() {
    if (!session_.Ready()) {
        SetStatus(QStringLiteral("Sonvale is not Ready."));
        return;
    }
    SetStatus(settings_.Save());
}

void TCDRipTestForm::DriveReadOffset1Click() {
    // A batch opens a ripper per track: a new offset would shift only the tracks after it.
    if (BatchRunning()) {
        services_.MessageBox(this, QStringLiteral("Ripping in Progress."), QStringLiteral("OK"));
        return;
    }
    if (!session_.Ready()) {
        SetStatus(QStringLiteral("Sonvale is not Ready."));
        return;
    }
    const std::optional<int> samples = services_.AskInteger(
        this, QStringLiteral("Drive Read Offset"), settings_.ReadOffsetPrompt(),
        settings_.ReadOffset(), -kMaxReadOffset, kMaxReadOffset);
    if (!samples) return;
    const QString said = settings_.SetReadOffset(*samples);
    SetStatus(said.isNull() ? QStringLiteral("Application Error.") : said);
}

void TCDRipTestForm::DetectDriveReadOffset1Click() {
    // The same refusal as the dialog's: the offset is the drive's, and a batch reads with it.
    if (BatchRunning()) {
        services_.MessageBox(this, QStringLiteral("Ripping in Progress."), QStringLiteral("OK"));
        return;
    }
    batch_.DetectOffset(batchRequest(), [this](int offset) {
        const QString said = settings_.SetDetectedOffset(offset);
        SetStatus(said.isNull() ? QStringLiteral("Application Error.") : said);
    });
}

void TCDRipTestForm::TestAndCopy1Click() {
    // A batch that runs keeps the reads it started with; the next one takes the new choice.
    if (!options_.SetTestAndCopy(TestAndCopy1->isChecked())) sayOptionsNotSaved();
}

void TCDRipTestForm::FullTags1Click() {
    if (!options_.SetFullTags(FullTags1->isChecked())) sayOptionsNotSaved();
}

void TCDRipTestForm::sayOptionsNotSaved() {
    SetStatus(
        QStringLiteral("Cannot Save the Options! - (%1 cannot be written).").arg(options_.Path()));
}

// ---------------------------------------------------------------------------------------
// Ripping commands

Rip::TBatchRequest TCDRipTestForm::batchRequest() {
    Rip::TBatchRequest request;
    request.DiscReady = [this] { return IsAudioCDReady(); };
    request.Disc = session_.Disc();
    request.Names = listed_.Names();
    request.TrackArtists = chkMulSel->isChecked() && edtArtistName->text() == proposedArtist_;
    request.TestAndCopy = options_.TestAndCopy();
    request.FullTags = options_.FullTags();
    request.Art = listed_.CoverArt();
    return request;
}

void TCDRipTestForm::startBatch(Rip::TRipFormat format) {
    batch_.Rip(format, batchRequest());
}

void TCDRipTestForm::lockBatchChoices() {
    // What names a batch's files, where they go and how they are encoded is read at each
    // track's turn: changed halfway, later tracks would go under other names than the
    // report's, or over an earlier track's file.
    lockedChoices_.clear();
    for (QWidget* w : std::initializer_list<QWidget*>{
             DirectoryEdit1, btnNewDir, edtAlbumName, edtArtistName, edtRecName, ComboBox1,
             chkMulSel, rdbMono, rdbStereo, rdbPC, rdbPLD}) {
        lockedChoices_.emplace_back(w, w->isEnabled());
        w->setEnabled(false);
    }
    // The browse button is an action of the edit's, which a shortcut could still trigger.
    browseWasEnabled_ = DirectoryEdit1->BrowseButton()->isEnabled();
    DirectoryEdit1->BrowseButton()->setEnabled(false);
}

void TCDRipTestForm::unlockBatchChoices() {
    if (lockedChoices_.empty()) return;
    for (const auto& [w, enabled] : lockedChoices_) w->setEnabled(enabled);
    lockedChoices_.clear();
    DirectoryEdit1->BrowseButton()->setEnabled(browseWasEnabled_);
}

void TCDRipTestForm::batchEnded() {
    unlockBatchChoices();
    // Names that came while the batch ran show now.
    listed_.ShowWaitingNames();
    // Exit waited for this: once the batch's report is on its way.
    if (closing_)
        QMetaObject::invokeMethod(this, &TCDRipTestForm::finishClosing, Qt::QueuedConnection);
}

void TCDRipTestForm::btnRipClick() {
    startBatch(Rip::TRipFormat::Wave);
}
void TCDRipTestForm::btnMp3Click() {
    startBatch(Rip::TRipFormat::Mp3);
}

void TCDRipTestForm::btnOggClick() {
    startBatch(Rip::TRipFormat::Ogg);
}

void TCDRipTestForm::RipToFlac1Click() {
    startBatch(Rip::TRipFormat::Flac);
}

void TCDRipTestForm::RipToOpus1Click() {
    startBatch(Rip::TRipFormat::Opus);
}

void TCDRipTestForm::btnCancelRipClick() {
    batch_.Cancel();
}

void TCDRipTestForm::TrackListClick() {
    edtRecName->setText(listed_.Names().TrackName(TrackList->currentRow() + 1));
    edtRecName->setCursorPosition(0);
    proposedName_ = edtRecName->text();
}

void TCDRipTestForm::chkMulSelClick() {
    const bool multiple = chkMulSel->isChecked();
    edtRecName->setEnabled(!multiple);
    edtArtistName->setEnabled(!multiple);
    if (multiple) {
        TrackList->setSelectionMode(QAbstractItemView::ExtendedSelection);
        return;
    }
    // Back to one line: several selected lines would all be ripped into the one file the
    // recording name gives. Keep the current line if it was selected, else the first.
    int keep = -1;
    const int current = TrackList->currentRow();
    if (TrackLineSelected(current))
        keep = current;
    else
        for (int i = 0; i < TrackList->count() && keep < 0; ++i)
            if (TrackLineSelected(i)) keep = i;
    TrackList->setSelectionMode(QAbstractItemView::SingleSelection);
    TrackList->clearSelection();
    if (keep < 0) return;
    TrackList->setCurrentRow(keep, QItemSelectionModel::ClearAndSelect);
    TrackListClick();
}

void TCDRipTestForm::Verify1Click() {
    startBatch(Rip::TRipFormat::Verify);
}

void TCDRipTestForm::SelectAll1Click() {
    if (chkMulSel->isChecked())
        TrackList->selectAll();
    else
        services_.Information(this, QStringLiteral("Multiple Track Selection is not Checked."));
}

// ---------------------------------------------------------------------------------------
// New folder

void TCDRipTestForm::btnNewDirClick() {
    frmNewDir->Execute(DirectoryEdit1);
}
