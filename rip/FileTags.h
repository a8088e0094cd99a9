// Tags written into a finished file through TagLib: the full tags of an MP3 file, the
// release's cover and the ReplayGain of any encoded file. The encoders write their own
// comments as they start; what is only known at a track's or a batch's end goes in here.
#pragma once

#include <QString>

#include "CoverArtImage.h"
#include "Loudness.h"
#include "StreamEncoder.h"

namespace Rip {

enum class TTaggedFormat { Mp3, Ogg, Flac, Opus };

// What a track's end adds to its file. Each part is optional; the file is opened and saved
// once for all of them. The pointees are the caller's and only read during the call.
struct TTrackTags {
    // MP3 only: an ID3v2.4 tag, and no other, holding the comments an Ogg file of the track
    // gets, with Date (ISO 8601, as ID3v2.4 wants it) for theirs.
    const TComments* Mp3Comments = nullptr;
    QString Date;
    // The front cover: a FLAC picture block, a METADATA_BLOCK_PICTURE comment in Ogg Vorbis
    // and Opus, an APIC frame in MP3.
    const TCoverArt* Art = nullptr;
    // The track's ReplayGain, when Valid.
    TGain Gain;
};

// False when the file cannot be read or written back; nothing is written then.
bool WriteTrackTags(const QString& path, TTaggedFormat format, const TTrackTags& tags);

// The album's ReplayGain, in the tags the format's players read: REPLAYGAIN_ALBUM_GAIN and
// _PEAK in Vorbis comments and ID3v2.4 TXXX frames, R128_ALBUM_GAIN for Opus.
bool WriteAlbumGain(const QString& path, TTaggedFormat format, const TGain& gain);

}  // namespace Rip
