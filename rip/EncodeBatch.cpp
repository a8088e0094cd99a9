#include "EncodeBatch.h"

#include "CDRipIntf.h"
#include "RipState.h"
#include "VorbisDll.h"
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
    if (!window.IsAudioCDReady()) return;
    if (ogg && !VorbisDll::VorbisLibraryReady()) {
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

    CR_StopPlayTrack();
    // Chosen once: a change of the choices during an MP3 batch applies to the next batch.
    const BE_CONFIG mp3Config = ogg ? BE_CONFIG{} : ripper.BuildMp3Config();
    const QString extension = ogg ? QStringLiteral(".ogg") : QStringLiteral(".mp3");
    const QString formatName =
        ogg ? QStringLiteral(" to Ogg Vorbis Format.") : QStringLiteral(" to MP3 Format.");

    // The list is counted afresh for every line: a removed disc empties it meanwhile.
    // Exit cancels the running track; the tracks after it are left alone, or the program
    // would go on ripping, unseen, after it was told to end.
    for (int i = 0; i < window.TrackLineCount() && !window.Closing(); ++i) {
        if (!window.TrackLineSelected(i)) continue;
        const int n = i + 1;
        window.SetRipStatus(ogg ? QStringLiteral("Ripping to Ogg Vorbis")
                                : QStringLiteral("Ripping to MP3 Format"));
        if (window.MultipleTracksChecked())
            window.SetRecordingName(QStringLiteral("Track ") + QString::number(n));
        const VbEncConfig oggConfig = ogg ? ripper.BuildOggConfig() : VbEncConfig{};
        RipInProgress = true;
        CancelRequested = false;

        if (n <= DiscInfo.TrackCount && n <= kMaxTracks && DiscInfo.Entry(n).Audio == 1) {
            window.ProcessEvents();
            // Named as they stand now: the texts may have been edited while events ran.
            const QString album = window.AlbumTitle();
            const QString recordingName = window.RecordingName();
            const QString baseName = album + QLatin1Char(' ') + recordingName + extension;
            const QString fileName =
                EncodedFileName(window.DirectoryText(), album, recordingName, extension);
            const auto index = static_cast<uint8_t>(n);
            const int32_t result = ogg ? ripper.EncodeTrackToOgg(index, fileName, oggConfig)
                                       : ripper.EncodeTrackToMp3(index, fileName, mp3Config);
            CR_CloseRipper();
            if (result == 0)
                window.SetStatus(QStringLiteral("Successfully Ripped and Encoded ") + album +
                                 QStringLiteral(" to ") + baseName + formatName);
        } else {
            window.SetStatus(QStringLiteral("Not an Audio Track - Track ") + QString::number(n));
        }

        window.ProcessEvents();
        window.DeselectTrackLine(i);
        if (!window.Closing()) window.Sleep(kPauseBetweenTracks);
    }
    window.SetRipStatus(QString());
    window.SetStatus(QStringLiteral("Ripping and Encoding Completed."));
    window.Flash();
    window.SetProgress(0);
    RipInProgress = false;
    CR_LockCD(0);
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
