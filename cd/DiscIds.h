// The identifiers a disc is known by in the databases of other rips and of names, from its
// table of contents alone.
#pragma once

#include <cstdint>
#include <string>

#include "CDRipIntf.h"

namespace CDRipIntf {

struct TDiscIds {
    bool Valid = false;  // false: no audio track, or a table the ids cannot be made of
    int AudioTracks = 0;
    uint32_t AccurateRipId1 = 0;  // sum of the audio tracks' starts and the lead-out
    uint32_t AccurateRipId2 = 0;  // the same weighted by position
    uint32_t CddbId = 0;          // over every track, data tracks included
    std::string AccurateRip;      // "dBAR-<nnn>-<id1>-<id2>-<cddb>"
    std::string MusicBrainz;      // 28 characters
};

// The disc's ids. The CDDB-style and MusicBrainz ids come from libdiscid; the AccurateRip
// sums are simple enough to make here.
TDiscIds DiscIdsOf(const TDiscInfo& disc);

// The gap the second session of a CD-Extra disc starts after, which MusicBrainz leaves
// out of the last audio track.
constexpr uint32_t kMusicBrainzSessionGap = 11400;

}  // namespace CDRipIntf
