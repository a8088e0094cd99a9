// The batches that rip the planned tracks to MP3, Ogg Vorbis, FLAC or Opus, one file per track,
// through the track rippers of TEncodeRipper.
#pragma once

#include <QString>

#include "BatchPlan.h"
#include "EncodeRipper.h"
#include "RipControl.h"
#include "RipReport.h"
#include "RipWindow.h"

namespace Rip {

// Rip the plan's lines in order, on the calling thread (a launcher thread in the program).
// A track that fails ends only itself: the batch goes on with the next line, and ends by
// saying how many tracks were not ripped. A cancel ends the batch with the current track,
// whose line stays selected with those not reached. Only a batch that ripped every planned
// track ends with "Ripping and Encoding Completed.". Each track begun goes into record
// when one is given.
void RipTracksToMp3(TRipWindow& window, TRipControl& control, TEncodeRipper& ripper,
                    const TBatchPlan& plan, TBatchRecord* record = nullptr);
void RipTracksToOgg(TRipWindow& window, TRipControl& control, TEncodeRipper& ripper,
                    const TBatchPlan& plan, TBatchRecord* record = nullptr);
void RipTracksToFlac(TRipWindow& window, TRipControl& control, TEncodeRipper& ripper,
                     const TBatchPlan& plan, TBatchRecord* record = nullptr);
void RipTracksToOpus(TRipWindow& window, TRipControl& control, TEncodeRipper& ripper,
                     const TBatchPlan& plan, TBatchRecord* record = nullptr);

}  // namespace Rip
