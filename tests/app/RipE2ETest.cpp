// The rip buttons of the window over the real library: the launcher thread hands the batch
// to the window's thread, which rips while it keeps handling events.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <tuple>

#include "CDRipTest.h"
#include "CDSession.h"
#include "DirectoryEdit.h"
#include "DiscIds.h"
#include "FakeRipControl.h"
#include "FlacOpusCheck.h"
#include "HeldRip.h"
#include "MusicBrainzAnswers.h"
#include "RealWindowFixture.h"
#include "RecordingServices.h"
#include "ReferenceSums.h"
#include "SmallTmpfs.h"
#include "TestImage.h"
#include "TinyHttpServer.h"
#include "discfixture.h"
#include "drivemodel.h"
#include "oggcheck.h"
#include "testdisc.h"

#include <libcue.h>

using namespace CDRipIntf;

namespace {
// Presses a button (Exit unless told otherwise) as soon as the window shows a track's first
// progress, or once a given line has been ripped and deselected. The batches' pauses are
// recorded, and last a tenth of their time.
class ExitDuringRipForm : public TCDRipTestForm {
public:
    ExitDuringRipForm(TUiServices& services, CDRipIntf::TCDSession& session,
                      Rip::TEncoders& encoders, TProgramOptions& options)
        : TCDRipTestForm(services, session, encoders, options) {
        MakeRipControl = FakeRipControls(200, &pauses);
    }
    void SetStatus(const QString& text) override {
        statuses << text;
        TCDRipTestForm::SetStatus(text);
    }
    void SetProgress(int position) override {
        TCDRipTestForm::SetProgress(position);
        if (afterLine < 0 && position > 0) press();
    }
    void DeselectTrackLine(int line) override {
        TCDRipTestForm::DeselectTrackLine(line);
        if (line == afterLine) press();
    }
    void press() {
        if (!exitOnChunk || pressed) return;
        pressed = true;
        (button ? button : static_cast<QAbstractButton*>(btnClose))->click();
    }
    std::vector<int> pauses;
    QStringList statuses;
    bool exitOnChunk = false;
    int afterLine = -1;
    QAbstractButton* button = nullptr;
    bool pressed = false;
};

class RipE2ETest : public RealWindowFixture<ExitDuringRipForm> {
protected:
    void SetUp() override {
        RealWindowFixture::SetUp();
        // At 8x a track takes most of a second: a click at its first progress comes while
        // it is still being read, however busy the machine.
        setenv("CDRIP3_FAULTS", "slow=600", 1);
        plan_ = Disc();
        const std::string cue = home_.file("disc.cue");
        testdisc::writeImage(plan_, cue);
        std::filesystem::create_directories(home_.file("out"));
        LoadLibrary({cue});
        if (HasFatalFailure()) return;
        // The window's AccurateRip lookups go to the test's server, which knows no disc
        // unless told.
        qputenv("SONVALE_ACCURATERIP_URL", database.Base().toUtf8());
        qputenv("SONVALE_MUSICBRAINZ_URL", database.Base().toUtf8());
        qputenv("SONVALE_COVERART_URL", database.Base().toUtf8());
        Show();
        form->DirectoryEdit1->setText(QString::fromStdString(home_.file("out")));
        form->edtAlbumName->setText("Live");
    }
    void TearDown() override {
        RealWindowFixture::TearDown();
        unsetenv("CDRIP3_FAULTS");
    }
    virtual testdisc::DiscPlan Disc() const { return testdisc::audioDisc({400, 300, 500}); }
    // Several lines selected, the last of them current.
    void SelectLines(std::initializer_list<int> lines) {
        if (!form->chkMulSel->isChecked()) form->chkMulSel->click();
        form->TrackList->clearSelection();
        for (int line : lines) form->TrackList->item(line)->setSelected(true);
        form->TrackList->setCurrentRow(*(lines.end() - 1), QItemSelectionModel::Select);
    }
    // Runs the event loop until the status line says `text` (the batch's last word).
    bool WaitForStatus(const QString& text) {
        return pumpUntil([&] { return form->Status() == text && !form->BatchRunning(); }, 20000);
    }
    // The window closed by Exit or its close button: its batch ended with the running track
    // first, then the settings were saved.
    void ExpectClosedAfterTheBatch() {
        ASSERT_TRUE(pumpUntil([&] { return form->Closed(); }));
        EXPECT_TRUE(form->pressed);
        EXPECT_FALSE(form->isVisible());
        EXPECT_FALSE(form->BatchRunning());
        const auto cancelled = form->statuses.lastIndexOf("Ripping and Encoding Canceled.");
        EXPECT_GE(cancelled, 0);
        EXPECT_EQ(cancelled, form->statuses.size() - 2);
        EXPECT_TRUE(form->Status().startsWith("Saved CD/DVD-ROM Settings!"));
    }
    std::vector<uint8_t> WavData(const std::string& name) {
        std::ifstream in(home_.file("out/" + name), std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
        return bytes.size() < 44 ? std::vector<uint8_t>{}
                                 : std::vector<uint8_t>(bytes.begin() + 44, bytes.end());
    }

    // The audio of track index n as the image holds it.
    std::vector<uint8_t> TrackAudio(int n) {
        const auto t = testdisc::expectedToc(plan_).tracks.at(size_t(n - 1));
        return testdisc::rangeBytes(plan_, t.startSector, t.startSector + t.sectors - 1);
    }
    // The names database finds the disc in release r1, with the tracks' titles, and the cover
    // server has image for it (none when empty): looked up, the window holds the cover, or
    // has said why it has none.
    void FindCover(const QByteArray& image, const QStringList& titles) {
        const QString disc = QString::fromStdString(DiscIdsOf(session.Disc()).MusicBrainz);
        using namespace mbanswers;
        QJsonArray tracks;
        for (int i = 0; i < titles.size(); ++i) tracks.append(track(i + 1, titles[i], 5000));
        database
            .answers[Rip::TMusicBrainzLookup::UrlFor(database.Base(), disc.toStdString()).path()] =
            {200, answer(disc, {release("r1", "Songs", credit({{"Band", ""}}), "1999", "GB",
                                        {medium(1, disc, tracks)})})};
        if (image.isEmpty())
            database.answers.erase("/db/release/r1/front-500");
        else
            database.answers["/db/release/r1/front-500"] = {200, image};
        const int asked = database.asked.count("/db/release/r1/front-500");
        form->LookUpDisc1->trigger();
        ASSERT_TRUE(pumpUntil([&] {
            return image.isEmpty() ? database.asked.count("/db/release/r1/front-500") > asked &&
                                         form->Status().contains("Cover Art")
                                   : !form->Listed().CoverArt().Empty();
        })) << form->Status().toStdString();
    }
    // The report's text once it holds `sections` batches.
    QString Report(int sections) {
        QString text;
        pumpUntil([&] {
            QFile file(QString::fromStdString(home_.file("out/Live.log")));
            text = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
            return text.count("==== Sonvale ") >= sections;
        });
        return text;
    }

    testdisc::DiscPlan plan_;
    TinyHttpServer database;
};
}  // namespace

TEST_F(RipE2ETest, RipToWaveWritesTheSelectedTracks) {
    SelectLines({0, 2});
    form->btnRip->click();
    ASSERT_TRUE(WaitForStatus("Ripping Completed.")) << form->Status().toStdString();

    const auto toc = testdisc::expectedToc(plan_);
    EXPECT_TRUE(WavData("Live Track 1.wav") == testdisc::rangeBytes(plan_, 0, 399));
    EXPECT_TRUE(WavData("Live Track 3.wav") ==
                testdisc::rangeBytes(plan_, toc.tracks[2].startSector, toc.leadOut - 1));
    EXPECT_FALSE(std::filesystem::exists(home_.file("out/Live Track 2.wav")));
    // Two of three tracks are not the disc: no cue sheet claims them to be.
    EXPECT_FALSE(std::filesystem::exists(home_.file("out/Live.cue")));
    EXPECT_TRUE(form->TrackList->selectedItems().isEmpty());
    EXPECT_EQ(form->edtRecName->text(), "Track 3");
    EXPECT_EQ(form->pauses, std::vector<int>({2000, 2000}));  // the pause after each track
    EXPECT_EQ(services.flashes, 1);
}

TEST_F(RipE2ETest, ExitDuringARipCancelsItSavesAndCloses) {
    form->exitOnChunk = true;
    form->btnRip->click();
    ASSERT_TRUE(pumpUntil([&] { return form->pressed && !form->isVisible(); }));
    ExpectClosedAfterTheBatch();
    EXPECT_TRUE(std::filesystem::exists(home_.file("config/Tolvane.ini")));
    // The partial file is a WAV whose size fields match its bytes.
    const auto size = std::filesystem::file_size(home_.file("out/Live Track 1.wav"));
    std::ifstream in(home_.file("out/Live Track 1.wav"), std::ios::binary);
    uint8_t header[44];
    in.read(reinterpret_cast<char*>(header), 44);
    auto le32 = [&](int at) {
        return uint32_t(header[at]) | uint32_t(header[at + 1]) << 8 |
               uint32_t(header[at + 2]) << 16 | uint32_t(header[at + 3]) << 24;
    };
    EXPECT_EQ(le32(4), size - 8);
    EXPECT_EQ(le32(40), size - 44);
    EXPECT_LT(size, 44u + 400u * 2352u);
}

TEST_F(RipE2ETest, RipButtonsWantASelectedCurrentLine) {
    form->TrackList->clearSelection();
    form->btnRip->click();
    form->btnMp3->click();
    form->btnOgg->click();
    EXPECT_EQ(services.shown, QStringList(3, "information: Please select track(s) to Rip."));
}

TEST_F(RipE2ETest, Mp3AndOggButtonsEncodeTheSelectedTracks) {
    SelectLines({1, 2});
    form->btnMp3->click();
    ASSERT_TRUE(WaitForStatus("Ripping and Encoding Completed."))
        << form->Status().toStdString() << " / " << services.shown.join("; ").toStdString();
    EXPECT_GT(std::filesystem::file_size(home_.file("out/Live Track 2.mp3")), 1000u);
    EXPECT_GT(std::filesystem::file_size(home_.file("out/Live Track 3.mp3")), 1000u);
    EXPECT_TRUE(form->TrackList->selectedItems().isEmpty());

    form->TrackList->item(0)->setSelected(true);
    form->TrackList->setCurrentRow(0, QItemSelectionModel::Select);
    form->SetStatus("");  // the next batch ends with the same words
    form->btnOgg->click();
    ASSERT_TRUE(WaitForStatus("Ripping and Encoding Completed."))
        << form->Status().toStdString() << " / " << services.shown.join("; ").toStdString();
    EXPECT_GT(std::filesystem::file_size(home_.file("out/Live Track 1.ogg")), 1000u);
    EXPECT_EQ(form->edtRecName->text(), "Track 1");
}

// Exit and the window's close button alike end a batch of either kind with the running
// track, and so does Exit pressed between two tracks: nothing rips on unseen.
TEST_F(RipE2ETest, ClosingTheWindowEndsTheBatchWithTheRunningTrack) {
    struct Case {
        const char* name;
        bool mp3;
        bool closeButton;
        int afterLine;  // -1: mid-track
    };
    for (const Case& c :
         {Case{"Exit, MP3", true, false, -1}, Case{"close button, MP3", true, true, -1},
          Case{"close button, Wave", false, true, -1},
          Case{"Exit between Wave tracks", false, false, 0}}) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(home_.file("out"));
        std::filesystem::create_directories(home_.file("out"));
        form = std::make_unique<ExitDuringRipForm>(services, session, encoders, Options());
        form->show();
        Settle();
        form->DirectoryEdit1->setText(QString::fromStdString(home_.file("out")));
        form->edtAlbumName->setText("Live");
        form->chkMulSel->click();
        form->SelectAll1Click();
        form->TrackList->setCurrentRow(0, QItemSelectionModel::Select);
        form->exitOnChunk = true;
        form->afterLine = c.afterLine;
        if (c.closeButton) form->button = form->dxToolButton2;
        (c.mp3 ? form->btnMp3 : form->btnRip)->click();
        ASSERT_TRUE(pumpUntil([&] { return form->pressed && !form->isVisible(); }));
        ExpectClosedAfterTheBatch();
        const std::string ext = c.mp3 ? ".mp3" : ".wav";
        EXPECT_TRUE(std::filesystem::exists(home_.file("out/Live Track 1" + ext)));
        EXPECT_FALSE(std::filesystem::exists(home_.file("out/Live Track 2" + ext)));
        EXPECT_FALSE(std::filesystem::exists(home_.file("out/Live Track 3" + ext)));
        if (c.afterLine == 0) {
            EXPECT_TRUE(WavData("Live Track 1.wav") == testdisc::rangeBytes(plan_, 0, 399));
        }
    }
}

