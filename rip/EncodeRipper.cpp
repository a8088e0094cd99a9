#include "EncodeRipper.h"

#include <opusenc.h>

#include <QDate>
#include <QFile>
#include <QLocale>
#include <algorithm>
#include <cstring>
#include <new>

#include "CDSession.h"
#include "Encoders.h"
#include "FlacStream.h"
#include "Maker.h"
#include "OpusStream.h"
#include "StreamEncoder.h"

namespace Rip {

using namespace CDRipIntf;

static_assert(sizeof(BE_CONFIG) == BE_CONFIG_SIZE);
static_assert(sizeof(VbEncConfig) == VB_ENC_CONFIG_SIZE);

void CopyOggText(char (&buffer)[kOggTextSize], const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    qsizetype length = std::min<qsizetype>(utf8.size(), kOggTextSize - 1);
    // Never cut a character in two: half a UTF-8 sequence would turn the whole text into
    // Latin-1 garbage on the encoder's side.
    while (length > 0 && length < utf8.size() && (uint8_t(utf8[length]) & 0xC0) == 0x80) --length;
    std::memcpy(buffer, utf8.constData(), static_cast<size_t>(length));
    buffer[length] = '\0';
}

namespace {

std::unique_ptr<uint8_t[]> allocateBuffer(TEncodeRipper::TBuffer, size_t bytes) {
    return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[bytes]);
}

class TMp3Stream : public TEncodeRipper::TStreamEncoder {
public:
    TMp3Stream(const bladedll::TBladeFunctions& blade, const BE_CONFIG& config)
        : blade_(blade), config_(config) {}
    uint32_t Open(uint32_t& samplesPerChunk, uint32_t& outBufferSize) override {
        DWORD samples = 0, size = 0;
        const BE_ERR rc = blade_.InitStream(&config_, &samples, &size, &stream_);
        samplesPerChunk = samples;
        outBufferSize = size;
        return rc;
    }
    uint32_t Encode(uint32_t samples, const int16_t* input, uint8_t* output,
                    uint32_t& outputBytes) override {
        DWORD bytes = 0;
        const BE_ERR rc = blade_.EncodeChunk(stream_, samples, input, output, &bytes);
        outputBytes = bytes;
        return rc;
    }
    uint32_t Finish(uint8_t* output, uint32_t& outputBytes) override {
        DWORD bytes = 0;
        const BE_ERR rc = blade_.DeinitStream(stream_, output, &bytes);
        outputBytes = bytes;
        return rc;
    }
    void Release() override { blade_.CloseStream(stream_); }
    QString EncodeFailedText(uint32_t rc) const override {
        return QStringLiteral("beEncodeChunk failed ") + QString::number(rc);
    }
    QString FinishFailedText(uint32_t rc) const override {
        return QStringLiteral("beExitStream failed ") + QString::number(rc);
    }

private:
    const bladedll::TBladeFunctions& blade_;
    BE_CONFIG config_;
    HBE_STREAM stream_ = 0;
};

class TOggStream : public TEncodeRipper::TStreamEncoder {
public:
    TOggStream(TEncodeRipper& ripper, uint8_t n, const VbEncConfig& config)
        : ripper_(ripper), n_(n), config_(config) {}
    void Prepare() override { ripper_.FillOggTrackInfo(n_); }
    uint32_t Open(uint32_t& samplesPerChunk, uint32_t& outBufferSize) override {
        return ripper_.Encoders().vbEncOpen(&config_, &ripper_.OggTrackInfo(), &samplesPerChunk,
                                            &outBufferSize, &handle_);
    }
    uint32_t Encode(uint32_t samples, const int16_t* input, uint8_t* output,
                    uint32_t& outputBytes) override {
        return ripper_.Encoders().vbEncWrite(handle_, samples, input, output, &outputBytes);
    }
    uint32_t Finish(uint8_t* output, uint32_t& outputBytes) override {
        // The library frees the stream in vbEncClose whatever it answers.
        ended_ = true;
        return ripper_.Encoders().vbEncClose(handle_, output, &outputBytes);
    }
    // A stream given up after a failure is dropped without its ending.
    void Release() override {
        if (!ended_) ripper_.Encoders().vbEncClose(handle_, nullptr, nullptr);
        ended_ = true;
    }
    QString EncodeFailedText(uint32_t rc) const override {
        return QStringLiteral("vbEncWrite failed ") + QString::number(rc);
    }
    QString FinishFailedText(uint32_t rc) const override {
        return QStringLiteral("vbEncClose failed ") + QString::number(rc);
    }

private:
    TEncodeRipper& ripper_;
    uint8_t n_;
    VbEncConfig config_;
    VbHandle handle_ = 0;
    bool ended_ = false;
};

bool writeAll(TWavFile& file, const uint8_t* data, uint32_t count) {
    return count == 0 || file.Append(data, count) == count;
}

}  // namespace

