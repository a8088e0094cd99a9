#include "RipJob.h"

#include "EncodeBatch.h"
#include "WaveBatch.h"

namespace Rip {

TRipJob::TRipJob(QObject* context, TRipWindow& window, TRipFormat format, TBatchPlan plan,
                 CDRipIntf::TCDSession& session, TEncoders& encoders,
                 std::unique_ptr<TRipControl> control)
    : format_(format),
      plan_(std::move(plan)),
      session_(session),
      encoders_(encoders),
      control_(control ? std::move(control) : std::make_unique<TRipControl>()),
      window_(context, window) {
    auto batch = [this] { run(); };
    switch (format_) {
        case TRipFormat::Wave:
            thread_ = std::make_unique<TWaveThread>(batch);
            break;
        case TRipFormat::Mp3:
            thread_ = std::make_unique<TMP3Thread>(batch);
            break;
        case TRipFormat::Ogg:
            thread_ = std::make_unique<TFooThread>(batch);
            break;
    }
}

TRipJob::~TRipJob() {
    // Finished already (see the header); this only joins the thread.
    thread_->wait();
}

void TRipJob::Start() {
    thread_->start();
}

bool TRipJob::Finished() const {
    return thread_->isFinished();
}

void TRipJob::run() {
    // The rippers live on the thread that uses them, for this batch alone.
    if (format_ == TRipFormat::Wave) {
        TWaveRipper ripper(window_, *control_, session_);
        RipTracksToWave(window_, *control_, ripper, plan_);
        return;
    }
    TEncodeRipper ripper(window_, *control_, session_, encoders_);
    if (format_ == TRipFormat::Mp3)
        RipTracksToMp3(window_, *control_, ripper, plan_);
    else
        RipTracksToOgg(window_, *control_, ripper, plan_);
}

}  // namespace Rip
