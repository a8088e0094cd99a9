// The batches that rip every selected track of the track list to MP3 or to Ogg Vorbis, one
// file per track, through the track rippers of TEncodeRipper.
#pragma once

#include <QString>

#include "EncodeRipper.h"
#include "RipWindow.h"

namespace Rip {

// Rip the selected lines in list order; line i is track index i + 1. A track that fails or
// is cancelled ends only itself: the batch goes on with the next selected line and always
// ends with "Ripping and Encoding Completed.". A window that is closing ends the batch after
// the current track. Runs on the user-interface thread and starts nothing while another
// batch of any format runs.
void RipTracksToMp3(TRipWindow& window, TEncodeRipper& ripper);
// The same to Ogg Vorbis; refuses with "Vorbis.DLL is not Ready." without the library.
void RipTracksToOgg(TRipWindow& window, TEncodeRipper& ripper);

// "<directory>/<album> <recording name><extension>", joined as they stand.
QString EncodedFileName(const QString& directory, const QString& album,
                        const QString& recordingName, const QString& extension);

}  // namespace Rip
