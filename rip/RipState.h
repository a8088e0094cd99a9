#pragma once

// The flags every ripper shares with the window. Read and written on the user-interface
// thread only.
namespace Rip {
extern bool RipInProgress;    // a track (Wave) or a batch (MP3, Ogg) is being ripped
extern bool CancelRequested;  // the user asked the running rip to stop
// A batch of any format is running, also between its tracks, where a Wave batch has
// RipInProgress false. A rip command handled then must not start a batch inside it.
extern bool BatchRunning;
}  // namespace Rip
