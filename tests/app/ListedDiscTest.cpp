// The listed disc without the window: its table, names, IDs and lookups.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <memory>

#include "CDSession.h"
#include "ListedDisc.h"
#include "MusicBrainzAnswers.h"
#include "PumpUntil.h"
#include "RecordingListedDiscView.h"
#include "RecordingServices.h"
#include "ScriptedCDRip.h"
#include "TinyHttpServer.h"

using CDRipIntf::DiscIdsOf;

namespace {

class ListedDiscTest : public ::testing::Test {
protected:
    void Install(const std::vector<ScriptedDrive>& drives) {
        lib.drives = drives;
        lib.Install(session);
        listed = std::make_unique<TListedDisc>(session, services, view, database.Base());
    }
    void TearDown() override {
        listed.reset();
        session.Finalize();
    }
    // The disc in the active drive is found online in these releases, by title.
    void Answer(const QStringList& titles) {
        using namespace mbanswers;
        const std::string disc = DiscIdsOf(session.Disc()).MusicBrainz;
        const QString id = QString::fromStdString(disc);
        QJsonArray releases;
        for (const QString& title : titles)
            releases.append(release(title, title, credit({{"Band", ""}}), "1999", "GB",
                                    {medium(1, id, {track(1, title + " One", 4000)})}));
        database.answers[Rip::TMusicBrainzLookup::UrlFor(database.Base(), disc).path()] = {
            200, answer(id, releases)};
    }
    // The drive thread has listed what it was asked to.
    void Settle() {
        ASSERT_TRUE(pumpUntil([&] { return listed->Idle(); }));
    }
    bool Answered() {
        return pumpUntil([&] { return view.Status() != "Looking Up Disc Online..."; });
    }

    TinyHttpServer database;
    RecordingServices services;
    RecordingListedDiscView view;
    ScriptedCDRip lib;
    CDRipIntf::TCDSession session;
    std::unique_ptr<TListedDisc> listed;
};

ScriptedDrive WithCdText(ScriptedDrive drive, const std::string& album) {
    drive.cdText = {{album, "Band", "", "", ""}, {"Opening", "", "", "", ""}};
    return drive;
}

}  // namespace

// A listed disc has its table, its CD-Text's names and its IDs; a read that fails leaves
// nothing of the disc before, and says so when asked.
TEST_F(ListedDiscTest, ListsTheDiscOrNothing) {
    Install({WithCdText(AudioDrive("A", {1000, 2000}), "Pressed")});
    QSignalSpy listings(listed.get(), &TListedDisc::Listed);
    listed->Load();
    Settle();
    ASSERT_TRUE(listed->Loaded());
    EXPECT_EQ(listed->Disc().TrackCount, 2);
    EXPECT_EQ(listed->Disc().Entry(2).Length, session.Disc().Entry(2).Length);
    EXPECT_TRUE(listed->Ids().Valid);
    EXPECT_EQ(listed->Names().Album, "Pressed");
    EXPECT_EQ(listed->Names().Title(1), "Opening");
    EXPECT_TRUE(listed->Ready());
    EXPECT_EQ(listed->DiscTypeMessage(), "An Audio Disc is Loaded in (1st) Drive.");
    EXPECT_GE(listings.count(), 1);

    lib.Active().readTocResult = 1;
    listed->Load();
    Settle();
    EXPECT_FALSE(listed->Loaded());
    EXPECT_EQ(listed->Disc().TrackCount, 0);
    EXPECT_TRUE(listed->Names().Empty());
    EXPECT_FALSE(listed->Ready());
    EXPECT_EQ(view.Status(), "Error : No Disc Information Available.");
    listed->LookUp();
    EXPECT_TRUE(database.asked.isEmpty());

    // The next arrival lists it.
    lib.Active().readTocResult = 0;
    listed->Arrive();
    Settle();
    EXPECT_EQ(view.said.last(1), QStringList({"Media is Loaded."}));
    EXPECT_TRUE(listed->Loaded());
}

// Names found online stay with the disc while it stays, across listings of another drive
// and through a batch; its removal forgets them and its answer, the other disc keeps its.
TEST_F(ListedDiscTest, FoundNamesStayWithTheDiscUntilItGoes) {
    Install({AudioDrive("A", {1000, 2000}), WithCdText(AudioDrive("B", {500}), "Other")});
    listed->Load();
    Settle();
    Answer({"First Pressing", "Reissue"});
    services.choiceAnswer = 1;
    view.batchRunning = true;
    QSignalSpy named(listed.get(), &TListedDisc::NamesChanged);
    listed->LookUp();
    ASSERT_TRUE(pumpUntil([&] { return database.asked.size() == 1 && !services.asked.isEmpty(); }));
    EXPECT_EQ(services.asked.size(), 1);
    EXPECT_EQ(services.asked[0],
              "Look Up Disc Online: This disc is part of several releases. "
              "Choose yours: [Band – First Pressing (1999, GB, CD) | "
              "Band – Reissue (1999, GB, CD)]");
    // The batch holds the names back, until it ends.
    EXPECT_TRUE(listed->Names().Empty());
    EXPECT_EQ(named.count(), 0);
    view.batchRunning = false;
    listed->ShowWaitingNames();
    EXPECT_EQ(named.count(), 1);
    EXPECT_EQ(listed->Names().Album, "Reissue");

    listed->Relist(1);
    Settle();
    EXPECT_EQ(listed->Names().Album, "Other");
    listed->Relist(0);
    Settle();
    EXPECT_EQ(listed->Names().Title(1), "Reissue One");

    listed->Remove();
    EXPECT_EQ(view.Status(), "Media is Removed.");
    EXPECT_FALSE(listed->Loaded());
    listed->Arrive();
    Settle();
    EXPECT_TRUE(listed->Names().Empty());
    services.choiceAnswer.reset();
    listed->LookUp();
    ASSERT_TRUE(Answered());
    EXPECT_EQ(view.Status(), "Online Look Up Canceled.");
    EXPECT_EQ(database.asked.size(), 2);

    listed->Relist(1);
    Settle();
    EXPECT_EQ(listed->Names().Album, "Other");
}

// An answer for a disc no longer listed is dropped; the status line says so only while it
// still says the lookup is out.
TEST_F(ListedDiscTest, AnAnswerForADiscNoLongerListedIsDropped) {
    Install({AudioDrive("A", {1000, 2000}), WithCdText(AudioDrive("B", {500}), "Other")});
    listed->Load();
    Settle();
    Answer({"Found"});
    listed->LookUp();
    listed->Relist(1);
    Settle();
    ASSERT_TRUE(Answered());
    EXPECT_EQ(view.Status(), "Online Look Up Dropped - the disc is no longer listed.");
    EXPECT_EQ(listed->Names().Album, "Other");

    // The disc's removal said something newer, which stays.
    listed->LookUp();
    ASSERT_EQ(view.Status(), "Looking Up Disc Online...");
    listed->Remove();
    const int said = view.StatusCount();
    ASSERT_TRUE(pumpUntil([&] { return database.asked.size() == 2; }));
    EXPECT_FALSE(pumpUntil([&] { return view.StatusCount() != said; }, 500));
    EXPECT_EQ(view.Status(), "Media is Removed.");
}
