// A FLAC stream through libFLAC for one track: compression level 8 with the encoder's verify
// on, the audio's MD5 in the stream info, a seek table, padding for later tag edits, and
// the track's Vorbis comments in full UTF-8.
#pragma once

#include <FLAC/stream_encoder.h>

#include <QString>
#include <cstdint>
#include <utility>
#include <vector>

#include "StreamEncoder.h"

namespace Rip {

class TFlacStream : public TEncodeRipper::TStreamEncoder {
public:
    // Result of Encode and Finish when the encoder's own decoding of a frame did not give
    // back the audio it was given.
    static constexpr uint32_t kVerifyFailed = 2;

    // n names the track in the error texts; samples is its length in stereo samples, for the
    // seek table (a track cut short by a cancel has its real length written at the end).
    TFlacStream(uint8_t n, uint64_t samples, TComments comments);
    ~TFlacStream() override;
    TFlacStream(const TFlacStream&) = delete;
    TFlacStream& operator=(const TFlacStream&) = delete;

    uint32_t Open(uint32_t& samplesPerChunk, uint32_t& outBufferSize) override;
    uint32_t Encode(uint32_t samples, const int16_t* input, uint8_t* output,
                    uint32_t& outputBytes) override;
    uint32_t Finish(uint8_t* output, uint32_t& outputBytes) override;
    void Release() override;
    // The stream info (length, MD5) and the seek table, which libFLAC writes last.
    bool Rewrite(TWavFile& file) override;
    QString EncodeFailedText(uint32_t rc) const override;
    QString FinishFailedText(uint32_t rc) const override;

private:
    static FLAC__StreamEncoderWriteStatus written(const FLAC__StreamEncoder*,
                                                  const FLAC__byte buffer[], size_t bytes,
                                                  uint32_t samples, uint32_t frame, void* self);
    static FLAC__StreamEncoderSeekStatus sought(const FLAC__StreamEncoder*, FLAC__uint64 offset,
                                                void* self);
    static FLAC__StreamEncoderTellStatus told(const FLAC__StreamEncoder*, FLAC__uint64* offset,
                                              void* self);
    // The result for a call of libFLAC that failed.
    uint32_t failure() const;

    uint8_t n_;
    uint64_t samples_;
    TComments comments_;
    FLAC__StreamEncoder* encoder_ = nullptr;
    std::vector<FLAC__StreamMetadata*> metadata_;  // owned; libFLAC only reads them
    std::vector<FLAC__int32> wide_;                // one chunk's samples as libFLAC takes them
    TPendingBytes pending_;                        // written at the end, not yet handed out
    uint64_t end_ = 0;                             // the stream's length so far
    uint64_t position_ = 0;                        // where libFLAC writes next
    // What libFLAC wrote over bytes already handed out, by offset.
    std::vector<std::pair<uint64_t, std::vector<uint8_t>>> rewrites_;
};

}  // namespace Rip
