// How the window answers while it waits on a drive and while it rips: the real window over
// the real libraries, on disc images that the CD library makes as slow as a real drive
// (CDRIP3_FAULTS spinup=3000;tray=1500 for the listings and trays, slow=600, 8x, for the
// rips), with a timer asking the window's thread to do something every 5 ms. Prints the
// longest time the window went without handling an event from its first show through the
// start-up listing, Get Disc Info, a drive change, Open Tray, Close Tray and a disc put in by
// hand; then, for a WAV and an MP3 batch of three tracks, the same, and the time from a
// Cancel click to the end of the cancelled track. Figures only: nothing here passes or fails.
//
// usage: bench_responsiveness [sectors per track]    (default 600: 8 seconds of audio)
#include <stdlib.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "CDRipTest.h"
#include "CDSession.h"
#include "DirectoryEdit.h"
#include "Encoders.h"
#include "UiServices.h"
#include "devicemonitor.h"
#include "testdisc.h"

namespace fs = std::filesystem;

namespace {

// The desktop as the program has it, but a dialog is printed rather than waited on.
class BenchServices : public TDesktopServices {
public:
    void ShowDialog(QWidget*, TDialogIcon, const QString& title, const QString& text) override {
        std::printf("  (dialog %s: %s)\n", qPrintable(title), qPrintable(text));
    }
};

struct Figures {
    double longestGapMs = 0;
    double seconds = 0;
    double cancelToEndMs = -1;  // -1: no cancel asked
    QString lastStatus;
};

bool batchEnded(const TCDRipTestForm& form) {
    static const QStringList finals = {QStringLiteral("Ripping Completed."),
                                       QStringLiteral("Ripping and Encoding Completed."),
                                       QStringLiteral("Ripping and Encoding Canceled.")};
    return form.lblRipStatus->text().isEmpty() && finals.contains(form.Status());
}

// Runs the window's loop from action until done(ms since the action) holds, or timeoutMs
// have passed, with a 5 ms ticker; gives the longest gap between handled events and the time
// it took.
Figures measure(const std::function<void()>& action, const std::function<bool(qint64)>& done,
                int timeoutMs = 60000) {
    Figures f;
    QElapsedTimer clock;
    qint64 lastTick = 0;
    QEventLoop loop;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        f.longestGapMs = std::max(f.longestGapMs, double(now - lastTick));
        lastTick = now;
        if (done(now) || now > timeoutMs) loop.quit();
    });
    clock.start();
    ticker.start();
    action();
    loop.exec();
    f.seconds = double(clock.elapsed()) / 1000.0;
    return f;
}

// Presses `button` with every line selected and runs the window's loop until the batch
// has ended; with cancelAtMs >= 0, Cancel is clicked that long after the start. The clock
// is the user's: a click is due at its time, whenever the window gets round to it.
Figures runBatch(TCDRipTestForm& form, QPushButton* button, int cancelAtMs) {
    form.SetStatus(QString());
    form.SelectAll1Click();
    form.TrackList->setCurrentRow(0, QItemSelectionModel::Select);
    qint64 cancelledAt = -1;
    double cancelToEnd = -1;
    Figures f = measure([button] { button->click(); },
                        [&](qint64 now) {
                            if (cancelAtMs >= 0 && cancelledAt < 0 && now >= cancelAtMs) {
                                form.btnCancelCDRip->click();
                                cancelledAt = cancelAtMs;
                            }
                            if (!batchEnded(form) || form.BatchRunning()) return false;
                            if (cancelledAt >= 0) cancelToEnd = double(now - cancelledAt);
                            return true;
                        });
    f.cancelToEndMs = cancelToEnd;
    f.lastStatus = form.Status();
    return f;
}

void printDriveFigure(const char* what, const Figures& f, const TCDRipTestForm& form) {
    std::printf("%s: %.2f s, longest gap between handled events %.0f ms (%d lines, %s)\n", what,
                f.seconds, f.longestGapMs, form.TrackList->count(), qPrintable(form.Status()));
}

}  // namespace

