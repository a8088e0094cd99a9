// "Detect Drive Read Offset": the drive read around frame 450 of the disc's tracks with no
// offset applied, the database's offset-finding sums looked for in what it gave, and the
// offset one track shows confirmed by a second.
#pragma once

#include <QString>
#include <cstdint>
#include <vector>

#include "AccurateRip.h"
#include "CDSession.h"
#include "OffsetFinding.h"
#include "RipControl.h"
#include "RipWindow.h"

namespace Rip {

// The audio tracks of disc long enough to hold the read window for which the blocks filed
// under ids have a sum, in disc order.
std::vector<TOffsetTrack> OffsetTracks(const CDRipIntf::TDiscInfo& disc,
                                       const CDRipIntf::TDiscIds& ids,
                                       const std::vector<TAccurateRipBlock>& blocks);

struct TOffsetDetection {
    enum class TEnd {
        Found,        // Offset
        NotFound,     // no track's read matched at any offset
        Unconfirmed,  // Track matched, and no other track agreed (or it matched at several)
        Cancelled,
        Removed,     // the disc went
        ReadFailed,  // Track could not be read
    };
    TEnd End = TEnd::NotFound;
    int Offset = 0;
    int Track = 0;
};

// On a launcher thread, through session: reads the tracks in turn until a second one
// confirms the offset a first one matched at; a disc with one such track is judged on it
// alone. Each read is its own ripper, closed again; the drive's saved offset is neither
// used nor changed. Tells window its progress, and how it ended unless an offset was found
// (whoever keeps it says so); a cancel of control ends it.
TOffsetDetection DetectReadOffset(TRipWindow& window, TRipControl& control,
                                  CDRipIntf::TCDSession& session, const CDRipIntf::TDiscInfo& disc,
                                  const std::vector<TOffsetTrack>& tracks);

// Whether any audio track of disc is long enough to find the offset on.
bool AnyTrackLongEnough(const CDRipIntf::TDiscInfo& disc);

// The status line's words for no offset found, for why: "Drive Read Offset not Detected:
// <why>."
QString NotDetectedText(const QString& why);

}  // namespace Rip
