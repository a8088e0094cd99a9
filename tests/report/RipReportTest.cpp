// What the report says of each track, however it ended and whatever the database answered,
// and that a report is only ever added to.
#include <gtest/gtest.h>

#include <QFile>

#include "CueSheet.h"
#include "RipReport.h"
#include "SmallTmpfs.h"
#include "TempDir.h"

using namespace Rip;

namespace {

// Three audio tracks and a data track.
TBatchRecord batchOfFourTracks() {
    TBatchRecord batch;
    batch.Disc.TrackCount = 4;
    for (int n = 1; n <= 4; ++n) {
        batch.Disc.Entry(n).Audio = n < 4 ? 1 : 0;
        batch.Disc.Entry(n).LengthSectors = 10;
    }
    batch.Ids.Valid = true;
    batch.Ids.AccurateRipId1 = 1;
    batch.Ids.AccurateRipId2 = 2;
    batch.Ids.CddbId = 3;
    using E = TTrackRecord::TEnd;
    for (auto [n, end, v2] : {std::tuple{1, E::Whole, 0x11u}, std::tuple{2, E::Whole, 0x99u},
                              std::tuple{3, E::Errors, 0x33u}, std::tuple{3, E::Cancelled, 0x33u},
                              std::tuple{4, E::NotAudio, 0u}}) {
        TTrackRecord t;
        t.Track = n;
        t.End = end;
        t.V2 = v2;
        batch.Tracks.push_back(t);
    }
    return batch;
}

QStringList verdicts(const TBatchRecord& batch, const TAccurateRipResult& database) {
    QStringList out;
    for (const TTrackRecord& t : batch.Tracks) out << VerdictOf(t, batch, database).Text;
    return out;
}

}  // namespace

TEST(RipReport, EachTracksVerdictAndTheStatusSummary) {
    const TBatchRecord batch = batchOfFourTracks();
    TAccurateRipResult found;
    found.Kind = TAccurateRipResult::TKind::Found;
    // Two pressings under the disc's ids agree on tracks 1 and 3; track 2 matches neither.
    found.Blocks = {{1, 2, 3, {{5, 0x11}, {2, 0x22}, {4, 0x33}}},
                    {1, 2, 3, {{8, 0x11}, {1, 0x23}, {4, 0x33}}}};
    EXPECT_EQ(
        verdicts(batch, found),
        QStringList({"accurately ripped (confidence 8)", "not accurate (2 results in the database)",
                     "not verifiable (ripped with errors)", "not checked (cancelled)",
                     "not checked (not an audio track)"}));
    // A track cut short by a cancel was not ripped; a batch cancelled keeps its word.
    EXPECT_EQ(AccurateRipSummary(batch, found), "AccurateRip: 1 of 3 track(s) accurately ripped.");
    TBatchRecord cancelled = batch;
    cancelled.Cancelled = true;
    EXPECT_TRUE(AccurateRipSummary(cancelled, found).isNull());

    TAccurateRipResult absent;
    absent.Kind = TAccurateRipResult::TKind::NotInDatabase;
    EXPECT_EQ(verdicts(batch, absent).mid(0, 3),
              QStringList({"disc not in database", "disc not in database",
                           "not verifiable (ripped with errors)"}));
    TAccurateRipResult unreachable;
    unreachable.Reason = "no answer within 10 s";
    EXPECT_EQ(verdicts(batch, unreachable)[0], "not checked (no answer within 10 s)");
    // Only results for the disc make a summary; the status line is otherwise left alone.
    EXPECT_TRUE(AccurateRipSummary(batch, absent).isNull());
    EXPECT_TRUE(AccurateRipSummary(batch, unreachable).isNull());

    const QString report = FormatRipReport(batch, found, "1.2.3", QDateTime::currentDateTime());
    EXPECT_TRUE(
        report.contains("\nTrack 2: CRC32 00000000, AccurateRip v1 00000000 v2 00000099, "
                        "not accurate (2 results in the database)\n"));
    // A data track has no sums to show and counts as not checked.
    EXPECT_TRUE(report.contains(
        "\nTrack 4: not an audio track\nTrack 4: not checked (not an audio track)\n"));
    EXPECT_TRUE(
        report.contains("Summary: 5 track(s), 1 accurately ripped, 1 not accurate, "
                        "2 not checked, 1 with errors.\n"));
}

