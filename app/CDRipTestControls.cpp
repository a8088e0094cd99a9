// The window's widgets: making them, their tab order, and how the window answers the mouse
// and the keys on them (dragging the frameless window, the maker's link, the track list's
// pop-up menu, the status line's fit).
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
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
#include <QToolButton>
#include <QWindow>
#include <algorithm>

#include "CDRipTest.h"
#include "DirectoryEdit.h"
#include "Genres.h"
#include "Maker.h"
#include "RbPanel.h"
#include "Skin.h"

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
    RipToFlac1 = PopupMenu1->addAction(QStringLiteral("Rip To FLAC"));
    connect(RipToFlac1, &QAction::triggered, this, &TCDRipTestForm::RipToFlac1Click);
    RipToOpus1 = PopupMenu1->addAction(QStringLiteral("Rip To Opus"));
    connect(RipToOpus1, &QAction::triggered, this, &TCDRipTestForm::RipToOpus1Click);
    Verify1 = PopupMenu1->addAction(QStringLiteral("Verify Selected Tracks"));
    connect(Verify1, &QAction::triggered, this, &TCDRipTestForm::Verify1Click);
    LookUpDisc1 = PopupMenu1->addAction(QStringLiteral("Look Up Disc Online"));
    connect(LookUpDisc1, &QAction::triggered, this, &TCDRipTestForm::LookUpDisc1Click);
    DriveReadOffset1 = PopupMenu1->addAction(QStringLiteral("Drive Read Offset..."));
    connect(DriveReadOffset1, &QAction::triggered, this, &TCDRipTestForm::DriveReadOffset1Click);
    DetectDriveReadOffset1 = PopupMenu1->addAction(QStringLiteral("Detect Drive Read Offset"));
    connect(DetectDriveReadOffset1, &QAction::triggered, this,
            &TCDRipTestForm::DetectDriveReadOffset1Click);
    TestAndCopy1 = PopupMenu1->addAction(QStringLiteral("Test and Copy"));
    TestAndCopy1->setCheckable(true);
    TestAndCopy1->setChecked(options_.TestAndCopy());
    connect(TestAndCopy1, &QAction::triggered, this, &TCDRipTestForm::TestAndCopy1Click);
    FullTags1 = PopupMenu1->addAction(QStringLiteral("Full Tags"));
    FullTags1->setCheckable(true);
    FullTags1->setChecked(options_.FullTags());
    connect(FullTags1, &QAction::triggered, this, &TCDRipTestForm::FullTags1Click);
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
