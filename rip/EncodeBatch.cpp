#include "EncodeBatch.h"

#include "CDSession.h"
#include "Encoders.h"
#include "FileNames.h"
#include "FileTags.h"
#include "TestAndCopy.h"

namespace Rip {

using namespace CDRipIntf;

namespace {

// Every format a batch encodes into is one whose files are tagged afterwards.
using TFormat = TTaggedFormat;

// What the texts and the files of a batch say of its format.
struct TFormatTexts {
    QString Extension;  // ".mp3"
    QString Done;       // ends "Successfully Ripped and Encoded ..."
    QString Ripping;    // the rip status while a track is ripped
};

TFormatTexts textsOf(TFormat format) {
    switch (format) {
        case TFormat::Ogg:
            return {QStringLiteral(".ogg"), QStringLiteral(" to Ogg Vorbis Format."),
                    QStringLiteral("Ripping to Ogg Vorbis")};
        case TFormat::Flac:
            return {QStringLiteral(".flac"), QStringLiteral(" to FLAC Format."),
                    QStringLiteral("Ripping to FLAC Format")};
        case TFormat::Opus:
            return {QStringLiteral(".opus"), QStringLiteral(" to Opus Format."),
                    QStringLiteral("Ripping to Opus Format")};
        case TFormat::Mp3:
            break;
    }
    return {QStringLiteral(".mp3"), QStringLiteral(" to MP3 Format."),
            QStringLiteral("Ripping to MP3 Format")};
}

// A track's file with what only its end tells: the full tags of an MP3 file, the release's
// cover, and the track's ReplayGain (none for a silent one, which has no loudness).
bool tagTrack(TEncodeRipper& ripper, TFormat format, uint8_t n, const QString& fileName,
              const TLoudness* loudness, const TCoverArt& art) {
    const TComments comments =
        format == TFormat::Mp3 ? ripper.TrackComments(n, QString()) : TComments{};
    TTrackTags tags;
    if (format == TFormat::Mp3) {
        tags.Mp3Comments = &comments;
        tags.Date = ripper.TodayIso();
    }
    tags.Art = &art;
    if (loudness) tags.Gain = loudness->Gain();
    return WriteTrackTags(fileName, format, tags);
}

void ripTracks(TRipWindow& window, TRipControl& control, TEncodeRipper& ripper,
               const TBatchPlan& plan, TFormat format, TBatchRecord* record) {
    TCDSession& session = ripper.Session();
    // The window refuses first; a batch asked to run without the library still refuses
    // rather than fail track after track.
    if (format == TFormat::Ogg && !ripper.Encoders().VorbisLibraryReady()) {
        window.ShowMessageBox(QStringLiteral("Vorbis.DLL is not Ready."), QStringLiteral("OK"));
        return;
    }
    session.CR_StopPlayTrack();
    // Chosen once: a change of the choices during an MP3 batch applies to the next batch.
    const BE_CONFIG mp3Config = format == TFormat::Mp3 ? ripper.BuildMp3Config() : BE_CONFIG{};
    const TFormatTexts texts = textsOf(format);
    // Off, the MP3 and Ogg files stay byte for byte as their encoders write them.
    const bool tagged = format == TFormat::Flac || format == TFormat::Opus || plan.FullTags;
    ripper.SetMeasureLoudness(tagged);
    // The files ripped whole, with their tracks' loudness, for the album's gain.
    std::vector<std::pair<QString, std::unique_ptr<TLoudness>>> album;
    int audioTracks = 0;
    for (int n = 1; n <= std::min<int>(plan.Disc.TrackCount, kMaxTracks); ++n)
        audioTracks += plan.Disc.Entry(n).Audio == 1;

    // A cancel, or Exit, ends the batch with the running track: a user who cancels means
    // the batch, and the program must not go on ripping, unseen, after it was told to end.
    int failed = 0;
    int done = 0;
    bool cancelled = false;
    // Two tracks whose names repeat must not write one file.
    TBatchFileNames names;
    bool saidCancelled = false;
    TTestAndCopy reads(window, control, session, plan.TestAndCopy);
    for (const int line : plan.Lines) {
        if (control.Cancelled()) {
            cancelled = true;
            break;
        }
        const int n = line + 1;
        window.SetRipStatus(texts.Ripping);
        if (window.Choices().MultipleTracks) window.SetRecordingName(plan.Names.TrackName(n));
        const VbEncConfig oggConfig =
            format == TFormat::Ogg ? ripper.BuildOggConfig() : VbEncConfig{};
        const TOpusConfig opusConfig =
            format == TFormat::Opus ? ripper.BuildOpusConfig() : TOpusConfig{};

        if (n <= plan.Disc.TrackCount && n <= kMaxTracks && plan.Disc.Entry(n).Audio == 1) {
            // A cancel in the test read leaves nothing named or begun for the track.
            if (!reads.Test(plan.Disc, n, record)) {
                cancelled = true;
                break;
            }
            // Named as they stand now, the track's own name included.
            const TRipChoices choices = window.Choices();
            // A cancel that came as the track began: no file is begun (or named) for nothing.
            if (control.Cancelled()) {
                cancelled = true;
                break;
            }
            const QString baseName = names.Take(choices.Directory, choices.Album,
                                                choices.RecordingName, texts.Extension, n);
            const QString fileName = choices.Directory + QLatin1Char('/') + baseName;
            ripper.SetTrackArtist(plan.TrackArtists ? plan.Names.TrackArtist(n) : QString());
            const auto index = static_cast<uint8_t>(n);
            int32_t result = 1;
            switch (format) {
                case TFormat::Mp3:
                    result = ripper.EncodeTrackToMp3(plan.Disc, index, fileName, mp3Config);
                    break;
                case TFormat::Ogg:
                    result = ripper.EncodeTrackToOgg(plan.Disc, index, fileName, oggConfig);
                    break;
                case TFormat::Flac:
                    result = ripper.EncodeTrackToFlac(plan.Disc, index, fileName);
                    break;
                case TFormat::Opus:
                    result = ripper.EncodeTrackToOpus(plan.Disc, index, fileName, opusConfig);
                    break;
            }
            session.CR_CloseRipper();
            std::unique_ptr<TLoudness> loudness = ripper.TakeLoudness();
            if (result == 0 && tagged && !control.Cancelled()) {
                if (tagTrack(ripper, format, index, fileName, loudness.get(), plan.Art)) {
                    album.emplace_back(fileName, std::move(loudness));
                } else {
                    window.SetStatus(QStringLiteral("Error : Cannot write the tags of ") +
                                     fileName);
                    result = 1;
                }
            }
            const bool removed = ripper.LastDiscRemoved() || control.DiscRemoved();
            if (record) {
                const auto end = result != 0                     ? TTrackRecord::TEnd::Failed
                                 : ripper.LastJitterCount() != 0 ? TTrackRecord::TEnd::Errors
                                                                 : TTrackRecord::TEnd::Whole;
                record->Add(n, baseName, end, ripper.LastChecksum().Sums(), plan.Disc,
                            control.Cancelled(), removed);
                reads.Copied(record, ripper.LastSuspicious());
            }
            // With the disc gone every later track would fail the same way: none is read.
            if (removed && !control.Cancelled()) {
                ++failed;
                ++done;
                break;
            }
            // The cancelled track's line stays selected, as its file is not whole.
            if (control.Cancelled()) {
                cancelled = true;
                saidCancelled = ripper.LastTrackCancelled();
                break;
            }
            if (result == 0)
                window.SetStatus(QStringLiteral("Successfully Ripped and Encoded ") +
                                 choices.Album + QStringLiteral(" to ") + baseName + texts.Done);
            else
                ++failed;
        } else {
            window.SetStatus(QStringLiteral("Not an Audio Track - Track ") + QString::number(n));
            if (record)
                record->Add(n, QString(), TTrackRecord::TEnd::NotAudio, std::nullopt, plan.Disc,
                            false);
            ++failed;
        }
        ++done;

        window.DeselectTrackLine(line);
        // The Cancel button, Exit or a removed disc end the pause and the batch with it;
        // after the last track there is nothing left to cancel.
        const bool last = &line == &plan.Lines.back();
        if (control.Pause(kPauseBetweenTracks) && !last) {
            cancelled = true;
            break;
        }
    }
    window.SetRipStatus(QString());
    // Every audio track of the disc, each ripped whole by this batch: the album's gain.
    if (!cancelled && failed == 0 && audioTracks > 0 && int(album.size()) == audioTracks) {
        std::vector<const TLoudness*> tracks;
        for (const auto& [file, loudness] : album) tracks.push_back(loudness.get());
        const TGain gain = TLoudness::AlbumGain(tracks);
        for (const auto& [file, loudness] : album)
            if (gain.Valid && !WriteAlbumGain(file, format, gain)) {
                window.SetStatus(QStringLiteral("Error : Cannot write the tags of ") + file);
                ++failed;
            }
    }
    if (record) record->Completed = !cancelled && failed == 0;
    // The last word names the outcome: "Completed" only when every planned track was.
    if (cancelled) {
        if (!saidCancelled) window.SetStatus(QStringLiteral("Ripping and Encoding Canceled."));
    } else {
        window.SetStatus(failed == 0
                             ? QStringLiteral("Ripping and Encoding Completed.")
                             : QStringLiteral("Ripping and Encoding Ended with Errors - ") +
                                   QString::number(failed) + QStringLiteral(" of ") +
                                   QString::number(done) + QStringLiteral(" Track(s) not Ripped."));
        window.Flash();
    }
    window.SetProgress(0);
    session.CR_LockCD(0);
}

}  // namespace

void RipTracksToMp3(TRipWindow& window, TRipControl& control, TEncodeRipper& ripper,
                    const TBatchPlan& plan, TBatchRecord* record) {
    ripTracks(window, control, ripper, plan, TFormat::Mp3, record);
}

void RipTracksToOgg(TRipWindow& window, TRipControl& control, TEncodeRipper& ripper,
                    const TBatchPlan& plan, TBatchRecord* record) {
    ripTracks(window, control, ripper, plan, TFormat::Ogg, record);
}

void RipTracksToFlac(TRipWindow& window, TRipControl& control, TEncodeRipper& ripper,
                     const TBatchPlan& plan, TBatchRecord* record) {
    ripTracks(window, control, ripper, plan, TFormat::Flac, record);
}

void RipTracksToOpus(TRipWindow& window, TRipControl& control, TEncodeRipper& ripper,
                     const TBatchPlan& plan, TBatchRecord* record) {
    ripTracks(window, control, ripper, plan, TFormat::Opus, record);
}

}  // namespace Rip
