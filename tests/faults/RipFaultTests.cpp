// Faults of the drive and the disc while a track is ripped, injected through the CD
// library's CDRIP3_FAULTS, and the user's Cancel at the first, a middle and the last chunk:
// for each output format the program neither crashes nor hangs, the file is playable up to
// where the audio stopped, the window says what happened, and the next batch works.
#include <QAction>
#include <QElapsedTimer>
#include <QRegularExpression>

#include "FaultSuite.h"

using namespace faultsuite;

namespace {

class RipFaults : public FaultSuite, public ::testing::WithParamInterface<Format> {
protected:
    void SetUp() override {
        FaultSuite::SetUp();
        Start(testdisc::audioDisc({400, 300, 500}));
        ASSERT_TRUE(form->DiscInfoLoaded());
        ASSERT_EQ(form->TrackList->count(), 3);
    }
    Format format() const { return GetParam(); }
    bool Wav() const { return GetParam() == Format::Wav; }
    QString SuccessText(int n) const {
        const QString name = QStringLiteral("Live Track ") + QString::number(n);
        return GetParam() == Format::Mp3
                   ? "Successfully Ripped and Encoded Live to " + name + ".mp3 to MP3 Format."
                   : "Successfully Ripped and Encoded Live to " + name +
                         ".ogg to Ogg Vorbis Format.";
    }
    // What the MP3 and Ogg batches show for a track whose audio stopped coming: the
    // library's error in a box, the track not reported as encoded, and the batch's end.
    void ExpectEncodeTrackCutShort() {
        EXPECT_EQ(services.shown, QStringList{"box:OK: Error : CR_RipChunk"});
        EXPECT_FALSE(form->statuses.contains(SuccessText(1)));
        EXPECT_EQ(form->Status(),
                  "Ripping and Encoding Ended with Errors - 1 of 1 Track(s) not Ripped.");
    }
};

TEST_P(RipFaults, UnreadableSectorsEndTheTrackWithTheAudioBeforeThem) {
    setenv("CDRIP3_FAULTS", "unreadable=200-205", 1);
    Select({0});
    ASSERT_TRUE(Rip(format())) << "the batch hangs";
    if (Wav()) {
        EXPECT_EQ(form->Status(), "Encountered error(s) during Ripping");
        EXPECT_TRUE(services.shown.isEmpty());
        EXPECT_TRUE(form->TrackList->item(0)->isSelected());  // not ripped: still to do
    } else {
        ExpectEncodeTrackCutShort();
    }
    ExpectPlayable(format(), 1, 200);
    ExpectNextBatchWorks(format());
}

TEST_P(RipFaults, JitterKeepsEveryChunkAndIsReportedForWaveOnly) {
    setenv("CDRIP3_FAULTS", "jitter=100", 1);
    Select({0});
    ASSERT_TRUE(Rip(format()));
    if (Wav()) {
        EXPECT_EQ(form->Status(), "Encountered Jitter error(s) during Ripping");
    } else {
        EXPECT_TRUE(form->statuses.contains(SuccessText(1)));
        EXPECT_EQ(form->Status(), "Ripping and Encoding Completed.");
    }
    EXPECT_TRUE(services.shown.isEmpty()) << services.shown.join("; ").toStdString();
    // The chunk answered with a jitter report is in the file: no hole in the track.
    ExpectPlayable(format(), 1, 400);
    ExpectNextBatchWorks(format());
}

TEST_P(RipFaults, AStallingDriveEndsTheTrackAfterItsTimeout) {
    setenv("CDRIP3_FAULTS", "stall=200:400", 1);
    Select({0});
    QElapsedTimer timer;
    timer.start();
    ASSERT_TRUE(Rip(format(), 20000)) << "the batch hangs";
    EXPECT_GE(timer.elapsed(), 400);
    if (Wav()) {
        EXPECT_EQ(form->Status(), "Encountered error(s) during Ripping");
    } else {
        ExpectEncodeTrackCutShort();
    }
    ExpectPlayable(format(), 1, 200);
    ExpectNextBatchWorks(format());
}

TEST_P(RipFaults, ADiscTakenOutMidTrackEmptiesTheListAndKeepsTheAudioBefore) {
    setenv("CDRIP3_FAULTS", "remove=200", 1);
    Select({0, 1});
    ASSERT_TRUE(Rip(format())) << "the batch hangs";
    // The track cut short is not judged, and nothing after it is read or logged.
    const auto expectRemovedDuringTrack1 = [](const QString& report) {
        EXPECT_TRUE(report.contains(QRegularExpression(
            "\nTrack 1: CRC32 [0-9a-f]{8}, AccurateRip v1 [0-9a-f]{8} v2 [0-9a-f]{8}, "
            "not checked \\(the disc was removed\\)\n")))
            << report.toStdString();
        EXPECT_FALSE(report.contains("Track 2:"));
        EXPECT_TRUE(report.contains(", 1 selected track(s) not read.\n"));
    };
    expectRemovedDuringTrack1(ReportSection(1));
    EXPECT_TRUE(form->TrackList->count() == 0);
    EXPECT_TRUE(form->statuses.contains("Media is Removed."));
    if (Wav()) {
        EXPECT_TRUE(form->statuses.contains("Encountered error(s) during Ripping"));
        EXPECT_EQ(form->Status(), "Media is Removed.");
        EXPECT_TRUE(services.shown.isEmpty());
    } else {
        EXPECT_TRUE(services.shown.contains("box:OK: Error : CR_RipChunk"));
        EXPECT_FALSE(form->statuses.contains(SuccessText(1)));
    }
    EXPECT_EQ(form->TrackList->count(), 0);
    EXPECT_FALSE(form->DiscInfoLoaded());
    ExpectPlayable(format(), 1, 200);
    // Rip commands with the disc out say so and start nothing.
    Select({});
    form->statuses.clear();
    form->btnRip->click();
    EXPECT_EQ(services.shown.last(), "information: Please select track(s) to Rip.");
    ExpectNextBatchWorks(format());
    if (!Wav()) return;
    // A verify stops there too, rather than read and log the next track as failed.
    setenv("CDRIP3_FAULTS", "remove=200", 1);
    Select({0, 1});
    form->Verify1->trigger();
    ASSERT_TRUE(WaitForBatch(60000));
    expectRemovedDuringTrack1(ReportSection(3));
}

INSTANTIATE_TEST_SUITE_P(Formats, RipFaults,
                         ::testing::Values(Format::Wav, Format::Mp3, Format::Ogg),
                         [](const auto& info) { return formatName(info.param); });

// ---------------------------------------------------------------------------------------
// Cancel, pressed when the window shows the first chunk, half of the track, and most of it
// (not its very end: the last chunk may well be read before a press reaches the batch).

struct CancelPoint {
    Format format;
    int percent;  // the progress shown when Cancel is pressed
    const char* name;
};
void PrintTo(const CancelPoint& p, std::ostream* os) {
    *os << p.name;
}

class CancelFaults : public FaultSuite, public ::testing::WithParamInterface<CancelPoint> {
protected:
    void SetUp() override {
        FaultSuite::SetUp();
        // At 2x speed a track takes seconds: a press the window makes at a given share
        // reaches the batch while the track is still being read, however busy the machine
        // (the sanitizer builds run two at a time).
        setenv("CDRIP3_FAULTS", "slow=150", 1);
        Start(testdisc::audioDisc({400, 300, 500}));
        ASSERT_TRUE(form->DiscInfoLoaded());
    }
};

TEST_P(CancelFaults, CancelKeepsAPlayableFileAndTheNextBatchWorks) {
    const CancelPoint p = GetParam();
    form->cancelAtPercent = p.percent;
    Select({0, 2});
    ASSERT_TRUE(Rip(p.format)) << "the batch hangs";
    ASSERT_TRUE(form->cancelled);
    EXPECT_TRUE(form->statuses.contains("Ripping and Encoding Canceled."));
    EXPECT_TRUE(services.shown.isEmpty()) << services.shown.join("; ").toStdString();
    const std::string path = OutFile(p.format, 1);
    ASSERT_TRUE(std::filesystem::exists(path));
    // Every batch stops at a cancel: both lines stay selected, track 3 unripped.
    EXPECT_EQ(form->Status(), "Ripping and Encoding Canceled.");
    EXPECT_TRUE(form->TrackList->item(0)->isSelected());
    EXPECT_TRUE(form->TrackList->item(2)->isSelected());
    EXPECT_FALSE(std::filesystem::exists(OutFile(p.format, 3)));
    if (p.format == Format::Wav) {
        const size_t bytes = std::filesystem::file_size(path) - 44;
        ASSERT_EQ(bytes % 2352, 0u);
        const size_t sectors = bytes / 2352;
        // The cancelled file holds the chunks delivered up to the press.
        EXPECT_GE(sectors * 100, size_t(form->cancelledAtPercent) * 400 - 100);
        EXPECT_LE(sectors, 400u);
        ExpectPlayable(Format::Wav, 1, sectors);
    } else {
        // The cancelled track decodes to a part of its tone.
        if (p.format == Format::Mp3) {
            const auto d = mp3check::decode(riptest::readFile(path), "cancel.mp3");
            EXPECT_EQ(d.channels, 2);
            EXPECT_LE(d.frames(), 400u * 588 + 576 + 3 * 1152);
        } else {
            const auto d = oggcheck::decode(riptest::readFile(path), "cancel.ogg");
            EXPECT_TRUE(d.opened);
            EXPECT_LT(d.frames(), 400u * 588);
        }
    }
    form->cancelAtPercent = -1;
    ExpectNextBatchWorks(p.format);
}

INSTANTIATE_TEST_SUITE_P(Points, CancelFaults,
                         ::testing::Values(CancelPoint{Format::Wav, 1, "WavFirst"},
                                           CancelPoint{Format::Wav, 50, "WavMiddle"},
                                           CancelPoint{Format::Wav, 80, "WavLate"},
                                           CancelPoint{Format::Mp3, 1, "Mp3First"},
                                           CancelPoint{Format::Mp3, 50, "Mp3Middle"},
                                           CancelPoint{Format::Mp3, 80, "Mp3Late"},
                                           CancelPoint{Format::Ogg, 1, "OggFirst"},
                                           CancelPoint{Format::Ogg, 50, "OggMiddle"},
                                           CancelPoint{Format::Ogg, 80, "OggLate"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
