#include "DiscIds.h"

#include <discid/discid.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace CDRipIntf {

namespace {

struct TDiscIdDeleter {
    void operator()(DiscId* d) const { discid_free(d); }
};
using TDiscId = std::unique_ptr<DiscId, TDiscIdDeleter>;

// libdiscid's view of a table: the tracks first..last, their starts and the lead-out, all
// counted from the start of the lead-in. Null when it refuses them.
TDiscId putToc(int first, int last, const int (&offsets)[100]) {
    TDiscId id(discid_new());
    if (!id) return nullptr;
    int copy[100];
    std::copy(std::begin(offsets), std::end(offsets), copy);
    if (!discid_put(id.get(), first, last, copy)) return nullptr;
    return id;
}

std::string accurateRipName(int tracks, uint32_t id1, uint32_t id2, uint32_t id3) {
    char name[40];
    std::snprintf(name, sizeof name, "dBAR-%03d-%08x-%08x-%08x", tracks, id1, id2, id3);
    return name;
}

}  // namespace

TDiscIds DiscIdsOf(const TDiscInfo& disc) {
    TDiscIds ids;
    const int n = disc.TrackCount;
    if (n < 1 || n > kMaxTracks) return ids;
    const uint32_t leadOut = disc.LeadOutSector;

    int firstAudio = 0, lastAudio = 0;
    for (int k = 1; k <= n; ++k) {
        if (disc.Entry(k).Audio != 1) continue;
        if (firstAudio == 0) firstAudio = k;
        lastAudio = k;
        ++ids.AudioTracks;
    }
    if (ids.AudioTracks == 0) return ids;

    // The AccurateRip sums run over the audio tracks in order, the real lead-out last.
    int position = 0;
    for (int k = 1; k <= n; ++k) {
        if (disc.Entry(k).Audio != 1) continue;
        const uint32_t start = disc.Entry(k).StartSector;
        ids.AccurateRipId1 += start;
        ids.AccurateRipId2 += std::max<uint32_t>(start, 1) * uint32_t(++position);
    }
    ids.AccurateRipId1 += leadOut;
    ids.AccurateRipId2 += std::max<uint32_t>(leadOut, 1) * uint32_t(ids.AudioTracks + 1);

    // Every track as numbered on the disc, with the real lead-out: the CDDB-style id.
    const int firstNumber = disc.Entry(1).TrackNumber;
    const int lastNumber = disc.Entry(n).TrackNumber;
    int all[100] = {};
    all[0] = static_cast<int>(leadOut + kLeadInFrames);
    for (int k = 1; k <= n; ++k) {
        const int number = disc.Entry(k).TrackNumber;
        if (number < 1 || number > 99) return ids;
        all[number] = static_cast<int>(disc.Entry(k).StartSector + kLeadInFrames);
    }
    const TDiscId whole = putToc(firstNumber, lastNumber, all);
    if (!whole) return ids;
    ids.CddbId =
        static_cast<uint32_t>(std::strtoul(discid_get_freedb_id(whole.get()), nullptr, 16));

    // MusicBrainz counts the audio tracks only; data after them ends the last one a
    // session gap before the data track.
    int audio[100] = {};
    const int lastAudioNumber = disc.Entry(lastAudio).TrackNumber;
    uint32_t audioEnd = leadOut;
    if (lastAudio < n) audioEnd = disc.Entry(lastAudio + 1).StartSector - kMusicBrainzSessionGap;
    audio[0] = static_cast<int>(audioEnd + kLeadInFrames);
    for (int k = firstAudio; k <= lastAudio; ++k)
        audio[disc.Entry(k).TrackNumber] =
            static_cast<int>(disc.Entry(k).StartSector + kLeadInFrames);
    const TDiscId music = putToc(disc.Entry(firstAudio).TrackNumber, lastAudioNumber, audio);
    if (!music) return ids;
    ids.MusicBrainz = discid_get_id(music.get());
    ids.AccurateRip =
        accurateRipName(ids.AudioTracks, ids.AccurateRipId1, ids.AccurateRipId2, ids.CddbId);
    ids.Valid = true;
    return ids;
}

}  // namespace CDRipIntf
