#include "SkinStyle.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleFactory>
#include <QStyleOption>
#include <QToolButton>

#include "Skin.h"

namespace {

QLinearGradient vertical(const QRectF& r, const QColor& top, const QColor& bottom) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    return g;
}

}  // namespace

TSkinStyle::TSkinStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {
    setObjectName(QStringLiteral("sonvale"));
}

QPalette TSkinStyle::standardPalette() const {
    QPalette p = baseStyle()->standardPalette();
    p.setColor(QPalette::Window, QColor(0xe4, 0xea, 0xf2));
    p.setColor(QPalette::WindowText, Skin::kInk);
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::AlternateBase, QColor(0xee, 0xf3, 0xf9));
    p.setColor(QPalette::Text, Skin::kInk);
    p.setColor(QPalette::Button, QColor(0xe9, 0xee, 0xf5));
    p.setColor(QPalette::ButtonText, Skin::kInk);
    p.setColor(QPalette::Highlight, Skin::kAccent);
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, QColor(0xff, 0xfb, 0xe8));
    p.setColor(QPalette::ToolTipText, Skin::kInk);
    p.setColor(QPalette::PlaceholderText, QColor(0x8a, 0x97, 0xa8));
    const QColor greyed(0x8c, 0x96, 0xa3);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, greyed);
    p.setColor(QPalette::Disabled, QPalette::Base, QColor(0xf1, 0xf3, 0xf6));
    return p;
}

void TSkinStyle::polish(QPalette& palette) {
    palette = standardPalette();
}

void TSkinStyle::polish(QWidget* widget) {
    QProxyStyle::polish(widget);
    // The buttons light up under the mouse, so they need hover events.
    if (qobject_cast<QAbstractButton*>(widget)) widget->setAttribute(Qt::WA_Hover);
}

// ---------------------------------------------------------------------------------------
// Buttons

void TSkinStyle::drawButtonPanel(const QStyleOption* option, QPainter* painter) const {
    const bool enabled = option->state & State_Enabled;
    const bool down = option->state & (State_Sunken | State_On);
    const bool hover = enabled && (option->state & State_MouseOver);
    const bool focus = enabled && (option->state & State_HasFocus);
    const QRectF r = QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = qMin<qreal>(6, r.height() / 4);

    QColor top(0xff, 0xff, 0xff), bottom(0xc4, 0xd2, 0xe4), border(0x6b, 0x84, 0xa5);
    if (!enabled) {
        top = QColor(0xf0, 0xf2, 0xf5);
        bottom = QColor(0xdc, 0xe1, 0xe7);
        border = QColor(0xb1, 0xba, 0xc5);
    } else if (down) {
        top = QColor(0xa9, 0xc2, 0xe0);
        bottom = QColor(0xe3, 0xec, 0xf7);
        border = QColor(0x3d, 0x63, 0x93);
    } else if (hover) {
        top = QColor(0xff, 0xff, 0xff);
        bottom = QColor(0xb0, 0xcd, 0xf0);
        border = Skin::kAccent;
    }

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(border, 1));
    painter->setBrush(vertical(r, top, bottom));
    painter->drawRoundedRect(r, radius, radius);
    // Glossy upper half.
    if (enabled && !down) {
        QPainterPath gloss;
        const QRectF upper = r.adjusted(1.5, 1.5, -1.5, -r.height() / 2);
        gloss.addRoundedRect(upper, radius - 1, radius - 1);
        painter->setPen(Qt::NoPen);
        painter->setBrush(vertical(upper, QColor(255, 255, 255, 170), QColor(255, 255, 255, 30)));
        painter->drawPath(gloss);
    }
    if (focus) {
        painter->setBrush(Qt::NoBrush);
        painter->setPen(QPen(
            QColor(Skin::kAccent.red(), Skin::kAccent.green(), Skin::kAccent.blue(), 150), 1.5));
        painter->drawRoundedRect(r.adjusted(2, 2, -2, -2), radius - 1.5, radius - 1.5);
    }
    painter->restore();
}

