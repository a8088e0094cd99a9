// One rip of a generated disc image, end to end through the program's binding, batches and
// rippers over the real libcdrip3.so, libbladeenc.so and libvorbisdll.so, for ctest to run
// under valgrind's memcheck: valgrind_rip wav|mp3|ogg. Exit 0 when the batch completed and
// wrote its file.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "CDSession.h"
#include "EncodeBatch.h"
#include "Encoders.h"
#include "FakeRipWindow.h"
#include "WaveBatch.h"
#include "testdisc.h"

using namespace CDRipIntf;

int main(int argc, char** argv) {
    const std::string format = argc > 1 ? argv[1] : "";
    if (format != "wav" && format != "mp3" && format != "ogg") {
        fprintf(stderr, "usage: %s wav|mp3|ogg\n", argv[0]);
        return 2;
    }
    char tmpl[] = "/tmp/sonvale-valgrind-XXXXXX";
    if (!mkdtemp(tmpl)) return 2;
    const std::filesystem::path dir(tmpl);
    const std::string bin = SONVALE_BIN_DIR;
    int result = 1;
    {
        setenv("HOME", dir.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
        const std::string cue = (dir / "disc.cue").string();
        // Two seconds and a bit: long enough for several chunks of every kind.
        testdisc::writeImage(testdisc::audioDisc({170, 90}), cue);
        setenv("CDRIP3_IMAGES", cue.c_str(), 1);
        setenv("CDRIP3_DEVICES", "", 1);
        std::filesystem::create_directories(dir / "out");

        CDRipIntf::TCDSession session;
        session.Initialize(bin + "/libcdrip3.so");
        Rip::TEncoders encoders;
        const bool vorbis = encoders.LoadVorbisLibrary(bin + "/libvorbisdll.so");
        if (session.Ready() && vorbis && session.ReadDiscInfo(session.Disc()) == 0) {
            FakeRipWindow window;
            window.choices.Directory = QString::fromStdString((dir / "out").string());
            window.choices.MultipleTracks = true;
            window.SetLines(session.Disc().TrackCount, {0});
            QString done;
            if (format == "wav") {
                Rip::TWaveRipper ripper(window, window.control, session);
                Rip::RipTracksToWave(window, window.control, ripper, window.Plan(session.Disc()));
                done = QStringLiteral("Ripping Completed.");
            } else {
                Rip::TEncodeRipper ripper(window, window.control, session, encoders);
                if (format == "mp3")
                    Rip::RipTracksToMp3(window, window.control, ripper,
                                        window.Plan(session.Disc()));
                else
                    Rip::RipTracksToOgg(window, window.control, ripper,
                                        window.Plan(session.Disc()));
                done = QStringLiteral("Ripping and Encoding Completed.");
            }
            const auto file = dir / "out" / ("Live Track 1." + format);
            const bool written =
                std::filesystem::exists(file) && std::filesystem::file_size(file) > 1000;
            if (window.status == done && window.dialogs.isEmpty() && written)
                result = 0;
            else
                fprintf(stderr, "the rip did not complete: %s\n", qPrintable(window.status));
        } else {
            fprintf(stderr, "the libraries or the disc are not ready\n");
        }
        encoders.UnloadVorbisLibrary();
        session.Finalize();
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return result;
}