TEncodeRipper::TEncodeRipper(TRipWindow& window, TRipControl& control, TCDSession& session,
                             TEncoders& encoders, TWavFileOpener opener)
    : window_(window),
      control_(control),
      session_(session),
      encoders_(encoders),
      opener_(std::move(opener)),
      allocate_(allocateBuffer),
      reader_(window, control, session) {}

TEncodeRipper::~TEncodeRipper() = default;

QString TEncodeRipper::ProgressText(int trackIndex, int percent) {
    return QStringLiteral("Ripping and Encoding Track: ") + QString::number(trackIndex) +
           QStringLiteral(" : ") + QString::number(percent) + QStringLiteral("% Done");
}

BE_CONFIG TEncodeRipper::BuildMp3Config() {
    const TRipChoices choices = window_.Choices();
    BE_CONFIG config;
    std::memset(&config, 0, sizeof config);
    config.dwConfig = BE_CONFIG_MP3;
    config.format.mp3.dwSampleRate = 44100;
    if (choices.Stereo)
        config.format.mp3.byMode = BE_MP3_MODE_STEREO;
    else if (choices.Mono)
        config.format.mp3.byMode = BE_MP3_MODE_MONO;
    if (choices.PersonalComputer)
        config.format.mp3.wBitrate = 192;
    else if (choices.PersonalDevice)
        config.format.mp3.wBitrate = 128;
    return config;
}

VbEncConfig TEncodeRipper::BuildOggConfig() {
    const TRipChoices choices = window_.Choices();
    VbEncConfig config;
    std::memset(&config, 0, sizeof config);
    config.dwKind = VB_CONFIG_KIND;
    config.dwFlags = 0;
    config.dwSize = VB_ENC_CONFIG_SIZE;
    if (choices.Mono)
        config.dwChannels = 1;
    else if (choices.Stereo)
        config.dwChannels = 2;
    config.dwSampleRate = 44100;
    if (choices.PersonalComputer)
        config.fQuality = 0.6f;
    else if (choices.PersonalDevice)
        config.fQuality = 0.4f;
    return config;
}

TOpusConfig TEncodeRipper::BuildOpusConfig() {
    const TRipChoices choices = window_.Choices();
    TOpusConfig config;
    config.Channels = choices.Mono ? 1 : 2;
    config.Bitrate = choices.PersonalDevice && !choices.PersonalComputer ? 96000 : 160000;
    return config;
}

TEncodeRipper::TTrackTexts TEncodeRipper::trackTexts() {
    const TRipChoices choices = window_.Choices();
    return {choices.RecordingName,
            trackArtist_.isEmpty() ? choices.Artist : trackArtist_,
            choices.Album,
            choices.Genre,
            QLocale().toString(today_(), QLocale::ShortFormat),
            QStringLiteral("Sonvale - ") + QString::fromLatin1(kMakerWebAddress)};
}

void TEncodeRipper::FillOggTrackInfo(uint8_t n) {
    const TTrackTexts texts = trackTexts();
    trackInfo_ = VbTrackInfo{};
    trackInfo_.dwSize = sizeof(VbTrackInfo);
    trackInfo_.dwReserved1 = 1;
    trackInfo_.dwReserved2 = 1;
    trackInfo_.dwReserved3 = 44;
    trackInfo_.dwReserved4 = 1;
    CopyOggText(oggTexts_.Title, texts.Title);
    trackInfo_.pszTitle = oggTexts_.Title;
    CopyOggText(oggTexts_.Artist, texts.Artist);
    trackInfo_.pszArtist = oggTexts_.Artist;
    CopyOggText(oggTexts_.Album, texts.Album);
    trackInfo_.pszAlbum = oggTexts_.Album;
    CopyOggText(oggTexts_.Encoder, QStringLiteral("Encoder DLL : ") +
                                       QString::fromStdString(encoders_.VorbisVersionText()));
    trackInfo_.pszEncoder = oggTexts_.Encoder;
    trackInfo_.dwTrackNumber = n;
    trackInfo_.dwTrackCount = static_cast<uint32_t>(std::max(session_.CR_GetNumTocEntries(), 0));
    CopyOggText(oggTexts_.Genre, texts.Genre);
    trackInfo_.pszGenre = oggTexts_.Genre;
    CopyOggText(oggTexts_.Comment, texts.Comment);
    trackInfo_.pszComment = oggTexts_.Comment;
    CopyOggText(oggTexts_.Date, texts.Date);
    trackInfo_.pszDate = oggTexts_.Date;
}

