#include "OpusStream.h"

#include <opusenc.h>

#include <cstring>

namespace Rip {

namespace {
constexpr uint32_t kChunkSamples = 16384;         // stereo samples taken per Encode
constexpr uint32_t kOutBufferSize = 1024 * 1024;  // above a second of pages at any rate
// libopusenc's errors are negative; ours are positive, 1 for a failure of our own.
constexpr uint32_t kFailed = 1;
uint32_t resultOf(int error) {
    return error == OPE_OK ? 0 : uint32_t(-error);
}
}  // namespace

TOpusStream::TOpusStream(TOpusConfig config, TComments comments)
    : config_(config), comments_(std::move(comments)), pending_(kOutBufferSize) {}

TOpusStream::~TOpusStream() {
    Release();
}

uint32_t TOpusStream::Open(uint32_t& samplesPerChunk, uint32_t& outBufferSize) {
    if (config_.Channels != 1 && config_.Channels != 2) return kFailed;
    tags_ = ope_comments_create();
    if (!tags_) return resultOf(OPE_ALLOC_FAIL);
    for (const auto& [name, value] : comments_)
        if (const int error =
                ope_comments_add(tags_, name.toUtf8().constData(), value.toUtf8().constData());
            error != OPE_OK) {
            Release();
            return resultOf(error);
        }
    const OpusEncCallbacks callbacks = {written, closed};
    int error = OPE_OK;
    // libopusenc takes the disc's 44.1 kHz as it is and resamples to Opus's 48 kHz itself,
    // keeping the original rate in the header and the exact length in the last page.
    encoder_ =
        ope_encoder_create_callbacks(&callbacks, this, tags_, 44100, config_.Channels, 0, &error);
    if (encoder_ && error == OPE_OK)
        error = ope_encoder_ctl(encoder_, OPUS_SET_BITRATE(config_.Bitrate));
    if (!encoder_ || error != OPE_OK) {
        Release();
        return error == OPE_OK ? kFailed : resultOf(error);
    }
    samplesPerChunk = kChunkSamples * 2;
    outBufferSize = pending_.Capacity();
    return 0;
}

uint32_t TOpusStream::Encode(uint32_t samples, const int16_t* input, uint8_t* output,
                             uint32_t& outputBytes) {
    outputBytes = 0;
    if (!encoder_) return kFailed;
    const int frames = int(samples / 2);
    const int16_t* pcm = input;
    if (config_.Channels == 1) {
        mono_.resize(size_t(frames));
        for (int i = 0; i < frames; ++i)
            mono_[size_t(i)] = int16_t((int32_t(input[2 * i]) + input[2 * i + 1]) / 2);
        pcm = mono_.data();
    }
    if (const int error = ope_encoder_write(encoder_, pcm, frames); error != OPE_OK)
        return resultOf(error);
    return pending_.HandOut(output, outputBytes) ? 0 : kFailed;
}

uint32_t TOpusStream::Finish(uint8_t* output, uint32_t& outputBytes) {
    outputBytes = 0;
    if (!encoder_) return kFailed;
    // The last pages, the final one with the track's exact length.
    if (const int error = ope_encoder_drain(encoder_); error != OPE_OK) return resultOf(error);
    return pending_.HandOut(output, outputBytes) ? 0 : kFailed;
}

void TOpusStream::Release() {
    if (encoder_) ope_encoder_destroy(encoder_);
    encoder_ = nullptr;
    if (tags_) ope_comments_destroy(tags_);
    tags_ = nullptr;
}

QString TOpusStream::EncodeFailedText(uint32_t rc) const {
    const QString why = rc == kFailed ? QString() : QString::fromUtf8(ope_strerror(-int(rc)));
    return QStringLiteral("Opus encoding failed ") + QString::number(rc) +
           (why.isEmpty() ? QString() : QStringLiteral(" (") + why + QLatin1Char(')'));
}

QString TOpusStream::FinishFailedText(uint32_t rc) const {
    return EncodeFailedText(rc);
}

int TOpusStream::written(void* self, const unsigned char* page, int32_t bytes) {
    auto& s = *static_cast<TOpusStream*>(self);
    s.pending_.Append(page, size_t(bytes));
    return 0;
}

int TOpusStream::closed(void*) {
    return 0;
}

}  // namespace Rip
