#include "FlacStream.h"

#include <FLAC/metadata.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace Rip {

namespace {
constexpr uint32_t kBlockSamples = 4096;               // level 8's block size
constexpr uint32_t kChunkSamples = 4 * kBlockSamples;  // stereo samples taken per Encode
constexpr uint32_t kOutBufferSize = 1024 * 1024;       // far above what one chunk makes
constexpr uint32_t kSeekPointSamples = 10 * 44100;     // a seek point every 10 s
constexpr uint32_t kPaddingBytes = 8192;               // as the flac tool leaves
constexpr uint32_t kFailed = 1;
}  // namespace

TFlacStream::TFlacStream(uint8_t n, uint64_t samples, TComments comments)
    : n_(n), samples_(samples), comments_(std::move(comments)), pending_(kOutBufferSize) {}

TFlacStream::~TFlacStream() {
    Release();
}

uint32_t TFlacStream::Open(uint32_t& samplesPerChunk, uint32_t& outBufferSize) {
    encoder_ = FLAC__stream_encoder_new();
    if (!encoder_) return kFailed;
    bool set = FLAC__stream_encoder_set_channels(encoder_, 2) &&
               FLAC__stream_encoder_set_bits_per_sample(encoder_, 16) &&
               FLAC__stream_encoder_set_sample_rate(encoder_, 44100) &&
               FLAC__stream_encoder_set_compression_level(encoder_, 8) &&
               FLAC__stream_encoder_set_verify(encoder_, true) &&
               FLAC__stream_encoder_set_total_samples_estimate(encoder_, samples_);

    FLAC__StreamMetadata* seekTable = FLAC__metadata_object_new(FLAC__METADATA_TYPE_SEEKTABLE);
    FLAC__StreamMetadata* tags = FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT);
    FLAC__StreamMetadata* padding = FLAC__metadata_object_new(FLAC__METADATA_TYPE_PADDING);
    for (FLAC__StreamMetadata* block : {seekTable, tags, padding})
        if (block) metadata_.push_back(block);
    set = set && metadata_.size() == 3;
    if (set && samples_ > 0)
        set = FLAC__metadata_object_seektable_template_append_spaced_points_by_samples(
                  seekTable, kSeekPointSamples, samples_) &&
              FLAC__metadata_object_seektable_template_sort(seekTable, true);
    for (const auto& [name, value] : comments_) {
        if (!set) break;
        FLAC__StreamMetadata_VorbisComment_Entry entry;
        const QByteArray n = name.toUtf8(), v = value.toUtf8();
        set = FLAC__metadata_object_vorbiscomment_entry_from_name_value_pair(&entry, n.constData(),
                                                                             v.constData());
        // The block takes the entry's memory only when the append succeeds.
        if (set && !FLAC__metadata_object_vorbiscomment_append_comment(tags, entry, false)) {
            std::free(entry.entry);
            set = false;
        }
    }
    if (set) padding->length = kPaddingBytes;
    if (set)
        set = FLAC__stream_encoder_set_metadata(encoder_, metadata_.data(),
                                                uint32_t(metadata_.size()));
    if (!set || FLAC__stream_encoder_init_stream(encoder_, written, sought, told, nullptr, this) !=
                    FLAC__STREAM_ENCODER_INIT_STATUS_OK) {
        Release();
        return kFailed;
    }
    samplesPerChunk = kChunkSamples * 2;
    outBufferSize = pending_.Capacity();
    return 0;
}

uint32_t TFlacStream::Encode(uint32_t samples, const int16_t* input, uint8_t* output,
                             uint32_t& outputBytes) {
    outputBytes = 0;
    if (!encoder_) return kFailed;
    wide_.assign(input, input + samples);
    if (!FLAC__stream_encoder_process_interleaved(encoder_, wide_.data(), samples / 2))
        return failure();
    return pending_.HandOut(output, outputBytes) ? 0 : kFailed;
}

uint32_t TFlacStream::Finish(uint8_t* output, uint32_t& outputBytes) {
    outputBytes = 0;
    if (!encoder_) return kFailed;
    // Writes the last frames, then goes back for the stream info and the seek table.
    if (!FLAC__stream_encoder_finish(encoder_)) return failure();
    return pending_.HandOut(output, outputBytes) ? 0 : kFailed;
}

void TFlacStream::Release() {
    if (encoder_) FLAC__stream_encoder_delete(encoder_);
    encoder_ = nullptr;
    for (FLAC__StreamMetadata* block : metadata_) FLAC__metadata_object_delete(block);
    metadata_.clear();
}

bool TFlacStream::Rewrite(TWavFile& file) {
    for (const auto& [offset, bytes] : rewrites_)
        if (!file.WriteAt(offset, bytes.data(), bytes.size())) return false;
    rewrites_.clear();
    return true;
}

QString TFlacStream::EncodeFailedText(uint32_t rc) const {
    if (rc == kVerifyFailed)
        return QStringLiteral("Error : FLAC Verify Failed - Track ") + QString::number(n_);
    return QStringLiteral("FLAC encoding failed ") + QString::number(rc);
}

QString TFlacStream::FinishFailedText(uint32_t rc) const {
    return EncodeFailedText(rc);
}

uint32_t TFlacStream::failure() const {
    const FLAC__StreamEncoderState state = FLAC__stream_encoder_get_state(encoder_);
    return state == FLAC__STREAM_ENCODER_VERIFY_MISMATCH_IN_AUDIO_DATA ||
                   state == FLAC__STREAM_ENCODER_VERIFY_DECODER_ERROR
               ? kVerifyFailed
               : kFailed + 2 + uint32_t(state);
}

FLAC__StreamEncoderWriteStatus TFlacStream::written(const FLAC__StreamEncoder*,
                                                    const FLAC__byte buffer[], size_t bytes,
                                                    uint32_t, uint32_t, void* self) {
    auto& s = *static_cast<TFlacStream*>(self);
    // libFLAC goes back only for the headers at the stream's start; what it writes there
    // lands over bytes handed out already (kept for Rewrite) or still pending.
    const uint64_t handedOut = s.end_ - s.pending_.Size();
    size_t done = 0;
    if (s.position_ < handedOut) {
        done = size_t(std::min<uint64_t>(handedOut - s.position_, bytes));
        s.rewrites_.emplace_back(s.position_, std::vector<uint8_t>(buffer, buffer + done));
    }
    if (done < bytes && s.position_ + done < s.end_) {
        const size_t over = size_t(std::min<uint64_t>(s.end_ - (s.position_ + done), bytes - done));
        std::memcpy(s.pending_.Data() + (s.position_ + done - handedOut), buffer + done, over);
        done += over;
    }
    s.pending_.Append(buffer + done, bytes - done);
    s.position_ += bytes;
    s.end_ = std::max(s.end_, s.position_);
    return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
}

FLAC__StreamEncoderSeekStatus TFlacStream::sought(const FLAC__StreamEncoder*, FLAC__uint64 offset,
                                                  void* self) {
    auto& s = *static_cast<TFlacStream*>(self);
    if (offset > s.end_) return FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
    s.position_ = offset;
    return FLAC__STREAM_ENCODER_SEEK_STATUS_OK;
}

FLAC__StreamEncoderTellStatus TFlacStream::told(const FLAC__StreamEncoder*, FLAC__uint64* offset,
                                                void* self) {
    *offset = static_cast<TFlacStream*>(self)->position_;
    return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
}

}  // namespace Rip
