// The active drive's settings as the window's commands store them: the parameters the save
// button writes and the read offset. Each command gives back the status line's text.
#pragma once

#include <QString>
#include <cstdint>

#include "CDSession.h"

class TDriveSettings {
public:
    // Through session, which outlives this object.
    explicit TDriveSettings(CDRipIntf::TCDSession& session) : session_(session) {}

    // The ten values the save button stands for, over the drive's own parameters, saved with
    // the settings file: "Saved CD/DVD-ROM Settings! - (<file> file)." or why not.
    QString Save();

    // The offset as the library keeps it, for the dialog to start from.
    int32_t ReadOffset() { return session_.CR_GetReadOffset(); }
    // Sets the active drive's read offset and saves it. Set, it applies to the rips until the
    // program ends, saved or not; the text says which. Null when the library refused it.
    QString SetReadOffset(int32_t samples);

private:
    // The settings file the library writes, or words for it when it cannot say.
    QString fileName();

    CDRipIntf::TCDSession& session_;
};
