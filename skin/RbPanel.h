#pragma once

#include <QFrame>
#include <QString>

// A panel with rounded corners and a vertical gradient. A backdrop panel fills a borderless
// window: dark, with the window cut to its rounded outline, and optionally a caption centred
// at its top. A raised panel sits on a backdrop and carries the controls.
class TRbPanel : public QFrame {
    Q_OBJECT
public:
    enum class Kind { Backdrop, Raised };

    explicit TRbPanel(QWidget* parent = nullptr, Kind kind = Kind::Raised);

    Kind PanelKind() const { return kind_; }
    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption);
    int Radius() const;
    // Where the caption is drawn, in the panel's coordinates (empty without a caption).
    QRect CaptionRect() const;
    // The panel's rounded outline as a region, what a backdrop cuts its window to.
    QRegion Outline() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void shapeWindow();

    Kind kind_;
    QString caption_;
};
