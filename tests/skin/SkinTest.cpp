// The look: the pictures, the panels, the style's own controls, and the main window wearing
// them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QToolButton>

#include "CDRipTest.h"
#include "DirectoryEdit.h"
#include "RbPanel.h"
#include "RecordingServices.h"
#include "Skin.h"
#include "SkinStyle.h"
#include "TempDir.h"

namespace {

const QStringList kPictures = {"sonvale",    "tray-open", "tray-close", "play",   "stop",
                               "rip-wav",    "rip-ogg",   "rip-mp3",    "cancel", "save",
                               "new-folder", "disc-info", "exit",       "done",   "minimize",
                               "close",      "folder"};

QImage picture(const QString& name, int size, QIcon::Mode mode = QIcon::Normal) {
    return Skin::Icon(name)
        .pixmap(size, size, mode)
        .toImage()
        .convertToFormat(QImage::Format_ARGB32);
}

int opaquePixels(const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += qAlpha(image.pixel(x, y)) > 128;
    return n;
}

// Renders a widget over a loud background, so unpainted pixels stand out.
QImage rendered(QWidget& widget) {
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(QColor(255, 0, 255));
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

int lightness(QRgb p) {
    return QColor(p).lightness();
}

// Pixels of the accent blue and its shades: clearly more blue than red.
int bluePixels(const QImage& image, const QRect& area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c(image.pixel(x, y));
            n += c.blue() > 120 && c.blue() - c.red() > 60;
        }
    return n;
}

}  // namespace

TEST(SkinPictures, EveryPictureRendersAtAnySize) {
    for (const QString& name : kPictures) {
        for (int size : {12, 16, 24, 47}) {
            const QImage image = picture(name, size);
            ASSERT_EQ(image.size(), QSize(size, size)) << name.toStdString();
            EXPECT_GT(opaquePixels(image), size * size / 40) << name.toStdString() << " " << size;
        }
    }
    EXPECT_TRUE(Skin::Icon("no-such-picture").isNull());
    EXPECT_TRUE(Skin::Pixmap("no-such-picture", 16).isNull());
}

TEST(SkinPictures, TheThreeRipPicturesAreToldApart) {
    const QImage wav = picture("rip-wav", 48), ogg = picture("rip-ogg", 48),
                 mp3 = picture("rip-mp3", 48);
    const auto differing = [](const QImage& a, const QImage& b) {
        int n = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) {
                const QColor p(a.pixel(x, y)), q(b.pixel(x, y));
                n += std::abs(p.hue() - q.hue()) > 30 && p.saturation() > 80 && q.saturation() > 80;
            }
        return n;
    };
    // The format badges differ in colour over a good part of the picture.
    EXPECT_GT(differing(wav, ogg), 200);
    EXPECT_GT(differing(wav, mp3), 200);
    EXPECT_GT(differing(ogg, mp3), 200);
}

TEST(SkinPictures, DisabledPicturesAreFadedGrey) {
    const QImage normal = picture("play", 32);
    const QImage disabled = picture("play", 32, QIcon::Disabled);
    int coloured = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const QRgb n = normal.pixel(x, y), d = disabled.pixel(x, y);
            if (qAlpha(d) == 0) continue;
            EXPECT_EQ(qRed(d), qGreen(d));
            EXPECT_EQ(qGreen(d), qBlue(d));
            EXPECT_LT(qAlpha(d), qAlpha(n));
            coloured += QColor(n).saturation() > 100;
        }
    EXPECT_GT(coloured, 50) << "the normal picture is green";
}

TEST(SkinPanels, RaisedPanelFadesDownwardsInsideRoundedCorners) {
    TRbPanel panel(nullptr, TRbPanel::Kind::Raised);
    panel.resize(200, 100);
    const QImage image = rendered(panel);
    EXPECT_EQ(image.pixel(0, 0), QColor(255, 0, 255).rgb()) << "corner left unpainted";
    EXPECT_EQ(image.pixel(199, 99), QColor(255, 0, 255).rgb());
    EXPECT_NE(image.pixel(100, 50), QColor(255, 0, 255).rgb());
    EXPECT_GT(lightness(image.pixel(100, 5)), lightness(image.pixel(100, 94)) + 20);
}

