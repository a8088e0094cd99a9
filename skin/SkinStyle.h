#pragma once

#include <QProxyStyle>

// Draws the standard controls in the program's look over Fusion: gradient picture buttons
// with rounded corners, round caption buttons, check boxes and radio buttons of its own, and a
// rounded gradient progress bar. Everything else (edits, lists, drop-down boxes) is Fusion with
// the program's palette.
class TSkinStyle : public QProxyStyle {
    Q_OBJECT
public:
    TSkinStyle();

    QPalette standardPalette() const override;
    void polish(QWidget* widget) override;
    void polish(QPalette& palette) override;
    using QProxyStyle::polish;

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    QRect subElementRect(SubElement element, const QStyleOption* option,
                         const QWidget* widget = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;

private:
    void drawButtonPanel(const QStyleOption* option, QPainter* painter) const;
    void drawCaptionButton(const QStyleOption* option, QPainter* painter) const;
    void drawCheckIndicator(const QStyleOption* option, QPainter* painter, bool round) const;
    void drawProgressGroove(const QStyleOption* option, QPainter* painter) const;
    void drawProgressContents(const QStyleOption* option, QPainter* painter) const;
    void drawProgressLabel(const QStyleOption* option, QPainter* painter) const;
};
