// One audio track of the disc in the active drive ripped straight into an MP3 file (through
// libbladeenc), an Ogg Vorbis file (through libvorbisdll), a FLAC file (libFLAC) or an Ogg
// Opus file (libopusenc), chunk by chunk, on the thread
// that calls it (a launcher thread in the program); and the encoder configurations built
// from the window's choices.
#pragma once

#include <QDate>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "CDRipIntf.h"
#include "CDSession.h"
#include "Encoders.h"
#include "Loudness.h"
#include "PcmChunkReader.h"
#include "RipControl.h"
#include "RipWindow.h"
#include "TrackChecksum.h"
#include "WavWriter.h"
#include "WaveRipper.h"
#include "bladedll.h"
#include "libvorbisdll.h"

namespace Rip {

// The texts handed to the Ogg Vorbis encoder, each zero-terminated in its own buffer. The
// ripper holds them as long as it lives, so the track information may point at them.
constexpr int kOggTextSize = 132;  // at most 131 bytes of text and the terminator
struct TOggTexts {
    char Title[kOggTextSize];
    char Artist[kOggTextSize];
    char Album[kOggTextSize];
    char Encoder[kOggTextSize];
    char Genre[kOggTextSize];
    char Comment[kOggTextSize];
    char Date[kOggTextSize];
};

// Copies text into buffer as UTF-8, cut at a character boundary to at most 131 bytes.
void CopyOggText(char (&buffer)[kOggTextSize], const QString& text);

// Ogg Opus from the window's choices.
struct TOpusConfig {
    int Channels = 2;
    int32_t Bitrate = 160000;  // bit/s
};

class TEncodeRipper {
public:
    // Rips through session's library and encodes through encoders'; a cancel of control
    // ends a track.
    TEncodeRipper(TRipWindow& window, TRipControl& control, CDRipIntf::TCDSession& session,
                  TEncoders& encoders, TWavFileOpener opener = OpenPosixWavFile);
    ~TEncodeRipper();
    TEncodeRipper(const TEncodeRipper&) = delete;
    TEncodeRipper& operator=(const TEncodeRipper&) = delete;

    // MP3 at 44100 Hz from the window's choices: stereo (mode 0) or mono (mode 3),
    // 192 kbit/s for "Personal Computer", 128 for "Personal Device".
    // Each reads the window's choices as they are at the call.
    BE_CONFIG BuildMp3Config();
    // Ogg Vorbis at 44100 Hz: 2 or 1 channels, quality 0.6 or 0.4 by the same choices.
    VbEncConfig BuildOggConfig();
    // Ogg Opus: 2 or 1 channels, 160 or 96 kbit/s by the same choices.
    TOpusConfig BuildOpusConfig();
    // Today's date, for the Ogg DATE comment; tests give a fixed one.
    using TToday = std::function<QDate()>;
    void SetToday(TToday today) { today_ = std::move(today); }
    // Today, as ID3v2.4 dates are written.
    QString TodayIso() const { return today_().toString(Qt::ISODate); }
    // Measures the loudness of the tracks encoded next, for their ReplayGain.
    void SetMeasureLoudness(bool on) { measureLoudness_ = on; }
    // The last track's loudness, taken out of the ripper; null when none was measured.
    std::unique_ptr<TLoudness> TakeLoudness() { return std::move(loudness_); }
    // The ARTIST of the tracks encoded next; empty: the window's artist.
    void SetTrackArtist(QString artist) { trackArtist_ = std::move(artist); }
    // Fills the track information of track index n and the texts it points at.
    void FillOggTrackInfo(uint8_t n);
    // The comments an Ogg file of track index n gets, as field and text, uncut: the empty
    // ones and a zero number left out, as the Ogg encoder leaves them out.
    std::vector<std::pair<QString, QString>> TrackComments(uint8_t n, const QString& encoder);
    const VbTrackInfo& OggTrackInfo() const { return trackInfo_; }

    CDRipIntf::TCDSession& Session() const { return session_; }
    TEncoders& Encoders() const { return encoders_; }

    // Rip track index n of disc, the whole track, into fileName. Result 0 when the track
    // was ripped and encoded to its end; 1 otherwise (every failure, a cancel, and a track
    // the library stopped delivering with an error). The library's ripping process stays
    // open whenever CR_OpenRipper succeeded; the caller closes it. Expects entry n to be an
    // audio track.
    int32_t EncodeTrackToMp3(const CDRipIntf::TDiscInfo& disc, uint8_t n, const QString& fileName,
                             BE_CONFIG config);
    int32_t EncodeTrackToOgg(const CDRipIntf::TDiscInfo& disc, uint8_t n, const QString& fileName,
                             VbEncConfig config);
    // FLAC, the disc's audio as it is, with the Ogg files' comments uncut.
    int32_t EncodeTrackToFlac(const CDRipIntf::TDiscInfo& disc, uint8_t n, const QString& fileName);
    // Ogg Opus with the same comments.
    int32_t EncodeTrackToOpus(const CDRipIntf::TDiscInfo& disc, uint8_t n, const QString& fileName,
                              TOpusConfig config);

    TOutputFailure LastOutputFailure() const { return outputFailure_; }
    // The checksums of the audio the last track delivered, whole or not.
    const TTrackChecksum& LastChecksum() const { return checksum_; }
    // Deliveries of the last track the drive marked as uncertain.
    int LastJitterCount() const { return reader_.JitterReports(); }
    // Where the last track's deliveries came with a jitter report or a read error.
    const std::vector<uint32_t>& LastSuspicious() const { return reader_.Suspicious(); }
    // The drive said the disc was gone while the last track was read.
    bool LastDiscRemoved() const { return reader_.DiscRemoved(); }
    // True when the last track ended on a cancel with its file finished; the ripper has then
    // said "Ripping and Encoding Canceled." itself.
    bool LastTrackCancelled() const { return cancelled_; }

    // "Ripping and Encoding Track: N : P% Done"
    static QString ProgressText(int trackIndex, int percent);

    // Tests stand in for the buffers' allocation (null = out of memory).
    enum class TBuffer { Rip, Output, Samples };
    using TBufferAllocator = std::function<std::unique_ptr<uint8_t[]>(TBuffer, size_t bytes)>;
    void SetBufferAllocator(TBufferAllocator allocator) { allocate_ = std::move(allocator); }

    class TStreamEncoder;  // one encoder library's calls

private:
    // The texts every format's comments take, read from the window's choices at the call.
    struct TTrackTexts {
        QString Title, Artist, Album, Genre, Date, Comment;
    };
    TTrackTexts trackTexts();
    int32_t encodeTrack(const CDRipIntf::TDiscInfo& disc, uint8_t n, const QString& fileName,
                        TStreamEncoder& encoder);

    TRipWindow& window_;
    TRipControl& control_;
    CDRipIntf::TCDSession& session_;
    TEncoders& encoders_;
    TWavFileOpener opener_;
    TBufferAllocator allocate_;
    TToday today_ = &QDate::currentDate;
    TPcmChunkReader reader_;
    QString trackArtist_;
    TOggTexts oggTexts_{};
    VbTrackInfo trackInfo_{};
    TOutputFailure outputFailure_ = TOutputFailure::None;
    bool cancelled_ = false;
    TTrackChecksum checksum_;
    bool measureLoudness_ = false;
    std::unique_ptr<TLoudness> loudness_;
};

}  // namespace Rip
