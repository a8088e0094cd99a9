// One batch of a rip command, from its start on the window's thread to the end of its
// launcher thread.
#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "BatchPlan.h"
#include "CDSession.h"
#include "Encoders.h"
#include "OffsetDetection.h"
#include "QueuedRipWindow.h"
#include "RipControl.h"
#include "RipReport.h"
#include "RipThreads.h"

namespace Rip {

// Verify reads the tracks as a WAV batch does, without writing files; DetectOffset reads a
// little of each of the plan's offset tracks, with no offset applied, and writes nothing.
enum class TRipFormat { Wave, Mp3, Ogg, Verify, DetectOffset, Flac, Opus };

// Owned by the window and made on its thread. The batch runs on a launcher thread of the
// format's class (TWaveThread, TMP3Thread, TFooThread) and reaches the window through a
// TQueuedRipWindow, which also tells the window when it is over. Destroy it on the window's
// thread once it has said so (it may be from within that call).
class TRipJob {
public:
    // The batch rips through session and encoders, which outlive the job. control: the
    // batch's own by default; tests give one that records its pauses.
    TRipJob(TRipWindow& window, TRipFormat format, TBatchPlan plan, CDRipIntf::TCDSession& session,
            TEncoders& encoders, std::unique_ptr<TRipControl> control = nullptr);
    ~TRipJob();
    TRipJob(const TRipJob&) = delete;
    TRipJob& operator=(const TRipJob&) = delete;

    // ended runs on the window's thread after everything the batch said to the window.
    void Start(std::function<void()> ended);
    // From any thread; the batch ends with its running track, or its pause.
    void Cancel() { control_->Cancel(); }
    // The disc went: the track it cuts short is "not checked (the disc was removed)".
    void CancelForRemoval() { control_->CancelForRemoval(); }
    bool Cancelled() const { return control_->Cancelled(); }
    // The window's thread, where its event loop cannot run: blocks until the batch says
    // something to the window, then lets the window take it (the end, too).
    void WaitAndDeliver() { window_.WaitAndDeliver(); }
    // What the batch did to each track. The window fills in the rest before Start and
    // reads it once the batch has ended; the batch alone touches it in between.
    TBatchRecord& Record() { return record_; }
    // How a DetectOffset batch ended; read as Record is.
    const TOffsetDetection& Detection() const { return detection_; }

private:
    void run();
    void runBatch();

    TRipFormat format_;
    TBatchPlan plan_;
    CDRipIntf::TCDSession& session_;
    TEncoders& encoders_;
    std::unique_ptr<TRipControl> control_;
    TBatchRecord record_;
    TOffsetDetection detection_;
    TQueuedRipWindow window_;
    std::unique_ptr<TRipLauncherThread> thread_;
    std::function<void()> ended_;
    // Taken as run() ends: it orders the batch's last steps before the job's destruction.
    std::mutex endMutex_;
};

}  // namespace Rip
