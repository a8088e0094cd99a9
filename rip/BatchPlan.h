#pragma once

#include <vector>

#include "CDRipIntf.h"

namespace Rip {

// What a batch rips, fixed when it starts on the window's thread: the lines selected then
// (line i is track index i + 1), in list order, and the disc as it was listed. Clicks in
// the list, another drive or a new disc change nothing of a batch that runs.
struct TBatchPlan {
    std::vector<int> Lines;
    CDRipIntf::TDiscInfo Disc;
};

// The pause after each track, in milliseconds.
constexpr int kPauseBetweenTracks = 2000;

}  // namespace Rip