TEST(SkinPanels, BackdropIsDarkAndShowsItsCaption) {
    TRbPanel panel(nullptr, TRbPanel::Kind::Backdrop);
    panel.resize(300, 120);
    EXPECT_TRUE(panel.CaptionRect().isEmpty());
    const auto whiteIn = [&](const QRect& area) {
        const QImage image = rendered(panel);
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                n += lightness(image.pixel(x, y)) > 220;
        return n;
    };
    const QImage plain = rendered(panel);
    EXPECT_LT(lightness(plain.pixel(150, 60)), 80);
    EXPECT_LT(lightness(plain.pixel(150, 110)), lightness(plain.pixel(150, 10)));

    panel.SetCaption("Create A New Directory for Ripping");
    const QRect caption = panel.CaptionRect();
    ASSERT_FALSE(caption.isEmpty());
    EXPECT_LT(caption.bottom(), 40) << "the caption sits at the top";
    EXPECT_GT(whiteIn(caption), 30);
    panel.SetCaption(QString());
    EXPECT_EQ(whiteIn(caption.adjusted(0, 2, 0, 0)), 0);
}

TEST(SkinPanels, BackdropOutlineCutsTheCornersOnly) {
    TRbPanel panel(nullptr, TRbPanel::Kind::Backdrop);
    panel.resize(433, 435);
    const QRegion outline = panel.Outline();
    EXPECT_FALSE(outline.contains(QPoint(0, 0)));
    EXPECT_FALSE(outline.contains(QPoint(432, 434)));
    EXPECT_TRUE(outline.contains(QPoint(216, 1)));
    EXPECT_TRUE(outline.contains(QPoint(1, 217)));
    EXPECT_TRUE(outline.contains(QPoint(216, 217)));
}

class SkinStyleTest : public ::testing::Test {
protected:
    template <typename W>
    void Skinned(W& widget, QSize size) {
        widget.setStyle(&style);
        widget.resize(size);
    }
    TSkinStyle style;
};

TEST_F(SkinStyleTest, ProgressBarFillsInProportion) {
    QProgressBar bar;
    Skinned(bar, QSize(200, 25));
    bar.setRange(0, 100);
    const QRect left(4, 4, 90, 17), right(106, 4, 90, 17);
    bar.setValue(0);
    QImage image = rendered(bar);
    EXPECT_EQ(bluePixels(image, left) + bluePixels(image, right), 0);
    bar.setValue(50);
    image = rendered(bar);
    EXPECT_GT(bluePixels(image, left), left.width() * left.height() / 2);
    EXPECT_LT(bluePixels(image, right), right.width() * right.height() / 10);
    bar.setValue(100);
    image = rendered(bar);
    EXPECT_GT(bluePixels(image, right), right.width() * right.height() / 2);
    // The groove is rounded: the very corner is not painted.
    EXPECT_EQ(image.pixel(0, 0), QColor(255, 0, 255).rgb());
}

TEST_F(SkinStyleTest, CheckBoxesAndRadioButtonsShowTheirState) {
    QCheckBox check("Rip Multiple Tracks");
    QRadioButton radio("Stereo");
    Skinned(check, QSize(140, 17));
    Skinned(radio, QSize(130, 17));
    const QRect indicator(0, 0, 17, 17);
    for (QAbstractButton* b :
         {static_cast<QAbstractButton*>(&check), static_cast<QAbstractButton*>(&radio)}) {
        b->setChecked(false);
        EXPECT_EQ(bluePixels(rendered(*b), indicator), 0) << b->text().toStdString();
        b->setChecked(true);
        EXPECT_GT(bluePixels(rendered(*b), indicator), 8) << b->text().toStdString();
    }
    // The window's narrow buttons (8 point captions) leave their captions room.
    QFont small = radio.font();
    small.setPointSize(8);
    radio.setFont(small);
    EXPECT_LE(style.pixelMetric(QStyle::PM_IndicatorWidth) +
                  style.pixelMetric(QStyle::PM_RadioButtonLabelSpacing) +
                  radio.fontMetrics().horizontalAdvance("Stereo  - 2 Channels"),
              130);
}

