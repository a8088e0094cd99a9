// The batch that rips the planned tracks to WAV, one file per track.
#pragma once

#include "BatchPlan.h"
#include "RipControl.h"
#include "RipWindow.h"
#include "WaveRipper.h"

namespace Rip {

// Rips the plan's lines in order with ripper, on the calling thread (a launcher thread in
// the program). Ends at the first track that is cancelled or fails, and at a cancel
// between tracks, leaving the unripped lines selected.
void RipTracksToWave(TRipWindow& window, TRipControl& control, TWaveRipper& ripper,
                     const TBatchPlan& plan);

}  // namespace Rip
