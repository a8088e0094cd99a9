#pragma once

#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "AccurateRipLookup.h"
#include "BatchLife.h"
#include "CDSession.h"
#include "DiscNames.h"
#include "DriveSettings.h"
#include "Encoders.h"
#include "ListedDisc.h"
#include "Maker.h"
#include "MediaPlayer.h"
#include "MusicBrainzLookup.h"
#include "ProgramOptions.h"
#include "RipJob.h"
#include "RipWindow.h"
#include "UiServices.h"
#include "devicenotice.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QAction;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QToolButton;
class TDirectoryEdit;
class TfrmNewDir;

// The main window.
class TCDRipTestForm : public QWidget, public TBatchWindow, private TListedDiscView {
    Q_OBJECT
public:
    // The window drives the drives through session, encodes through encoders and keeps
    // its own options in options; all three outlive it.
    TCDRipTestForm(TUiServices& services, CDRipIntf::TCDSession& session, Rip::TEncoders& encoders,
                   TProgramOptions& options, QWidget* parent = nullptr);
    ~TCDRipTestForm() override;

    TUiServices& Services() { return services_; }
    CDRipIntf::TCDSession& Session() { return session_; }
    Rip::TEncoders& Encoders() { return encoders_; }

    // The disc the window lists, with its names and lookups.
    TListedDisc& Listed() { return listed_; }
    // The active drive's settings and its read offset's list.
    TDriveSettings& DriveSettings() { return settings_; }
    bool DiscInfoLoaded() const { return listed_.Loaded(); }

    // Controls, named as the rest of the program refers to them.
    QFrame* RbPanel1 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QToolButton* dxToolButton1 = nullptr;
    QToolButton* dxToolButton2 = nullptr;
    QFrame* RbPanel2 = nullptr;
    QFrame* RbPanel3 = nullptr;
    QProgressBar* Progbar1 = nullptr;
    QLabel* Label4 = nullptr;
    QPushButton* btnClose = nullptr;

    QLabel* Label3 = nullptr;
    QPushButton* btnSave = nullptr;
    QComboBox* DriveSelBox = nullptr;
    QLabel* Label11 = nullptr;
    QPushButton* btnNewDir = nullptr;
    TDirectoryEdit* DirectoryEdit1 = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* edtAlbumName = nullptr;
    QLabel* Label7 = nullptr;
    QLineEdit* edtArtistName = nullptr;
    QLabel* Label12 = nullptr;
    QLineEdit* edtRecName = nullptr;
    QLabel* Label2 = nullptr;
    QRadioButton* rdbMono = nullptr;
    QRadioButton* rdbStereo = nullptr;
    QLabel* Label6 = nullptr;
    QFrame* Panel1 = nullptr;
    QRadioButton* rdbPC = nullptr;
    QRadioButton* rdbPLD = nullptr;
    QCheckBox* chkMulSel = nullptr;
    QLabel* Label8 = nullptr;
    QComboBox* ComboBox1 = nullptr;

    QLabel* Label13 = nullptr;
    QPushButton* XiButton1 = nullptr;
    QLabel* lblRipStatus = nullptr;
    QListWidget* TrackList = nullptr;
    QPushButton* btnOpenCD = nullptr;
    QPushButton* btnCloseCD1 = nullptr;
    QPushButton* btnPlay = nullptr;
    QPushButton* btnStop = nullptr;
    QPushButton* btnRip = nullptr;
    QPushButton* btnOgg = nullptr;
    QPushButton* btnMp3 = nullptr;
    QPushButton* btnCancelCDRip = nullptr;
    QLabel* lblStatus = nullptr;

    TMediaPlayer MediaPlayer1;  // never visible; plays tracks

    TfrmNewDir* frmNewDir = nullptr;  // the new-directory dialog, reused for every showing

    QMenu* PopupMenu1 = nullptr;
    QAction* SelectAll1 = nullptr;
    QAction* RipToFlac1 = nullptr;
    QAction* RipToOpus1 = nullptr;
    QAction* Verify1 = nullptr;
    QAction* LookUpDisc1 = nullptr;
    QAction* DriveReadOffset1 = nullptr;
    QAction* DetectDriveReadOffset1 = nullptr;
    QAction* TestAndCopy1 = nullptr;  // checkable: the batches that write files read twice
    QAction* FullTags1 = nullptr;     // checkable: MP3 and Ogg files fully tagged

    // The status line: one message at a time.
    void SetStatus(const QString& text) override;
    QString Status() const;

    // What a batch sees of the window (on this thread; its launcher thread goes through a
    // TQueuedRipWindow).
    TRipChoices Choices() override;
    void SetRecordingName(const QString& text) override;
    void DeselectTrackLine(int line) override;
    void SetRipStatus(const QString& text) override;
    void SetProgressRange(int minimum, int maximum) override;
    void SetProgress(int position) override;
    void Flash() override;
    void ShowDialog(TDialog kind, const QString& text, const QString& title) override;