// The round minimise and close buttons on the dark window backdrop.
void TSkinStyle::drawCaptionButton(const QStyleOption* option, QPainter* painter) const {
    const bool down = option->state & State_Sunken;
    const bool hover = (option->state & State_MouseOver) && (option->state & State_Enabled);
    const QRectF r = QRectF(option->rect).adjusted(1, 1, -1, -1);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const int alpha = down ? 110 : hover ? 80 : 40;
    painter->setPen(QPen(QColor(255, 255, 255, hover ? 170 : 90), 1));
    painter->setBrush(vertical(r, QColor(255, 255, 255, alpha), QColor(255, 255, 255, alpha / 3)));
    painter->drawEllipse(r);
    painter->restore();
}

// ---------------------------------------------------------------------------------------
// Check boxes and radio buttons

void TSkinStyle::drawCheckIndicator(const QStyleOption* option, QPainter* painter,
                                    bool round) const {
    const bool enabled = option->state & State_Enabled;
    const bool on = option->state & State_On;
    const bool hover = enabled && (option->state & State_MouseOver);
    const bool down = option->state & State_Sunken;
    const QRectF r = QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QColor border = !enabled ? QColor(0xa8, 0xb2, 0xbf)
                          : hover  ? Skin::kAccent
                                   : QColor(0x5f, 0x78, 0x99);
    painter->setPen(QPen(border, 1));
    painter->setBrush(down ? vertical(r, QColor(0xc7, 0xd7, 0xec), QColor(0xf4, 0xf8, 0xfd))
                           : vertical(r, Qt::white, QColor(0xd6, 0xe0, 0xec)));
    if (round)
        painter->drawEllipse(r);
    else
        painter->drawRoundedRect(r, 3, 3);

    if (on) {
        const QColor mark = enabled ? Skin::kAccent : QColor(0x9a, 0xa6, 0xb5);
        if (round) {
            const QRectF dot = r.adjusted(r.width() * 0.28, r.height() * 0.28, -r.width() * 0.28,
                                          -r.height() * 0.28);
            painter->setPen(Qt::NoPen);
            painter->setBrush(vertical(dot, mark.lighter(150), mark.darker(120)));
            painter->drawEllipse(dot);
        } else {
            QPainterPath tick;
            tick.moveTo(r.left() + r.width() * 0.22, r.top() + r.height() * 0.52);
            tick.lineTo(r.left() + r.width() * 0.42, r.top() + r.height() * 0.74);
            tick.lineTo(r.left() + r.width() * 0.80, r.top() + r.height() * 0.26);
            painter->setPen(QPen(mark, qMax<qreal>(2.0, r.width() / 6), Qt::SolidLine, Qt::RoundCap,
                                 Qt::RoundJoin));
            painter->setBrush(Qt::NoBrush);
            painter->drawPath(tick);
        }
    } else if (option->state & State_NoChange) {
        painter->setPen(QPen(Skin::kAccent, 2, Qt::SolidLine, Qt::RoundCap));
        painter->drawLine(QPointF(r.left() + 3, r.center().y()),
                          QPointF(r.right() - 3, r.center().y()));
    }
    painter->restore();
}

// ---------------------------------------------------------------------------------------
// Progress bar

void TSkinStyle::drawProgressGroove(const QStyleOption* option, QPainter* painter) const {
    const QRectF r = QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = qMin<qreal>(7, r.height() / 2);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(QColor(0x06, 0x0e, 0x1a), 1));
    painter->setBrush(vertical(r, QColor(0x0a, 0x15, 0x25), QColor(0x24, 0x38, 0x55)));
    painter->drawRoundedRect(r, radius, radius);
    painter->restore();
}

void TSkinStyle::drawProgressContents(const QStyleOption* option, QPainter* painter) const {
    const auto* bar = qstyleoption_cast<const QStyleOptionProgressBar*>(option);
    if (!bar) return;
    const qint64 span = qint64(bar->maximum) - bar->minimum;
    if (span <= 0) return;
    const qint64 done = qBound<qint64>(0, qint64(bar->progress) - bar->minimum, span);
    const QRectF inner = QRectF(bar->rect).adjusted(2, 2, -2, -2);
    const qreal width = inner.width() * double(done) / double(span);
    if (width < 1) return;
    const QRectF chunk(inner.left(), inner.top(), width, inner.height());
    const qreal radius = qMin<qreal>(5, chunk.height() / 2);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(vertical(chunk, QColor(0x8e, 0xe0, 0xff), QColor(0x16, 0x6c, 0xc2)));
    painter->drawRoundedRect(chunk, radius, radius);
    QRectF gloss = chunk.adjusted(1, 1, -1, -chunk.height() / 2);
    painter->setBrush(vertical(gloss, QColor(255, 255, 255, 140), QColor(255, 255, 255, 20)));
    painter->drawRoundedRect(gloss, radius - 1, radius - 1);
    painter->restore();
}

