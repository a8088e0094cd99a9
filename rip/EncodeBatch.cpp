#include "EncodeBatch.h"

#include "CDSession.h"
#include "Encoders.h"
#include "RipState.h"
#include "WaveBatch.h"

namespace Rip {

using namespace CDRipIntf;

namespace {

enum class TFormat { Mp3, Ogg };

// Whatever ends the batch, the next one may start.
struct TBatchGuard {
    TBatchGuard() { BatchRunning = true; }
    ~TBatchGuard() {
        BatchRunning = false;
        RipInProgress = false;
    }
};

void ripTracks(TRipWindow& window, TEncodeRipper& ripper, TFormat format) {
    const bool ogg = format == TFormat::Ogg;
    TCDSession& session = ripper.Session();
    if (!window.IsAudioCDReady()) return;
    if (ogg && !ripper.Encoders().VorbisLibraryReady()) {
        window.ShowMessageBox(QStringLiteral("Vorbis.DLL is not Ready."), QStringLiteral("OK"));
        return;
    }
    if (window.TrackLineCount() == 0) {
        window.ShowInformation(QStringLiteral("Track List is Empty."));
        return;
    }
    if (window.RecordingName().isEmpty()) {
        window.ShowInformation(QStringLiteral("Please insert a Recording Name."));
        return;
    }
    if (RipInProgress || BatchRunning) return;
    const TBatchGuard running;

    session.CR_StopPlayTrack();
    // Chosen once: a change of the choices during an MP3 batch applies to the next batch.
    const BE_CONFIG mp3Config = ogg ? BE_CONFIG{} : ripper.BuildMp3Config();
    const QString extension = ogg ? QStringLiteral(".ogg") : QStringLiteral(".mp3");
    const QString formatName =
        ogg ? QStringLiteral(" to Ogg Vorbis Format.") : QStringLiteral(" to MP3 Format.");

    // The list is counted afresh for every line: a removed disc empties it meanwhile.
    // A cancel, or Exit, ends the batch with the running track: a user who cancels means
    // the batch, and the program must not go on ripping, unseen, after it was told to end.
    int failed = 0;
    int done = 0;
    bool cancelled = false;
    for (int i = 0; i < window.TrackLineCount(); ++i) {
        if (!window.TrackLineSelected(i)) continue;
        if (window.Closing()) {
            cancelled = true;
            break;
        }
        const int n = i + 1;
        window.SetRipStatus(ogg ? QStringLiteral("Ripping to Ogg Vorbis")
                                : QStringLiteral("Ripping to MP3 Format"));
        if (window.MultipleTracksChecked())
            window.SetRecordingName(QStringLiteral("Track ") + QString::number(n));
        const VbEncConfig oggConfig = ogg ? ripper.BuildOggConfig() : VbEncConfig{};
        RipInProgress = true;
        CancelRequested = false;

        const TDiscInfo& disc = session.Disc();
        if (n <= disc.TrackCount && n <= kMaxTracks && disc.Entry(n).Audio == 1) {
            window.ProcessEvents();
            // A cancel that came with these events: no file is begun for nothing.
            if (CancelRequested) {
                cancelled = true;
                break;
            }
            // Named as they stand now: the texts may have been edited while events ran.
            const QString album = window.AlbumTitle();
            const QString recordingName = window.RecordingName();
            const QString baseName = album + QLatin1Char(' ') + recordingName + extension;
            const QString fileName =
                EncodedFileName(window.DirectoryText(), album, recordingName, extension);
            const auto index = static_cast<uint8_t>(n);
            const int32_t result = ogg ? ripper.EncodeTrackToOgg(index, fileName, oggConfig)
                                       : ripper.EncodeTrackToMp3(index, fileName, mp3Config);
            session.CR_CloseRipper();
            // The cancelled track's line stays selected, as its file is not whole.
            if (CancelRequested) {
                cancelled = true;
                break;
            }
            if (result == 0)
                window.SetStatus(QStringLiteral("Successfully Ripped and Encoded ") + album +
                                 QStringLiteral(" to ") + baseName + formatName);
            else
                ++failed;
        } else {
            window.SetStatus(QStringLiteral("Not an Audio Track - Track ") + QString::number(n));
            ++failed;
        }
        ++done;

        window.ProcessEvents();
        window.DeselectTrackLine(i);
        if (CancelRequested) {
            cancelled = true;
            break;
        }
        if (!window.Closing()) window.Sleep(kPauseBetweenTracks);
    }
    window.SetRipStatus(QString());
    // The last word names the outcome: "Completed" only when every selected track was.
    // The ripper has already said so when the cancel met a running track.
    const QString cancelledText = QStringLiteral("Ripping and Encoding Canceled.");
    if (cancelled) {
        if (window.Status() != cancelledText) window.SetStatus(cancelledText);
    } else {
        window.SetStatus(failed == 0
                             ? QStringLiteral("Ripping and Encoding Completed.")
                             : QStringLiteral("Ripping and Encoding Ended with Errors - ") +
                                   QString::number(failed) + QStringLiteral(" of ") +
                                   QString::number(done) + QStringLiteral(" Track(s) not Ripped."));
        window.Flash();
    }
    window.SetProgress(0);
    RipInProgress = false;
    session.CR_LockCD(0);
}

}  // namespace

QString EncodedFileName(const QString& directory, const QString& album,
                        const QString& recordingName, const QString& extension) {
    return directory + QLatin1Char('/') + album + QLatin1Char(' ') + recordingName + extension;
}

void RipTracksToMp3(TRipWindow& window, TEncodeRipper& ripper) {
    ripTracks(window, ripper, TFormat::Mp3);
}

void RipTracksToOgg(TRipWindow& window, TEncodeRipper& ripper) {
    ripTracks(window, ripper, TFormat::Ogg);
}

}  // namespace Rip
