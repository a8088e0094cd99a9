// The drive's read offset through the window over the real library: a drive without an
// offset of its own takes the one of AccurateRip's list of drive offsets, and its rips match
// the database's; one whose offset the user set keeps it; a list that cannot be had shows in
// the dialog only. And the offset detected from a disc the database knows, or why not.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "AccurateRipAnswers.h"
#include "CDRipTest.h"
#include "DirectoryEdit.h"
#include "DiscIds.h"
#include "DriveOffsetList.h"
#include "DriveOffsetRecords.h"
#include "RealWindowFixture.h"
#include "ReferenceSums.h"
#include "TinyHttpServer.h"
#include "discfixture.h"
#include "testdisc.h"

using namespace CDRipIntf;
using driveOffsets::Record;

namespace {

class DriveOffsetE2ETest : public RealWindowFixture<> {
protected:
    void SetUp() override {
        RealWindowFixture::SetUp();
        plan_ = testdisc::audioDisc({300, 200});
        qputenv("SONVALE_ACCURATERIP_URL", database.Base().toUtf8());
        qputenv("SONVALE_MUSICBRAINZ_URL", database.Base().toUtf8());
    }
    void ServeList(const QByteArray& body) { database.answers[ListPath()] = {200, body, false}; }
    QString ListPath() const { return Rip::TDriveOffsetList::UrlFor(database.Base()).path(); }
    // The dialog's words for the active drive, the user cancelling.
    QString Prompt() {
        services.integerAnswer.reset();
        form->DriveReadOffset1->trigger();
        return services.asked.last();
    }
    // Runs command (a rip or a verify of the selected lines) into <home>/out as album "Live"
    // until the status line says summary: the report it left.
    QString Report(const std::function<void()>& command, const QString& summary) {
        std::filesystem::create_directories(home_.file("out"));
        form->DirectoryEdit1->setText(QString::fromStdString(home_.file("out")));
        form->edtAlbumName->setText("Live");
        command();
        EXPECT_TRUE(
            pumpUntil([&] { return form->Status() == summary && !form->BatchRunning(); }, 20000))
            << form->Status().toStdString();
        QFile log(QString::fromStdString(home_.file("out/Live.log")));
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
    }
    std::string Settings() {
        std::ifstream in(session.CR_GetSettingsFileName());
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    testdisc::DiscPlan plan_;
    TinyHttpServer database;
};

TEST_F(DriveOffsetE2ETest, ADriveWithoutAnOffsetTakesTheListsAndItsRipIsAccurate) {
    const std::string cue = Disc("offs", plan_);
    ServeList(Record(-30, "IMAGE - other.cue", 50) + Record(6, "IMAGE - offs.cue", 3));
    LoadLibrary({cue});
    // A batch reads with the offset it started with: the list's waits for its end.
    Make();
    form->DriveSettings().SetBatchRunning(true);
    Show();
    ASSERT_TRUE(pumpUntil([&] { return form->DriveSettings().OffsetList().Available(); }));
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();  // its queued notice
    EXPECT_EQ(session.CR_GetReadOffsetFrom(), kOffsetFromNone);
    form->DriveSettings().SetBatchRunning(false);
    ASSERT_EQ(session.CR_GetReadOffsetFrom(), kOffsetFromList);
    EXPECT_EQ(session.CR_GetReadOffset(), 6);
    EXPECT_NE(Settings().find("read_offset=6\nread_offset_from=list\n"), std::string::npos)
        << Settings();
    EXPECT_EQ(Prompt(),
              "Drive Read Offset: From AccurateRip's drive list.\nRead offset of the active "
              "drive, in samples: [6 in -5000..5000]");
    // The start-up's word, as without the list.
    EXPECT_EQ(form->Status(), "Found 1 CD/DVD-ROM Drive(s), " + form->Listed().DiscTypeMessage());

    // The database knows track 1 as it reads 6 samples on.
    const TDiscIds ids = DiscIdsOf(session.Disc());
    ASSERT_TRUE(ids.Valid);
    const std::vector<uint8_t> disc = testdisc::rangeBytes(plan_, 0, 300);
    const std::vector<uint8_t> audio(disc.begin() + 24, disc.begin() + 24 + 300 * 2352);
    const testsums::Sums one = testsums::OfTrack(audio, true, false);
    database.answers[Rip::TAccurateRipLookup::UrlFor(database.Base(), ids).path()] = {
        200, arAnswers::Block(ids, {{5, one.v1}, {5, 0}}), false};
    form->TrackList->setCurrentRow(0);
    const QString report =
        Report([&] { form->btnRip->click(); }, "AccurateRip: 1 of 1 track(s) accurately ripped.");
    for (const char* line :
         {"\nDrive: Image: offs.cue, vendor \"IMAGE\", product \"offs.cue\", revision \"\"\n",
          "\nRead offset: 6 samples\nRead offset from: AccurateRip's drive list\n",
          ", accurately ripped (confidence 5)\n"})
        EXPECT_TRUE(report.contains(line)) << line << "\n" << report.toStdString();
    EXPECT_EQ(database.asked.count(ListPath()), 1);
}

// The user's offset, as every settings file so far holds it, stays whatever the list says;
// a list that cannot be had is said in the dialog, not in the status line, and the next
// drive without an offset asks again.
TEST_F(DriveOffsetE2ETest, TheUsersOffsetStaysAndAMissingListShowsInTheDialogOnly) {
    const std::string mine = Disc("mine", plan_);
    const std::string other = Disc("other", plan_);
    std::filesystem::create_directories(home_.file("config"));
    disctest::writeText(home_.file("config/Tolvane.ini"), "[Image: mine.cue]\nread_offset=-3\n");
    LoadLibrary({mine, other});
    Show();
    const QString started = form->Status();
    ASSERT_EQ(session.CR_GetReadOffsetFrom(), kOffsetFromUser);
    EXPECT_EQ(Prompt(),
              "Drive Read Offset: Set by you.\nRead offset of the active drive, in samples: "
              "[-3 in -5000..5000]");

    form->DriveSelBoxChange(1);
    Settle();
    ASSERT_TRUE(pumpUntil([&] { return !form->DriveSettings().OffsetList().Failure().isNull(); }));
    EXPECT_EQ(session.CR_GetReadOffsetFrom(), kOffsetFromNone);
    EXPECT_EQ(Prompt(),
              "Drive Read Offset: None of its own yet: 0 applies.\nAccurateRip's drive list could "
              "not be had (the database answered 404).\nRead offset of the active drive, in "
              "samples: [0 in -5000..5000]");
    EXPECT_EQ(form->Status(), started);

    ServeList(Record(-600, "image - MINE.CUE", 9) + Record(48, " IMAGE -  Other.Cue ", 2));
    form->DriveSelBoxChange(0);
    Settle();
    form->DriveSelBoxChange(1);
    Settle();
    ASSERT_TRUE(pumpUntil([&] { return session.CR_GetReadOffsetFrom() == kOffsetFromList; }));
    EXPECT_EQ(session.CR_GetReadOffset(), 48);
    // Back on the first drive, with the list in hand: its own offset stays.
    form->DriveSelBoxChange(0);
    Settle();
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    EXPECT_EQ(session.CR_GetReadOffset(), -3);
    EXPECT_EQ(session.CR_GetReadOffsetFrom(), kOffsetFromUser);
    EXPECT_EQ(database.asked.count(ListPath()), 2);
}

// The database's entry for a disc as a drive reading offset samples late would have filed
// it: each track's sum and, for the tracks of offsetFinding, its offset-finding sum (plus
// miss, so that a test can make them match nowhere).
QByteArray EntryAsReadAt(const testdisc::DiscPlan& plan, const TDiscIds& ids, int32_t offset,
                         const std::vector<int>& offsetFinding, uint32_t miss = 0) {
    const testdisc::ExpectedDisc toc = testdisc::expectedToc(plan);
    const std::vector<uint8_t> disc = testdisc::rangeBytes(plan, 0, toc.leadOut - 1);
    std::vector<std::pair<int, uint32_t>> sums;
    std::vector<uint32_t> finding;
    for (size_t i = 0; i < toc.tracks.size(); ++i) {
        const testdisc::ExpectedTrack& t = toc.tracks[i];
        const std::vector<uint8_t> audio =
            disctest::shifted(disc, t.startSector, t.startSector + t.sectors - 1, offset);
        sums.emplace_back(7, testsums::OfTrack(audio, i == 0, i + 1 == toc.tracks.size()).v1);
        const bool wanted = std::find(offsetFinding.begin(), offsetFinding.end(), int(i + 1)) !=
                            offsetFinding.end();
        finding.push_back(wanted ? testsums::OffsetFinding(audio) + miss : 0);
    }
    return arAnswers::Block(ids, sums, finding);
}

class OffsetDetectionE2ETest : public DriveOffsetE2ETest {
protected:
    // The listed disc, of plan, filed in the database as EntryAsReadAt makes it.
    void FileDisc(const testdisc::DiscPlan& plan, int32_t offset,
                  const std::vector<int>& offsetFinding, uint32_t miss = 0) {
        const TDiscIds ids = DiscIdsOf(session.Disc());
        ASSERT_TRUE(ids.Valid);
        database.answers[Rip::TAccurateRipLookup::UrlFor(database.Base(), ids).path()] = {
            200, EntryAsReadAt(plan, ids, offset, offsetFinding, miss), false};
    }
    // The command, to its end: the status line's last word.
    std::string Detect() {
        form->DetectDriveReadOffset1->trigger();
        EXPECT_TRUE(pumpUntil([&] { return !form->BatchRunning(); }, 20000));
        return form->Status().toStdString();
    }
    // The user's offset of the drive of name.cue, as a settings file holds it.
    void SetUsersOffset(const std::string& name, int32_t offset) {
        std::filesystem::create_directories(home_.file("config"));
        disctest::writeText(
            home_.file("config/Tolvane.ini"),
            "[Image: " + name + ".cue]\nread_offset=" + std::to_string(offset) + "\n");
    }
};

class OffsetDetectionAt : public OffsetDetectionE2ETest,
                          public ::testing::WithParamInterface<int32_t> {};

// Found wherever the drive's offset lies, by a read that passes over the offset the user
// had set; kept as detected, and the next rip matches the database with it.
TEST_P(OffsetDetectionAt, FindsTheOffsetAndTheNextRipMatches) {
    const int32_t offset = GetParam();
    plan_ = testdisc::audioDisc({600, 500});
    const std::string cue = Disc("found", plan_);
    SetUsersOffset("found", -3);
    LoadLibrary({cue});
    Show();
    FileDisc(plan_, offset, {1, 2});
    const std::string said = QStringLiteral("Drive Read Offset: %1%2 samples (detected).")
                                 .arg(offset > 0 ? "+" : "")
                                 .arg(offset)
                                 .toStdString();
    EXPECT_EQ(Detect(), said);
    EXPECT_EQ(session.CR_GetReadOffset(), offset);
    EXPECT_EQ(session.CR_GetReadOffsetFrom(), kOffsetFromDetected);
    EXPECT_NE(
        Settings().find("read_offset=" + std::to_string(offset) + "\nread_offset_from=detected\n"),
        std::string::npos)
        << Settings();

    form->chkMulSel->click();
    form->TrackList->selectAll();
    form->TrackList->setCurrentRow(0, QItemSelectionModel::Select);
    EXPECT_TRUE(
        Report([&] { form->Verify1->trigger(); }, "AccurateRip: 2 of 2 track(s) accurately ripped.")
            .contains(QStringLiteral("\nRead offset: %1 samples\nRead offset from: "
                                     "detection on this disc\n")
                          .arg(offset)));
}

INSTANTIATE_TEST_SUITE_P(Offsets, OffsetDetectionAt, ::testing::Values(667, -1164, 5000),
                         [](const auto& info) {
                             return (info.param < 0 ? "Minus" : "Plus") +
                                    std::to_string(std::abs(info.param));
                         });

// Each disc where nothing is found says why and leaves the user's offset as it was; a disc
// with one long enough track finds it there alone; Cancel ends a read, or the wait for a
// database that does not answer.
TEST_F(OffsetDetectionE2ETest, ADetectionThatFindsNothingSaysWhyAndChangesNothing) {
    const std::vector<testdisc::DiscPlan> plans = {
        testdisc::audioDisc({600, 500}), testdisc::audioDisc({300, 200}),
        testdisc::audioDisc({620, 500}), testdisc::audioDisc({600, 200}),
        testdisc::audioDisc({630, 500})};
    std::vector<std::string> cues;
    for (size_t i = 0; i < plans.size(); ++i)
        cues.push_back(Disc("d" + std::to_string(i), plans[i]));
    SetUsersOffset("d0", -3);
    LoadLibrary(cues);
    Show();
    const std::string before = Settings();

    // The sums are the database's, but at no offset.
    FileDisc(plans[0], 48, {1, 2}, 1);
    EXPECT_EQ(Detect(),
              "Drive Read Offset not Detected: no read offset from -5000 to +5000 samples matches "
              "the AccurateRip database.");
    // The database's answer is kept: the second command reads at once, slowly.
    qputenv("CDRIP3_FAULTS", "slow=20");
    form->DetectDriveReadOffset1->trigger();
    ASSERT_TRUE(pumpUntil([&] { return form->Status().contains("Reading Track 1"); }));
    form->btnCancelCDRip->click();
    ASSERT_TRUE(pumpUntil([&] { return !form->BatchRunning(); }, 20000));
    EXPECT_EQ(form->Status(), "Drive Read Offset Detection Canceled.");
    qunsetenv("CDRIP3_FAULTS");
    EXPECT_EQ(session.CR_GetReadOffset(), -3);
    EXPECT_EQ(session.CR_GetReadOffsetFrom(), kOffsetFromUser);

    form->DriveSelBoxChange(1);
    Settle();
    FileDisc(plans[1], 0, {1, 2}, 1);
    EXPECT_EQ(Detect(),
              "Drive Read Offset not Detected: no track is long enough (460 sectors, 6.13 "
              "seconds).");
    form->DriveSelBoxChange(2);
    Settle();
    EXPECT_EQ(Detect(),
              "Drive Read Offset not Detected: the disc is not in the AccurateRip database.");
    EXPECT_EQ(session.CR_GetReadOffsetFrom(), kOffsetFromNone);
    EXPECT_EQ(Settings(), before);

    form->DriveSelBoxChange(3);
    Settle();
    FileDisc(plans[3], 48, {1});
    EXPECT_EQ(Detect(), "Drive Read Offset: +48 samples (detected).");

    form->DriveSelBoxChange(4);
    Settle();
    database.answers[Rip::TAccurateRipLookup::UrlFor(database.Base(), DiscIdsOf(session.Disc()))
                         .path()] = {200, {}, true};
    const qsizetype asked = database.asked.size();
    form->DetectDriveReadOffset1->trigger();
    ASSERT_TRUE(pumpUntil([&] { return database.asked.size() > asked; }));
    ASSERT_TRUE(form->BatchRunning());
    form->btnCancelCDRip->click();
    EXPECT_FALSE(form->BatchRunning());
    EXPECT_EQ(form->Status(), "Drive Read Offset Detection Canceled.");
}

}  // namespace