void TSkinStyle::drawProgressLabel(const QStyleOption* option, QPainter* painter) const {
    const auto* bar = qstyleoption_cast<const QStyleOptionProgressBar*>(option);
    if (!bar || !bar->textVisible || bar->text.isEmpty()) return;
    painter->save();
    QFont f = painter->font();
    f.setBold(true);
    painter->setFont(f);
    painter->setPen(QColor(0, 0, 0, 160));
    painter->drawText(QRectF(bar->rect).translated(1, 1), Qt::AlignCenter, bar->text);
    painter->setPen(Qt::white);
    painter->drawText(bar->rect, Qt::AlignCenter, bar->text);
    painter->restore();
}

// ---------------------------------------------------------------------------------------

void TSkinStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                               QPainter* painter, const QWidget* widget) const {
    switch (element) {
        case PE_PanelButtonCommand:
            drawButtonPanel(option, painter);
            return;
        case PE_PanelButtonTool:
            drawCaptionButton(option, painter);
            return;
        case PE_FrameFocusRect:
            // Buttons show focus inside their own panel.
            if (qobject_cast<const QPushButton*>(widget) ||
                qobject_cast<const QToolButton*>(widget))
                return;
            break;
        case PE_IndicatorCheckBox:
            drawCheckIndicator(option, painter, false);
            return;
        case PE_IndicatorRadioButton:
            drawCheckIndicator(option, painter, true);
            return;
        default:
            break;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void TSkinStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                             const QWidget* widget) const {
    switch (element) {
        case CE_PushButtonBevel:
            drawButtonPanel(option, painter);
            return;
        case CE_ProgressBarGroove:
            drawProgressGroove(option, painter);
            return;
        case CE_ProgressBarContents:
            drawProgressContents(option, painter);
            return;
        case CE_ProgressBarLabel:
            drawProgressLabel(option, painter);
            return;
        default:
            break;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

QRect TSkinStyle::subElementRect(SubElement element, const QStyleOption* option,
                                 const QWidget* widget) const {
    switch (element) {
        case SE_ProgressBarGroove:
        case SE_ProgressBarContents:
        case SE_ProgressBarLabel:
            return option->rect;
        default:
            return QProxyStyle::subElementRect(element, option, widget);
    }
}

int TSkinStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                            const QWidget* widget) const {
    switch (metric) {
        case PM_IndicatorWidth:
        case PM_IndicatorHeight:
        case PM_ExclusiveIndicatorWidth:
        case PM_ExclusiveIndicatorHeight:
            return 13;
        // The window's check and radio buttons are narrow; their captions need the room.
        case PM_CheckBoxLabelSpacing:
        case PM_RadioButtonLabelSpacing:
            return 4;
        case PM_ButtonShiftHorizontal:
        case PM_ButtonShiftVertical:
            return 1;
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

QIcon TSkinStyle::standardIcon(StandardPixmap icon, const QStyleOption* option,
                               const QWidget* widget) const {
    switch (icon) {
        case SP_DirIcon:
        case SP_DirOpenIcon:
        case SP_DirClosedIcon:
        case SP_DirLinkIcon:
            return Skin::Icon(QStringLiteral("folder"));
        case SP_FileDialogNewFolder:
            return Skin::Icon(QStringLiteral("new-folder"));
        case SP_TitleBarMinButton:
            return Skin::Icon(QStringLiteral("minimize"));
        case SP_TitleBarCloseButton:
            return Skin::Icon(QStringLiteral("close"));
        default:
            return QProxyStyle::standardIcon(icon, option, widget);
    }
}
