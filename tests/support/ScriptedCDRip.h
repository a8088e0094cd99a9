#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "CDRipIntf.h"

// A scripted CD library: drives, discs and answers set by the test, with a record of
// what the program asked. Install() puts it behind the program's binding.
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
};

struct ScriptedCDRip {
    std::vector<ScriptedDrive> drives;
    int32_t active = 0;
    int32_t initResult = 0;
    int32_t saveResult = 0;
    std::string settingsFile = "/home/user/.config/Tolvane.ini";
    int32_t tocCountOverride = -1;   // report this track count instead of the real one
    std::vector<std::string> calls;  // names of the calls made, in order
    CDRipIntf::TDriveParams params{};

    static ScriptedCDRip& current();
    // Resets the program's binding and MCI state, then binds this library.
    void Install();
    ScriptedDrive& Active() { return drives.at(static_cast<size_t>(active)); }
    int Count(const std::string& call) const;
};

// An audio disc with the given track lengths in sectors, starting at sector 0.
ScriptedDrive AudioDrive(const std::string& name, const std::vector<uint32_t>& lengths);
