// One batch of a rip command, from its start on the window's thread to the end of its
// launcher thread.
#pragma once

#include <QObject>
#include <memory>

#include "BatchPlan.h"
#include "CDSession.h"
#include "Encoders.h"
#include "QueuedRipWindow.h"
#include "RipControl.h"
#include "RipThreads.h"

class QThread;

namespace Rip {

enum class TRipFormat { Wave, Mp3, Ogg };

// Owned by the window and made on its thread. The batch runs on a launcher thread of the
// format's class (TWaveThread, TMP3Thread, TFooThread) and reaches the window through a
// TQueuedRipWindow; the thread's finished signal tells the window it is over, after every
// call the batch made to the window has been delivered. Destroy it only once the thread
// has finished (Finished()).
class TRipJob {
public:
    // The batch rips through session and encoders, which outlive the job. control: the
    // batch's own by default; tests give one that records its pauses.
    TRipJob(QObject* context, TRipWindow& window, TRipFormat format, TBatchPlan plan,
            CDRipIntf::TCDSession& session, TEncoders& encoders,
            std::unique_ptr<TRipControl> control = nullptr);
    ~TRipJob();
    TRipJob(const TRipJob&) = delete;
    TRipJob& operator=(const TRipJob&) = delete;

    void Start();
    // From any thread; the batch ends with its running track, or its pause.
    void Cancel() { control_->Cancel(); }
    bool Cancelled() const { return control_->Cancelled(); }
    bool Finished() const;
    QThread* Thread() const { return thread_.get(); }

private:
    void run();

    TRipFormat format_;
    TBatchPlan plan_;
    CDRipIntf::TCDSession& session_;
    TEncoders& encoders_;
    std::unique_ptr<TRipControl> control_;
    TQueuedRipWindow window_;
    std::unique_ptr<TRipLauncherThread> thread_;
};

}  // namespace Rip
