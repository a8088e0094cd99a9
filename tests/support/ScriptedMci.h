#pragma once

#include <cstdint>
#include <vector>

namespace CDRipIntf {
class TCDSession;
}

// A scripted MCI layer behind a session's MCI send function: it answers the CD-audio
// commands from values the test sets and records every command. It must outlive the
// sessions it is installed in (a session closes its device when it goes).
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

    void Install(CDRipIntf::TCDSession& session);  // replaces the session's send function
    // Gives the session back the MCI layer's own send function.
    static void Uninstall(CDRipIntf::TCDSession& session);
    int Count(uint32_t message) const;
};
