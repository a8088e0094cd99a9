// Deterministic CD disc images (cue sheet + BIN or WAVE files) for tests, benchmarks and
// the demo disc. Every audio sector is distinct and recognisable: each track carries a
// tone of its own pitch, so a misplaced sector or track shows up in a byte compare and a
// decoded file can be checked against the tone.
//
// Disc layout (logical sector numbers, sector 0 = MSF 00:02:00 = the first sector of the
// program area). Tracks follow each other; before each track's INDEX 01 lie, in order:
//   - its PREGAP-command sectors (TrackPlan::pregap): not held in any file, read as zeros;
//   - its INDEX 00 sectors (TrackPlan::index0, for track 1 plus DiscPlan::hiddenSectors,
//     the hidden track): held in the file, audio (see "Audio content").
// Then come the TrackPlan::sectors sectors of the track itself (INDEX 01 onwards).
// So track 1's INDEX 01 is at tracks[0].pregap + hiddenSectors + tracks[0].index0, which is
// hiddenSectors for the usual track 1 without a pregap of its own.
//
// CD-Extra (DiscPlan::cdExtra): the last track is a MODE1/2352 data track in session 2. It
// starts cdtiming::kSessionGapSectors sectors after the end of session 1's last audio sector; the
// gap holds no file bytes (in a SingleBin file the data bytes directly follow the audio)
// and reads as zeros. The data track's own index0/pregap are ignored (taken as 0): the
// session gap already includes its pregap.
//
// Expected TOC (what a drive reports): ExpectedTrack::startSector = LBA of INDEX 01;
// ExpectedDisc::leadOut = the sector after the last track;
// ExpectedTrack::sectors = next track's startSector (or leadOut) - startSector, so it
// includes the next track's pregap (PREGAP and INDEX 00 sectors). The one exception is the
// last audio track of session 1 on a CD-Extra disc: its sectors exclude the session gap,
// i.e. they equal its TrackPlan::sectors.
//
// Audio content (16-bit signed, stereo, 44100 Hz; 588 stereo frames per sector):
//   - track i (0-based position), INDEX 01 onwards: a sine at toneHz(i), amplitude 0.5
//     (-6 dBFS) unless its TrackPlan::levelQ15 says otherwise, phase 0 at the track's INDEX 01; the
//     right channel leads by 90 degrees;
//   - INDEX 00 areas of track i (track 1's includes the hidden track): a quiet sine at
//     pregapToneHz(i) = 1.5 * toneHz(i), amplitude 0.1 (-20 dBFS), phase 0 at the first
//     INDEX 00 sector; right channel again 90 degrees ahead;
//   - every sample (both kinds) gets a deterministic dither in [-3, +3] LSB derived from
//     its absolute position (logical sector * 588 + frame, and the channel), so no two
//     sectors of a disc are equal;
//   - PREGAP-command sectors and the session gap are zeros.
// Data sectors (MODE1/2352): sync (00 FF*10 00), header with the BCD MSF address
// (lsn + 150) and mode 1, 2048 user bytes of a pattern derived from lsn and the byte
// offset, EDC/ECC zero. Data sectors are never byte-swapped (MOTOROLA affects audio only).
//
// Files (names relative to the cue sheet's folder; STEM = the cue file name without .cue):
//   SingleBin:    STEM.bin, all file-held sectors in disc order;
//   BinPerTrack:  STEM-NN.bin per track (NN = track number, two digits), holding the
//                 track's INDEX 00 area and its sectors (INDEX 00 00:00:00 in its file);
//   WavePerTrack: STEM-NN.wav per audio track (44-byte RIFF/WAVE PCM header); data tracks
//                 still go to a STEM-NN.bin BINARY file.
// Everything is deterministic: the same DiscPlan gives the same bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cdtiming.h"

