// Starts the main window as the program does, waits for it to settle, then saves what the
// screen shows. Run under Xvfb to picture the window for the documentation:
//   CDRIP3_IMAGES=demo.cue xvfb-run -a sonvale-screenshot out.png [delay-ms] [--dialog|--rip]
// With --dialog the new-directory dialog is open over the window, a folder name typed in.
// With --rip the first four tracks are being ripped to WAV files in the output directory;
// the picture is taken once the first track is about half done, and the rip is cancelled.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "CDRipTest.h"
#include "CDSession.h"
#include "CreateNewDir.h"
#include "DirectoryEdit.h"
#include "Skin.h"
#include "UiServices.h"

int main(int argc, char** argv) {
    QString out;
    int delay = 1500;
    bool dialog = false;
    bool rip = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--dialog") == 0)
            dialog = true;
        else if (std::strcmp(argv[i], "--rip") == 0)
            rip = true;
        else if (out.isEmpty())
            out = QString::fromLocal8Bit(argv[i]);
        else
            delay = std::atoi(argv[i]);
    }
    if (out.isEmpty()) {
        std::fprintf(stderr, "usage: sonvale-screenshot OUT.png [delay-ms] [--dialog|--rip]\n");
        return 2;
    }
    CDRipIntf::TCDSession session;
    session.Initialize();
    Rip::TEncoders encoders;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Sonvale"));
    Skin::Install();
    TDesktopServices services;
    TProgramOptions options;
    TCDRipTestForm form(services, session, encoders, options);
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
    bool taken = false;
    const auto take = [&] {
        if (taken) return;
        taken = true;
        const QPixmap shot =
            form.screen()->grabWindow(0, form.x(), form.y(), form.width(), form.height());
        result = shot.save(out) ? 0 : 1;
        if (form.BatchRunning()) form.btnCancelRipClick();
        QApplication::exit(result);
    };
    if (rip) {
        QTimer::singleShot(delay / 2, [&] {
            form.chkMulSel->click();
            for (int line = 0; line < 4 && line < form.TrackList->count(); ++line)
                form.TrackList->item(line)->setSelected(true);
            // The picture is taken once the window has handled what came with this step,
            // the status line included.
            QObject::connect(form.Progbar1, &QProgressBar::valueChanged, [&](int value) {
                if (value >= 45) QTimer::singleShot(0, take);
            });
            form.btnRip->click();
        });
        QTimer::singleShot(delay * 10, take);  // a rip that never gets going
    } else {
        QTimer::singleShot(delay, take);
    }
    QApplication::exec();
    session.Finalize();
    return result;
}