// Select All, then back to single selection: one line stays, and its file holds its own
// track's audio, not every selected track's in turn.
TEST_F(RipE2ETest, BackToOneLineRipsOneTrackIntoItsFile) {
    form->chkMulSel->click();
    form->SelectAll1Click();
    form->TrackList->setCurrentRow(1, QItemSelectionModel::NoUpdate);
    form->chkMulSel->click();
    EXPECT_EQ(form->edtRecName->text(), "Track 2");
    form->btnRip->click();
    ASSERT_TRUE(WaitForStatus("Ripping Completed.")) << form->Status().toStdString();
    const auto toc = testdisc::expectedToc(plan_);
    EXPECT_TRUE(WavData("Live Track 2.wav") == testdisc::rangeBytes(plan_,
                                                                    toc.tracks[1].startSector,
                                                                    toc.tracks[2].startSector - 1));
    // One audio file, beside the report.
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(home_.file("out")))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, std::vector<std::string>({"Live Track 2.wav", "Live.log"}));
    EXPECT_EQ(form->pauses, std::vector<int>({2000}));  // one track, one pause
}

// A drive that stops answering inside a read: Cancel and Exit end the track at once, not
// when the drive gives up, and the file holds what was read before.
TEST_F(RipE2ETest, CancelAndExitEndAStalledRead) {
    for (const bool exit : {false, true}) {
        SCOPED_TRACE(exit ? "Exit" : "Cancel");
        std::filesystem::remove_all(home_.file("out"));
        std::filesystem::create_directories(home_.file("out"));
        setenv("CDRIP3_FAULTS", "stall=100:60000", 1);
        form = std::make_unique<ExitDuringRipForm>(services, session, encoders, Options());
        form->show();
        Settle();
        form->DirectoryEdit1->setText(QString::fromStdString(home_.file("out")));
        form->edtAlbumName->setText("Live");
        form->btnRip->click();
        ASSERT_TRUE(pumpUntil([&] { return form->Progress() > 0; }));
        QElapsedTimer stalled;
        stalled.start();
        while (stalled.elapsed() < 300) QCoreApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        (exit ? static_cast<QAbstractButton*>(form->btnClose) : form->btnCancelCDRip)->click();
        ASSERT_TRUE(pumpUntil([&] { return !form->BatchRunning(); }));
        // Far sooner than the drive would give up, a minute on.
        EXPECT_LT(timer.elapsed(), 10000);
        EXPECT_TRUE(form->statuses.contains("Ripping and Encoding Canceled."));
        EXPECT_EQ(form->isVisible(), !exit);
        const auto audio = WavData("Live Track 1.wav");
        EXPECT_EQ(audio.size(), 100u * 2352u);
        EXPECT_TRUE(audio == testdisc::rangeBytes(plan_, 0, 99));
    }
}

