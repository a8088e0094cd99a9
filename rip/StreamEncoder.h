// The calls of one encoder library for one stream, as the encoding ripper drives them.
#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "EncodeRipper.h"
#include "WavWriter.h"

namespace Rip {

// A track's comments, field name and value, in the order written.
using TComments = std::vector<std::pair<QString, QString>>;

// The bytes an encoder library gives its write callback, kept until the ripper's next call
// takes them into its output buffer, which holds Capacity bytes.
class TPendingBytes {
public:
    explicit TPendingBytes(uint32_t capacity) : capacity_(capacity) {}
    uint32_t Capacity() const { return capacity_; }
    size_t Size() const { return bytes_.size(); }
    uint8_t* Data() { return bytes_.data(); }
    void Append(const uint8_t* bytes, size_t count) {
        bytes_.insert(bytes_.end(), bytes, bytes + count);
    }
    // All of them into output, and they are no longer pending. False, and nothing handed
    // out, when there are more than the buffer holds.
    bool HandOut(uint8_t* output, uint32_t& outputBytes) {
        if (bytes_.size() > capacity_) return false;
        if (!bytes_.empty()) std::memcpy(output, bytes_.data(), bytes_.size());
        outputBytes = uint32_t(bytes_.size());
        bytes_.clear();
        return true;
    }

private:
    std::vector<uint8_t> bytes_;
    uint32_t capacity_;
};

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