namespace testdisc {

using cdtiming::kSectorBytes;

struct TrackPlan {
    uint32_t sectors = 0;  // length from INDEX 01 to the next track's INDEX 00/01
    bool data = false;     // MODE1/2352 data track
    uint32_t index0 = 0;   // INDEX 00 pregap held in the file before INDEX 01 (sectors)
    uint32_t pregap = 0;   // PREGAP command: silence not held in the file (sectors)
    // The tone's amplitude from INDEX 01 on, in 1/32768 of full scale: half by default.
    int levelQ15 = 16384;
};

// CD-Text of a sheet entry. Written as the bytes given (so a test can write Latin-1), each
// in double quotes: no quotes or line breaks inside. An empty field leaves its line out.
struct SheetText {
    std::string title{};
    std::string performer{};
    std::string songwriter{};
    std::string genre{};  // REM GENRE; the disc's only
    std::string date{};   // REM DATE; the disc's only
};

enum class Layout {
    SingleBin,     // one BINARY file for the whole disc
    BinPerTrack,   // one BINARY file per track
    WavePerTrack,  // one WAVE file per track (16-bit, 44100 Hz, stereo)
};

struct DiscPlan {
    std::vector<TrackPlan> tracks;
    int firstTrackNumber = 1;
    uint32_t hiddenSectors = 0;  // hidden track: audio before track 1's INDEX 01
    Layout layout = Layout::SingleBin;
    bool motorola = false;     // big-endian audio (FILE ... MOTOROLA); SingleBin/BinPerTrack
    bool cdExtra = false;      // the last track is data, in a second session
    bool backslashes = false;  // write FILE names with a Windows-style ".\" prefix
    // The sheet's CD-Text: [0] the disc, [i] the i-th track (missing entries: none). Unset:
    // none, as most discs have; sampleCdText gives a disc some.
    std::optional<std::vector<SheetText>> cdText;
};

// "Sonvale Test Disc" by "Sonvale", its audio tracks "Tone NN" (by track number).
std::vector<SheetText> sampleCdText(const DiscPlan& discPlan);

// Where each track lands on the disc, as a drive reports it.
struct ExpectedTrack {
    int number = 0;
    bool data = false;
    uint32_t startSector = 0;  // logical sector of INDEX 01
    uint32_t sectors = 0;      // next startSector (or leadOut) - startSector; see the top
    int session = 1;
};

struct ExpectedDisc {
    std::vector<ExpectedTrack> tracks;
    uint32_t leadOut = 0;
};

// Convenience: n audio tracks with the given lengths in sectors.
DiscPlan audioDisc(const std::vector<uint32_t>& lengths);

// The table of contents a drive must report for the image.
ExpectedDisc expectedToc(const DiscPlan& discPlan);

// The 2352 bytes a drive delivers for logical sector lsn (little-endian 16-bit stereo for
// audio, whatever the file's byte order). Sectors with no audio (pregaps made by PREGAP,
// the gap between sessions) read as zeros.
void sectorBytes(const DiscPlan& discPlan, uint32_t lsn, uint8_t* out);

// The bytes of [first, last] (inclusive), as sectorBytes gives them.
std::vector<uint8_t> rangeBytes(const DiscPlan& discPlan, uint32_t first, uint32_t last);

// The tone frequency (Hz) of the track at 0-based position trackIndex: 220 * 2^(i/4).
double toneHz(int trackIndex);

// The tone (Hz) of the INDEX 00 area (pregap held in the file, or the hidden track before
// track 1) of the track at 0-based position trackIndex: 1.5 * toneHz(trackIndex).
double pregapToneHz(int trackIndex);

// The default track lengths (sectors) of make-test-disc: n varied lengths of 3..12 s.
std::vector<uint32_t> defaultLengths(int n);

// The cue sheet text writeImage writes for a sheet named cueFileName (e.g. "disc.cue").
std::string cueSheet(const DiscPlan& discPlan, const std::string& cueFileName);

// The names of the files the cue sheet refers to, in order (relative, without ".\").
std::vector<std::string> imageFiles(const DiscPlan& discPlan, const std::string& cueFileName);

// Writes cuePath and the files it names (next to it). Throws std::runtime_error on failure.
ExpectedDisc writeImage(const DiscPlan& discPlan, const std::string& cuePath);

}  // namespace testdisc