TEST_F(RipE2ETest, EachBatchAppendsItsReportAndSaysWhatTheDatabaseFound) {
    const TDiscIds ids = DiscIdsOf(form->Session().Disc());
    ASSERT_TRUE(ids.Valid);
    const testsums::Sums one = testsums::OfTrack(TrackAudio(1), true, false);
    const testsums::Sums two = testsums::OfTrack(TrackAudio(2), false, false);
    const testsums::Sums three = testsums::OfTrack(TrackAudio(3), false, true);
    // This pressing agrees on track 1 (by v1) and 2 (by v2) but not on 3; a pressing filed
    // under other ids, which has track 3 right, does not count.
    const auto block = [](std::vector<uint32_t> head,
                          std::vector<std::pair<int, uint32_t>> tracks) {
        QByteArray b(1, char(tracks.size()));
        const auto put = [&b](uint32_t v) {
            for (int k = 0; k < 4; ++k) b.append(char(uint8_t(v >> (8 * k))));
        };
        for (uint32_t v : head) put(v);
        for (auto [confidence, sum] : tracks) {
            b.append(char(confidence));
            put(sum);
            put(0);
        }
        return b;
    };
    TinyHttpServer::Answer found;
    found.status = 200;
    found.body = block({ids.AccurateRipId1, ids.AccurateRipId2, ids.CddbId},
                       {{7, one.v1}, {4, two.v2}, {3, ~three.v2}}) +
                 block({ids.AccurateRipId1, ids.AccurateRipId2 + 1, ids.CddbId},
                       {{9, one.v1}, {9, two.v2}, {9, three.v2}});
    database.answers[Rip::TAccurateRipLookup::UrlFor(database.Base(), ids).path()] = found;

    SelectLines({0, 2});
    form->btnRip->click();
    ASSERT_TRUE(WaitForStatus("AccurateRip: 1 of 2 track(s) accurately ripped."))
        << form->Status().toStdString();
    EXPECT_GE(form->statuses.indexOf("Ripping Completed."), 0);
    const QString first = Report(1);
    const auto hex = [](uint32_t v) { return QString::number(v, 16).rightJustified(8, '0'); };
    const auto line = [&](int n, const testsums::Sums& s, const QString& verdict) {
        return QString("Track %1: CRC32 %2, AccurateRip v1 %3 v2 %4, %5\n")
            .arg(n)
            .arg(hex(s.crc32), hex(s.v1), hex(s.v2), verdict);
    };
    for (const QString& expected :
         {QString("AccurateRip disc ID: %1\n").arg(QString::fromStdString(ids.AccurateRip)),
          QString("MusicBrainz disc ID: %1\n").arg(QString::fromStdString(ids.MusicBrainz)),
          QString("Read offset: 0 samples\n"), QString("Action: Rip to WAV\n"),
          QString("Track 1: ripped, file Live Track 1.wav\n"),
          line(1, one, "accurately ripped (confidence 7)"),
          line(3, three, "not accurate (1 results in the database)")})
        EXPECT_TRUE(first.contains(expected)) << expected.toStdString() << first.toStdString();
    EXPECT_FALSE(first.contains("Track 2:"));

    // Verifying track 2 reads it without a file, and adds a section after the first.
    SelectLines({1});
    form->Verify1->trigger();
    ASSERT_TRUE(WaitForStatus("AccurateRip: 1 of 1 track(s) accurately ripped."))
        << form->Status().toStdString();
    EXPECT_GE(form->statuses.indexOf("Verification Completed."), 0);
    const QString both = Report(2);
    EXPECT_TRUE(both.startsWith(first));
    EXPECT_TRUE(both.mid(first.size()).contains(line(2, two, "accurately ripped (confidence 4)")));
    EXPECT_TRUE(both.mid(first.size()).contains("Action: Verify\nDrive: "));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(home_.file("out/Live Track 2.wav"))));
    EXPECT_TRUE(form->TrackLineSelected(1));
    // Asked once for the disc.
    EXPECT_EQ(database.asked.count(Rip::TAccurateRipLookup::UrlFor(database.Base(), ids).path()),
              1);

    // A batch a jitter report stops after track 2 keeps its own last word, which the
    // database's word on the two tracks it read would hide; the report counts the third.
    setenv("CDRIP3_FAULTS", "slow=600;jitter=450", 1);
    SelectLines({0, 1, 2});
    form->btnRip->click();
    ASSERT_TRUE(WaitForStatus("Encountered Jitter error(s) during Ripping"))
        << form->Status().toStdString();
    EXPECT_TRUE(Report(3).contains(", 1 selected track(s) not read.\n"));
    EXPECT_EQ(form->Status(), "Encountered Jitter error(s) during Ripping");
}

