// The rip commands' batches from their checks to their reports, without the window: over a
// scripted CD library, a window without widgets and a database server of the test's own.
#include "BatchLife.h"

#include <gtest/gtest.h>

#include <QFile>

#include "AccurateRipAnswers.h"
#include "CDSession.h"
#include "DiscIds.h"
#include "Encoders.h"
#include "FakeRipWindow.h"
#include "PumpUntil.h"
#include "ScriptedCDRip.h"
#include "TempDir.h"
#include "TinyHttpServer.h"

using Rip::TRipFormat;

namespace {

constexpr int32_t kHalfTrack = 50 * 2352;

class BatchLifeTest : public ::testing::Test {
protected:
    void SetUp() override {
        lib.drives = {AudioDrive("A", {100, 100, 100})};
        lib.Install(session);
        ASSERT_EQ(session.ReadDiscInfo(session.Disc()), 0);
        // Each track whole, in two chunks.
        lib.ripper.bufferSize = kHalfTrack;
        lib.ripper.chunks = {{0, kHalfTrack, 50}, {0, kHalfTrack, 100}};
        window.choices.Directory = QString::fromStdString(dir.path().string());
        window.SetLines(3, {0});
        life.MakeRipControl = FakeRipControls(0);
    }
    void TearDown() override {
        life.EndBatch();
        session.Finalize();
    }

