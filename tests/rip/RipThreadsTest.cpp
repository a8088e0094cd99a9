// A rip command's batch on its launcher thread: the window hears of it on its own thread,
// in the order a batch run in place says it, and a cancel from the window ends it.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include "CDRipIntf.h"
#include "CDSession.h"
#include "EncodeBatch.h"
#include "Encoders.h"
#include "FakeRipWindow.h"
#include "PumpUntil.h"
#include "RipJob.h"
#include "RipTestSupport.h"
#include "ScriptedCDRip.h"
#include "ScriptedEncoders.h"
#include "WaveBatch.h"

using namespace Rip;

namespace {

class RipJobTest : public ::testing::TestWithParam<TRipFormat> {
protected:
    void SetUp() override {
        lib.drives = {AudioDrive("A", {100, 200, 300})};
        lib.Install(session);
        ASSERT_EQ(session.ReadDiscInfo(session.Disc()), 0);
        lib.ripper.chunks = {{0, 2352, 50}, {0, 2352, 100}};
        encoder.InstallBlade(encoders);
        encoder.InstallVorbis(encoders);
        for (FakeRipWindow* w : {&window, &inPlace}) {
            w->choices.Directory = QString::fromStdString(dir.path().string());
            w->choices.MultipleTracks = true;
            w->SetLines(3, {0, 2});
        }
    }
    void TearDown() override {
        encoders.RestoreBladeFunctions();
        encoders.UnloadVorbisLibrary();
        session.Finalize();
    }
    // Starts the batch on its launcher with a control that records its pauses; the job ends
    // once the window has taken everything it was told.
    void Start(std::function<void(int)> onPause = nullptr) {
        auto control = std::make_unique<FakeRipControl>();
        control->onPause = std::move(onPause);
        control_ = control.get();
        job = std::make_unique<TRipJob>(window, GetParam(), window.Plan(session.Disc()), session,
                                        encoders, std::move(control));
        job->Start([this] { ended = true; });
    }
    void RunInPlace() {
        if (GetParam() == TRipFormat::Wave) {
            TWaveRipper ripper(inPlace, inPlace.control, session);
            RipTracksToWave(inPlace, inPlace.control, ripper, inPlace.Plan(session.Disc()));
            return;
        }
        TEncodeRipper ripper(inPlace, inPlace.control, session, encoders);
        if (GetParam() == TRipFormat::Mp3)
            RipTracksToMp3(inPlace, inPlace.control, ripper, inPlace.Plan(session.Disc()));
        else
            RipTracksToOgg(inPlace, inPlace.control, ripper, inPlace.Plan(session.Disc()));
    }
    bool LauncherOfItsClass(QThread* thread) const {
        switch (GetParam()) {
            case TRipFormat::Wave:
            case TRipFormat::Verify:
            case TRipFormat::DetectOffset:
                return dynamic_cast<TWaveThread*>(thread) != nullptr;
            case TRipFormat::Mp3:
                return dynamic_cast<TMP3Thread*>(thread) != nullptr;
            case TRipFormat::Ogg:
            case TRipFormat::Flac:
            case TRipFormat::Opus:
                return dynamic_cast<TFooThread*>(thread) != nullptr;
        }
        return false;
    }

    riptest::TempDir dir;
    ScriptedCDRip lib;
    ScriptedEncoder encoder;
    CDRipIntf::TCDSession session;
    Rip::TEncoders encoders;
    FakeRipWindow window, inPlace;
    std::unique_ptr<TRipJob> job;
    FakeRipControl* control_ = nullptr;
    bool ended = false;
};

INSTANTIATE_TEST_SUITE_P(Formats, RipJobTest,
                         ::testing::Values(TRipFormat::Wave, TRipFormat::Mp3, TRipFormat::Ogg),
                         [](const auto& info) {
                             return std::string(info.param == TRipFormat::Wave  ? "Wave"
                                                : info.param == TRipFormat::Mp3 ? "Mp3"
                                                                                : "Ogg");
                         });

}  // namespace

TEST_P(RipJobTest, BatchRunsOnItsLauncherAndTheWindowHearsItOnItsOwnThread) {
    QThread* const windowThread = QThread::currentThread();
    std::vector<QThread*> heardOn;
    window.onProgress = [&](int) { heardOn.push_back(QThread::currentThread()); };
    window.onChoices = [&](int) { heardOn.push_back(QThread::currentThread()); };
    std::vector<bool> launcher;
    std::vector<QThread::Priority> priority;
    Start([&](int) {
        launcher.push_back(LauncherOfItsClass(QThread::currentThread()));
        priority.push_back(QThread::currentThread()->priority());
    });
    ASSERT_TRUE(pumpUntil([&] { return ended; }));
    const std::vector<int> pauses = control_->pauses;
    job.reset();

    EXPECT_EQ(launcher, std::vector<bool>(2, true));
    EXPECT_EQ(priority, std::vector<QThread::Priority>(2, QThread::HighestPriority));
    ASSERT_FALSE(heardOn.empty());
    EXPECT_EQ(heardOn, std::vector<QThread*>(heardOn.size(), windowThread));

    // Word for word and step for step what the same batch says when run in place.
    RunInPlace();
    EXPECT_EQ(window.statuses, inPlace.statuses);
    EXPECT_EQ(window.ripStatuses, inPlace.ripStatuses);
    EXPECT_EQ(window.progress, inPlace.progress);
    EXPECT_EQ(window.dialogs, inPlace.dialogs);
    EXPECT_EQ(window.flashes, 1);
    EXPECT_EQ(window.choicesRead, inPlace.choicesRead);
    EXPECT_TRUE(window.SelectedLines().empty());
    EXPECT_EQ(pauses, inPlace.control.pauses);
}

TEST_P(RipJobTest, CancelFromTheWindowEndsThePauseAndTheBatch) {
    // The first pause really waits: the window's Cancel must end it.
    lib.ripper.chunks = {{0, 2352, 100}};
    Start([&](int call) {
        if (call == 1) control_->TRipControl::Pause(60000);
    });
    ASSERT_TRUE(pumpUntil([&] { return !window.SelectedLines().empty() && !window.selected[0]; }));
    job->Cancel();
    ASSERT_TRUE(pumpUntil([&] { return ended; }));
    job.reset();
    EXPECT_EQ(window.status, "Ripping and Encoding Canceled.");
    EXPECT_EQ(window.SelectedLines(), std::vector<int>({2}));
    EXPECT_EQ(lib.Count("OpenRipper"), 1);
    EXPECT_EQ(window.flashes, 0);
}
