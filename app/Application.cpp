#include "Application.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "CDRipTest.h"
#include "CDSession.h"
#include "CommandLine.h"
#include "Encoders.h"
#include "ProgramOptions.h"
#include "Skin.h"
#include "UiServices.h"
#include "devicemonitor.h"

namespace {
// Qt aborts with a toolkit message when no display is reachable; say plainly what to do.
// A platform or display named on the command line counts as well.
bool displayAvailable(int argc, char** argv) {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform) return true;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-platform" || arg == "--platform" || arg == "-display" || arg == "--display")
            return true;
    }
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (wayland && *wayland);
}
}  // namespace

int SonvaleMain(int argc, char** argv) {
    if (const int answered = AnswerCommandLine(argc, argv, stdout, stderr); answered >= 0) {
        return answered;
    }
    if (!displayAvailable(argc, argv)) {
        std::fprintf(stderr, "Sonvale needs a display; without one, run it as: xvfb-run -a %s\n",
                     argc > 0 ? argv[0] : "sonvale");
        return 2;
    }
    // The program's one hold on the drives and on the encoders; the window only borrows them.
    CDRipIntf::TCDSession session;
    session.Initialize();
    Rip::TEncoders encoders;

    int exitCode = 0;
    {
        QApplication app(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Sonvale"));
        QApplication::setApplicationDisplayName(QStringLiteral("Sonvale"));
        Skin::Install();
        // The window ends the program itself, once its batch and its drive thread are done.
        QApplication::setQuitOnLastWindowClosed(false);
        TDesktopServices services;
        TProgramOptions options;
        auto form = std::make_unique<TCDRipTestForm>(services, session, encoders, options);
        // Media arriving or going, for real drives (udev) and image drives (their trays).
        svdevmon::DeviceMonitor monitor;
        QObject::connect(&monitor, &svdevmon::DeviceMonitor::deviceChange, form.get(),
                         &TCDRipTestForm::WMDeviceChange);
        form->show();
        exitCode = QApplication::exec();
        // The window's threads end before the libraries they call are unbound, in the
        // reverse order of start-up.
        form.reset();
        encoders.UnloadVorbisLibrary();
        session.Finalize();
    }
    return exitCode;
}