int32_t TEncodeRipper::EncodeTrackToMp3(const TDiscInfo& disc, uint8_t n, const QString& fileName,
                                        BE_CONFIG config) {
    TMp3Stream stream(encoders_.Blade(), config);
    return encodeTrack(disc, n, fileName, stream);
}

TComments TEncodeRipper::TrackComments(uint8_t n, const QString& encoder) {
    const TTrackTexts texts = trackTexts();
    const uint32_t count = static_cast<uint32_t>(std::max(session_.CR_GetNumTocEntries(), 0));
    TComments comments = {
        {QStringLiteral("ARTIST"), texts.Artist},
        {QStringLiteral("ALBUM"), texts.Album},
        {QStringLiteral("TITLE"), texts.Title},
        {QStringLiteral("GENRE"), texts.Genre},
        {QStringLiteral("TRACKNUMBER"), n ? QString::number(n) : QString()},
        {QStringLiteral("TRACKTOTAL"), count ? QString::number(count) : QString()},
        {QStringLiteral("DATE"), texts.Date},
        {QStringLiteral("ENCODER"), encoder},
        {QStringLiteral("COMMENT"), texts.Comment}};
    std::erase_if(comments, [](const auto& c) { return c.second.isEmpty(); });
    return comments;
}

int32_t TEncodeRipper::EncodeTrackToFlac(const TDiscInfo& disc, uint8_t n,
                                         const QString& fileName) {
    const uint64_t samples =
        n >= 1 && n <= kMaxTracks ? uint64_t(disc.Entry(n).LengthSectors) * 588 : 0;
    TFlacStream stream(n, samples,
                       TrackComments(n, QStringLiteral("Encoder : libFLAC ") +
                                            QString::fromLatin1(FLAC__VERSION_STRING)));
    return encodeTrack(disc, n, fileName, stream);
}

int32_t TEncodeRipper::EncodeTrackToOpus(const TDiscInfo& disc, uint8_t n, const QString& fileName,
                                         TOpusConfig config) {
    TOpusStream stream(config, TrackComments(n, QStringLiteral("Encoder : ") +
                                                    QString::fromUtf8(ope_get_version_string())));
    return encodeTrack(disc, n, fileName, stream);
}

int32_t TEncodeRipper::EncodeTrackToOgg(const TDiscInfo& disc, uint8_t n, const QString& fileName,
                                        VbEncConfig config) {
    TOggStream stream(*this, n, config);
    return encodeTrack(disc, n, fileName, stream);
}

