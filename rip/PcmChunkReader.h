// Cuts the audio the CD library delivers into chunks of the size an encoder asks for. The
// library fills the rip buffer a delivery at a time; the reader serves chunks from it by
// copying and asks the library again only when the rip buffer holds less than a chunk.
#pragma once

#include <cstdint>

#include "CDSession.h"
#include "RipControl.h"
#include "RipWindow.h"
#include "SuspiciousChunks.h"

namespace Rip {

class TPcmChunkReader {
public:
    // The control's abort flag goes with every request to the library.
    TPcmChunkReader(TRipWindow& window, TRipControl& control, CDRipIntf::TCDSession& session)
        : window_(window), control_(control), session_(session) {}

    // Starts a track: the library delivers into ripBuffer (ripSize bytes), chunks go to the
    // start of sampleBuffer. Both stay the caller's.
    void Reset(uint8_t* ripBuffer, int32_t ripSize, uint8_t* sampleBuffer);

    // Places the next w bytes of the track at the start of the sample buffer and returns
    // their count. Every chunk is w bytes but the last, which holds whatever audio is left;
    // 0 means the track has no more audio (also once cancelled). An error of the library shows
    // "Error : CR_RipChunk" and ends the track after the audio read before it.
    int32_t ReadPcmChunk(int32_t w);

    // The library's percentage at its last delivery.
    int32_t Percent() const { return percent_; }
    // True once the library answered CR_RipChunk with an error for this track.
    bool RipChunkFailed() const { return ripChunkFailed_; }
    // True once the library said the disc was gone while this track was read.
    bool DiscRemoved() const { return discRemoved_; }
    // Deliveries of this track the drive marked as uncertain.
    int JitterReports() const { return jitterReports_; }
    // Where this track's deliveries came with a jitter report or a read error.
    const std::vector<uint32_t>& Suspicious() const { return suspicious_.Positions(); }

private:
    TRipWindow& window_;
    TRipControl& control_;
    CDRipIntf::TCDSession& session_;
    uint8_t* rip_ = nullptr;
    int32_t ripSize_ = 0;
    uint8_t* samples_ = nullptr;
    int32_t held_ = 0;      // bytes of the last delivery
    int32_t position_ = 0;  // first byte of the rip buffer not yet handed on
    int32_t percent_ = 0;
    bool ended_ = false;  // the library has no more audio for this track
    bool ripChunkFailed_ = false;
    bool discRemoved_ = false;
    int jitterReports_ = 0;
    TSuspiciousChunks suspicious_;
};

}  // namespace Rip
