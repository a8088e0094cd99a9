#include "CDRipTest.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFontDatabase>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QThread>
#include <QToolButton>
#include <QWindow>

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

namespace {

QLabel* makeLabel(QWidget* parent, const QString& text, int x, int y, bool bold = true) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    QFont f = label->font();
    f.setBold(bold);
    label->setFont(f);
    label->adjustSize();
    label->move(x, y);
    return label;
}

// A picture button without a caption: the hint is its tooltip and its accessible name.
template <typename Button>
Button* makeButton(QWidget* parent, const QString& hint, const char* icon, int x, int y, int w,
                   int h) {
    auto* button = new Button(parent);
    button->setToolTip(hint);
    button->setAccessibleName(hint);
    button->setIcon(Skin::Icon(QString::fromLatin1(icon)));
    const int side = std::max(12, std::min(w, h) - (h >= 40 ? 10 : 6));
    button->setIconSize(QSize(side, side));
    button->setGeometry(x, y, w, h);
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

// Album, artist and track names; with the album's, a file name stays well within the 255
// bytes a Linux file system allows.
constexpr int kNameLength = 60;

// The panel that fills the window is its dark backdrop; the others are raised on it.
QFrame* makePanel(QWidget* parent, int x, int y, int w, int h) {
    auto* panel = new TRbPanel(
        parent, parent->isWindow() ? TRbPanel::Kind::Backdrop : TRbPanel::Kind::Raised);
    panel->setGeometry(x, y, w, h);
    return panel;
}

}  // namespace

