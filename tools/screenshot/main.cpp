// Starts the main window as the program does, waits for it to settle, then saves what the
// screen shows. Run under Xvfb to picture the window for the documentation:
//   CDRIP3_IMAGES=demo.cue xvfb-run -a sonvale-screenshot out.png [delay-ms]
#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "CDRipIntf.h"
#include "CDRipTest.h"
#include "UiServices.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: sonvale-screenshot OUT.png [delay-ms]\n");
        return 2;
    }
    CDRipIntf::InitializeCDRip();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Sonvale"));
    TDesktopServices services;
    TCDRipTestForm form(services);
    form.show();
    const QString out = QString::fromLocal8Bit(argv[1]);
    const int delay = argc > 2 ? std::atoi(argv[2]) : 1500;
    int result = 1;
    QTimer::singleShot(delay, [&] {
        const QPixmap shot =
            form.screen()->grabWindow(0, form.x(), form.y(), form.width(), form.height());
        result = shot.save(out) ? 0 : 1;
        QApplication::exit(result);
    });
    QApplication::exec();
    CDRipIntf::FinalizeCDRip();
    return result;
}
