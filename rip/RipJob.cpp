#include "RipJob.h"

#include "EncodeBatch.h"
#include "WaveBatch.h"

namespace Rip {

TRipJob::TRipJob(TRipWindow& window, TRipFormat format, TBatchPlan plan,
                 CDRipIntf::TCDSession& session, TEncoders& encoders,
                 std::unique_ptr<TRipControl> control)
    : format_(format),
      plan_(std::move(plan)),
      session_(session),
      encoders_(encoders),
      control_(control ? std::move(control) : std::make_unique<TRipControl>()),
      window_(window) {
    auto batch = [this] { run(); };
    switch (format_) {
        case TRipFormat::Wave:
        case TRipFormat::Verify:
        case TRipFormat::DetectOffset:
            thread_ = std::make_unique<TWaveThread>(batch);
            break;
        case TRipFormat::Mp3:
            thread_ = std::make_unique<TMP3Thread>(batch);
            break;
        case TRipFormat::Ogg:
        case TRipFormat::Flac:
        case TRipFormat::Opus:
            thread_ = std::make_unique<TFooThread>(batch);
            break;
    }
}

namespace {
// QThread's own end (its thread data, its wake-up) is ordered by wait(), which a thread
// checker cannot see into; named, so it can be told so.
[[gnu::noinline]] void releaseFinishedThread(std::unique_ptr<TRipLauncherThread> thread) {
    thread->wait();
    thread.reset();
    asm volatile("" ::: "memory");  // not a tail call: this frame stays on the stack
}
}  // namespace

TRipJob::~TRipJob() {
    // Finished already (see the header); this only joins the thread.
    releaseFinishedThread(std::move(thread_));
    // The lock the batch released last: all it did comes before what follows here.
    const std::lock_guard lock(endMutex_);
}

void TRipJob::Start(std::function<void()> ended) {
    ended_ = std::move(ended);
    thread_->start();
}

void TRipJob::run() {
    runBatch();
    const std::lock_guard lock(endMutex_);
    window_.Then(ended_);
}

void TRipJob::runBatch() {
    // The rippers live on the thread that uses them, for this batch alone.
    if (format_ == TRipFormat::DetectOffset) {
        session_.CR_StopPlayTrack();
        detection_ = DetectReadOffset(window_, *control_, session_, plan_.Disc, plan_.OffsetTracks);
    } else if (format_ == TRipFormat::Wave || format_ == TRipFormat::Verify) {
        TWaveRipper ripper(window_, *control_, session_);
        if (format_ == TRipFormat::Wave)
            RipTracksToWave(window_, *control_, ripper, plan_, &record_);
        else
            VerifyTracks(window_, *control_, ripper, plan_, record_);
    } else {
        TEncodeRipper ripper(window_, *control_, session_, encoders_);
        if (format_ == TRipFormat::Mp3)
            RipTracksToMp3(window_, *control_, ripper, plan_, &record_);
        else if (format_ == TRipFormat::Flac)
            RipTracksToFlac(window_, *control_, ripper, plan_, &record_);
        else if (format_ == TRipFormat::Opus)
            RipTracksToOpus(window_, *control_, ripper, plan_, &record_);
        else
            RipTracksToOgg(window_, *control_, ripper, plan_, &record_);
    }
    record_.Cancelled = control_->Cancelled();
    // As the batch left them: the WAV batches set their own.
    CDRipIntf::TDriveParams params{};
    if (session_.CR_GetCDROMParameters(&params) == 0) record_.ParanoiaMode = ReadModeText(params);
}

}  // namespace Rip
