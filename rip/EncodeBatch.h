// The batches that rip every selected track of the track list to MP3 or to Ogg Vorbis, one
// file per track, through the track rippers of TEncodeRipper.
#pragma once

#include <QString>

#include "EncodeRipper.h"
#include "RipWindow.h"

namespace Rip {

// Rip the selected lines in list order; line i is track index i + 1. A track that fails
// ends only itself: the batch goes on with the next selected line, and ends by saying how
// many tracks were not ripped. A cancel, or a window that is closing, ends the batch with the
// current track, whose line stays selected with those not reached. Only a batch that ripped
// every selected track ends with "Ripping and Encoding Completed.". Runs on the
// user-interface thread and starts nothing while another batch of any format runs.
void RipTracksToMp3(TRipWindow& window, TEncodeRipper& ripper);
// The same to Ogg Vorbis; refuses with "Vorbis.DLL is not Ready." without the library.
void RipTracksToOgg(TRipWindow& window, TEncodeRipper& ripper);

// "<directory>/<album> <recording name><extension>", joined as they stand.
QString EncodedFileName(const QString& directory, const QString& album,
                        const QString& recordingName, const QString& extension);

}  // namespace Rip
