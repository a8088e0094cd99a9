// AccurateRip's list of drive offsets through the window over the real library: a drive
// without an offset of its own takes the list's, and its rips match the database's; one whose
// offset the user set keeps it; a list that cannot be had shows in the dialog only.
#include <gtest/gtest.h>

#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <filesystem>
#include <fstream>

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
    Show();
    ASSERT_TRUE(pumpUntil([&] { return session.CR_GetReadOffsetFrom() == kOffsetFromList; }));
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
    std::filesystem::create_directories(home_.file("out"));
    form->DirectoryEdit1->setText(QString::fromStdString(home_.file("out")));
    form->edtAlbumName->setText("Live");
    form->TrackList->setCurrentRow(0);
    form->btnRip->click();
    ASSERT_TRUE(pumpUntil(
        [&] {
            return form->Status() == "AccurateRip: 1 of 1 track(s) accurately ripped." &&
                   !form->BatchRunning();
        },
        20000))
        << form->Status().toStdString();
    QFile log(QString::fromStdString(home_.file("out/Live.log")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString report = QString::fromUtf8(log.readAll());
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

}  // namespace
