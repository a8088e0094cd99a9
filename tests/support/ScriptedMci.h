#pragma once

#include <cstdint>
#include <vector>

// A scripted MCI layer behind the program's MCI send cell: it answers the CD-audio
// commands from values the test sets and records every command.
struct MciCommand {
    uint32_t device;
    uint32_t message;
    uintptr_t flags;
    uint32_t item;      // status item, when a status command
    uint32_t track;     // status track, when a status command
    uint32_t openType;  // (ordinal << 16) + type, when an open command
};

struct ScriptedMci {
    uint32_t deviceCount = 1;
    uint32_t nextId = 7;
    uint32_t failMessage = 0;     // this command fails (0: none)
    uint32_t failStatusItem = 0;  // a status of this item fails (0: none)
    uint32_t tracks = 0;          // MCI_STATUS_NUMBER_OF_TRACKS
    uint32_t lastStart = 0;       // MCI MSF of the last track's position
    uint32_t lastLength = 0;      // MCI MSF of the last track's length
    std::vector<MciCommand> commands;

    void Install();  // replaces the program's MCI send cell
    static void Uninstall();
    int Count(uint32_t message) const;
};