TEST_F(RipE2ETest, ADiscTheDatabaseDoesNotKnowLeavesTheStatusAsItWas) {
    // A report that cannot be written is said, the files being whole.
    const std::string log = home_.file("out/Live.log");
    std::filesystem::create_directory(log);
    form->btnRip->click();
    ASSERT_TRUE(WaitForStatus("Error : Cannot write the rip report " + QString::fromStdString(log)))
        << form->Status().toStdString();
    EXPECT_EQ(WavData("Live Track 1.wav").size(), 400u * 2352);
    std::filesystem::remove(log);

    // With the drive's read offset, the file and its sums are of the audio 6 samples on.
    ASSERT_EQ(form->Session().CR_SetReadOffset(6), 0);
    form->TrackList->item(0)->setSelected(true);
    form->btnRip->click();
    ASSERT_TRUE(WaitForStatus("Ripping Completed.")) << form->Status().toStdString();
    const QString report = Report(1);
    const std::vector<uint8_t> disc = testdisc::rangeBytes(plan_, 0, 400);
    const std::vector<uint8_t> audio(disc.begin() + 24, disc.begin() + 24 + 400 * 2352);
    EXPECT_TRUE(WavData("Live Track 1.wav") == audio);
    EXPECT_TRUE(report.contains("\nRead offset: 6 samples\nRead offset from: the user\n"));
    const testsums::Sums one = testsums::OfTrack(audio, true, false);
    EXPECT_TRUE(report.contains(
        QString("Track 1: CRC32 %1, AccurateRip v1 %2 v2 %3, disc not in database\n")
            .arg(one.crc32, 8, 16, QChar('0'))
            .arg(one.v1, 8, 16, QChar('0'))
            .arg(one.v2, 8, 16, QChar('0'))))
        << report.toStdString();
    EXPECT_EQ(form->Status(), "Ripping Completed.");
}

