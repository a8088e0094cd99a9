#include "PcmChunkReader.h"

#include <algorithm>
#include <cstring>

#include "CDSession.h"

namespace Rip {

using namespace CDRipIntf;

void TPcmChunkReader::Reset(uint8_t* ripBuffer, int32_t ripSize, uint8_t* sampleBuffer) {
    rip_ = ripBuffer;
    ripSize_ = ripSize;
    samples_ = sampleBuffer;
    held_ = 0;
    position_ = 0;
    percent_ = 0;
    ended_ = false;
    ripChunkFailed_ = false;
    discRemoved_ = false;
    jitterReports_ = 0;
    suspicious_.Start();
}

int32_t TPcmChunkReader::ReadPcmChunk(int32_t w) {
    int32_t filled = 0;
    while (filled < w) {
        if (position_ < held_) {
            const int32_t take = std::min(w - filled, held_ - position_);
            std::memcpy(samples_ + filled, rip_ + position_, static_cast<size_t>(take));
            position_ += take;
            filled += take;
            continue;
        }
        // Once the library has said the track is over it is not asked again: a second
        // error would only show its box twice.
        if (ended_) break;
        held_ = 0;
        position_ = 0;
        int32_t bytes = 0;
        const int32_t rc = session_.CR_RipChunk(rip_, &bytes, control_.AbortFlag());
        suspicious_.Answered(rc, bytes);
        if (rc == kRipChunkOk || rc == kRipChunkJitter) {
            // A jitter report still carries the best audio the drive could give.
            if (rc == kRipChunkJitter) ++jitterReports_;
            if (bytes > ripSize_) {
                // More than the buffer holds: nothing in it can be trusted.
                ended_ = true;
                ripChunkFailed_ = true;
                window_.ShowMessageBox(QStringLiteral("Error : CR_RipChunk"), QStringLiteral("OK"));
                break;
            }
            if (bytes <= 0) {
                ended_ = true;
                break;
            }
            held_ = bytes;
            percent_ = std::clamp(session_.CR_GetPercentCompleted(), 0, 100);
        } else if (rc == kRipChunkDone) {
            ended_ = true;
        } else {
            ended_ = true;
            ripChunkFailed_ = true;
            discRemoved_ = rc == kRipChunkNotReady;
            window_.ShowMessageBox(QStringLiteral("Error : CR_RipChunk"), QStringLiteral("OK"));
        }
    }
    // Whatever was carried over when the library stopped is the track's last, short chunk.
    return filled;
}

}  // namespace Rip