    QString RecordingName() const;
    int TrackLineCount() const override;
    int CurrentTrackLine() const override;
    bool TrackLineSelected(int line) const override;
    int Progress() const;

    // A batch is running, from its rip command until its launcher thread has ended.
    bool BatchRunning() const { return batch_.Running(); }
    // Cancels the running batch, if any, and takes what it says until its thread has
    // ended; for the end of the program and of a test, where the event loop no longer runs.
    void EndBatch() { batch_.EndBatch(); }
    // A listing is under way, off the window's thread.
    bool Listing() const { return listed_.Listing(); }
    // Exit or the close button was pressed; the program ends once nothing runs any more.
    bool Closing() const override { return closing_; }
    // The window has closed and told the program to end.
    bool Closed() const { return closed_; }
    // Nothing the window asked of the drive thread still runs (a disc the program started
    // with may still be waited for, quietly).
    bool Settled() const { return !Listing() && listed_.Idle(); }

    // Disc and track listing
    void LoadDiscInfo();
    bool IsAudioCDReady();
    bool CanPlay();
    static QString TrackLine(int trackIndex, bool audio, uint32_t length);

public slots:
    // Lifecycle
    void FormShow();
    void FormClose();
    void btnCloseClick();
    void dxToolButton1Click();
    void dxToolButton2Click();
    void Label4Click();

    // Disc and track listing
    void DriveSelBoxChange(int index);
    void XiButton1Click();
    // A medium arrived in or left a drive; the window acts on those of the active drive.
    void WMDeviceChange(const svdevmon::DeviceNotice& notice);

    // Playback and tray
    void btnEjectCDClick();
    void btnCloseCDClick();
    void btnPlayTrackClick();
    void btnStopPlayClick();
    void SetButtonsEnabled(bool enabled);
    // How the player's playback ended (MCI_NOTIFY_...), on the window's thread.
    void MediaPlayer1Notify(uint32_t notifyCode, uint32_t device);

    // Drive settings
    void btnSaveSettingsClick();
    void DriveReadOffset1Click();
    void DetectDriveReadOffset1Click();
    void TestAndCopy1Click();
    void FullTags1Click();

    // Ripping commands
    void btnRipClick();
    void btnMp3Click();
    void btnOggClick();
    void RipToFlac1Click();
    void RipToOpus1Click();
    void btnCancelRipClick();
    void TrackListClick();
    void chkMulSelClick();
    void SelectAll1Click();
    void Verify1Click();
    void LookUpDisc1Click();

    // New folder
    void btnNewDirClick();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void FormMouseDown();
    void Label4MouseMove();
    void Label4MouseLeave();
    void buildControls();
    void setTabOrders();
    // The track list's pop-up menu, at a point of its viewport.
    void openTrackMenu(const QPoint& at);
    bool noticeOfActiveDrive(const svdevmon::DeviceNotice& notice);
    // What a rip command takes of the listed disc now.
    Rip::TBatchRequest batchRequest();
    // A rip command, with that.
    void startBatch(Rip::TRipFormat format);
    void sayOptionsNotSaved();
    // The controls that decide a batch's files take no input while it runs, and are put
    // back as they were when it ends.
    void lockBatchChoices();
    void unlockBatchChoices();
    void batchEnded();
    // Ends the program once the window closes and nothing runs any more.
    void finishClosing();
    // Puts the listed disc's names where they show: the lines' tooltips, and the album,
    // artist and recording name edits that still hold what the window put there.
    void showNames(const Rip::TDiscNames& names);
    // Shows the listed disc's lines, or none.
    void showListing();
    int StatusCount() const override { return statusSets_; }
    bool NamesWait() const override { return BatchRunning(); }
    QWidget* DialogOwner() override { return this; }
    // The status line's alignment and tooltip for the text it paints.
    void fitStatus();

    TUiServices& services_;
    CDRipIntf::TCDSession& session_;
    Rip::TEncoders& encoders_;
    TProgramOptions& options_;
    TDriveSettings settings_{session_};
    bool shown_ = false;
    bool closing_ = false;
    bool closed_ = false;  // the program was told to end
    // The batches, one at a time, the database's answers for them and their reports.
    Rip::TBatchLife batch_;

public:
    // Makes each batch's control; null: the batch's own. Tests record the pauses with it.
    std::function<std::unique_ptr<Rip::TRipControl>()>& MakeRipControl = batch_.MakeRipControl;

private:
    std::vector<std::pair<QWidget*, bool>> lockedChoices_;  // and whether each was enabled
    bool browseWasEnabled_ = true;
    int statusSets_ = 0;  // messages the status line has shown
    TListedDisc listed_{session_, services_, *this};
    // What the window itself last put in these edits: a text the user typed is never
    // replaced by a disc's name.
    QString proposedAlbum_ = QStringLiteral("Album Title");
    QString proposedArtist_ = QStringLiteral("Artist Name");
    QString proposedName_;
};