// The names database: a failed lookup says so and changes nothing; a found disc in two
// releases asks which, and the titles of the one picked name the tracks and their files.
TEST_F(RipE2ETest, LookedUpTitlesNameTheRippedFiles) {
    const QString disc = QString::fromStdString(DiscIdsOf(session.Disc()).MusicBrainz);
    const QString path =
        Rip::TMusicBrainzLookup::UrlFor(database.Base(), disc.toStdString()).path();
    const auto lookUp = [&](const QString& prefix) {
        form->LookUpDisc1->trigger();
        EXPECT_EQ(form->Status(), "Looking Up Disc Online...");
        return pumpUntil([&] { return form->Status().startsWith(prefix); });
    };
    database.answers[path] = {503, {}};
    ASSERT_TRUE(lookUp("Online Look Up Failed"));
    EXPECT_EQ(form->Status(), "Online Look Up Failed - the database is busy, try again later.");
    EXPECT_EQ(form->edtArtistName->text(), "Artist Name");
    EXPECT_EQ(form->edtRecName->text(), "Track 1");

    using namespace mbanswers;
    // Track 3 has an artist of its own, which its tags take over the disc's.
    const auto tracks = [](const QString& first) {
        return QJsonArray{track(1, first, 5333), track(2, "Second", 4000),
                          track(3, "Third", 6666, credit({{"Other Singer", ""}}))};
    };
    database.answers[path] = {
        200, answer(disc, {release("r1", "Songs", credit({{"Band", ""}}), "1999", "GB",
                                   {medium(1, disc, tracks("Wrong"))}),
                           release("r2", "Songs", credit({{"Band", " & "}, {"Guest", ""}}), "2004",
                                   "XE", {medium(1, disc, tracks("Intro/Outro"))})})};
    services.choiceAnswer = 1;
    ASSERT_TRUE(lookUp("Disc Found Online"));
    EXPECT_EQ(services.asked.last(),
              "Look Up Disc Online: This disc is part of several releases. Choose yours: "
              "[Band \u2013 Songs (1999, GB, CD) | Band & Guest \u2013 Songs (2004, XE, CD)]");
    // The album was typed, so it stays; the artist edit held its default.
    EXPECT_EQ(form->edtAlbumName->text(), "Live");
    EXPECT_EQ(form->edtArtistName->text(), "Band & Guest");
    EXPECT_EQ(form->edtRecName->text(), "Intro-Outro");
    EXPECT_EQ(form->TrackList->item(2)->toolTip(), "Third");
    EXPECT_EQ(form->TrackList->item(0)->text(), " Track 1    =  00:05");

    SelectLines({0, 2});
    form->btnOgg->click();
    ASSERT_TRUE(WaitForStatus("Ripping and Encoding Completed."))
        << form->Status().toStdString() << " / " << services.shown.join("; ").toStdString();
    for (const auto& [file, title, artist] :
         {std::tuple<std::string, std::string, std::string>{"Live Intro-Outro.ogg", "Intro-Outro",
                                                            "Band & Guest"},
          {"Live Third.ogg", "Third", "Other Singer"}}) {
        std::ifstream in(home_.file("out/" + file), std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
        const oggcheck::Decoded d = oggcheck::decode(bytes, "names.ogg");
        ASSERT_TRUE(d.opened) << file;
        EXPECT_EQ(d.comments.find("TITLE")->second, title);
        EXPECT_EQ(d.comments.find("ARTIST")->second, artist);
    }
    EXPECT_FALSE(std::filesystem::exists(home_.file("out/Live Track 1.ogg")));
    EXPECT_EQ(database.asked.count(path), 2);
}

// Titles that repeat and names too long for the folder: every track of a batch gets a file
// of its own that the folder takes, the texts and the report name the files really written,
// and nothing that decides them can change while the batch runs.
TEST_F(RipE2ETest, EachTrackOfABatchGetsAFileOfItsOwn) {
    const QString disc = QString::fromStdString(DiscIdsOf(session.Disc()).MusicBrainz);
    const QString path =
        Rip::TMusicBrainzLookup::UrlFor(database.Base(), disc.toStdString()).path();
    // 60 characters of a 3-byte script each: 365 bytes as one file name.
    const QString album(60, QChar(0x97F3));
    const QString title(60, QChar(0x697D));
    using namespace mbanswers;
    database.answers[path] = {
        200, answer(disc, {release("r1", "Songs", credit({{"Band", ""}}), "1999", "GB",
                                   {medium(1, disc,
                                           {track(1, "Untitled", 5333), track(2, title, 4000),
                                            track(3, "Untitled", 6666)})})})};
    form->LookUpDisc1->trigger();
    ASSERT_TRUE(pumpUntil([&] { return form->Status().startsWith("Disc Found Online"); }));
    form->edtAlbumName->setText(album);

    SelectLines({0, 1, 2});
    form->btnRip->click();
    ASSERT_TRUE(form->BatchRunning());
    for (QWidget* w : std::initializer_list<QWidget*>{
             form->DirectoryEdit1, form->btnNewDir, form->edtAlbumName, form->edtArtistName,
             form->edtRecName, form->ComboBox1, form->chkMulSel, form->rdbMono, form->rdbStereo,
             form->rdbPC, form->rdbPLD})
        EXPECT_FALSE(w->isEnabled()) << w->metaObject()->className();
    form->chkMulSel->click();
    EXPECT_TRUE(form->chkMulSel->isChecked());
    ASSERT_TRUE(WaitForStatus("Ripping Completed.")) << form->Status().toStdString();
    // Back as they were: the edits "Rip Multiple Tracks" keeps disabled stay so.
    EXPECT_TRUE(form->edtAlbumName->isEnabled());
    EXPECT_TRUE(form->chkMulSel->isEnabled());
    EXPECT_TRUE(form->DirectoryEdit1->BrowseButton()->isEnabled());
    EXPECT_FALSE(form->edtRecName->isEnabled());

    const std::string first = (album + " Untitled.wav").toStdString();
    const std::string third = (album + " Untitled (3).wav").toStdString();
    EXPECT_TRUE(WavData(first) == TrackAudio(1));
    EXPECT_TRUE(WavData(third) == TrackAudio(3));
    std::string second;
    for (const auto& entry : std::filesystem::directory_iterator(home_.file("out")))
        if (entry.path().filename().string().find(title.left(1).toStdString() + ".wav") !=
            std::string::npos)
            second = entry.path().filename().string();
    EXPECT_LE(second.size(), 255u);
    EXPECT_TRUE(QString::fromStdString(second).startsWith(album + ' ' + title.left(20)));
    EXPECT_TRUE(WavData(second) == TrackAudio(2));
    EXPECT_TRUE(form->statuses.contains("Ripping Successfully Ended - Audio Data is Saved as " +
                                        QString::fromStdString(third) + " File."));
    QString report;
    ASSERT_TRUE(pumpUntil([&] {
        QFile file(QString::fromStdString(home_.file("out/")) + album + ".log");
        report = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
        return report.contains("Summary:");
    }));
    EXPECT_TRUE(report.contains("\nTrack 3: ripped, file " + QString::fromStdString(third) + "\n"));
    EXPECT_TRUE(
        report.contains("\nTrack 2: ripped, file " + QString::fromStdString(second) + "\n"));
}

// The pop-up's FLAC batch: each file decodes, by a decoder of its own, to the disc's audio bit
// for bit, passes the tool's test of its MD5 and carries the comments uncut, non-ASCII too;
// one cancelled mid-track still decodes, to the audio read until then.
TEST_F(RipE2ETest, RipToFlacKeepsTheDiscsAudioAndItsComments) {
    const QString album = QString::fromUtf8("Живой концерт – café");
    form->edtAlbumName->setText(album);
    SelectLines({0, 2});
    form->RipToFlac1->trigger();
    ASSERT_TRUE(WaitForStatus("Ripping and Encoding Completed."))
        << form->Status().toStdString() << " / " << services.shown.join("; ").toStdString();
    for (const int n : {1, 3}) {
        const std::string file =
            home_.file("out/" + (album + QStringLiteral(" Track %1.flac").arg(n)).toStdString());
        SCOPED_TRACE(file);
        const std::optional<QByteArray> audio = flaccheck::Audio(file);
        ASSERT_TRUE(audio);
        const std::vector<uint8_t> want = TrackAudio(n);
        EXPECT_TRUE(*audio ==
                    QByteArray(reinterpret_cast<const char*>(want.data()), qsizetype(want.size())));
        EXPECT_TRUE(flaccheck::Tests(file));
        const QString text = flaccheck::Tags(file);
        EXPECT_TRUE(text.contains("ALBUM=" + album + "\n")) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("TRACKNUMBER=%1\n").arg(n)));
        EXPECT_TRUE(text.contains("TRACKTOTAL=3\n"));
    }

    form->SetStatus("");
    SelectLines({2});
    form->RipToFlac1->trigger();
    ASSERT_TRUE(pumpUntil([&] { return form->Progress() > 20; }));
    form->btnCancelCDRip->click();
    ASSERT_TRUE(WaitForStatus("Ripping and Encoding Canceled."));
    const std::string file = home_.file("out/" + (album + " Track 3.flac").toStdString());
    const std::optional<QByteArray> audio = flaccheck::Audio(file);
    ASSERT_TRUE(audio);
    const std::vector<uint8_t> whole = TrackAudio(3);
    EXPECT_GT(audio->size(), 0);
    EXPECT_LT(size_t(audio->size()), whole.size());
    EXPECT_TRUE(*audio == QByteArray(reinterpret_cast<const char*>(whole.data()), audio->size()));
    EXPECT_TRUE(flaccheck::Tests(file));
}

