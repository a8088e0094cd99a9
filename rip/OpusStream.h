// An Ogg Opus stream through libopusenc for one track, at the bit rate and channels the
// window's choices give, with the track's comments in full UTF-8.
#pragma once

#include <QString>
#include <cstdint>
#include <vector>

#include "StreamEncoder.h"

struct OggOpusComments;
struct OggOpusEnc;

namespace Rip {

class TOpusStream : public TEncodeRipper::TStreamEncoder {
public:
    // The disc's stereo audio goes in; with config.Channels 1 it is mixed down to one
    // channel first.
    TOpusStream(TOpusConfig config, TComments comments);
    ~TOpusStream() override;
    TOpusStream(const TOpusStream&) = delete;
    TOpusStream& operator=(const TOpusStream&) = delete;

    uint32_t Open(uint32_t& samplesPerChunk, uint32_t& outBufferSize) override;
    uint32_t Encode(uint32_t samples, const int16_t* input, uint8_t* output,
                    uint32_t& outputBytes) override;
    uint32_t Finish(uint8_t* output, uint32_t& outputBytes) override;
    void Release() override;
    QString EncodeFailedText(uint32_t rc) const override;
    QString FinishFailedText(uint32_t rc) const override;

private:
    static int written(void* self, const unsigned char* page, int32_t bytes);
    static int closed(void* self);

    TOpusConfig config_;
    TComments comments_;
    OggOpusComments* tags_ = nullptr;  // owned
    OggOpusEnc* encoder_ = nullptr;    // owned
    std::vector<int16_t> mono_;        // one chunk mixed down
    TPendingBytes pending_;            // pages made, not yet handed out
};

}  // namespace Rip
