#pragma once

// The two flags every ripper shares with the window. Read and written on the
// user-interface thread only.
namespace Rip {
extern bool RipInProgress;    // a track (Wave) or a batch (MP3, Ogg) is being ripped
extern bool CancelRequested;  // the user asked the running rip to stop
}  // namespace Rip
