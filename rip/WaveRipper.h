// One audio track of the disc in the active drive into a WAV file, chunk by chunk through
// the CD library, on the thread that calls it (a launcher thread in the program).
#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "CDRipIntf.h"
#include "CDSession.h"
#include "FileNames.h"
#include "RipControl.h"
#include "RipWindow.h"
#include "SuspiciousChunks.h"
#include "TrackChecksum.h"
#include "WavWriter.h"

namespace Rip {

// Why a track ended with result 1 because of its output file. The ripper has then put its
// own text in the status line, which the batch leaves standing.
enum class TOutputFailure {
    None,
    CannotCreateFile,  // "Error : Cannot create file " + name
    WriteError,        // "Error : Write error (disk full?) " + name
};

class TWaveRipper {
public:
    // Rips through session's library; a cancel of control ends a track.
    TWaveRipper(TRipWindow& window, TRipControl& control, CDRipIntf::TCDSession& session,
                TWavFileOpener opener = OpenPosixWavFile);
    ~TWaveRipper();
    TWaveRipper(const TWaveRipper&) = delete;
    TWaveRipper& operator=(const TWaveRipper&) = delete;

    // Rips track index n of disc into the file WaveFileName() names from the window's
    // texts, read once before the file is made. Result: 0 when the rip reached 100 % or was
    // cancelled without a jitter report, 3 likewise with at least one, 1 when it did not
    // take place or stopped early. The library's ripping process stays open whenever
    // CR_OpenRipper succeeded; the caller closes it.
    int32_t RipChunk(const CDRipIntf::TDiscInfo& disc, uint8_t n);

    // The batch's names, which keep its tracks from writing one file twice; none: each file is
    // named on its own. The batch owns them and sets them back to none before they go.
    void SetBatchNames(TBatchFileNames* names) { batchNames_ = names; }

    // What a track's read is for: its file, or its sums alone, without writing a file.
    enum class TReading {
        Copy,
        Verify,  // "Verifying Track N : P% Done."
        Test,    // Test & Copy's first read: "Testing Track N : P% Done."
    };
    void SetReading(TReading reading) { reading_ = reading; }
    void SetVerifyOnly(bool verifyOnly) {
        SetReading(verifyOnly ? TReading::Verify : TReading::Copy);
    }

    CDRipIntf::TCDSession& Session() const { return session_; }
    TOutputFailure LastOutputFailure() const { return outputFailure_; }
    QString LastFileName() const { return fileName_; }
    // The file name without the directory: "<album> <recording name>.wav", cut to fit the
    // folder and made unique within the batch.
    QString LastBaseName() const { return baseName_; }
    int LastJitterCount() const { return jitterCount_; }
    // The drive said the disc was gone while the last track was read.
    bool LastDiscRemoved() const { return discRemoved_; }
    // The checksums of the audio the last track delivered, whole or not.
    const TTrackChecksum& LastChecksum() const { return checksum_; }
    // Where the last track's chunks came with a jitter report or a read error.
    const std::vector<uint32_t>& LastSuspicious() const { return suspicious_.Positions(); }

    // "<directory>/<album> <recording name>.wav", joined as they stand.
    static QString WaveFileName(const QString& directory, const QString& album,
                                const QString& recordingName);
    // "Ripping Track N : P% Done."
    static QString ProgressText(int trackIndex, int percent);
    // "Verifying Track N : P% Done."
    static QString VerifyProgressText(int trackIndex, int percent);
    // "Testing Track N : P% Done."
    static QString TestProgressText(int trackIndex, int percent);

    // The chunk buffer exists only while a track is being ripped.
    bool HoldsChunkBuffer() const { return buffer_ != nullptr; }
    void FreeChunkBuffer() { buffer_.reset(); }

    // Tests stand in for the allocation of the chunk buffer (null = out of memory).
    using TBufferAllocator = std::function<std::unique_ptr<uint8_t[]>(size_t bytes)>;
    void SetBufferAllocator(TBufferAllocator allocator) { allocate_ = std::move(allocator); }

private:
    int32_t failOutput(TWavWriter& writer, TOutputFailure failure);

    TRipWindow& window_;
    TRipControl& control_;
    CDRipIntf::TCDSession& session_;
    TWavFileOpener opener_;
    TBufferAllocator allocate_;
    std::unique_ptr<uint8_t[]> buffer_;
    TOutputFailure outputFailure_ = TOutputFailure::None;
    QString fileName_;
    QString baseName_;
    int jitterCount_ = 0;
    bool discRemoved_ = false;
    TReading reading_ = TReading::Copy;
    TBatchFileNames* batchNames_ = nullptr;
    TTrackChecksum checksum_;
    TSuspiciousChunks suspicious_;
};

}  // namespace Rip
