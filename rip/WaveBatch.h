// The rip commands' shared first step and the batch that rips every selected track of the
// track list to WAV, one file per track.
#pragma once

#include "RipWindow.h"
#include "WaveRipper.h"

namespace Rip {

// The rip buttons' check: true when the track list's current line is selected; otherwise
// says "Please select track(s) to Rip." and the button starts nothing.
bool RipSelectionReady(TRipWindow& window);

// The Cancel button: asks the running track to stop, or says that nothing is ripping.
void CancelRip(TRipWindow& window);

// Rips the selected lines in list order with ripper; line i is track index i + 1. Ends at
// the first track that is cancelled or fails, leaving the unripped lines selected, and rips
// no further track once the window is closing. Runs on the user-interface thread and starts
// nothing while another batch runs.
void RipTracksToWave(TRipWindow& window, TWaveRipper& ripper);

// The pause after each track, in milliseconds.
constexpr int kPauseBetweenTracks = 2000;

}  // namespace Rip
