// The calls of one encoder library for one stream, as the encoding ripper drives them.
#pragma once

#include <QString>
#include <cstdint>
#include <utility>
#include <vector>

#include "EncodeRipper.h"
#include "WavWriter.h"

namespace Rip {

// A track's comments, field name and value, in the order written.
using TComments = std::vector<std::pair<QString, QString>>;

// The calls of one encoder library for one stream. Release frees the stream on every path
// that ends a track once Open has succeeded, so nothing of it outlives the track.
class TEncodeRipper::TStreamEncoder {
public:
    virtual ~TStreamEncoder() = default;
    virtual void Prepare() {}  // just before Open
    virtual uint32_t Open(uint32_t& samplesPerChunk, uint32_t& outBufferSize) = 0;
    virtual uint32_t Encode(uint32_t samples, const int16_t* input, uint8_t* output,
                            uint32_t& outputBytes) = 0;
    virtual uint32_t Finish(uint8_t* output, uint32_t& outputBytes) = 0;
    virtual void Release() = 0;
    // After the stream's last bytes are in the file: what the encoder goes back to write
    // over (a header it could only fill in at the end). False when that failed.
    virtual bool Rewrite(TWavFile&) { return true; }
    // The error box's text for Encode's or Finish's failure rc.
    virtual QString EncodeFailedText(uint32_t rc) const = 0;
    virtual QString FinishFailedText(uint32_t rc) const = 0;
};

}  // namespace Rip