TCDRipTestForm::TCDRipTestForm(TUiServices& services, TCDSession& session, Rip::TEncoders& encoders,
                               QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      MediaPlayer1(session),
      services_(services),
      session_(session),
      encoders_(encoders),
      batch_(*this, session, encoders, {[this] { lockBatchChoices(); }, [this] { batchEnded(); }}) {
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
    // The notice comes on the playback's thread; the window acts on it on its own.
    MediaPlayer1.SetNotifyHandler([this](uint32_t notifyCode, uint32_t device) {
        QMetaObject::invokeMethod(
            this, [this, notifyCode, device] { MediaPlayer1Notify(notifyCode, device); },
            Qt::QueuedConnection);
    });
}

TCDRipTestForm::~TCDRipTestForm() {
    // A batch still running would call a window that is gone.
    batch_.EndBatch();
    batch_.FlushReports();
    // Closing the device ends its playback, so no notice is sent to a window going away.
    MediaPlayer1.Close();
}

void TCDRipTestForm::buildControls() {
    RbPanel1 = makePanel(this, 0, 0, 513, 676);
    RbPanel1->setObjectName(QStringLiteral("RbPanel1"));

    Image1 = new QLabel(RbPanel1);
    Image1->setGeometry(32, 16, 32, 32);
    Image1->setPixmap(Skin::Pixmap(QStringLiteral("sonvale"), 32));

    Label1 = new QLabel(QStringLiteral("Sonvale"), RbPanel1);
    Label1->setGeometry(90, 16, 193, 37);
    Skin::MakeTitle(Label1);

    dxToolButton1 =
        makeButton<QToolButton>(RbPanel1, QStringLiteral("Minimize"), "minimize", 472, 8, 16, 16);
    dxToolButton2 =
        makeButton<QToolButton>(RbPanel1, QStringLiteral("Close"), "close", 488, 8, 16, 16);
    dxToolButton1->setFocusPolicy(Qt::NoFocus);
    dxToolButton2->setFocusPolicy(Qt::NoFocus);
    connect(dxToolButton1, &QToolButton::clicked, this, &TCDRipTestForm::dxToolButton1Click);
    connect(dxToolButton2, &QToolButton::clicked, this, &TCDRipTestForm::dxToolButton2Click);

    RbPanel2 = makePanel(RbPanel1, 24, 64, 465, 201);
    RbPanel3 = makePanel(RbPanel1, 24, 280, 465, 297);

    Progbar1 = new QProgressBar(RbPanel1);
    Progbar1->setGeometry(24, 592, 465, 25);
    Progbar1->setRange(0, 100);
    Progbar1->setValue(0);
    Progbar1->setToolTip(QStringLiteral("Ripping Progress"));

    Label4 = new QLabel(QString::fromLatin1(kMakerWebDomain), RbPanel1);
    Label4->setGeometry(32, 632, 85, 16);
    Label4->adjustSize();  // the whole address, from the same corner
    Label4->setCursor(Qt::PointingHandCursor);
    Label4->setStyleSheet(QStringLiteral("color: silver;"));
    Label4->setMouseTracking(true);
    Label4->installEventFilter(this);

    btnClose = makeButton<QPushButton>(RbPanel1, QStringLiteral("Exit"), "exit", 414, 632, 75, 25);
    connect(btnClose, &QPushButton::clicked, this, &TCDRipTestForm::btnCloseClick);

    // Settings area
    Label3 = makeLabel(RbPanel2, QStringLiteral("CD/DVD-ROM Drive"), 24, 12);
    btnSave = makeButton<QPushButton>(RbPanel2, QStringLiteral("Save CD/DVD-Rom Settings"), "save",
                                      158, 4, 25, 22);
    connect(btnSave, &QPushButton::clicked, this, &TCDRipTestForm::btnSaveSettingsClick);

    DriveSelBox = new QComboBox(RbPanel2);
    DriveSelBox->setEditable(true);
    DriveSelBox->setInsertPolicy(QComboBox::NoInsert);
    DriveSelBox->setGeometry(24, 28, 273, 21);
    DriveSelBox->setEditText(QStringLiteral("DriveSelBox"));
    // activated fires on the user's choice only, not on programmatic changes.
    connect(DriveSelBox, &QComboBox::activated, this, &TCDRipTestForm::DriveSelBoxChange);

    Label11 = makeLabel(RbPanel2, QStringLiteral("Recording Directory"), 24, 66);
    btnNewDir = makeButton<QPushButton>(RbPanel2, QStringLiteral("Create a New Directory"),
                                        "new-folder", 158, 54, 25, 22);
    connect(btnNewDir, &QPushButton::clicked, this, &TCDRipTestForm::btnNewDirClick);

    DirectoryEdit1 = new TDirectoryEdit(services_, RbPanel2);
    DirectoryEdit1->setGeometry(24, 81, 273, 21);
    DirectoryEdit1->setText(QDir::toNativeSeparators(QDir::tempPath()));
    DirectoryEdit1->SetBrowseHint(QStringLiteral("Output Directory"));
    DirectoryEdit1->SetDialogText(QStringLiteral("Music File Output Directory"));
    DirectoryEdit1->SetInitialFolder(QDir::tempPath());

    Label5 = makeLabel(RbPanel2, QStringLiteral("Recording Album Title"), 24, 111);
    edtAlbumName = new QLineEdit(QStringLiteral("Album Title"), RbPanel2);
    edtAlbumName->setGeometry(24, 126, 273, 19);
    // Room for the names a disc or the database gives, which run longer than typed ones.
    edtAlbumName->setMaxLength(kNameLength);

    Label7 = makeLabel(RbPanel2, QStringLiteral("Recording Artist Name"), 24, 153);
    edtArtistName = new QLineEdit(QStringLiteral("Artist Name"), RbPanel2);
    edtArtistName->setGeometry(24, 168, 129, 19);
    edtArtistName->setMaxLength(kNameLength);

    Label12 = makeLabel(RbPanel2, QStringLiteral("Recording Name"), 168, 153);
    edtRecName = new QLineEdit(QStringLiteral("Recording Name"), RbPanel2);
    edtRecName->setGeometry(168, 168, 129, 19);
    edtRecName->setMaxLength(kNameLength);

    Label2 = makeLabel(RbPanel2, QStringLiteral("Track Encoding"), 310, 12);
    rdbMono = new QRadioButton(QStringLiteral("Mono   - 1 Channel"), RbPanel2);
    rdbMono->setGeometry(311, 28, 130, 17);
    rdbStereo = new QRadioButton(QStringLiteral("Stereo  - 2 Channels"), RbPanel2);
    rdbStereo->setGeometry(311, 45, 130, 17);
    rdbStereo->setChecked(true);

    Label6 = makeLabel(RbPanel2, QStringLiteral("Track Quality"), 312, 65);
    Panel1 = new QFrame(RbPanel2);
    Panel1->setGeometry(304, 79, 145, 45);
    rdbPC = new QRadioButton(QStringLiteral("Personal Computer"), Panel1);
    rdbPC->setGeometry(8, 2, 130, 17);
    rdbPC->setChecked(true);
    rdbPLD = new QRadioButton(QStringLiteral("Personal Device"), Panel1);
    rdbPLD->setGeometry(8, 19, 130, 17);

    chkMulSel = new QCheckBox(QStringLiteral("Rip Multiple Tracks"), RbPanel2);
    chkMulSel->setGeometry(311, 127, 140, 17);
    connect(chkMulSel, &QCheckBox::clicked, this, &TCDRipTestForm::chkMulSelClick);

    Label8 = makeLabel(RbPanel2, QStringLiteral("Recording Genre"), 312, 153);
    ComboBox1 = new QComboBox(RbPanel2);
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setGeometry(311, 168, 130, 21);
    ComboBox1->addItems(GenreNames());
    ComboBox1->setMaxVisibleItems(13);
    ComboBox1->setCurrentIndex(-1);
    ComboBox1->setEditText(QStringLiteral("Other"));

    // Track area
    Label13 = makeLabel(RbPanel3, QStringLiteral("Track Listing"), 24, 12);
    XiButton1 = makeButton<QPushButton>(RbPanel3, QStringLiteral("Get Disc Info"), "disc-info", 110,
                                        4, 25, 22);
    connect(XiButton1, &QPushButton::clicked, this, &TCDRipTestForm::XiButton1Click);

    lblRipStatus = new QLabel(RbPanel3);
    lblRipStatus->setTextFormat(Qt::PlainText);
    lblRipStatus->setGeometry(248, 7, 200, 20);
    Skin::MakeHeadline(lblRipStatus);

    TrackList = new QListWidget(RbPanel3);
    TrackList->setGeometry(24, 29, 417, 113);
    TrackList->setSelectionMode(QAbstractItemView::SingleSelection);
    {
        QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        fixed.setPointSize(8);
        TrackList->setFont(fixed);
        // Lines run down a column, then on into the next; every column is wide enough
        // for the longest line a disc can have.
        const QFontMetrics metrics(fixed);
        TrackList->setFlow(QListView::TopToBottom);
        TrackList->setWrapping(true);
        TrackList->setResizeMode(QListView::Adjust);
        TrackList->setTextElideMode(Qt::ElideNone);
        TrackList->setGridSize(
            QSize(metrics.horizontalAdvance(QStringLiteral(" Track 10  =  00:00")) + 24,
                  metrics.height() + 2));
    }
    TrackList->setContextMenuPolicy(Qt::CustomContextMenu);
    // The right button's press is kept from the list (see eventFilter); Shift+F10 opens the
    // menu as the Menu key does.
    TrackList->viewport()->installEventFilter(this);
    TrackList->installEventFilter(this);
    connect(TrackList, &QListWidget::itemClicked, this, &TCDRipTestForm::TrackListClick);
    // A list box's click event also comes when the keyboard moves the current line: the
    // proposed name must follow the line a rip will take.
    connect(TrackList, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0) TrackListClick();
    });

    PopupMenu1 = new QMenu(this);
    SelectAll1 = PopupMenu1->addAction(QStringLiteral("Select All"));
    connect(SelectAll1, &QAction::triggered, this, &TCDRipTestForm::SelectAll1Click);
    Verify1 = PopupMenu1->addAction(QStringLiteral("Verify Selected Tracks"));
    connect(Verify1, &QAction::triggered, this, &TCDRipTestForm::Verify1Click);
    LookUpDisc1 = PopupMenu1->addAction(QStringLiteral("Look Up Disc Online"));
    connect(LookUpDisc1, &QAction::triggered, this, &TCDRipTestForm::LookUpDisc1Click);
    DriveReadOffset1 = PopupMenu1->addAction(QStringLiteral("Drive Read Offset..."));
    connect(DriveReadOffset1, &QAction::triggered, this, &TCDRipTestForm::DriveReadOffset1Click);
    connect(TrackList, &QWidget::customContextMenuRequested, this, &TCDRipTestForm::openTrackMenu);

    btnOpenCD = makeButton<QPushButton>(RbPanel3, QStringLiteral("Open Tray"), "tray-open", 24, 153,
                                        75, 33);
    btnCloseCD1 = makeButton<QPushButton>(RbPanel3, QStringLiteral("Close Tray"), "tray-close", 115,
                                          153, 75, 33);
    btnPlay = makeButton<QPushButton>(RbPanel3, QStringLiteral("Play Selected Track"), "play", 275,
                                      153, 75, 33);
    btnStop =
        makeButton<QPushButton>(RbPanel3, QStringLiteral("Stop Playing"), "stop", 366, 153, 75, 33);
    btnStop->setEnabled(false);
    connect(btnOpenCD, &QPushButton::clicked, this, &TCDRipTestForm::btnEjectCDClick);
    connect(btnCloseCD1, &QPushButton::clicked, this, &TCDRipTestForm::btnCloseCDClick);
    connect(btnPlay, &QPushButton::clicked, this, &TCDRipTestForm::btnPlayTrackClick);
    connect(btnStop, &QPushButton::clicked, this, &TCDRipTestForm::btnStopPlayClick);

    btnRip = makeButton<QPushButton>(RbPanel3, QStringLiteral("Rip To Wave"), "rip-wav", 24, 198,
                                     90, 57);
    btnOgg = makeButton<QPushButton>(RbPanel3, QStringLiteral("Rip To Ogg Vorbis"), "rip-ogg", 133,
                                     198, 90, 57);
    btnMp3 = makeButton<QPushButton>(RbPanel3, QStringLiteral("Rip to MP3"), "rip-mp3", 243, 198,
                                     90, 57);
    btnCancelCDRip = makeButton<QPushButton>(RbPanel3, QStringLiteral("Cancel Ripping"), "cancel",
                                             351, 198, 90, 57);
    connect(btnRip, &QPushButton::clicked, this, &TCDRipTestForm::btnRipClick);
    connect(btnOgg, &QPushButton::clicked, this, &TCDRipTestForm::btnOggClick);
    connect(btnMp3, &QPushButton::clicked, this, &TCDRipTestForm::btnMp3Click);
    connect(btnCancelCDRip, &QPushButton::clicked, this, &TCDRipTestForm::btnCancelRipClick);

    lblStatus = new QLabel(QStringLiteral("Status"), RbPanel3);
    lblStatus->setTextFormat(Qt::PlainText);  // an "&" shows as itself
    lblStatus->setGeometry(24, 264, 417, 30);
    lblStatus->setWordWrap(true);
    lblStatus->setAttribute(Qt::WA_TranslucentBackground);
    lblStatus->installEventFilter(this);
    {
        QFont f = lblStatus->font();
        f.setBold(true);
        lblStatus->setFont(f);
    }

    // The window is dragged by its background, its panels and its title.
    for (QWidget* w : {static_cast<QWidget*>(RbPanel1), static_cast<QWidget*>(Label1),
                       static_cast<QWidget*>(RbPanel2), static_cast<QWidget*>(RbPanel3)})
        w->installEventFilter(this);
}

