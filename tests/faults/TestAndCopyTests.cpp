// Test & Copy through the window, the real libraries and disc images, in every format that
// writes files: the option kept from one start to the next, two reads that agree and two
// that differ (a flaky sector), a cancel in either read, and the chunks the drive was unsure
// of named in the report by where they start.
#include <QAction>
#include <QFile>
#include <QRegularExpression>

#include "FaultSuite.h"

using namespace faultsuite;

namespace {

TEST_F(FaultSuite, TestAndCopyIsOffAtFirstAndKeptFromOneStartToTheNext) {
    Start(testdisc::audioDisc({100}));
    ASSERT_TRUE(form->TestAndCopy1->isCheckable());
    EXPECT_FALSE(form->TestAndCopy1->isChecked());
    const QString file = QString::fromStdString(home_.file("config/Sonvale/Sonvale.conf"));
    for (const bool on : {true, false}) {
        SCOPED_TRACE(on);
        form->TestAndCopy1->trigger();
        ASSERT_EQ(form->TestAndCopy1->isChecked(), on);
        QFile conf(file);
        ASSERT_TRUE(conf.open(QIODevice::ReadOnly));
        EXPECT_TRUE(conf.readAll().contains(on ? "TestAndCopy=true" : "TestAndCopy=false"));
        // The program starts again: its options are read afresh.
        form.reset();
        options.reset();
        StartOver(kBin + "/libcdrip3.so", true);
        EXPECT_EQ(form->TestAndCopy1->isChecked(), on);
    }
}

class TestAndCopy : public FaultSuite, public ::testing::WithParamInterface<Format> {
protected:
    void SetUp() override {
        FaultSuite::SetUp();
        Start(testdisc::audioDisc({300, 200, 150}));
        ASSERT_TRUE(form->DiscInfoLoaded());
    }
    Format format() const { return GetParam(); }
    void TurnOn() {
        if (!form->TestAndCopy1->isChecked()) form->TestAndCopy1->trigger();
        ASSERT_TRUE(form->TestAndCopy1->isChecked());
    }
    QString CopyProgress(int n) const {
        return format() == Format::Wav ? QStringLiteral("Ripping Track %1 : ").arg(n)
                                       : QStringLiteral("Ripping and Encoding Track: %1 : ").arg(n);
    }
    // The track's CRC-32 as its report says it.
    static QString Crc(const QString& report, int n) {
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("\nTrack %1: CRC32 ([0-9a-f]{8}), ").arg(n))
                .match(report);
        return m.hasMatch() ? m.captured(1) : QString();
    }
    // What a file holds: its bytes, or for Ogg Vorbis, whose every stream has a serial
    // number of its own, its decoded audio.
    std::vector<uint8_t> Content(int n) const {
        const auto bytes = riptest::readFile(OutFile(format(), n));
        if (format() != Format::Ogg) return bytes;
        const auto pcm = oggcheck::decode(bytes, "copy.ogg").pcm;
        const auto* at = reinterpret_cast<const uint8_t*>(pcm.data());
        return std::vector<uint8_t>(at, at + pcm.size() * sizeof(int16_t));
    }
    QString Completed() const {
        return format() == Format::Wav ? QStringLiteral("Ripping Completed.")
                                       : QStringLiteral("Ripping and Encoding Completed.");
    }
};

