#pragma once

#include <QWidget>

#include "CDSession.h"
#include "EncodeRipper.h"
#include "Encoders.h"
#include "Maker.h"
#include "MediaPlayer.h"
#include "RipWindow.h"
#include "UiServices.h"
#include "WaveRipper.h"

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

// Device-change event codes, as the device monitor hands them to WMDeviceChange.
constexpr unsigned kDeviceArrival = 0x8000;
constexpr unsigned kDeviceRemoveComplete = 0x8004;

// The main window.
class TCDRipTestForm : public QWidget, public TRipWindow {
    Q_OBJECT
public:
    // The window drives the drives through session and encodes through encoders; both
    // outlive it.
    TCDRipTestForm(TUiServices& services, CDRipIntf::TCDSession& session, Rip::TEncoders& encoders,
                   QWidget* parent = nullptr);
    ~TCDRipTestForm() override;

    TUiServices& Services() { return services_; }
    CDRipIntf::TCDSession& Session() { return session_; }
    Rip::TEncoders& Encoders() { return encoders_; }

    // Program-wide state owned by the window's unit.
    bool DiscInfoLoaded = false;

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
    Rip::TWaveRipper WaveRipper;
    Rip::TEncodeRipper EncodeRipper;  // MP3 and Ogg Vorbis tracks

    TfrmNewDir* frmNewDir = nullptr;  // the new-directory dialog, reused for every showing

    QMenu* PopupMenu1 = nullptr;
    QAction* SelectAll1 = nullptr;

    // The status line: one message at a time.
    void SetStatus(const QString& text) override;
    QString Status() const override;

    // What the rippers see of the window.
    QString DirectoryText() const override;
    QString AlbumTitle() const override;
    QString ArtistName() const override;
    QString RecordingName() const override;
    void SetRecordingName(const QString& text) override;
    QString GenreText() const override;
    bool StereoChecked() const override;
    bool MonoChecked() const override;
    bool PersonalComputerChecked() const override;
    bool PersonalDeviceChecked() const override;
    bool MultipleTracksChecked() const override;
    int TrackLineCount() const override;
    int CurrentTrackLine() const override;
    bool TrackLineSelected(int line) const override;
    void DeselectTrackLine(int line) override;
    void SetRipStatus(const QString& text) override;
    void SetProgressRange(int minimum, int maximum) override;
    void SetProgress(int position) override;
    int Progress() const override;
    void ProcessEvents() override;
    void ShowInformation(const QString& text) override;
    void ShowError(const QString& text) override;
    void ShowMessageBox(const QString& text, const QString& title) override;
    void Sleep(int milliseconds) override;
    void Flash() override;
    bool Closing() const override { return exitRequested_; }

    // Disc and track listing
    void LoadDiscInfo();
    bool IsAudioCDReady() override;
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
    void WMDeviceChange(unsigned eventCode);

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

    // Ripping commands
    void btnRipClick();
    void btnMp3Click();
    void btnOggClick();
    void btnCancelRipClick();
    void TrackListClick();
    void chkMulSelClick();
    void SelectAll1Click();

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
    QString discTypeMessage() const;

    TUiServices& services_;
    CDRipIntf::TCDSession& session_;
    Rip::TEncoders& encoders_;
    bool shown_ = false;
    bool closing_ = false;
    bool exitRequested_ = false;  // the window is closing: batches end with the running track
};
