#include "WaveBatch.h"

#include "CDSession.h"
#include "RipState.h"

namespace Rip {

using namespace CDRipIntf;

namespace {

// Drive parameters the Wave batch reads with: the offsets of the library's block.
constexpr int kOffsetSpeed = 276;
constexpr int kOffsetJitterOn = 284;
constexpr int kOffsetRipMode = 352;
constexpr int kOffsetParanoiaMode = 356;

void setDriveParameters(TRipWindow& window, TCDSession& session) {
    TDriveParams& params = session.Params();
    if (session.CR_GetCDROMParameters(&params) != 0) {
        window.SetStatus(QStringLiteral("Error at getting CDROM parameters"));
        return;
    }
    SetParam(params, kOffsetSpeed, 8);
    SetParam(params, kOffsetJitterOn, -1);
    SetParam(params, kOffsetRipMode, 1);
    SetParam(params, kOffsetParanoiaMode, 0xDF);
    window.ProcessEvents();
    window.SetStatus(session.CR_SetCDROMParameters(&params) == 0
                         ? QStringLiteral("Set CDROM Parameters OK")
                         : QStringLiteral("Error at setting CDROM parameters"));
}

// Every end of a batch leaves the window and the drive as they were before it: the
// headline cleared, the bar at 0, the flags down and the tray free.
void endBatch(TRipWindow& window, TCDSession& session) {
    window.SetRipStatus(QString());
    window.SetProgress(0);
    RipInProgress = false;
    session.CR_LockCD(0);
}

struct TBatchRunning {
    TBatchRunning() { BatchRunning = true; }
    ~TBatchRunning() { BatchRunning = false; }
};

}  // namespace

bool RipSelectionReady(TRipWindow& window) {
    const int current = window.CurrentTrackLine();
    if (current != -1 && window.TrackLineSelected(current)) return true;
    window.ShowInformation(QStringLiteral("Please select track(s) to Rip."));
    return false;
}

void CancelRip(TRipWindow& window) {
    if (RipInProgress)
        CancelRequested = true;
    else
        window.SetStatus(QStringLiteral("CD/DVD-ROM is Not Ripping any Data."));
}

void RipTracksToWave(TRipWindow& window, TWaveRipper& ripper) {
    if (window.TrackLineCount() == 0) {
        window.ShowInformation(QStringLiteral("Track List is Empty."));
        return;
    }
    if (window.RecordingName().isEmpty()) {
        window.ShowInformation(QStringLiteral("Please insert a Recording Name."));
        return;
    }
    TCDSession& session = ripper.Session();
    if (!session.Ready()) {
        window.SetStatus(QStringLiteral("Sonvale is not ready."));
        return;
    }
    if (!window.IsAudioCDReady()) return;
    if (RipInProgress || BatchRunning) return;
    const TBatchRunning running;

    session.CR_StopPlayTrack();
    // The list is counted afresh for every line: a removed disc empties it meanwhile.
    for (int i = 0; i < window.TrackLineCount(); ++i) {
        if (!window.TrackLineSelected(i)) continue;
        const int n = i + 1;
        window.SetRipStatus(QStringLiteral("Ripping to Wave Format"));
        if (window.MultipleTracksChecked())
            window.SetRecordingName(QStringLiteral("Track ") + QString::number(n));
        setDriveParameters(window, session);
        CancelRequested = false;
        // Once the window is closing no further track is ripped (the events just handled
        // may have closed it): the program must not go on ripping unseen.
        if (window.Closing()) {
            window.SetStatus(QStringLiteral("Ripping and Encoding Canceled."));
            endBatch(window, session);
            return;
        }

        const int32_t result = ripper.RipChunk(static_cast<uint8_t>(n));
        if (result == 3) {
            window.SetStatus(QStringLiteral("Encountered Jitter error(s) during Ripping"));
            session.CR_CloseRipper();
            endBatch(window, session);
            return;
        }
        if (result != 0) {
            // A file that could not be created or written names itself in the status line.
            if (ripper.LastOutputFailure() == TOutputFailure::None)
                window.SetStatus(QStringLiteral("Encountered error(s) during Ripping"));
            session.CR_CloseRipper();
            endBatch(window, session);
            return;
        }
        if (CancelRequested) {
            window.SetStatus(QStringLiteral("Ripping and Encoding Canceled."));
            session.CR_CloseRipper();
            endBatch(window, session);
            return;
        }
        if (session.CR_CloseRipper() != 0) {
            window.SetStatus(QStringLiteral("Error : error at Closing Ripping Process."));
            endBatch(window, session);
            return;
        }
        // Named as written: the texts may have been edited while the track was ripped.
        window.SetStatus(QStringLiteral("Ripping Successfully Ended - Audio Data is Saved as ") +
                         ripper.LastBaseName() + QStringLiteral(" File."));
        window.DeselectTrackLine(i);
        if (!window.Closing()) window.Sleep(kPauseBetweenTracks);
    }
    window.SetRipStatus(QString());
    window.SetStatus(QStringLiteral("Ripping Completed."));
    window.Flash();
    window.SetProgress(0);
    RipInProgress = false;
    session.CR_LockCD(0);
}

}  // namespace Rip
