// Rips part of a 74-minute disc image and encodes it to MP3 (192 kbit/s, stereo), Ogg Vorbis
// (quality 0.6), FLAC (level 8, verified) and Opus (160 kbit/s) through the program's
// batches, libcdrip3, libbladeenc, libvorbisdll, libFLAC and libopusenc; then encodes the
// same audio, from a WAV file, with `lame -b 192`, `oggenc -q 6`, `flac -8 -V` and
// `opusenc --bitrate 160` when they are installed, and prints the times and their ratios.
// Figures only: nothing here passes or fails.
//
// usage: bench_encode [minutes] [tracks]    (defaults 10 and 20)
//   The image always holds 74 minutes in `tracks` tracks; the first tracks that together
//   hold at least `minutes` minutes are encoded (0 or 74 and more: the whole disc).
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QString>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "CDSession.h"
#include "EncodeBatch.h"
#include "Encoders.h"
#include "FakeRipWindow.h"
#include "WavWriter.h"
#include "testdisc.h"

namespace fs = std::filesystem;
using namespace CDRipIntf;

namespace {

// The window as far as a batch needs it: the first lines selected, one file per track,
// stereo and "Personal Computer", no pause between tracks (the real window waits two
// seconds there, which is neither reading nor encoding).
void prepare(FakeRipWindow& window, const QString& dir, int lines, int selected) {
    window.choices.Directory = dir;
    window.choices.Album = QStringLiteral("Bench");
    window.choices.Artist = QStringLiteral("Sonvale");
    window.choices.Genre = QStringLiteral("Test");
    window.choices.MultipleTracks = true;
    window.selected.clear();
    for (int i = 0; i < lines; ++i) window.selected.push_back(i < selected);
}

// The last status text, and every dialog the batch showed.
std::string outcome(const FakeRipWindow& window) {
    const QString dialogs = window.dialogs.join(QStringLiteral("; "));
    return (window.status + (dialogs.isEmpty() ? QString() : " / dialogs: " + dialogs))
        .toStdString();
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

uint64_t bytesIn(const fs::path& dir, const std::string& extension) {
    uint64_t total = 0;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().extension() == extension) total += e.file_size();
    return total;
}

std::string findInPath(const std::string& program) {
    const char* path = getenv("PATH");
    const std::string all = path ? path : "/usr/bin:/bin";
    size_t at = 0;
    while (at <= all.size()) {
        const size_t end = all.find(':', at);
        const std::string dir = all.substr(at, end == std::string::npos ? end : end - at);
        const std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return {};
}

// Runs argv with its output discarded; the exit status, or -1.
int run(const std::vector<std::string>& argv) {
    fflush(nullptr);  // or the child prints our buffered lines a second time
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(127);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The audio of [first, last] as one WAV file, for the reference encoders.
bool writeWav(const std::string& path, const testdisc::DiscPlan& discPlan, uint32_t first,
              uint32_t last) {
    Rip::TWavWriter writer;
    if (!writer.Create(path)) return false;
    constexpr uint32_t kStep = 1000;  // sectors per piece: keeps the memory small
    for (uint32_t at = first; at <= last; at += kStep) {
        const auto bytes = testdisc::rangeBytes(discPlan, at, std::min(last, at + kStep - 1));
        if (!writer.Append(bytes.data(), bytes.size())) return false;
    }
    return writer.Finish();
}

struct Timing {
    double seconds = 0;
    uint64_t bytes = 0;
    bool ran = false;
};

void print(const char* what, const Timing& t, double audioSeconds, const std::string& note) {
    printf("%-22s %7.2f s  %6.1fx real time  %6.1f MB  %s\n", what, t.seconds,
           audioSeconds / t.seconds, t.bytes / 1e6, note.c_str());
}

Timing runReference(const std::string& program, std::vector<std::string> argv,
                    const fs::path& output, double audioSeconds, const char* label) {
    Timing t;
    const std::string path = findInPath(program);
    if (path.empty()) {
        printf("%-22s not installed\n", label);
        return t;
    }
    argv.insert(argv.begin(), path);
    const auto start = std::chrono::steady_clock::now();
    const int rc = run(argv);
    t.seconds = secondsSince(start);
    t.bytes = fs::exists(output) ? fs::file_size(output) : 0;
    t.ran = rc == 0;
    print(label, t, audioSeconds, "exit " + std::to_string(rc));
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    const int minutes = argc > 1 ? atoi(argv[1]) : 10;
    const int tracks = argc > 2 ? atoi(argv[2]) : 20;
    if (minutes < 0 || tracks <= 0 || tracks > 99) {
        fprintf(stderr, "usage: %s [minutes] [tracks]\n", argv[0]);
        return 2;
    }

    char tmpl[] = "/tmp/sonvale-bench-XXXXXX";
    if (!mkdtemp(tmpl)) {
        perror("mkdtemp");
        return 1;
    }
    const fs::path root = tmpl;
    for (const char* dir :
         {"image", "mp3", "ogg", "flac", "opus", "lame", "oggenc", "flactool", "opusenc", "home"})
        fs::create_directories(root / dir);
    setenv("HOME", (root / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root / "home").c_str(), 1);

    constexpr uint32_t kDiscSectors = 74 * kFramesPerMinute;
    std::vector<uint32_t> lengths(size_t(tracks), kDiscSectors / uint32_t(tracks));
    lengths.back() += kDiscSectors % uint32_t(tracks);
    const testdisc::DiscPlan discPlan = testdisc::audioDisc(lengths);
    const std::string cue = (root / "image" / "bench.cue").string();
    auto start = std::chrono::steady_clock::now();
    const testdisc::ExpectedDisc toc = testdisc::writeImage(discPlan, cue);
    printf("image: 74 min, %d tracks, %.1f MB, written in %.2f s\n", tracks,
           kDiscSectors * double(testdisc::kSectorBytes) / 1e6, secondsSince(start));

    // The first tracks that hold the minutes asked for.
    int selected = 0;
    uint32_t sectors = 0;
    const uint32_t wanted = minutes == 0 ? kDiscSectors : uint32_t(minutes) * kFramesPerMinute;
    while (selected < tracks && sectors < wanted) sectors += toc.tracks[size_t(selected++)].sectors;
    const double audioSeconds = sectors / double(kFramesPerSecond);
    printf("benched: the first %d of %d tracks, %.1f min of audio (%s)\n", selected, tracks,
           audioSeconds / 60, selected == tracks ? "the whole disc" : "a part of the disc");

    setenv("CDRIP3_IMAGES", cue.c_str(), 1);
    setenv("CDRIP3_DEVICES", "", 1);
    TCDSession session;
    session.Initialize(ExecutableDir() + "/" + kLibraryFileName);
    if (!session.Ready()) {
        fprintf(stderr, "libcdrip3 could not be loaded from %s\n", ExecutableDir().c_str());
        return 1;
    }
    for (int32_t i = 0; i < session.CR_GetNumCDROM(); ++i)
        if (session.CR_GetCDROMIDByIndex(i) == "Image: bench.cue") session.CR_SetActiveCDROM(i);
    if (session.ReadDiscInfo(session.Disc()) != 0) {
        fprintf(stderr, "the image's table of contents could not be read\n");
        return 1;
    }
    Rip::TEncoders encoders;
    if (!encoders.LoadVorbisLibrary()) {
        fprintf(stderr, "libvorbisdll could not be loaded from %s\n", ExecutableDir().c_str());
        return 1;
    }
    printf("libvorbisdll: %s\n", encoders.VorbisVersionText().c_str());

    // Each batch of the program over the same tracks, into a folder of its own.
    using TBatch = decltype(&Rip::RipTracksToMp3);
    const auto bench = [&](const char* dir, const char* extension, const char* label,
                           TBatch batch) {
        FakeRipWindow window;
        prepare(window, QString::fromStdString((root / dir).string()), session.Disc().TrackCount,
                selected);
        Rip::TEncodeRipper ripper(window, window.control, session, encoders);
        const auto begun = std::chrono::steady_clock::now();
        batch(window, window.control, ripper, window.Plan(session.Disc()), nullptr);
        const Timing t{secondsSince(begun), bytesIn(root / dir, extension), true};
        print(label, t, audioSeconds, "rip + encode (" + outcome(window) + ")");
        return t;
    };
    const Timing mp3 = bench("mp3", ".mp3", "sonvale mp3 192k:", Rip::RipTracksToMp3);
    const Timing ogg = bench("ogg", ".ogg", "sonvale ogg q0.6:", Rip::RipTracksToOgg);
    const Timing flac = bench("flac", ".flac", "sonvale flac -8 -V:", Rip::RipTracksToFlac);
    const Timing opus = bench("opus", ".opus", "sonvale opus 160k:", Rip::RipTracksToOpus);
    session.Finalize();
    encoders.UnloadVorbisLibrary();

    const std::string wav = (root / "part.wav").string();
    start = std::chrono::steady_clock::now();
    const uint32_t first = toc.tracks.front().startSector;
    const uint32_t last =
        toc.tracks[size_t(selected - 1)].startSector + toc.tracks[size_t(selected - 1)].sectors - 1;
    if (!writeWav(wav, discPlan, first, last)) {
        fprintf(stderr, "the WAV file for the reference encoders could not be written\n");
        return 1;
    }
    printf("reference input: one WAV of the same audio, %.1f MB, written in %.2f s\n",
           fs::file_size(wav) / 1e6, secondsSince(start));

    printf(
        "note: lame keeps its own defaults (joint stereo at 192k); the program asks for\n"
        "      plain stereo frames. Sonvale's times include reading the image.\n");
    const fs::path lameOut = root / "lame" / "part.mp3";
    const fs::path oggencOut = root / "oggenc" / "part.ogg";
    const Timing lame = runReference("lame", {"--quiet", "-b", "192", wav, lameOut.string()},
                                     lameOut, audioSeconds, "lame -b 192:");
    const Timing oggenc = runReference("oggenc", {"-Q", "-q", "6", "-o", oggencOut.string(), wav},
                                       oggencOut, audioSeconds, "oggenc -q 6:");
    const fs::path flacOut = root / "flactool" / "part.flac";
    const fs::path opusencOut = root / "opusenc" / "part.opus";
    const Timing flacTool = runReference("flac", {"-s", "-8", "-V", "-o", flacOut.string(), wav},
                                         flacOut, audioSeconds, "flac -8 -V:");
    const Timing opusenc =
        runReference("opusenc", {"--quiet", "--bitrate", "160", wav, opusencOut.string()},
                     opusencOut, audioSeconds, "opusenc --bitrate 160:");

    const auto ratio = [](const char* what, const Timing& ours, const Timing& theirs) {
        if (theirs.ran)
            printf("ratio %-22s = %.2f (time), %.2f (size)\n", what, ours.seconds / theirs.seconds,
                   double(ours.bytes) / double(theirs.bytes));
    };
    ratio("mp3: sonvale / lame", mp3, lame);
    ratio("ogg: sonvale / oggenc", ogg, oggenc);
    ratio("flac: sonvale / flac", flac, flacTool);
    ratio("opus: sonvale / opusenc", opus, opusenc);

    std::error_code ec;
    fs::remove_all(root, ec);
    return 0;
}
