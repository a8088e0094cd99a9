#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "CDSession.h"

// A scripted CD library: drives, discs and answers set by the test, with a record of
// what the program asked. Install() puts it behind a session the test owns.
struct ScriptedTrack {
    uint32_t start = 0;
    bool data = false;
    uint8_t number = 0;  // 0: position + 1
    uint8_t session = 1;
};

struct ScriptedDrive {
    std::string name;
    bool ready = true;
    int32_t readTocResult = 0;
    std::vector<ScriptedTrack> tracks;
    uint32_t leadOut = 0;
    // CR_GetCDText's answers: [0] the disc, [i] track i, indexed by CR_CDTEXT_*; "" beyond.
    std::vector<std::array<std::string, 5>> cdText;
};

// A scripted ripping process: CR_OpenRipper answers openResult and bufferSize, then each
// CR_RipChunk answers the next chunk of the script, filling the program's buffer with
// ChunkByte() (never beyond the announced buffer size); once the script is used up every
// call answers 4 (done) with no bytes. CR_GetPercentCompleted gives the percent of the
// last chunk answered.
struct ScriptedChunk {
    int32_t result = 0;   // CR_RipChunk's answer
    int32_t bytes = 0;    // the byte count it reports
    int32_t percent = 0;  // CR_GetPercentCompleted after it
};

struct ScriptedRipper {
    int32_t openResult = 0;
    int32_t bufferSize = 4 * 2352;
    int32_t closeResult = 0;  // answer of CR_CloseRipper while a ripper is open
    std::vector<ScriptedChunk> chunks;
    // Scripts for the first, second, ... opening; later ones use chunks.
    std::vector<std::vector<ScriptedChunk>> scripts;
    // The chunk (from 0, after each open) at which CR_RipChunk waits until the program
    // aborts it; -1: none.
    int holdAt = -1;
    bool held = false;  // a call is waiting there

    // What the program did.
    int opens = 0;  // successful CR_OpenRipper calls
    bool open = false;
    int32_t first = -1;  // range of the last CR_OpenRipper
    int32_t last = -1;
    size_t next = 0;              // chunks answered since the last open
    std::vector<int32_t> aborts;  // *abort at every CR_RipChunk

    // The byte at offset i of the chunk answered k-th (from 0) after an open.
    static uint8_t ChunkByte(size_t k, size_t i) {
        return static_cast<uint8_t>(k * 67 + i * 13 + (i >> 8) + 1);
    }
    // The script of the last opening.
    const std::vector<ScriptedChunk>& Script() const {
        const size_t i = opens > 0 ? static_cast<size_t>(opens - 1) : 0;
        return i < scripts.size() ? scripts[i] : chunks;
    }
    // The bytes of the k-th chunk of the last opening's script as they were delivered.
    std::vector<uint8_t> ChunkBytes(size_t k) const;
};

struct ScriptedCDRip {
    std::vector<ScriptedDrive> drives;
    int32_t active = 0;
    int32_t initResult = 0;
    int32_t saveResult = 0;
    int saveErrno = 13;  // errno a failing save leaves (EACCES)
    std::string settingsFile = "/home/user/.config/Tolvane.ini";
    int32_t tocCountOverride = -1;   // report this track count instead of the real one
    std::vector<std::string> calls;  // names of the calls made, in order
    CDRipIntf::TDriveParams params{};
    int32_t getParamsResult = 0;
    int32_t setParamsResult = 0;
    int32_t readOffset = 0;  // CR_SetReadOffset stores what it is given
    ScriptedRipper ripper;

    static ScriptedCDRip& current();
    // Finalizes session (closing its MCI device), empties its disc record and parameter
    // block, then binds this library into it.
    void Install(CDRipIntf::TCDSession& session);
    ScriptedDrive& Active() { return drives.at(static_cast<size_t>(active)); }
    int Count(const std::string& call) const;
    // True while a CR_RipChunk call waits at ripper.holdAt.
    bool Holding() const;

    // Every scripted call holds it; a batch calls in from its own thread.
    mutable std::recursive_mutex mutex;
};

// An audio disc with the given track lengths in sectors, starting at sector 0.
ScriptedDrive AudioDrive(const std::string& name, const std::vector<uint32_t>& lengths);