TEST_F(SkinStyleTest, ButtonPanelsShowEnabledPressedAndDisabled) {
    const auto panel = [&](QStyle::State state) {
        QImage image(60, 30, QImage::Format_ARGB32);
        image.fill(QColor(255, 0, 255));
        QPainter p(&image);
        QStyleOptionButton option;
        option.rect = image.rect();
        option.state = state;
        style.drawPrimitive(QStyle::PE_PanelButtonCommand, &option, &p);
        p.end();
        return image;
    };
    const QImage normal = panel(QStyle::State_Enabled | QStyle::State_Raised);
    const QImage pressed = panel(QStyle::State_Enabled | QStyle::State_Sunken);
    const QImage disabled = panel(QStyle::State_None);
    // A vertical gradient: light at the top, darker below; pressed turns it round.
    EXPECT_GT(lightness(normal.pixel(30, 3)), lightness(normal.pixel(30, 27)));
    EXPECT_LT(lightness(pressed.pixel(30, 3)), lightness(pressed.pixel(30, 27)));
    EXPECT_LT(QColor(disabled.pixel(30, 20)).saturation(),
              QColor(normal.pixel(30, 20)).saturation());
    EXPECT_EQ(normal.pixel(0, 0), QColor(255, 0, 255).rgb()) << "rounded corners";
}

TEST(SkinMainWindow, ButtonsArePicturesWithTheirHintsAndPanelsAreSkinned) {
    RecordingServices services;
    CDRipIntf::TCDSession session;
    Rip::TEncoders encoders;
    sonvaletest::TempDir home;
    TProgramOptions options(QString::fromStdString(home.file("Sonvale.conf")));
    TCDRipTestForm form(services, session, encoders, options);
    const QList<QAbstractButton*> buttons = form.findChildren<QAbstractButton*>();
    int pictured = 0;
    for (QAbstractButton* b : buttons) {
        if (!qobject_cast<QPushButton*>(b) && !qobject_cast<QToolButton*>(b)) continue;
        SCOPED_TRACE(b->toolTip().toStdString());
        EXPECT_TRUE(b->text().isEmpty());
        EXPECT_FALSE(b->icon().isNull());
        EXPECT_FALSE(b->toolTip().isEmpty());
        EXPECT_EQ(b->accessibleName(), b->toolTip());
        EXPECT_LE(b->iconSize().height(), b->height());
        ++pictured;
    }
    EXPECT_GE(pictured, 14);

    const auto* backdrop = qobject_cast<TRbPanel*>(form.RbPanel1);
    ASSERT_NE(backdrop, nullptr);
    EXPECT_EQ(backdrop->PanelKind(), TRbPanel::Kind::Backdrop);
    for (QFrame* raised : {form.RbPanel2, form.RbPanel3}) {
        const auto* panel = qobject_cast<TRbPanel*>(raised);
        ASSERT_NE(panel, nullptr);
        EXPECT_EQ(panel->PanelKind(), TRbPanel::Kind::Raised);
    }
    EXPECT_FALSE(form.Image1->pixmap().isNull());
    EXPECT_EQ(form.Label1->palette().color(QPalette::WindowText), QColor(Qt::white));
    EXPECT_TRUE(form.Label1->font().bold());
    EXPECT_GE(form.Label1->font().pointSize(), 16);
    EXPECT_EQ(form.lblRipStatus->palette().color(QPalette::WindowText), Skin::kHeadline);
    EXPECT_TRUE(form.lblRipStatus->font().bold());
}

TEST(SkinInstall, SetsTheStyleTheWindowIconAndTheDesktopEntry) {
    Skin::Install();
    EXPECT_NE(qobject_cast<TSkinStyle*>(QApplication::style()), nullptr);
    EXPECT_FALSE(QApplication::windowIcon().isNull());
    EXPECT_EQ(QGuiApplication::desktopFileName(), "sonvale");
    EXPECT_EQ(QApplication::palette().color(QPalette::Highlight), Skin::kAccent);
}
