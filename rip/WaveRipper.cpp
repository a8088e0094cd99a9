#include "WaveRipper.h"

#include <QFile>
#include <algorithm>
#include <new>

#include "CDSession.h"

namespace Rip {

using namespace CDRipIntf;

namespace {

std::unique_ptr<uint8_t[]> allocateBuffer(size_t bytes) {
    return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[bytes]);
}
}  // namespace

TWaveRipper::TWaveRipper(TRipWindow& window, TRipControl& control, TCDSession& session,
                         TWavFileOpener opener)
    : window_(window),
      control_(control),
      session_(session),
      opener_(std::move(opener)),
      allocate_(allocateBuffer) {}

TWaveRipper::~TWaveRipper() = default;

QString TWaveRipper::WaveFileName(const QString& directory, const QString& album,
                                  const QString& recordingName) {
    return directory + QLatin1Char('/') + album + QLatin1Char(' ') + recordingName +
           QStringLiteral(".wav");
}

QString TWaveRipper::ProgressText(int trackIndex, int percent) {
    return QStringLiteral("Ripping Track ") + QString::number(trackIndex) + QStringLiteral(" : ") +
           QString::number(percent) + QStringLiteral("% Done.");
}

QString TWaveRipper::VerifyProgressText(int trackIndex, int percent) {
    return QStringLiteral("Verifying Track ") + QString::number(trackIndex) +
           QStringLiteral(" : ") + QString::number(percent) + QStringLiteral("% Done.");
}

QString TWaveRipper::TestProgressText(int trackIndex, int percent) {
    return QStringLiteral("Testing Track ") + QString::number(trackIndex) + QStringLiteral(" : ") +
           QString::number(percent) + QStringLiteral("% Done.");
}

int32_t TWaveRipper::failOutput(TWavWriter& writer, TOutputFailure failure) {
    if (writer.IsOpen()) writer.Finish();
    outputFailure_ = failure;
    window_.SetStatus(failure == TOutputFailure::CannotCreateFile
                          ? QStringLiteral("Error : Cannot create file ") + fileName_
                          : QStringLiteral("Error : Write error (disk full?) ") + fileName_);
    return 1;
}

int32_t TWaveRipper::RipChunk(const TDiscInfo& disc, uint8_t n) {
    outputFailure_ = TOutputFailure::None;
    fileName_.clear();
    baseName_.clear();
    jitterCount_ = 0;
    discRemoved_ = false;
    checksum_.Start(disc, n);
    suspicious_.Start();

    if (n < 1 || n > disc.TrackCount || n > kMaxTracks) {
        window_.SetStatus(QStringLiteral("Error : Bad Track Number."));
        return 1;
    }
    const TTrackEntry& entry = disc.Entry(n);
    if (entry.Audio != 1) {
        window_.SetStatus(QStringLiteral("Error : not an Audio Track."));
        return 1;
    }

    // The entry's length already stops short of the session gap before a CD-Extra data
    // track; the next entry's start would pull that gap's silence into the file.
    const int64_t first = entry.StartSector;
    const int64_t last = first + int64_t(entry.LengthSectors) - 1;
    int32_t bufferSize = 0;
    if (last > INT32_MAX || session_.CR_OpenRipper(&bufferSize, static_cast<int32_t>(first),
                                                   static_cast<int32_t>(last)) != 0) {
        window_.SetStatus(QStringLiteral("Error : Application Error."));
        return 1;
    }

    const bool writes = reading_ == TReading::Copy;
    TWavWriter writer(opener_);
    if (writes) {
        const TRipChoices choices = window_.Choices();
        const QString extension = QStringLiteral(".wav");
        baseName_ = batchNames_ ? batchNames_->Take(choices.Directory, choices.Album,
                                                    choices.RecordingName, extension, n)
                                : FitFileName(choices.Album, choices.RecordingName, extension,
                                              TFolderRules::Of(choices.Directory));
        fileName_ = choices.Directory + QLatin1Char('/') + baseName_;
        if (!writer.Create(QFile::encodeName(fileName_).toStdString()))
            return failOutput(writer, TOutputFailure::CannotCreateFile);
        if (writer.Failed()) return failOutput(writer, TOutputFailure::WriteError);
    }
    const auto progressText = reading_ == TReading::Verify ? VerifyProgressText
                              : reading_ == TReading::Test ? TestProgressText
                                                           : ProgressText;

    if (bufferSize > 0) buffer_ = allocate_(static_cast<size_t>(bufferSize));
    if (!buffer_) {
        window_.SetStatus(QStringLiteral("Error : Memory Allocation Error."));
        if (writer.IsOpen()) writer.Finish();
        return 1;
    }

    int32_t percent = 0;
    bool writeFailed = false;
    window_.SetProgress(0);
    window_.SetProgressRange(0, 100);
    for (;;) {
        int32_t bytes = 0;
        const int32_t rc = session_.CR_RipChunk(buffer_.get(), &bytes, control_.AbortFlag());
        suspicious_.Answered(rc, bytes);
        if (rc == kRipChunkOk || rc == kRipChunkJitter) {
            // A jitter report still comes with the best audio the drive could give;
            // leaving it out would cut a hole into the track.
            if (rc == kRipChunkJitter) ++jitterCount_;
            if (bytes > bufferSize) break;  // more than the buffer holds: not to be trusted
            if (bytes <= 0) {
                if (rc == kRipChunkOk) break;
            } else {
                percent = std::clamp(session_.CR_GetPercentCompleted(), 0, 100);
                window_.SetProgress(percent);
                window_.SetStatus(progressText(n, percent));
                checksum_.Add(buffer_.get(), static_cast<size_t>(bytes));
                if (writes && !writer.Append(buffer_.get(), static_cast<size_t>(bytes))) {
                    writeFailed = true;
                    break;
                }
            }
        } else if (rc == kRipChunkDone) {
            // An abort also ends the range early: that track is not done.
            if (control_.Cancelled()) break;
            percent = 100;
            window_.SetProgress(100);
            window_.SetStatus(progressText(n, 100));
        } else {
            discRemoved_ = rc == kRipChunkNotReady;
            break;
        }
        if (percent == 100 || control_.Cancelled()) break;
    }
    buffer_.reset();

    if (writes && (!writer.Finish() || writeFailed))
        return failOutput(writer, TOutputFailure::WriteError);
    if (percent == 100 || control_.Cancelled()) return jitterCount_ == 0 ? 0 : 3;
    return 1;
}

}  // namespace Rip