TEST(RipReport, AnswersOfOtherDiscsARemovedDiscAndTracksNeverRead) {
    TBatchRecord batch = batchOfFourTracks();
    // Blocks filed under other ids only: the database does not know this disc.
    TAccurateRipResult others;
    others.Kind = TAccurateRipResult::TKind::Found;
    others.Blocks = {{1, 2, 4, {{5, 0x11}, {2, 0x99}, {4, 0x33}}}};
    EXPECT_EQ(verdicts(batch, others)[0], "disc not in database");
    EXPECT_TRUE(AccurateRipSummary(batch, others).isNull());
    QString report = FormatRipReport(batch, others, "1", QDateTime::currentDateTime());
    EXPECT_TRUE(report.contains("\nAccurateRip database: disc not in database\n"));
    EXPECT_FALSE(report.contains("results in the database"));

    // The disc went during track 3 of five selected: that track is not judged, and the two
    // never begun are counted.
    batch.Tracks.resize(2);
    TTrackSums half;
    half.Samples = 5 * 588;
    batch.Add(3, "Live Track 3.wav", TTrackRecord::TEnd::Failed, half, batch.Disc, true, true);
    batch.Selected = 5;
    EXPECT_EQ(batch.Tracks.back().End, TTrackRecord::TEnd::Removed);
    EXPECT_EQ(verdicts(batch, others)[2], "not checked (the disc was removed)");
    report = FormatRipReport(batch, others, "1", QDateTime::currentDateTime());
    EXPECT_TRUE(report.contains("\nTrack 3: disc removed, file Live Track 3.wav\n"));
    EXPECT_TRUE(
        report.contains("Summary: 3 track(s), 0 accurately ripped, 0 not accurate, "
                        "3 not checked, 0 with errors, 2 selected track(s) not read.\n"))
        << report.toStdString();
}

TEST(RipReport, ATrackCutShortWasCancelledOrLostAudio) {
    const TBatchRecord batch = batchOfFourTracks();
    // One sample short of the track's ten sectors.
    TTrackSums sums;
    sums.Samples = 10 * 588 - 1;
    using E = TTrackRecord::TEnd;
    for (auto [cancelled, said, expected] :
         {std::tuple{true, E::Whole, E::Cancelled}, std::tuple{false, E::Whole, E::Errors},
          std::tuple{false, E::Failed, E::Failed}}) {
        TTrackRecord t;
        t.Track = 2;
        t.End = said;
        t.Take(sums, batch.Disc, cancelled);
        EXPECT_EQ(t.End, expected);
    }
    sums.Samples += 1;
    TTrackRecord whole;
    whole.Track = 2;
    whole.End = E::Whole;
    whole.Take(sums, batch.Disc, true);
    EXPECT_EQ(whole.End, E::Whole);
}

TEST(RipReport, ReportsAreAddedNeverOverwritten) {
    sonvaletest::TempDir dir;
    const QString path = QString::fromStdString(dir.file("Album.log"));
    ASSERT_TRUE(AppendRipReport(path, "first\n"));
    ASSERT_TRUE(AppendRipReport(path, "zweite – ü\n"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()), "first\nzweite – ü\n");
    EXPECT_FALSE(AppendRipReport(QString::fromStdString(dir.file("no/such/dir/Album.log")), "x"));

    // A full folder takes no part of a section: the earlier one stays as it was, and a
    // report begun there is not left behind empty.
    sonvaletest::SmallTmpfs disk(8 * 1024);
    if (!disk.Mounted()) GTEST_SKIP() << "this process may not mount a small file system";
    const QString kept = QString::fromStdString(disk.file("Album.log"));
    ASSERT_TRUE(AppendRipReport(kept, "first\n"));
    const QString section(20000, QLatin1Char('x'));
    EXPECT_FALSE(AppendRipReport(kept, section));
    QFile again(kept);
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll(), "first\n");
    const QString fresh = QString::fromStdString(disk.file("Other.log"));
    EXPECT_FALSE(AppendRipReport(fresh, section));
    EXPECT_FALSE(QFile::exists(fresh));
}

