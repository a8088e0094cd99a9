// The checksums that prove a track came off the disc right: CRC-32 of its audio bytes, and
// the two AccurateRip checksums other rips of the same pressing are compared by.
#pragma once

#include <cstddef>
#include <cstdint>

#include "CDRipIntf.h"
#include "TrackSums.h"

namespace Rip {

// Fed the track's audio as the CD library delivers it, in any pieces. The AccurateRip
// sums leave out the first 2940 samples of a disc's first audio track and the last 2940 of
// its last one (both, for a disc of one track), so the track's length must be known first.
class TTrackChecksum {
public:
    // samples: the track's length in stereo samples (4 bytes each).
    void Start(uint32_t samples, bool firstTrack, bool lastTrack);
    // For track index n of disc, as long as its entry says, placed among its audio tracks.
    void Start(const CDRipIntf::TDiscInfo& disc, int n);
    void Add(const uint8_t* bytes, size_t count);

    uint32_t Crc32() const { return crc_; }
    uint32_t AccurateRipV1() const { return v1_; }
    uint32_t AccurateRipV2() const { return v1_ + high_; }
    // Samples fed so far; the sums are the track's once this is its length.
    uint32_t Samples() const { return position_; }
    // All of them, as a batch's record keeps them.
    TTrackSums Sums() const { return {Crc32(), AccurateRipV1(), AccurateRipV2(), Samples()}; }

    static constexpr uint32_t kSkippedSamples = 2940;  // five sectors less one sample

private:
    // count whole samples, those that follow the ones fed so far.
    void addSamples(const uint8_t* bytes, size_t count);

    uint32_t crc_ = 0;
    uint32_t v1_ = 0;
    uint32_t high_ = 0;
    uint32_t position_ = 0;  // samples fed
    uint32_t from_ = 0;      // positions counted, from 1: [from_, to_]
    uint32_t to_ = 0;
    uint8_t carry_[4] = {};  // a sample cut in two between deliveries
    size_t carried_ = 0;
};

}  // namespace Rip
