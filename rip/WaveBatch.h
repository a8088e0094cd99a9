// The batch that rips the planned tracks to WAV, one file per track.
#pragma once

#include "BatchPlan.h"
#include "RipControl.h"
#include "RipReport.h"
#include "RipWindow.h"
#include "WaveRipper.h"

namespace Rip {

// Rips the plan's lines in order with ripper, on the calling thread (a launcher thread in
// the program). Ends at the first track that is cancelled or fails, and at a cancel
// between tracks, leaving the unripped lines selected. Each track begun goes into record
// when one is given.
void RipTracksToWave(TRipWindow& window, TRipControl& control, TWaveRipper& ripper,
                     const TBatchPlan& plan, TBatchRecord* record = nullptr);

// Reads the plan's audio tracks as a WAV batch would, writing no file, for their sums
// alone; the lines stay selected, so the same tracks can be ripped next. Ends at a cancel.
void VerifyTracks(TRipWindow& window, TRipControl& control, TWaveRipper& ripper,
                  const TBatchPlan& plan, TBatchRecord& record);

}  // namespace Rip
