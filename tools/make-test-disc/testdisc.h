// Deterministic CD disc images (cue sheet + BIN or WAVE files) for tests, benchmarks and
// the demo disc. Every audio sector is distinct and recognisable: each track carries a
// tone of its own pitch, so a misplaced sector or track shows up in a byte compare and a
// decoded file can be checked against the tone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testdisc {

constexpr int kSectorBytes = 2352;
constexpr uint32_t kSessionGap = 11400;  // sectors between the sessions of a CD-Extra disc

struct TrackSpec {
    uint32_t sectors = 0;     // length from INDEX 01 to the next track's INDEX 00/01
    bool data = false;        // MODE1/2352 data track
    uint32_t index0 = 0;      // INDEX 00 pregap held in the file before INDEX 01 (sectors)
    uint32_t pregap = 0;      // PREGAP command: silence not held in the file (sectors)
};

enum class Layout {
    SingleBin,      // one BINARY file for the whole disc
    BinPerTrack,    // one BINARY file per track
    WavePerTrack,   // one WAVE file per track (16-bit, 44100 Hz, stereo)
};

struct DiscSpec {
    std::vector<TrackSpec> tracks;
    int firstTrackNumber = 1;
    uint32_t hiddenSectors = 0;  // hidden track: audio before track 1's INDEX 01
    Layout layout = Layout::SingleBin;
    bool motorola = false;       // big-endian audio (FILE ... MOTOROLA); SingleBin/BinPerTrack
    bool cdExtra = false;        // the last track is data, in a second session
    bool backslashes = false;    // write FILE names with a Windows-style ".\" prefix
};

// Where each track lands on the disc, as a drive reports it.
struct ExpectedTrack {
    int number = 0;
    bool data = false;
    uint32_t startSector = 0;  // logical sector of INDEX 01
    uint32_t sectors = 0;      // audio/data sectors from INDEX 01 up to the next track's pregap
    int session = 1;
};

struct ExpectedDisc {
    std::vector<ExpectedTrack> tracks;
    uint32_t leadOut = 0;
};

// Convenience: n audio tracks with the given lengths in sectors.
DiscSpec audioDisc(const std::vector<uint32_t>& lengths);

// The table of contents a drive must report for the image.
ExpectedDisc expectedToc(const DiscSpec& spec);

// The 2352 bytes a drive delivers for logical sector lsn (little-endian 16-bit stereo for
// audio, whatever the file's byte order). Sectors with no audio (pregaps made by PREGAP,
// the gap between sessions) read as zeros.
void sectorBytes(const DiscSpec& spec, uint32_t lsn, uint8_t* out);

// The bytes of [first, last] (inclusive), as sectorBytes gives them.
std::vector<uint8_t> rangeBytes(const DiscSpec& spec, uint32_t first, uint32_t last);

// The tone frequency (Hz) of the track at 0-based position trackIndex.
double toneHz(int trackIndex);

// Writes cuePath and the files it names (next to it). Throws std::runtime_error on failure.
ExpectedDisc writeImage(const DiscSpec& spec, const std::string& cuePath);

}  // namespace testdisc
