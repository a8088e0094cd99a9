#pragma once

#include <vector>

#include "CDRipIntf.h"
#include "CoverArtImage.h"
#include "DiscNames.h"
#include "OffsetFinding.h"

namespace Rip {

// What a batch rips, fixed when it starts on the window's thread: the lines selected then
// (line i is track index i + 1), in list order, and the disc as it was listed. Clicks in
// the list, another drive or a new disc change nothing of a batch that runs.
struct TBatchPlan {
    std::vector<int> Lines;
    CDRipIntf::TDiscInfo Disc;
    TDiscNames Names;  // a batch of several tracks names each file after these
    // Each track's own artist, where it has one, goes in its tags rather than the artist
    // edit's: the edit holds the disc's artist, not one the user typed.
    bool TrackArtists = false;
    // Each track that gets a file is read twice, a test read before the copy (TTestAndCopy).
    bool TestAndCopy = false;
    // MP3 and Ogg files get full tags and ReplayGain, as FLAC and Opus files always do.
    bool FullTags = false;
    // The release's front cover, embedded in each tagged file; empty when none came.
    TCoverArt Art;
    // Detecting the read offset: the tracks to read, with the database's sums for them.
    std::vector<TOffsetTrack> OffsetTracks;
};

// The pause after each track, in milliseconds.
constexpr int kPauseBetweenTracks = 2000;

}  // namespace Rip
