#include "RbPanel.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "Skin.h"

TRbPanel::TRbPanel(QWidget* parent, Kind kind) : QFrame(parent), kind_(kind) {
    setFrameShape(QFrame::NoFrame);
    // The rounded corners show what lies behind the panel.
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
}

void TRbPanel::SetCaption(const QString& caption) {
    caption_ = caption;
    update();
}

int TRbPanel::Radius() const {
    return kind_ == Kind::Backdrop ? 12 : 9;
}

QRect TRbPanel::CaptionRect() const {
    if (caption_.isEmpty()) return QRect();
    QFont f = font();
    f.setBold(true);
    f.setPointSize(f.pointSize() + 3);
    const QFontMetrics metrics(f);
    return QRect(0, 6, width(), metrics.height() + 4);
}

void TRbPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = Radius();

    QLinearGradient fill(0, 0, 0, height());
    if (kind_ == Kind::Backdrop) {
        fill.setColorAt(0, Skin::kBackdropTop);
        fill.setColorAt(1, Skin::kBackdropBottom);
    } else {
        fill.setColorAt(0, Skin::kPanelTop);
        fill.setColorAt(1, Skin::kPanelBottom);
    }
    p.setPen(
        QPen(kind_ == Kind::Backdrop ? Skin::kBackdropTop.lighter(190) : Skin::kPanelBorder, 1));
    p.setBrush(fill);
    p.drawRoundedRect(box, radius, radius);

    // A thin highlight under the top edge gives the panel its raised look.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, kind_ == Kind::Backdrop ? 40 : 200), 1));
    p.drawRoundedRect(box.adjusted(1, 1, -1, -1), radius - 1, radius - 1);

    if (!caption_.isEmpty()) {
        QFont f = font();
        f.setBold(true);
        f.setPointSize(f.pointSize() + 3);
        p.setFont(f);
        const QRect where = CaptionRect();
        p.setPen(QColor(0, 0, 0, 150));
        p.drawText(where.translated(1, 1), Qt::AlignHCenter | Qt::AlignVCenter, caption_);
        p.setPen(kind_ == Kind::Backdrop ? QColor(Qt::white) : Skin::kInk);
        p.drawText(where, Qt::AlignHCenter | Qt::AlignVCenter, caption_);
    }
}

void TRbPanel::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    shapeWindow();
}

void TRbPanel::moveEvent(QMoveEvent* event) {
    QFrame::moveEvent(event);
    shapeWindow();
}

QRegion TRbPanel::Outline() const {
    QPainterPath outline;
    outline.addRoundedRect(QRectF(rect()), Radius(), Radius());
    return QRegion(outline.toFillPolygon().toPolygon());
}

// A backdrop that covers its whole borderless window cuts the window to its own outline, so
// the corners outside the rounding are not painted at all.
void TRbPanel::shapeWindow() {
    QWidget* window = parentWidget();
    if (kind_ != Kind::Backdrop || !window || !window->isWindow()) return;
    if (!(window->windowFlags() & Qt::FramelessWindowHint)) return;
    // Without a window system there is nothing to cut (and the offscreen one says so loudly).
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) return;
    if (geometry() != window->rect()) {
        window->clearMask();
        return;
    }
    window->setMask(Outline());
}
