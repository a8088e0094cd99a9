// Rips a 74-minute disc image to WAV through the program's binding and libcdrip3, and,
// when cd-paranoia is installed, the same image with it, and prints how many times faster
// than real time each was, and how fast the per-track checksums go on their own. Figures
// only: nothing here passes or fails.
//
// usage: bench_wav_rip [minutes] [tracks]    (defaults 74 and 20)
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <libdeflate.h>

#include <QString>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "CDSession.h"
#include "FakeRipWindow.h"
#include "TrackChecksum.h"
#include "TrackChecksumLoops.h"
#include "WaveBatch.h"
#include "testdisc.h"

namespace fs = std::filesystem;
using namespace CDRipIntf;

namespace {

// The window as far as a batch needs it: every line selected, one file per track, no
// pause between tracks (the real window waits two seconds there, which is not reading).
void prepare(FakeRipWindow& window, const QString& dir, int lines) {
    window.choices.Directory = dir;
    window.choices.Album = QStringLiteral("Bench");
    window.choices.MultipleTracks = true;
    window.selected.assign(size_t(lines), true);
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
    std::string all = path ? path : "/usr/bin:/bin";
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

// Runs argv in dir with its output discarded; the exit status, or -1.
int runIn(const fs::path& dir, const std::vector<std::string>& argv) {
    fflush(nullptr);  // or the child prints our buffered lines a second time
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(127);
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

// The track sums over as much audio as the rip reads, fed in the library's largest
// deliveries. These are taken in turn from a 64 MB buffer rather than one delivery over and
// over, so the figure is not flattered by audio that stays in the nearest caches.
void benchChecksums(uint64_t totalBytes) {
    constexpr size_t kDelivery = 200 * size_t(testdisc::kSectorBytes);
    std::vector<uint8_t> audio(size_t(64) << 20);
    uint32_t x = 0x9e3779b9u;
    for (auto& b : audio) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        b = static_cast<uint8_t>(x);
    }
    const size_t deliveries = audio.size() / kDelivery;
    // Best of three runs over all the audio; the sums are printed, so no run can be left out.
    const auto timed = [&](const auto& feed) {
        double best = 1e9;
        for (int run = 0; run < 3; ++run) {
            const auto start = std::chrono::steady_clock::now();
            for (uint64_t done = 0, k = 0; done < totalBytes; done += kDelivery, ++k)
                feed(audio.data() + (k % deliveries) * kDelivery,
                     static_cast<size_t>(std::min<uint64_t>(kDelivery, totalBytes - done)));
            best = std::min(best, secondsSince(start));
        }
        return best;
    };
    const auto samples = static_cast<uint32_t>(totalBytes / 4);
    Rip::TTrackChecksum sum;
    sum.Start(samples, true, true);
    const double together = timed([&](const uint8_t* bytes, size_t count) {
        if (sum.Samples() == samples) sum.Start(samples, true, true);
        sum.Add(bytes, count);
    });
    printf(
        "track sums:   %.3f s for %.1f MB, %.0f MB/s (CRC-32 and AccurateRip together, as a "
        "rip sums; %08x %08x)\n",
        together, totalBytes / 1e6, totalBytes / together / 1e6, sum.Crc32(), sum.AccurateRipV2());
    uint32_t crcAlone = 0;
    const double crcSeconds = timed([&](const uint8_t* bytes, size_t count) {
        crcAlone = libdeflate_crc32(crcAlone, bytes, count);
    });
    printf("  CRC-32:         %.3f s, %.0f MB/s (%08x)\n", crcSeconds,
           totalBytes / crcSeconds / 1e6, crcAlone);
    for (const auto& loop : Rip::SumLoops::Available()) {
        Rip::SumLoops::TSums sums;
        const double seconds = timed(
            [&](const uint8_t* bytes, size_t count) { loop.Loop(bytes, count / 4, 1, sums); });
        printf("  AccurateRip %-5s %.3f s, %.0f MB/s (%08x)\n", loop.Name, seconds,
               totalBytes / seconds / 1e6, sums.Low + sums.High);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int minutes = argc > 1 ? atoi(argv[1]) : 74;
    const int tracks = argc > 2 ? atoi(argv[2]) : 20;
    if (minutes <= 0 || tracks <= 0 || tracks > 99) {
        fprintf(stderr, "usage: %s [minutes] [tracks]\n", argv[0]);
        return 2;
    }

    char tmpl[] = "/tmp/sonvale-bench-XXXXXX";
    if (!mkdtemp(tmpl)) {
        perror("mkdtemp");
        return 1;
    }
    const fs::path root = tmpl;
    fs::create_directories(root / "image");
    fs::create_directories(root / "wav");
    fs::create_directories(root / "paranoia");
    fs::create_directories(root / "home");
    setenv("HOME", (root / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root / "home").c_str(), 1);

    const uint32_t sectors = uint32_t(minutes) * kFramesPerMinute;
    std::vector<uint32_t> lengths(size_t(tracks), sectors / uint32_t(tracks));
    lengths.back() += sectors % uint32_t(tracks);
    const testdisc::DiscPlan discPlan = testdisc::audioDisc(lengths);
    const std::string cue = (root / "image" / "bench.cue").string();
    auto start = std::chrono::steady_clock::now();
    testdisc::writeImage(discPlan, cue);
    const double audioSeconds = sectors / double(kFramesPerSecond);
    printf("image: %d min, %d tracks, %u sectors, %.1f MB, written in %.2f s\n", minutes, tracks,
           sectors, sectors * double(testdisc::kSectorBytes) / 1e6, secondsSince(start));

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

    FakeRipWindow window;
    prepare(window, QString::fromStdString((root / "wav").string()), session.Disc().TrackCount);
    Rip::TWaveRipper ripper(window, window.control, session);
    start = std::chrono::steady_clock::now();
    Rip::RipTracksToWave(window, window.control, ripper, window.Plan(session.Disc()));
    double elapsed = secondsSince(start);
    printf("sonvale wav:  %.2f s, %.1fx real time, %.1f MB/s, %llu bytes written (%s)\n", elapsed,
           audioSeconds / elapsed, bytesIn(root / "wav", ".wav") / elapsed / 1e6,
           static_cast<unsigned long long>(bytesIn(root / "wav", ".wav")),
           window.status.toUtf8().constData());
    session.Finalize();

    benchChecksums(uint64_t(sectors) * testdisc::kSectorBytes);

    const std::string paranoia = findInPath("cd-paranoia");
    if (paranoia.empty()) {
        printf("cd-paranoia:  not installed\n");
    } else {
        start = std::chrono::steady_clock::now();
        const int rc = runIn(root / "paranoia", {paranoia, "-d", cue, "-B"});
        elapsed = secondsSince(start);
        printf("cd-paranoia:  %.2f s, %.1fx real time, %.1f MB/s, %llu bytes written (exit %d)\n",
               elapsed, audioSeconds / elapsed, bytesIn(root / "paranoia", ".wav") / elapsed / 1e6,
               static_cast<unsigned long long>(bytesIn(root / "paranoia", ".wav")), rc);
    }

    std::error_code ec;
    fs::remove_all(root, ec);
    return 0;
}