void TCDRipTestForm::setTabOrders() {
    // Within the settings area: drive, directory, album, artist, name, save, multiple,
    // quality, new folder, stereo, mono, genre.
    const QList<QWidget*> settings = {
        DriveSelBox, DirectoryEdit1, edtAlbumName, edtArtistName, edtRecName, btnSave,  chkMulSel,
        rdbPLD,      rdbPC,          btnNewDir,    rdbStereo,     rdbMono,    ComboBox1};
    for (int i = 1; i < settings.size(); ++i) setTabOrder(settings[i - 1], settings[i]);
    const QList<QWidget*> tracks = {TrackList, btnOpenCD, btnCloseCD1,    btnPlay, btnStop,
                                    btnRip,    btnOgg,    btnCancelCDRip, btnMp3,  XiButton1};
    setTabOrder(settings.last(), tracks.first());
    for (int i = 1; i < tracks.size(); ++i) setTabOrder(tracks[i - 1], tracks[i]);
    setTabOrder(tracks.last(), btnClose);
}

// ---------------------------------------------------------------------------------------
// Status line

void TCDRipTestForm::SetStatus(const QString& text) {
    ++statusSets_;
    lblStatus->setText(text);
}

void TCDRipTestForm::fitStatus() {
    // A message longer than the line's two rows (long names make them) shows from its
    // start, the rest in its tooltip, rather than spilling over the buttons above. Measured
    // when painted, not when set: a rip sets a progress message with every chunk.
    const QString text = lblStatus->text();
    const QRect needed = lblStatus->fontMetrics().boundingRect(
        QRect(0, 0, lblStatus->width(), 1000), Qt::TextWordWrap, text);
    const bool overflows = needed.height() > lblStatus->height();
    const Qt::Alignment alignment = Qt::AlignLeft | (overflows ? Qt::AlignTop : Qt::AlignVCenter);
    if (lblStatus->alignment() != alignment) lblStatus->setAlignment(alignment);
    lblStatus->setToolTip(overflows ? text : QString());
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
        }
        QString status = QStringLiteral("Found ") + QString::number(n) +
                         QStringLiteral(" CD/DVD-ROM Drive(s), ");
        if (session_.CR_IsUnitReady()) {
            listed_.Load();
            status += listed_.DiscTypeMessage();
        } else {
            status += QStringLiteral("Disc is not Loaded in Active Drive.");
        }
        SetStatus(status);
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
    // However the window is closed, a running batch is cancelled and the window waits for
    // its track's clean-up (sizes filled in, streams closed): nothing goes on ripping once
    // the window is gone, and no file is left half written.
    batch_.EndBatch();
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