TEST_P(TestAndCopy, TwoReadsThatAgreeWriteTheFileAsOneReadDoes) {
    Select({0});
    ASSERT_TRUE(Rip(format()));
    EXPECT_EQ(form->Status(), Completed());
    const auto once = Content(1);
    ASSERT_FALSE(once.empty());
    const QString onceReport = ReportSection(1);
    EXPECT_FALSE(onceReport.contains("test CRC32")) << "off, a track is read once";
    for (const QString& s : form->statuses)
        EXPECT_FALSE(s.startsWith("Testing")) << s.toStdString();
    const QString crc = Crc(onceReport, 1);
    ASSERT_FALSE(crc.isEmpty()) << onceReport.toStdString();

    TurnOn();
    std::filesystem::remove(OutFile(format(), 1));
    Select({0});
    ASSERT_TRUE(Rip(format()));
    EXPECT_EQ(form->Status(), Completed());
    EXPECT_TRUE(services.shown.isEmpty()) << services.shown.join("; ").toStdString();
    // The whole test read, then the copy.
    const qsizetype tested = form->statuses.indexOf("Testing Track 1 : 100% Done.");
    ASSERT_GE(tested, 0) << form->statuses.join(" | ").toStdString();
    for (qsizetype i = 0; i < tested; ++i)
        EXPECT_FALSE(form->statuses[i].startsWith(CopyProgress(1))) << i;
    bool copied = false;
    for (qsizetype i = tested; i < form->statuses.size(); ++i)
        copied = copied || form->statuses[i].startsWith(CopyProgress(1));
    EXPECT_TRUE(copied) << form->statuses.join(" | ").toStdString();
    EXPECT_TRUE(Content(1) == once) << "not the file of one read";
    const QString report = ReportSection(2);
    EXPECT_TRUE(report.contains(
        QStringLiteral("\nTrack 1: test CRC32 %1, copy CRC32 %1, reads agree\n").arg(crc)))
        << report.toStdString();
    EXPECT_EQ(Crc(report, 1), crc);
    if (format() != Format::Wav) return;

    // A verify writes nothing and reads once.
    form->statuses.clear();
    Select({0});
    form->Verify1->trigger();
    ASSERT_TRUE(WaitForBatch(60000));
    for (const QString& s : form->statuses)
        EXPECT_FALSE(s.startsWith("Testing")) << s.toStdString();
    const QString verify = ReportSection(3);
    EXPECT_EQ(Crc(verify, 1), crc);
    EXPECT_FALSE(verify.contains("test CRC32")) << verify.toStdString();
}

TEST_P(TestAndCopy, TwoReadsThatDifferAreNotVerifiable) {
    TurnOn();
    // Delivered exact to the test read, altered to the copy.
    setenv("CDRIP3_FAULTS", ("flaky=" + std::to_string(TrackStart(2) + 50)).c_str(), 1);
    Select({1});
    ASSERT_TRUE(Rip(format()));
    // Nothing told the batch: it ended as any other.
    EXPECT_EQ(form->Status(), Completed());
    const QString report = ReportSection(1);
    const QRegularExpressionMatch m =
        QRegularExpression(
            "\nTrack 2: test CRC32 ([0-9a-f]{8}), copy CRC32 ([0-9a-f]{8}), "
            "reads differ\n")
            .match(report);
    ASSERT_TRUE(m.hasMatch()) << report.toStdString();
    EXPECT_NE(m.captured(1), m.captured(2));
    EXPECT_EQ(m.captured(2), Crc(report, 2));
    EXPECT_TRUE(report.contains(QRegularExpression(
        "\nTrack 2: CRC32 [0-9a-f]{8}, AccurateRip v1 [0-9a-f]{8} v2 [0-9a-f]{8}, "
        "not verifiable \\(the test and copy reads differ\\)\n")))
        << report.toStdString();
    EXPECT_TRUE(report.contains("0 not checked, 1 with errors.")) << report.toStdString();
    // The copy wrote what it read, as ever.
    if (format() == Format::Wav) {
        EXPECT_FALSE(riptest::audioOf(riptest::readFile(OutFile(format(), 2))) ==
                     TrackBytes(2, TrackSectors(2)));
    }
}

// Both reads meet the jitter in the same chunk: one line for it, by where the chunk starts
// (26 sectors a chunk: sector 100 of the track is in the one from sector 78, 0:01:03).
TEST_P(TestAndCopy, AJitteryChunkIsNamedOnceByItsPositionInTheTrack) {
    TurnOn();
    setenv("CDRIP3_FAULTS", ("jitter=" + std::to_string(TrackStart(2) + 100)).c_str(), 1);
    Select({1});
    ASSERT_TRUE(Rip(format()));
    const QString report = ReportSection(1);
    EXPECT_EQ(report.count("suspicious position"), 1) << report.toStdString();
    EXPECT_TRUE(report.contains(
        QRegularExpression("\nTrack 2: test CRC32 ([0-9a-f]{8}), copy CRC32 \\1, reads agree\n"
                           "Track 2: suspicious position 0:01:03\nSummary: ")))
        << report.toStdString();
}