int32_t TEncodeRipper::encodeTrack(const TDiscInfo& disc, uint8_t n, const QString& fileName,
                                   TStreamEncoder& encoder) {
    outputFailure_ = TOutputFailure::None;
    cancelled_ = false;
    checksum_.Start(disc, n);
    loudness_ = measureLoudness_ ? std::make_unique<TLoudness>() : nullptr;
    // Nothing of the track before is left to be taken for this one's, should it not start.
    reader_.Reset(nullptr, 0, nullptr);
    const QString okTitle = QStringLiteral("OK");

    // The whole track, as the Wave ripper takes it: its length already stops short of the
    // next track and of a CD-Extra session gap.
    const TTrackEntry* entry = n >= 1 && n <= kMaxTracks ? &disc.Entry(n) : nullptr;
    const int64_t first = entry ? int64_t(entry->StartSector) : 0;
    const int64_t last = entry ? first + int64_t(entry->LengthSectors) - 1 : -1;
    int32_t ripSize = 0;
    if (!entry || entry->LengthSectors == 0 || last > INT32_MAX ||
        session_.CR_OpenRipper(&ripSize, static_cast<int32_t>(first), static_cast<int32_t>(last)) !=
            0) {
        window_.ShowMessageBox(QStringLiteral("Error : CR_OpenRipper"), okTitle);
        return 1;
    }

    std::unique_ptr<uint8_t[]> rip;
    if (ripSize > 0) rip = allocate_(TBuffer::Rip, static_cast<size_t>(ripSize));
    if (!rip) {
        window_.ShowMessageBox(QStringLiteral("Error : memory allocation (RipBuffer)"), okTitle);
        return 1;
    }

    std::unique_ptr<TWavFile> file = opener_(QFile::encodeName(fileName).toStdString());
    if (!file) {
        outputFailure_ = TOutputFailure::CannotCreateFile;
        window_.SetStatus(QStringLiteral("Error : Cannot create file ") + fileName);
        return 1;
    }

    encoder.Prepare();
    uint32_t samplesPerChunk = 0, outSize = 0;
    if (const uint32_t rc = encoder.Open(samplesPerChunk, outSize); rc != 0) {
        file->Close();
        rip.reset();
        window_.ShowError(QStringLiteral("Error opening encoding stream ") + QString::number(rc));
        return 1;
    }

    const uint64_t chunkBytes = uint64_t(samplesPerChunk) * 2;
    std::unique_ptr<uint8_t[]> out, raw;
    if (samplesPerChunk > 0 && outSize > 0 && chunkBytes <= INT32_MAX) {
        out = allocate_(TBuffer::Output, outSize);
        if (out) raw = allocate_(TBuffer::Samples, static_cast<size_t>(chunkBytes));
    }
    if (!out || !raw) {
        encoder.Release();
        file->Close();
        window_.ShowMessageBox(QStringLiteral("Error : memory allocation (OutBuffer, RawBuffer)"),
                               okTitle);
        return 1;
    }
    const auto w = static_cast<int32_t>(chunkBytes);
    const auto* samples = reinterpret_cast<const int16_t*>(raw.get());

    // After a failure the file keeps what was written; the stream goes with the track.
    auto fail = [&](const QString& text) {
        window_.ShowError(text);
        encoder.Release();
        file->Close();
        return 1;
    };

    reader_.Reset(rip.get(), ripSize, raw.get());
    window_.SetProgressRange(0, 100);
    window_.SetProgress(0);
    int shownPercent = -1;
    while (!control_.Cancelled()) {
        const int32_t bytes = reader_.ReadPcmChunk(w);
        if (bytes <= 0) break;
        checksum_.Add(raw.get(), static_cast<size_t>(bytes));
        if (loudness_) loudness_->Add(raw.get(), static_cast<size_t>(bytes));
        uint32_t produced = 0;
        // Whole stereo frames only: both encoders take an even number of samples.
        const auto count = static_cast<uint32_t>(bytes / 4 * 2);
        if (const uint32_t rc = encoder.Encode(count, samples, out.get(), produced); rc != 0)
            return fail(encoder.EncodeFailedText(rc));
        if (!writeAll(*file, out.get(), produced)) return fail(QStringLiteral("Write Error"));

        // Sending an unchanged text for every chunk would only cost the window time.
        const int percent = reader_.Percent();
        if (percent != shownPercent) {
            window_.SetStatus(ProgressText(n, percent));
            window_.SetProgress(percent);
            shownPercent = percent;
        }
    }

    const bool cancelled = control_.Cancelled();
    window_.SetProgress(cancelled ? 0 : 100);
    uint32_t produced = 0;
    if (const uint32_t rc = encoder.Finish(out.get(), produced); rc != 0)
        return fail(encoder.FinishFailedText(rc));
    if (!writeAll(*file, out.get(), produced) || !encoder.Rewrite(*file))
        return fail(QStringLiteral("Write error"));

    encoder.Release();
    const bool closed = file->Close();
    file.reset();
    rip.reset();
    out.reset();
    raw.reset();
    // A network file system may report a full disk only now.
    if (!closed) {
        window_.ShowError(QStringLiteral("Write error"));
        return 1;
    }
    if (cancelled) {
        window_.SetStatus(QStringLiteral("Ripping and Encoding Canceled."));
        cancelled_ = true;
        return 1;
    }
    // The file holds the audio up to the library's error, but not the whole track.
    return reader_.RipChunkFailed() ? 1 : 0;
}

}  // namespace Rip