void TCDRipTestForm::FormMouseDown() {
    if (QWindow* handle = windowHandle()) handle->startSystemMove();
}

void TCDRipTestForm::mousePressEvent(QMouseEvent* event) {
    FormMouseDown();
    event->accept();
}

void TCDRipTestForm::Label4MouseMove() {
    QFont f = Label4->font();
    f.setUnderline(true);
    Label4->setFont(f);
}

void TCDRipTestForm::Label4MouseLeave() {
    QFont f = Label4->font();
    f.setUnderline(false);
    Label4->setFont(f);
}

void TCDRipTestForm::Label4Click() {
    services_.OpenUrl(QUrl(QString::fromLatin1(kMakerWebAddress)));
}

bool TCDRipTestForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Label4) {
        switch (event->type()) {
            case QEvent::MouseMove:
            case QEvent::Enter:
                Label4MouseMove();
                break;
            case QEvent::Leave:
                Label4MouseLeave();
                break;
            case QEvent::MouseButtonRelease:
                if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) Label4Click();
                return true;
            default:
                break;
        }
        return QWidget::eventFilter(watched, event);
    }
    if (watched == TrackList->viewport()) {
        // A list view selects on any button's press; a right-click only opens the pop-up
        // menu, which works on the selection as the user made it.
        const QEvent::Type type = event->type();
        if ((type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
             type == QEvent::MouseButtonDblClick) &&
            static_cast<QMouseEvent*>(event)->button() == Qt::RightButton)
            return true;
        return QWidget::eventFilter(watched, event);
    }
    if (watched == TrackList && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier) {
            const QListWidgetItem* current = TrackList->currentItem();
            openTrackMenu(current ? TrackList->visualItemRect(current).center() : QPoint());
            return true;
        }
        return QWidget::eventFilter(watched, event);
    }
    if (watched == lblStatus && event->type() == QEvent::Paint) fitStatus();
    if (event->type() == QEvent::MouseButtonPress &&
        (watched == RbPanel1 || watched == Label1 || watched == RbPanel2 || watched == RbPanel3)) {
        FormMouseDown();
        return true;
    }
    return QWidget::eventFilter(watched, event);
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
    session_.SelectCDROM(index);
    listed_.Relist();
}