// The disc taken out in the test read: the batch ends there, with no file for the track.
TEST_P(TestAndCopy, ADiscTakenOutInTheTestReadEndsTheBatchWithoutAFile) {
    TurnOn();
    setenv("CDRIP3_FAULTS", ("remove=" + std::to_string(TrackStart(1) + 100)).c_str(), 1);
    Select({0, 1});
    ASSERT_TRUE(Rip(format())) << "the batch hangs";
    EXPECT_TRUE(form->statuses.contains("Media is Removed."));
    // No copy was tried on a disc that is not there.
    EXPECT_TRUE(services.shown.isEmpty()) << services.shown.join("; ").toStdString();
    EXPECT_FALSE(std::filesystem::exists(OutFile(format(), 1)));
    EXPECT_FALSE(std::filesystem::exists(OutFile(format(), 2)));
    const QString report = ReportSection(1);
    EXPECT_TRUE(report.contains("\nTrack 1: disc removed\n")) << report.toStdString();
    EXPECT_TRUE(report.contains(", not checked (the disc was removed)\n")) << report.toStdString();
    EXPECT_FALSE(report.contains("Track 2:")) << report.toStdString();
    ExpectNextBatchWorks(format());
}

INSTANTIATE_TEST_SUITE_P(Formats, TestAndCopy,
                         ::testing::Values(Format::Wav, Format::Mp3, Format::Ogg),
                         [](const auto& info) { return formatName(info.param); });

// A cancel in either read ends the batch as a cancel ever has; one in the test read leaves
// no file begun for the track.
struct CancelIn {
    Format format;
    bool testRead;
    const char* name;
};
void PrintTo(const CancelIn& c, std::ostream* os) {
    *os << c.name;
}

class TestAndCopyCancel : public FaultSuite, public ::testing::WithParamInterface<CancelIn> {
protected:
    void SetUp() override {
        FaultSuite::SetUp();
        // Slow enough for a press to reach the batch while the read is under way.
        setenv("CDRIP3_FAULTS", "slow=300", 1);
        Start(testdisc::audioDisc({300, 200, 150}));
        ASSERT_TRUE(form->DiscInfoLoaded());
        form->TestAndCopy1->trigger();
    }
};

TEST_P(TestAndCopyCancel, EndsTheBatchAsACancelDoes) {
    const CancelIn c = GetParam();
    const bool wav = c.format == Format::Wav;
    form->cancelAtStatus = c.testRead ? QStringLiteral("Testing Track 1 : ")
                           : wav      ? QStringLiteral("Ripping Track 1 : ")
                                      : QStringLiteral("Ripping and Encoding Track: 1 : ");
    Select({0, 2});
    ASSERT_TRUE(Rip(c.format)) << "the batch hangs";
    ASSERT_TRUE(form->cancelled);
    EXPECT_EQ(form->Status(), "Ripping and Encoding Canceled.");
    EXPECT_TRUE(services.shown.isEmpty()) << services.shown.join("; ").toStdString();
    EXPECT_TRUE(form->TrackList->item(0)->isSelected());
    EXPECT_TRUE(form->TrackList->item(2)->isSelected());
    EXPECT_EQ(std::filesystem::exists(OutFile(c.format, 1)), !c.testRead);
    EXPECT_FALSE(std::filesystem::exists(OutFile(c.format, 3)));
    const QString report = ReportSection(1);
    const QString file = c.testRead ? QString()
                                    : QStringLiteral(", file Live Track 1") +
                                          QString::fromStdString(extension(c.format));
    EXPECT_TRUE(report.contains("\nTrack 1: cancelled" + file + "\n")) << report.toStdString();
    EXPECT_TRUE(report.contains(", not checked (cancelled)\n")) << report.toStdString();
    // A cancelled read has nothing to be compared with.
    EXPECT_FALSE(report.contains("test CRC32")) << report.toStdString();
    EXPECT_TRUE(report.contains(", 1 selected track(s) not read.\n")) << report.toStdString();
    form->cancelAtStatus.clear();
    ExpectNextBatchWorks(c.format);
}

INSTANTIATE_TEST_SUITE_P(Reads, TestAndCopyCancel,
                         ::testing::Values(CancelIn{Format::Wav, true, "WavTest"},
                                           CancelIn{Format::Wav, false, "WavCopy"},
                                           CancelIn{Format::Mp3, true, "Mp3Test"},
                                           CancelIn{Format::Mp3, false, "Mp3Copy"},
                                           CancelIn{Format::Ogg, true, "OggTest"},
                                           CancelIn{Format::Ogg, false, "OggCopy"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