// Once the names database has named the release, its cover goes into the FLAC files of the
// batches after, as their front cover, and beside their report.
TEST_F(RipE2ETest, TheReleasesCoverGoesIntoTheFilesAndBesideTheReport) {
    // None at first: said after the names, which stay.
    FindCover(QByteArray(), {"One", "Two", "Three"});
    EXPECT_TRUE(form->Status().startsWith("Disc Found Online: "));
    EXPECT_TRUE(form->Status().endsWith(". No Cover Art for this Release."));
    EXPECT_EQ(form->edtRecName->text(), "One");

    const QByteArray png = TestImage("PNG");
    FindCover(png, {"One", "Two", "Three"});
    if (HasFatalFailure()) return;

    SelectLines({0});
    form->RipToFlac1->trigger();
    ASSERT_TRUE(WaitForStatus("Ripping and Encoding Completed.")) << form->Status().toStdString();
    const std::string file = home_.file("out/Live One.flac");
    EXPECT_TRUE(flaccheck::Tool("metaflac",
                                {"--export-picture-to=-", QString::fromStdString(file)}) == png);
    EXPECT_TRUE(flaccheck::Tests(file));
    QFile saved(QString::fromStdString(home_.file("out/Live.png")));
    ASSERT_TRUE(pumpUntil([&] { return saved.exists(); }));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll() == png);
}

// A cover with no room for it on the disk: the file keeps its audio whole, untagged, and
// the track is said not ripped, rather than cut short by its tags and said done.
TEST_F(RipE2ETest, TagsThatDoNotFitLeaveTheFileWholeAndAreSaid) {
    SelectLines({0});
    form->RipToFlac1->trigger();
    ASSERT_TRUE(WaitForStatus("Ripping and Encoding Completed.")) << form->Status().toStdString();
    // Room for the file and its report, not for the file again with the cover in it.
    sonvaletest::SmallTmpfs disk(std::filesystem::file_size(home_.file("out/Live Track 1.flac")) +
                                 256 * 1024);
    if (!disk.Mounted()) GTEST_SKIP() << "this process may not mount a small file system";
    QImage noise(600, 600, QImage::Format_RGB32);
    std::mt19937 random(1);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x) noise.setPixel(x, y, random());
    QByteArray cover;
    QBuffer buffer(&cover);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly) && noise.save(&buffer, "PNG"));
    ASSERT_GT(cover.size(), 512 * 1024);
    FindCover(cover, {"One", "Two", "Three"});
    if (HasFatalFailure()) return;

    const QString folder = QString::fromStdString(disk.path());
    form->DirectoryEdit1->setText(folder);
    SelectLines({0});
    form->RipToFlac1->trigger();
    ASSERT_TRUE(WaitForStatus("Error : Cannot write the cover art " + folder + "/Live.png"))
        << form->Status().toStdString();
    EXPECT_TRUE(
        form->statuses.contains("Error : Cannot write the tags of " + folder + "/Live One.flac"))
        << form->statuses.join("\n").toStdString();
    EXPECT_TRUE(form->statuses.contains(
        "Ripping and Encoding Ended with Errors - 1 of 1 Track(s) not Ripped."));
    const std::string file = disk.file("Live One.flac");
    EXPECT_TRUE(flaccheck::Tests(file));
    const std::optional<QByteArray> audio = flaccheck::Audio(file);
    const std::vector<uint8_t> want = TrackAudio(1);
    EXPECT_TRUE(audio && *audio == QByteArray(reinterpret_cast<const char*>(want.data()),
                                              qsizetype(want.size())));
    // All or nothing: not the gain without the cover, and nothing half written left beside.
    EXPECT_FALSE(flaccheck::Tags(file).contains("REPLAYGAIN"));
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(disk.path()))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"Live One.flac", "Live.log"}));
    form->DirectoryEdit1->setText(QString::fromStdString(home_.file("out")));
}

