// make-test-disc: writes a deterministic CD image (cue sheet + files) for tests and demos.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "testdisc.h"

namespace {

const char kUsage[] =
    "usage: make-test-disc OUT.cue [options]\n"
    "  --lengths a,b,c   sectors per track (default: 12 tracks of varied lengths, 3..12 s)\n"
    "  --tracks N        number of tracks (default lengths, or --seconds)\n"
    "  --seconds S       each track S seconds (S * 75 sectors)\n"
    "  --data-first      track 1 is a MODE1/2352 data track (mixed mode)\n"
    "  --data-last       the last track is data in the same session (PREGAP of at least\n"
    "                    150 sectors before it)\n"
    "  --cd-extra        the last track is data in session 2 (11400-sector session gap)\n"
    "  --index0 N        INDEX 00 pregap of N sectors (in the file) before tracks 2..\n"
    "  --pregap N        PREGAP of N sectors (not in the file) before tracks 2..\n"
    "  --hidden N        hidden track: N sectors of audio before track 1's INDEX 01\n"
    "  --first-track N   number of the first track (default 1)\n"
    "  --layout L        single | bin-per-track | wave-per-track (default single)\n"
    "  --motorola        big-endian audio (FILE ... MOTOROLA)\n"
    "  --backslashes     FILE names with a \".\\\" prefix\n"
    "  --cd-text         CD-Text: \"Sonvale Test Disc\" by \"Sonvale\", tracks \"Tone NN\"\n"
    "  --print-toc       print the expected TOC: one line per track\n"
    "                    \"number data start sectors session\", then \"leadout N\"\n";

[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "make-test-disc: %s\n%s", message.c_str(), kUsage);
    std::exit(2);
}

uint32_t parseCount(const char* option, const char* text) {
    char* end = nullptr;
    errno = 0;
    const unsigned long v = std::strtoul(text, &end, 10);
    if (!text[0] || *end || errno || v > 100ul * 60ul * 75ul || text[0] == '-') {
        fail(std::string("bad number for ") + option + ": " + text);
    }
    return static_cast<uint32_t>(v);
}

}  // namespace

int main(int argc, char** argv) {
    std::string cuePath;
    std::vector<uint32_t> lengths;
    int tracks = -1;
    double seconds = -1;
    bool dataFirst = false, dataLast = false, printToc = false, cdText = false;
    uint32_t index0 = 0, pregap = 0;
    testdisc::DiscPlan discPlan;

    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) fail("missing value for " + a);
            return argv[++i];
        };
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--lengths") {
            std::string list = value();
            size_t pos = 0;
            while (pos <= list.size()) {
                const size_t comma = list.find(',', pos);
                const std::string item =
                    list.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
                lengths.push_back(parseCount("--lengths", item.c_str()));
                if (comma == std::string::npos) break;
                pos = comma + 1;
            }
        } else if (a == "--tracks") {
            tracks = static_cast<int>(parseCount("--tracks", value()));
        } else if (a == "--seconds") {
            const char* t = value();
            char* end = nullptr;
            seconds = std::strtod(t, &end);
            if (!t[0] || *end || !(seconds > 0) || seconds > 6000) fail("bad --seconds");
        } else if (a == "--data-first") {
            dataFirst = true;
        } else if (a == "--data-last") {
            dataLast = true;
        } else if (a == "--cd-extra") {
            discPlan.cdExtra = true;
        } else if (a == "--index0") {
            index0 = parseCount("--index0", value());
        } else if (a == "--pregap") {
            pregap = parseCount("--pregap", value());
        } else if (a == "--hidden") {
            discPlan.hiddenSectors = parseCount("--hidden", value());
        } else if (a == "--first-track") {
            discPlan.firstTrackNumber = static_cast<int>(parseCount("--first-track", value()));
        } else if (a == "--layout") {
            const std::string l = value();
            if (l == "single") {
                discPlan.layout = testdisc::Layout::SingleBin;
            } else if (l == "bin-per-track") {
                discPlan.layout = testdisc::Layout::BinPerTrack;
            } else if (l == "wave-per-track") {
                discPlan.layout = testdisc::Layout::WavePerTrack;
            } else {
                fail("unknown layout " + l);
            }
        } else if (a == "--motorola") {
            discPlan.motorola = true;
        } else if (a == "--backslashes") {
            discPlan.backslashes = true;
        } else if (a == "--cd-text") {
            cdText = true;
        } else if (a == "--print-toc") {
            printToc = true;
        } else if (!a.empty() && a[0] == '-') {
            fail("unknown option " + a);
        } else if (cuePath.empty()) {
            cuePath = a;
        } else {
            fail("more than one output file");
        }
    }
    if (cuePath.empty()) fail("no output cue sheet given");
    if (dataLast && discPlan.cdExtra) fail("--data-last and --cd-extra exclude each other");
    if (!lengths.empty() && seconds > 0) fail("--lengths and --seconds exclude each other");
    if (!lengths.empty() && tracks >= 0 && size_t(tracks) != lengths.size()) {
        fail("--tracks does not match the number of --lengths");
    }
    if (lengths.empty()) {
        const int n = tracks >= 0 ? tracks : 12;
        if (seconds > 0) {
            lengths.assign(size_t(n),
                           static_cast<uint32_t>(seconds * cdtiming::kFramesPerSecond + 0.5));
        } else {
            lengths = testdisc::defaultLengths(n);
        }
    }
    if (lengths.empty()) fail("no tracks");

    for (size_t i = 0; i < lengths.size(); ++i) {
        testdisc::TrackPlan t;
        t.sectors = lengths[i];
        if (i > 0) {
            t.index0 = index0;
            t.pregap = pregap;
        }
        discPlan.tracks.push_back(t);
    }
    if (dataFirst) discPlan.tracks.front().data = true;
    if (dataLast) {
        if (discPlan.tracks.size() < 2) fail("--data-last needs at least 2 tracks");
        discPlan.tracks.back().data = true;
        // A data track after audio in one session is preceded by at least two seconds.
        constexpr uint32_t kDataPregap = 2 * cdtiming::kFramesPerSecond;
        if (discPlan.tracks.back().pregap < kDataPregap)
            discPlan.tracks.back().pregap = kDataPregap;
    }
    if (discPlan.cdExtra) {
        discPlan.tracks.back().data = true;
        discPlan.tracks.back().index0 = 0;
        discPlan.tracks.back().pregap = 0;
    }

    if (cdText) discPlan.cdText = testdisc::sampleCdText(discPlan);

    try {
        const testdisc::ExpectedDisc toc = testdisc::writeImage(discPlan, cuePath);
        if (printToc) {
            for (const auto& t : toc.tracks) {
                std::printf("%d %d %u %u %d\n", t.number, t.data ? 1 : 0, t.startSector, t.sectors,
                            t.session);
            }
            std::printf("leadout %u\n", toc.leadOut);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make-test-disc: %s\n", e.what());
        return 1;
    }
    return 0;
}
