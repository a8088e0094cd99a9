#include "ScriptedMci.h"

#include <algorithm>
#include <cstring>

#include "CDSession.h"
#include "mci.h"

namespace {
ScriptedMci* g = nullptr;

uint32_t send(uint32_t device, uint32_t message, uintptr_t flags, uintptr_t params) {
    ScriptedMci& m = *g;
    MciCommand c{device, message, flags, 0, 0, 0};
    if (message == MCI_STATUS) {
        auto* p = reinterpret_cast<MCI_STATUS_PARMS*>(params);
        c.item = p->dwItem;
        c.track = p->dwTrack;
    }
    if (message == MCI_OPEN)
        c.openType = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(
            reinterpret_cast<MCI_OPEN_PARMSA*>(params)->lpstrDeviceType));
    m.commands.push_back(c);
    if (message == m.failMessage) return MCIERR_HARDWARE;
    switch (message) {
        case MCI_SYSINFO: {
            auto* p = reinterpret_cast<MCI_SYSINFO_PARMSA*>(params);
            std::memcpy(p->lpstrReturn, &m.deviceCount, sizeof(uint32_t));
            return 0;
        }
        case MCI_OPEN:
            reinterpret_cast<MCI_OPEN_PARMSA*>(params)->wDeviceID = m.nextId++;
            return 0;
        case MCI_STATUS: {
            auto* p = reinterpret_cast<MCI_STATUS_PARMS*>(params);
            if (p->dwItem == m.failStatusItem) return MCIERR_HARDWARE;
            if (p->dwItem == MCI_STATUS_NUMBER_OF_TRACKS) p->dwReturn = m.tracks;
            if (p->dwItem == MCI_STATUS_POSITION) p->dwReturn = m.lastStart;
            if (p->dwItem == MCI_STATUS_LENGTH) p->dwReturn = m.lastLength;
            return 0;
        }
        default:
            return 0;
    }
}
}  // namespace

void ScriptedMci::Install(CDRipIntf::TCDSession& session) {
    g = this;
    session.SetMciSend(send);
}

void ScriptedMci::Uninstall(CDRipIntf::TCDSession& session) {
    session.SetMciSend(CDRipIntf::SendMciCommand);
}

int ScriptedMci::Count(uint32_t message) const {
    return static_cast<int>(
        std::count_if(commands.begin(), commands.end(),
                      [&](const MciCommand& c) { return c.message == message; }));
}
