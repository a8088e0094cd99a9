// Starts the main window as the program does, waits for it to settle, then saves what the
// screen shows. Run under Xvfb to picture the window for the documentation:
//   CDRIP3_IMAGES=demo.cue xvfb-run -a sonvale-screenshot out.png [delay-ms] [--dialog]
// With --dialog the new-directory dialog is open over the window, a folder name typed in.
#include <QApplication>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "CDRipIntf.h"
#include "CDRipTest.h"
#include "CreateNewDir.h"
#include "DirectoryEdit.h"
#include "Skin.h"
#include "UiServices.h"

int main(int argc, char** argv) {
    QString out;
    int delay = 1500;
    bool dialog = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--dialog") == 0)
            dialog = true;
        else if (out.isEmpty())
            out = QString::fromLocal8Bit(argv[i]);
        else
            delay = std::atoi(argv[i]);
    }
    if (out.isEmpty()) {
        std::fprintf(stderr, "usage: sonvale-screenshot OUT.png [delay-ms] [--dialog]\n");
        return 2;
    }
    CDRipIntf::InitializeCDRip();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Sonvale"));
    Skin::Install();
    TDesktopServices services;
    TCDRipTestForm form(services);
    form.show();
    TfrmNewDir newDir(services, &form);
    if (dialog) {
        QTimer::singleShot(delay / 2, [&] {
            newDir.SetDirectoryEdit(form.DirectoryEdit1);
            newDir.show();
            newDir.editDirName->setText(QStringLiteral("Live at the Harbour"));
        });
    }
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