TEST(RipReport, TwoReadsThatDifferOutweighTheDatabaseAndSuspiciousPositionsFollowTheTrack) {
    TBatchRecord batch = batchOfFourTracks();
    TAccurateRipResult found;
    found.Kind = TAccurateRipResult::TKind::Found;
    found.Blocks = {{1, 2, 3, {{5, 0x11}, {2, 0x22}, {4, 0x33}}}};
    batch.Tracks[0].Crc32 = 0xabc;
    batch.Tracks[0].Test = TTrackSums{0xabd, 0, 0, 5880};
    // 0:00:00, 1:02:03 (62 seconds and 3 frames), 12:00:74.
    batch.Tracks[0].Suspicious = {0, 62 * 75 + 3, 720 * 75 + 74};
    batch.Tracks[1].Test = TTrackSums{};            // agrees: both 0
    batch.Tracks[3].Test = TTrackSums{1, 0, 0, 0};  // a cancelled copy: nothing to compare
    // Track 1 matches the database, yet which of its two reads is the disc's is open.
    EXPECT_EQ(verdicts(batch, found)[0], "not verifiable (the test and copy reads differ)");
    EXPECT_EQ(verdicts(batch, found)[3], "not checked (cancelled)");
    EXPECT_EQ(AccurateRipSummary(batch, found), "AccurateRip: 0 of 3 track(s) accurately ripped.");
    const QString report = FormatRipReport(batch, found, "1.2.3", QDateTime::currentDateTime());
    EXPECT_TRUE(report.contains(
        "\nTrack 1: CRC32 00000abc, AccurateRip v1 00000000 v2 00000011, not verifiable (the "
        "test and copy reads differ)\n"
        "Track 1: test CRC32 00000abd, copy CRC32 00000abc, reads differ\n"
        "Track 1: suspicious position 0:00:00\n"
        "Track 1: suspicious position 1:02:03\n"
        "Track 1: suspicious position 12:00:74\n"
        "Track 2: "))
        << report.toStdString();
    EXPECT_TRUE(
        report.contains("\nTrack 2: test CRC32 00000000, copy CRC32 00000000, reads agree\n"));
    EXPECT_EQ(report.count("test CRC32"), 2) << report.toStdString();
    EXPECT_TRUE(
        report.contains(", 0 accurately ripped, 1 not accurate, 2 not checked, 2 with errors"))
        << report.toStdString();
}

// The sheet of a disc whose first track hides audio before it and whose last is data: the
// hidden audio is a gap of its length, the data track is left out, a quote in a name does
// not end it, and MP3 files are typed as such. A track not read to its end, or not at all,
// leaves the disc without a sheet.
TEST(CueSheet, DescribesTheFilesOfADiscRippedWhole) {
    TBatchRecord batch = batchOfFourTracks();
    batch.Ids.CddbId = 0x2a03e40b;
    batch.Ids.MusicBrainz = "6RZrgQm4RSPqTlm2yJw3a3THn7U-";
    batch.Album = QStringLiteral("Live \"Unplugged\"");
    batch.Artist = QStringLiteral("Band");
    batch.Titles = {"Intro", "Сон", "Track 3", ""};
    batch.Performers = {"", "Guest", "", ""};
    for (int n = 1; n <= 4; ++n) {
        batch.Disc.Entry(n).TrackNumber = uint8_t(n);
        batch.Disc.Entry(n).StartSector = 150 * 60 + 33 + uint32_t(n - 1) * 100;
    }
    for (TTrackRecord& t : batch.Tracks)
        if (t.End != TTrackRecord::TEnd::NotAudio)
            t.FileName = QStringLiteral("Live Track %1.mp3").arg(t.Track);
    EXPECT_EQ(FormatCueSheet(batch).toStdString(),
              "REM DISCID 2A03E40B\n"
              "REM MUSICBRAINZ_DISCID 6RZrgQm4RSPqTlm2yJw3a3THn7U-\n"
              "TITLE \"Live 'Unplugged'\"\n"
              "PERFORMER \"Band\"\n"
              "FILE \"Live Track 1.mp3\" MP3\n"
              "  TRACK 01 AUDIO\n"
              "    TITLE \"Intro\"\n"
              "    PERFORMER \"Band\"\n"
              "    PREGAP 02:00:33\n"
              "    INDEX 01 00:00:00\n"
              "FILE \"Live Track 2.mp3\" MP3\n"
              "  TRACK 02 AUDIO\n"
              "    TITLE \"Сон\"\n"
              "    PERFORMER \"Guest\"\n"
              "    INDEX 01 00:00:00\n"
              "FILE \"Live Track 3.mp3\" MP3\n"
              "  TRACK 03 AUDIO\n"
              "    TITLE \"Track 3\"\n"
              "    PERFORMER \"Band\"\n"
              "    INDEX 01 00:00:00\n");

    TBatchRecord cut = batch;
    cut.Tracks.erase(cut.Tracks.begin() + 2);  // track 3 now ends only cancelled
    EXPECT_TRUE(FormatCueSheet(cut).isNull());
    TBatchRecord part = batch;
    part.Tracks.erase(part.Tracks.begin());
    EXPECT_TRUE(FormatCueSheet(part).isNull());
}