int main(int argc, char** argv) {
    const uint32_t sectors = argc > 1 ? uint32_t(std::stoul(argv[1])) : 600;
    if (!getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);

    const fs::path dir =
        fs::temp_directory_path() / ("sonvale-bench-ui-" + std::to_string(getpid()));
    fs::create_directories(dir / "out");
    fs::create_directories(dir / "home");
    setenv("HOME", (dir / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir / "home").c_str(), 1);
    const std::string cue = (dir / "disc.cue").string();
    testdisc::writeImage(testdisc::audioDisc({sectors, sectors, sectors}), cue);
    const std::string other = (dir / "other.cue").string();
    testdisc::writeImage(testdisc::audioDisc({sectors, sectors}), other);
    setenv("CDRIP3_IMAGES", (cue + ":" + other).c_str(), 1);
    // A real drive's pace: seconds to spin a disc up, to move its tray, and 8x reads.
    const char* const kSlowDrive = "spinup=3000;tray=1500;slow=600";
    setenv("CDRIP3_FAULTS", kSlowDrive, 1);

    CDRipIntf::TCDSession session;
    session.Initialize();
    Rip::TEncoders encoders;
    int rc = 0;
    {
        QApplication app(argc, argv);
        BenchServices services;
        TProgramOptions options;
        TCDRipTestForm form(services, session, encoders, options);
        svdevmon::DeviceMonitor monitor{svdevmon::DeviceMonitor::Options{false, QString()}};
        QObject::connect(&monitor, &svdevmon::DeviceMonitor::deviceChange, &form,
                         &TCDRipTestForm::WMDeviceChange);
        const auto listed = [&form](int lines) {
            return [&form, lines](qint64) {
                return form.Settled() && form.TrackList->count() == lines;
            };
        };
        std::printf("With %s:\n", kSlowDrive);
        printDriveFigure("  start-up until the disc is listed",
                         measure([&] { form.show(); }, listed(3)), form);
        printDriveFigure("  Get Disc Info", measure([&] { form.XiButton1->click(); }, listed(3)),
                         form);
        printDriveFigure("  drive change", measure([&] { form.DriveSelBoxChange(1); }, listed(2)),
                         form);
        measure([&] { form.DriveSelBoxChange(0); }, listed(3));
        printDriveFigure("  Open Tray", measure([&] { form.btnOpenCD->click(); }, listed(0)), form);
        printDriveFigure("  Close Tray until the disc is listed",
                         measure([&] { form.btnCloseCD1->click(); }, listed(3)), form);
        // The user opens and closes the tray by hand: the window hears of it by notices.
        std::thread hand([&session] {
            session.CR_EjectCD(1);
            session.CR_EjectCD(0);
        });
        bool gone = false;
        printDriveFigure("  a disc put in by hand until it is listed",
                         measure([] {},
                                 [&](qint64 now) {
                                     gone = gone || form.TrackList->count() == 0;
                                     return gone && listed(3)(now);
                                 }),
                         form);
        hand.join();
        setenv("CDRIP3_FAULTS", "slow=600", 1);
        form.DirectoryEdit1->setText(QString::fromStdString((dir / "out").string()));
        form.chkMulSel->click();
        if (form.TrackList->count() != 3) {
            std::fprintf(stderr, "the disc image was not listed: %s\n", qPrintable(form.Status()));
            rc = 1;
        } else {
            const double trackSeconds = sectors / 600.0;
            std::printf("Three tracks of %u sectors each, read at 600 sectors/s (%.2f s a track)\n",
                        sectors, trackSeconds);
            struct Run {
                const char* name;
                QPushButton* button;
            };
            const Run runs[] = {{"WAV", form.btnRip}, {"MP3", form.btnMp3}};
            for (const Run& r : runs) {
                const Figures whole = runBatch(form, r.button, -1);
                std::printf("%s batch: %.2f s, longest gap between handled events %.0f ms (%s)\n",
                            r.name, whole.seconds, whole.longestGapMs,
                            qPrintable(whole.lastStatus));
            }
            // Cancel half a track in, at 8x and at 1x, where every read takes longest.
            for (const int rate : {600, 75}) {
                setenv("CDRIP3_FAULTS", ("slow=" + std::to_string(rate)).c_str(), 1);
                for (const Run& r : runs) {
                    const int cancelAt = int(sectors * 1000.0 / 600 / 2);
                    const Figures f = runBatch(form, r.button, cancelAt);
                    std::printf(
                        "%s at %u sectors/s, Cancel at %d ms: the track ended %.0f ms after the "
                        "click, longest gap %.0f ms (%s)\n",
                        r.name, unsigned(rate), cancelAt, f.cancelToEndMs, f.longestGapMs,
                        qPrintable(f.lastStatus));
                }
            }
        }
        encoders.UnloadVorbisLibrary();
        session.Finalize();
    }
    fs::remove_all(dir);
    return rc;
}