// The pop-up's Opus batch: each file has its track's length to the millisecond, the channels
// and bit rate the radio buttons chose, and the comments uncut; one cancelled mid-track
// still plays, the audio read until then.
TEST_F(RipE2ETest, RipToOpusKeepsTheTracksLengthAndComments) {
    const QString album = QString::fromUtf8("Живой концерт – café");
    form->edtAlbumName->setText(album);
    const auto path = [&](int n) {
        return home_.file("out/" + (album + QStringLiteral(" Track %1.opus").arg(n)).toStdString());
    };
    const auto seconds = [&](int n) { return double(TrackAudio(n).size() / 4) / 44100; };
    SelectLines({0, 2});
    form->RipToOpus1->trigger();
    ASSERT_TRUE(WaitForStatus("Ripping and Encoding Completed."))
        << form->Status().toStdString() << " / " << services.shown.join("; ").toStdString();
    for (const int n : {1, 3}) {
        SCOPED_TRACE(n);
        const opuscheck::Decoded d = opuscheck::decode(path(n));
        ASSERT_TRUE(d.opened);
        EXPECT_EQ(d.channels, 2);
        EXPECT_NEAR(d.seconds(), seconds(n), 0.001);
        EXPECT_EQ(d.tags.at("ALBUM"), album.toStdString());
        EXPECT_EQ(d.tags.at("TRACKNUMBER"), std::to_string(n));
        EXPECT_EQ(d.tags.at("TRACKTOTAL"), "3");
    }
    const auto stereoBytes = std::filesystem::file_size(path(1));

    form->rdbMono->click();
    form->rdbPLD->click();
    SelectLines({0});
    form->RipToOpus1->trigger();
    ASSERT_TRUE(WaitForStatus("Ripping and Encoding Completed."));
    const opuscheck::Decoded mono = opuscheck::decode(path(1));
    ASSERT_TRUE(mono.opened);
    EXPECT_EQ(mono.channels, 1);
    EXPECT_NEAR(mono.seconds(), seconds(1), 0.001);
    // 96 kbit/s against 160.
    EXPECT_LT(std::filesystem::file_size(path(1)), stereoBytes * 3 / 4);

    form->SetStatus("");
    SelectLines({2});
    form->RipToOpus1->trigger();
    ASSERT_TRUE(pumpUntil([&] { return form->Progress() > 20; }));
    form->btnCancelCDRip->click();
    ASSERT_TRUE(WaitForStatus("Ripping and Encoding Canceled."));
    const opuscheck::Decoded cut = opuscheck::decode(path(3));
    ASSERT_TRUE(cut.opened);
    EXPECT_GT(cut.seconds(), 0.1);
    EXPECT_LT(cut.seconds(), seconds(3) - 0.1);
}

// A WAV batch of the whole disc leaves a cue sheet beside its report that libcue reads as the
// disc's tracks over the files, and that the program's own image drive plays back as the
// disc: the same table, the same audio.
TEST_F(RipE2ETest, AWholeDiscRipLeavesACueSheetThatIsTheDiscAgain) {
    form->edtArtistName->setText(QString::fromUtf8("Band \"Ω\""));
    SelectLines({0, 1, 2});
    form->btnRip->click();
    ASSERT_TRUE(WaitForStatus("Ripping Completed.")) << form->Status().toStdString();
    const std::string sheet = home_.file("out/Live.cue");
    ASSERT_TRUE(pumpUntil([&] { return std::filesystem::exists(sheet); }));
    QFile file(QString::fromStdString(sheet));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("PERFORMER \"Band 'Ω'\"\n")) << text.toStdString();

    Cd* cd = cue_parse_string(text.constData());
    ASSERT_NE(cd, nullptr);
    EXPECT_EQ(cd_get_ntrack(cd), 3);
    for (int n = 1; n <= cd_get_ntrack(cd); ++n) {
        Track* track = cd_get_track(cd, n);
        EXPECT_STREQ(track_get_filename(track),
                     ("Live Track " + std::to_string(n) + ".wav").c_str());
        EXPECT_EQ(track_get_start(track), 0);
    }
    cd_delete(cd);

    svdrives::DriveModel& drives = svdrives::DriveModel::instance();
    drives.setConfiguredImages({sheet});
    svdrives::Drive* drive = nullptr;
    for (int i = 0; i < drives.count(); ++i)
        if (drives.drive(i)->name() == "Image: Live.cue") drive = drives.drive(i);
    ASSERT_NE(drive, nullptr);
    svdrives::Toc toc;
    ASSERT_TRUE(drive->readToc(&toc));
    const testdisc::ExpectedDisc disc = testdisc::expectedToc(plan_);
    ASSERT_EQ(toc.tracks.size(), disc.tracks.size());
    for (size_t i = 0; i < toc.tracks.size(); ++i)
        EXPECT_EQ(toc.tracks[i].startSector, disc.tracks[i].startSector);
    EXPECT_EQ(toc.leadOut, disc.leadOut);
    const auto reader = drive->openReader(0, toc.leadOut - 1, svdrives::ReadSettings{});
    ASSERT_TRUE(reader);
    std::vector<uint8_t> audio(size_t(toc.leadOut) * testdisc::kSectorBytes);
    for (int at = 0, sectors = 1; at < int(toc.leadOut) && sectors > 0; at += sectors)
        ASSERT_EQ(reader->read(audio.data() + size_t(at) * testdisc::kSectorBytes,
                               int(toc.leadOut) - at, &sectors),
                  svdrives::ReadResult::Ok);
    EXPECT_EQ(reader->nextSector(), toc.leadOut);
    EXPECT_TRUE(audio == testdisc::rangeBytes(plan_, 0, toc.leadOut - 1));
}

namespace {
// Two tracks 12 dB apart, to be told apart by their gains.
class TagsE2ETest : public RipE2ETest {
protected:
    testdisc::DiscPlan Disc() const override {
        testdisc::DiscPlan plan = testdisc::audioDisc({600, 600});
        plan.tracks[1].levelQ15 = 4096;
        return plan;
    }
    std::vector<std::string> Files(const std::string& extension) {
        return {home_.file("out/Live Track 1" + extension),
                home_.file("out/Live Track 2" + extension)};
    }
    static std::vector<uint8_t> Bytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), {});
    }
    void RipBoth(const std::function<void()>& command) {
        SelectLines({0, 1});
        command();
        ASSERT_TRUE(WaitForStatus("Ripping and Encoding Completed."))
            << form->Status().toStdString() << " / " << services.shown.join("; ").toStdString();
    }
};
double decibels(const QString& text) {
    return text.split(' ').value(0).toDouble();
}
}  // namespace