    // A rip command on the disc as listed now; the disc check says why it refuses.
    void Command(TRipFormat format) {
        Rip::TBatchRequest request;
        request.DiscReady = [this] {
            ++discChecks;
            if (!discReady) window.SetStatus("no disc");
            return discReady;
        };
        request.Disc = session.Disc();
        life.Rip(format, request);
    }
    bool Ended() {
        return pumpUntil([this] { return !life.Running(); });
    }
    // The database's path for the listed disc.
    QString DatabasePath() const {
        return Rip::TAccurateRipLookup::UrlFor(database.Base(),
                                               CDRipIntf::DiscIdsOf(session.Disc()))
            .path();
    }
    QString Report() const {
        QFile f(QString::fromStdString(dir.file("Live.log")));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    sonvaletest::TempDir dir;
    ScriptedCDRip lib;
    CDRipIntf::TCDSession session;
    Rip::TEncoders encoders;  // no Vorbis library loaded
    FakeRipWindow window;
    TinyHttpServer database;
    int started = 0, ended = 0, discChecks = 0;
    bool discReady = true;
    Rip::TBatchLife life{
        window, session, encoders, {[this] { ++started; }, [this] { ++ended; }}, database.Base()};
};

}  // namespace

TEST_F(BatchLifeTest, EachCommandChecksInItsOwnOrderAndRefusesWithoutADisc) {
    const TRipFormat formats[] = {TRipFormat::Wave, TRipFormat::Mp3, TRipFormat::Ogg,
                                  TRipFormat::Verify};
    struct Situation {
        const char* name;
        std::function<void()> make;
        const char* said[4];  // per format, as above: the one dialog or status
    };
    const Situation situations[] = {
        {"the current line is not selected",
         [&] { window.SetLines(3, {1}); },
         {"information: Please select track(s) to Rip.",
          "information: Please select track(s) to Rip.",
          "information: Please select track(s) to Rip.",
          "information: Please select track(s) to Verify."}},
        {"no recording name and no disc",
         [&] {
             window.choices.RecordingName.clear();
             discReady = false;
         },
         {"information: Please insert a Recording Name.", "no disc", "no disc", "no disc"}},
        {"no recording name and no Vorbis library",
         [&] { window.choices.RecordingName.clear(); },
         {"information: Please insert a Recording Name.",
          "information: Please insert a Recording Name.", "box:OK: Vorbis.DLL is not Ready.",
          nullptr}},
        {"the CD library is not ready, nor the disc",
         [&] {
             lib.initResult = 1;
             lib.Install(session);
             discReady = false;
         },
         {"Sonvale is not ready.", "no disc", "no disc", "Sonvale is not ready."}},
    };
    for (const Situation& s : situations) {
        for (int f = 0; f < 4; ++f) {
            SCOPED_TRACE(std::string(s.name) + ", format " + std::to_string(f));
            window = FakeRipWindow();
            window.choices.Directory = QString::fromStdString(dir.path().string());
            window.SetLines(3, {0});
            discReady = true;
            lib.initResult = 0;
            lib.Install(session);
            ASSERT_EQ(session.ReadDiscInfo(session.Disc()), 0);
            s.make();
            const int before = started;
            Command(formats[f]);
            if (!s.said[f]) {
                EXPECT_EQ(started, before + 1);
                ASSERT_TRUE(Ended());
                continue;
            }
            EXPECT_EQ(started, before);
            EXPECT_FALSE(life.Running());
            EXPECT_EQ((window.dialogs + window.statuses).join(" | "), s.said[f]);
        }
    }
    EXPECT_EQ(lib.ripper.opens, 1);  // the one verify
}

TEST_F(BatchLifeTest, OneBatchAtATimeUntilItsThreadHasEnded) {
    lib.ripper.holdAt = 0;
    Command(TRipFormat::Wave);
    ASSERT_TRUE(pumpUntil([&] { return lib.Holding(); }));
    EXPECT_TRUE(life.Running());
    Command(TRipFormat::Wave);
    Command(TRipFormat::Verify);
    EXPECT_EQ(started, 1);
    EXPECT_EQ(window.dialogs, QStringList());

    life.Cancel();
    ASSERT_TRUE(Ended());
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(lib.ripper.opens, 1);
    EXPECT_EQ(window.status, "Ripping and Encoding Canceled.");
    life.Cancel();
    EXPECT_EQ(window.status, "CD/DVD-ROM is Not Ripping any Data.");

    // A removal says so last, unless a disc is back by the batch's end.
    for (const bool back : {false, true}) {
        SCOPED_TRACE(back ? "disc back" : "drive empty");
        Command(TRipFormat::Wave);
        ASSERT_TRUE(pumpUntil([&] { return lib.Holding(); }));
        lib.Active().ready = back;
        life.CancelForRemoval();
        ASSERT_TRUE(Ended());
        EXPECT_EQ(window.status == "Media is Removed.", !back) << window.status.toStdString();
        lib.Active().ready = true;
    }
}

TEST_F(BatchLifeTest, TheReportWaitsForTheDatabaseOrIsFlushedWithoutIt) {
    database.answers[DatabasePath()].hang = true;
    Command(TRipFormat::Verify);
    ASSERT_TRUE(Ended());
    EXPECT_EQ(window.status, "Verification Completed.");
    EXPECT_FALSE(pumpUntil([&] { return !Report().isEmpty(); }, 300));

    life.FlushReports();
    const QString report = Report();
    EXPECT_TRUE(report.contains("not checked (the program closed before the database answered)"))
        << report.toStdString();
    life.FlushReports();
    EXPECT_EQ(Report(), report);
    EXPECT_EQ(window.status, "Verification Completed.");
}

TEST_F(BatchLifeTest, TheSummaryIsSaidOnlyForACompletedBatch) {
    const CDRipIntf::TDiscIds ids = CDRipIntf::DiscIdsOf(session.Disc());
    ASSERT_TRUE(ids.Valid);
    database.answers[DatabasePath()] = {200, arAnswers::Block(ids, {{5, 1}, {5, 2}, {5, 3}})};
    const QString summary = "AccurateRip: 0 of 2 track(s) accurately ripped.";

    window.SetLines(3, {0, 1});
    Command(TRipFormat::Verify);
    ASSERT_TRUE(pumpUntil([&] { return window.status == summary; })) << window.status.toStdString();
    const QString first = Report();
    EXPECT_TRUE(first.contains("Action: Verify\n")) << first.toStdString();

    // Jitter on the second track: the batch's own last word stays.
    lib.ripper.scripts = {{}, {}, {}, {{3, kHalfTrack, 50}, {0, kHalfTrack, 100}}};
    window.SetLines(3, {0, 1});
    Command(TRipFormat::Verify);
    ASSERT_TRUE(Ended());
    ASSERT_TRUE(pumpUntil([&] { return Report().size() > first.size(); }));
    EXPECT_TRUE(window.status.startsWith("Verification Ended with Errors"))
        << window.status.toStdString();
    EXPECT_EQ(window.statuses.count(summary), 1);
}
