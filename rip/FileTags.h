// Tags written into a finished file through TagLib: the full tags of an MP3 file and the
// ReplayGain of any encoded file. The encoders write their own comments as they start; what
// is only known at a track's or a batch's end goes in here.
#pragma once

#include <QString>

#include "CoverArt.h"
#include "Loudness.h"
#include "StreamEncoder.h"

namespace Rip {

enum class TTaggedFormat { Mp3, Ogg, Flac, Opus };

// The ReplayGain of the track (album false) or of its album, in the tags the format's
// players read: REPLAYGAIN_*_GAIN and _PEAK in Vorbis comments and ID3v2.4 TXXX frames,
// R128_*_GAIN for Opus. False when the file cannot be read or written back.
bool WriteGainTags(const QString& path, TTaggedFormat format, const TGain& gain, bool album);

// The release's front cover in the file: a FLAC picture block, a METADATA_BLOCK_PICTURE
// comment in Ogg Vorbis and Opus, an APIC frame in MP3.
bool WriteCoverArt(const QString& path, TTaggedFormat format, const TCoverArt& art);

// An ID3v2.4 tag, and no other, holding the comments an Ogg file of the track gets. date:
// ISO 8601, as ID3v2.4 wants it.
bool WriteMp3Tags(const QString& path, const TComments& comments, const QString& date);

}  // namespace Rip
