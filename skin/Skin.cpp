#include "Skin.h"

#include <QApplication>
#include <QGraphicsDropShadowEffect>
#include <QHash>
#include <QIconEngine>
#include <QLabel>
#include <QPainter>
#include <QSvgRenderer>

#include "SkinStyle.h"

namespace Skin {

namespace {

QString resourcePath(const QString& name) {
    return QStringLiteral(":/icons/") + name + QStringLiteral(".svg");
}

// Greys a picture for a disabled button: colour gone, lifted towards a light grey and
// partly transparent, so the symbol still reads but plainly does not invite a click.
QImage faded(const QImage& source) {
    QImage out = source.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb p = line[x];
            if (qAlpha(p) == 0) continue;
            const int grey = (qRed(p) * 11 + qGreen(p) * 16 + qBlue(p) * 5) / 32;
            const int v = (grey + 170) / 2;
            line[x] = qRgba(v, v, v, qAlpha(p) * 5 / 8);
        }
    }
    return out;
}

// Renders the SVG at whatever size a widget asks for, instead of scaling one bitmap.
class TSvgIconEngine : public QIconEngine {
public:
    explicit TSvgIconEngine(const QString& file) : file_(file) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
        if (size.isEmpty()) return QPixmap();
        const QString key = QString::number(size.width()) + QLatin1Char('x') +
                            QString::number(size.height()) + QLatin1Char('/') +
                            QString::number(int(mode == QIcon::Disabled));
        if (const auto it = cache_.constFind(key); it != cache_.constEnd()) return *it;
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QSvgRenderer renderer(file_);
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            // Keep the drawing square and centred in a non-square request.
            const int side = qMin(size.width(), size.height());
            renderer.render(
                &p, QRectF((size.width() - side) / 2.0, (size.height() - side) / 2.0, side, side));
        }
        if (mode == QIcon::Disabled) image = faded(image);
        const QPixmap pm = QPixmap::fromImage(image);
        cache_.insert(key, pm);
        return pm;
    }

    QIconEngine* clone() const override { return new TSvgIconEngine(file_); }
    QString key() const override { return QStringLiteral("sonvale-svg"); }
    QString iconName() override { return file_; }
    bool isNull() override { return false; }

private:
    QString file_;
    QHash<QString, QPixmap> cache_;
};

}  // namespace

QIcon Icon(const QString& name) {
    const QString file = resourcePath(name);
    if (!QSvgRenderer(file).isValid()) return QIcon();
    return QIcon(new TSvgIconEngine(file));
}

QPixmap Pixmap(const QString& name, int size) {
    return Icon(name).pixmap(size, size);
}

void Install() {
    QApplication::setStyle(new TSkinStyle);
    QApplication::setWindowIcon(Icon(QStringLiteral("sonvale")));
    // Lets desktops match the running program to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("sonvale"));
}

void MakeTitle(QLabel* label) {
    QFont f = label->font();
    f.setPointSize(20);
    f.setBold(true);
    label->setFont(f);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(p);
    auto* shadow = new QGraphicsDropShadowEffect(label);
    shadow->setBlurRadius(6);
    shadow->setOffset(1, 2);
    shadow->setColor(QColor(0, 0, 0, 170));
    label->setGraphicsEffect(shadow);
}

void MakeHeadline(QLabel* label) {
    QFont f = label->font();
    f.setPointSize(10);
    f.setBold(true);
    label->setFont(f);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, kHeadline);
    p.setColor(QPalette::Disabled, QPalette::WindowText, kHeadline.lighter(140));
    label->setPalette(p);
}

}  // namespace Skin