void TCDRipTestForm::openTrackMenu(const QPoint& at) {
    PopupMenu1->popup(TrackList->viewport()->mapToGlobal(at));
}

void TCDRipTestForm::XiButton1Click() {
    if (BatchRunning()) return;  // the batch's disc stays listed as it started
    if (session_.CR_IsUnitReady()) {
        TrackList->clear();
        QApplication::setOverrideCursor(Qt::WaitCursor);
        QCoreApplication::processEvents();
        listed_.Load();
        SetStatus(listed_.DiscTypeMessage());
        QApplication::restoreOverrideCursor();
    } else {
        SetStatus(QStringLiteral("Disc is not Loaded in Active Drive."));
    }
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
    if (session_.Ready()) session_.CR_EjectCD(1);
}

void TCDRipTestForm::btnCloseCDClick() {
    if (BatchRunning()) return;
    if (session_.Ready()) session_.CR_EjectCD(0);
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
    const std::optional<int> samples =
        services_.AskInteger(this, QStringLiteral("Drive Read Offset"),
                             QStringLiteral("Read offset of the active drive, in samples:"),
                             settings_.ReadOffset(), -kMaxReadOffset, kMaxReadOffset);
    if (!samples) return;
    const QString said = settings_.SetReadOffset(*samples);
    SetStatus(said.isNull() ? QStringLiteral("Application Error.") : said);
}

// ---------------------------------------------------------------------------------------
// Ripping commands

void TCDRipTestForm::startBatch(Rip::TRipFormat format) {
    Rip::TBatchRequest request;
    request.DiscReady = [this] { return IsAudioCDReady(); };
    request.Disc = session_.Disc();
    request.Names = listed_.Names();
    request.TrackArtists = chkMulSel->isChecked() && edtArtistName->text() == proposedArtist_;
    batch_.Rip(format, request);
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