// FLAC files carry each track's and the album's ReplayGain and peak as loudgain measures
// them, Opus files the same gains in R128's form and reference, without peaks, and the
// release's cover once one was found.
TEST_F(TagsE2ETest, FlacAndOpusFilesCarryTheGainsLoudgainMeasures) {
    RipBoth([&] { form->RipToFlac1->trigger(); });
    const std::vector<std::string> flac = Files(".flac");
    const std::vector<gaincheck::Gain> reference = gaincheck::Loudgain(flac);
    ASSERT_EQ(reference.size(), 3u);
    EXPECT_GT(reference[0].gain - reference[1].gain, -13.0);
    EXPECT_LT(reference[0].gain - reference[1].gain, -11.0);
    const double peaks[] = {gaincheck::SamplePeak(flac[0]), gaincheck::SamplePeak(flac[1])};
    for (size_t i = 0; i < flac.size(); ++i) {
        SCOPED_TRACE(flac[i]);
        const QString tags = flaccheck::Tags(flac[i]);
        EXPECT_NEAR(decibels(gaincheck::Field(tags, "REPLAYGAIN_TRACK_GAIN")), reference[i].gain,
                    0.1);
        EXPECT_NEAR(decibels(gaincheck::Field(tags, "REPLAYGAIN_ALBUM_GAIN")), reference[2].gain,
                    0.1);
        // Sample peaks: loudgain's are true peaks, which ring above them where a track's
        // tone stops short at its end.
        EXPECT_NEAR(gaincheck::Field(tags, "REPLAYGAIN_TRACK_PEAK").toDouble(), peaks[i], 0.0001);
        EXPECT_NEAR(gaincheck::Field(tags, "REPLAYGAIN_ALBUM_PEAK").toDouble(),
                    std::max(peaks[0], peaks[1]), 0.0001);
        EXPECT_TRUE(flaccheck::Tests(flac[i]));
    }

    // With a cover now, which the Opus files carry as a picture comment.
    FindCover(TestImage("JPEG"), {"Track 1", "Track 2"});
    if (HasFatalFailure()) return;
    RipBoth([&] { form->RipToOpus1->trigger(); });
    const std::vector<std::string> opus = Files(".opus");
    const std::vector<gaincheck::Gain> decoded = gaincheck::Loudgain(opus);
    ASSERT_EQ(decoded.size(), 3u);
    for (size_t i = 0; i < opus.size(); ++i) {
        SCOPED_TRACE(opus[i]);
        const opuscheck::Decoded d = opuscheck::decode(opus[i]);
        ASSERT_TRUE(d.opened);
        // R128 gains are Q7.8 dB to -23 LUFS, which loudgain takes as the Opus files'
        // reference too: 5 dB below ReplayGain's.
        EXPECT_NEAR(std::stoi(d.tags.at("R128_TRACK_GAIN")) / 256.0, decoded[i].gain, 0.1);
        EXPECT_NEAR(std::stoi(d.tags.at("R128_ALBUM_GAIN")) / 256.0, decoded[2].gain, 0.1);
        EXPECT_NEAR(decoded[i].gain, reference[i].gain - 5, 0.3);
        EXPECT_EQ(d.tags.count("REPLAYGAIN_TRACK_PEAK"), 0u);
        EXPECT_EQ(d.tags.at("TRACKNUMBER"), std::to_string(i + 1));
        EXPECT_EQ(d.tags.count("METADATA_BLOCK_PICTURE"), 1u);
    }
}

// With Full Tags off the MP3 files have no tag and the Ogg files no gain or cover, as before;
// on, the MP3 files get an ID3v2.4 tag with the texts, gains and cover, the Ogg files the
// gains and the cover.
TEST_F(TagsE2ETest, FullTagsTagMp3AndOggFilesOnlyWhenOn) {
    // A cover found changes nothing of them either.
    FindCover(TestImage("PNG"), {"Track 1", "Track 2"});
    if (HasFatalFailure()) return;
    ASSERT_FALSE(form->FullTags1->isChecked());
    RipBoth([&] { form->btnMp3->click(); });
    EXPECT_EQ(mp3tags::Read(Files(".mp3")[0]), "");
    const std::vector<uint8_t> plainMp3 = Bytes(Files(".mp3")[1]);
    RipBoth([&] { form->btnOgg->click(); });
    const auto plain = oggcheck::decode(Bytes(Files(".ogg")[0]), "plain.ogg");
    ASSERT_TRUE(plain.opened);
    EXPECT_EQ(plain.comments.count("REPLAYGAIN_TRACK_GAIN"), 0u);
    EXPECT_EQ(plain.comments.count("METADATA_BLOCK_PICTURE"), 0u);

    form->FullTags1->trigger();
    EXPECT_TRUE(form->FullTags1->isChecked());
    EXPECT_TRUE(TProgramOptions(Options().Path()).FullTags());
    RipBoth([&] { form->btnMp3->click(); });
    const QString tags = mp3tags::Read(Files(".mp3")[1]);
    for (const char* frame :
         {"version=2.4", "TALB=Live", "TRCK=2/2", "TIT2=Track 2",
          "TXXX:REPLAYGAIN_TRACK_GAIN=", "TXXX:REPLAYGAIN_ALBUM_PEAK=", "APIC:="})
        EXPECT_TRUE(tags.contains(frame)) << frame << " in " << tags.toStdString();
    EXPECT_FALSE(tags.contains("TXXX:ENCODER")) << tags.toStdString();
    // The tag in front is all that Full Tags adds: the encoder's bytes stay as they were.
    const std::vector<uint8_t> taggedMp3 = Bytes(Files(".mp3")[1]);
    ASSERT_GT(taggedMp3.size(), 10u);
    ASSERT_EQ(std::string(taggedMp3.begin(), taggedMp3.begin() + 3), "ID3");
    size_t tagEnd = 10;  // the header, then a syncsafe size without it (no footer)
    for (int i = 6; i < 10; ++i) tagEnd += size_t(taggedMp3[size_t(i)] & 0x7f) << (7 * (9 - i));
    ASSERT_LT(tagEnd, taggedMp3.size());
    EXPECT_TRUE(std::equal(taggedMp3.begin() + long(tagEnd), taggedMp3.end(), plainMp3.begin(),
                           plainMp3.end()));
    RipBoth([&] { form->btnOgg->click(); });
    const auto tagged = oggcheck::decode(Bytes(Files(".ogg")[1]), "tagged.ogg");
    ASSERT_TRUE(tagged.opened);
    EXPECT_EQ(tagged.comments.count("REPLAYGAIN_TRACK_GAIN"), 1u);
    EXPECT_EQ(tagged.comments.count("REPLAYGAIN_ALBUM_GAIN"), 1u);
    EXPECT_EQ(tagged.comments.count("METADATA_BLOCK_PICTURE"), 1u);
    EXPECT_EQ(tagged.comments.find("ALBUM")->second, "Live");
}
