// AccurateRip's list of drive offsets: the reader of its file, the entry a drive gets, and
// the list fetched from a server of the test's own, kept in a cache folder for 30 days.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <chrono>
#include <filesystem>

#include "DriveOffsetList.h"
#include "DriveOffsetRecords.h"
#include "PumpUntil.h"
#include "TempDir.h"
#include "TinyHttpServer.h"

using driveOffsets::Record;

namespace {

std::string bytes(const QByteArray& b) {
    return b.toStdString();
}

TEST(DriveOffsets, EachDriveGetsItsMostSubmittedEntryBlanksAndCaseAside) {
    const QByteArray file =
        Record(48, "HL-DT-ST - DVDRAM GH24NSB0", 5) + Record(6, "hl-dt-st - dvdram gh24nsb0  ", 9) +
        Record(-12, "HL-DT-ST - DVDRAM GH24NSB0", 9) + Record(-1164, "- NOVENDOR X", 200) +
        Record(102, "IMAGE - a - b.cue", 1) + Record(667, "PLEXTOR - CD-R PX-W4824A", 255);
    const auto entries = Rip::ParseDriveOffsets(bytes(file));
    ASSERT_TRUE(entries.has_value());
    ASSERT_EQ(entries->size(), 6u);
    EXPECT_EQ((*entries)[3].Offset, -1164);
    EXPECT_EQ((*entries)[3].Vendor, "");
    EXPECT_EQ((*entries)[3].Model, "NOVENDOR X");
    EXPECT_EQ((*entries)[3].Submissions, 200);
    EXPECT_EQ((*entries)[4].Vendor, "IMAGE");
    EXPECT_EQ((*entries)[4].Model, "a - b.cue");

    // Of three entries for one drive, the first of the two most submitted.
    EXPECT_EQ(Rip::FindDriveOffset(*entries, "HL-DT-ST", "DVDRAM GH24NSB0"), 6);
    EXPECT_EQ(Rip::FindDriveOffset(*entries, " hl-dt-st ", "Dvdram Gh24nsb0 "), 6);
    EXPECT_EQ(Rip::FindDriveOffset(*entries, "", "novendor x"), -1164);
    EXPECT_EQ(Rip::FindDriveOffset(*entries, "PLEXTOR", "CD-R PX-W4824A"), 667);
    EXPECT_EQ(Rip::FindDriveOffset(*entries, "IMAGE", "a - b.cue"), 102);
    // A model of another vendor, or a model's prefix, is another drive.
    EXPECT_EQ(Rip::FindDriveOffset(*entries, "TSSTcorp", "DVDRAM GH24NSB0"), std::nullopt);
    EXPECT_EQ(Rip::FindDriveOffset(*entries, "PLEXTOR", "CD-R"), std::nullopt);

    // A file that is not whole entries is refused whole.
    for (const QByteArray& bad : {QByteArray(), file.left(68), file + 'x', file.left(69 * 5 + 1)})
        EXPECT_FALSE(Rip::ParseDriveOffsets(bytes(bad)).has_value()) << bad.size();
}

class DriveOffsetListTest : public ::testing::Test {
protected:
    QString Cache() const {
        return QString::fromStdString(dir_.file("cache/Sonvale/DriveOffsets.bin"));
    }
    // Wants the list of a fresh object, as a new start of the program does; true when it
    // came, with its entries in entries.
    bool Want(int timeoutMs = 10000) {
        Rip::TDriveOffsetList list(server.Base(), Cache(), timeoutMs);
        QSignalSpy ready(&list, &Rip::TDriveOffsetList::Ready);
        QSignalSpy failed(&list, &Rip::TDriveOffsetList::Failed);
        list.Want();
        EXPECT_TRUE(pumpUntil([&] { return ready.count() + failed.count() > 0; }, 20000));
        entries = list.Entries();
        failure = list.Failure();
        EXPECT_EQ(ready.count() + failed.count(), 1);
        return ready.count() == 1 && list.Available();
    }
    void Serve(const QByteArray& body, int status = 200) {
        server.answers["/db/DriveOffsets.bin"] = {status, body, false};
    }
    void AgeCache(int days) {
        const auto when =
            std::filesystem::file_time_type::clock::now() - std::chrono::hours(24 * days);
        std::filesystem::last_write_time(Cache().toStdString(), when);
    }

    sonvaletest::TempDir dir_;
    TinyHttpServer server;
    std::vector<Rip::TDriveOffsetEntry> entries;
    QString failure;
};

TEST_F(DriveOffsetListTest, FetchedOnceAndReadFromTheCacheFor30Days) {
    EXPECT_EQ(Rip::TDriveOffsetList::UrlFor("http://h/a/").toString(),
              "http://h/a/DriveOffsets.bin");
    const QByteArray first = Record(6, "IMAGE - one.cue", 1);
    Serve(first);
    ASSERT_TRUE(Want());
    ASSERT_EQ(entries.size(), 1u);
    QFile cached(Cache());
    ASSERT_TRUE(cached.open(QIODevice::ReadOnly));
    EXPECT_EQ(cached.readAll(), first);

    // Within 30 days the next start reads the cache, whatever the server has now.
    Serve(Record(30, "IMAGE - two.cue", 1));
    AgeCache(29);
    ASSERT_TRUE(Want());
    EXPECT_EQ(entries.at(0).Model, "one.cue");
    EXPECT_EQ(server.asked.size(), 1);

    // After them it is fetched again, and the cache is the new list.
    AgeCache(31);
    ASSERT_TRUE(Want());
    EXPECT_EQ(entries.at(0).Model, "two.cue");
    EXPECT_EQ(server.asked.size(), 2);
    EXPECT_GT(QFileInfo(Cache()).lastModified(), QDateTime::currentDateTime().addDays(-1));
}

TEST_F(DriveOffsetListTest, AListThatCannotBeHadLeavesTheCacheAsItWas) {
    // None there: nothing is made.
    ASSERT_FALSE(Want());
    EXPECT_EQ(failure, "the database answered 404");
    EXPECT_FALSE(QFile::exists(Cache()));
    Serve(Record(6, "IMAGE - one.cue", 1) + "x");
    ASSERT_FALSE(Want());
    EXPECT_EQ(failure, "the list was not the database's");
    EXPECT_FALSE(QFile::exists(Cache()));

    // An old cache stays as it is when the new list cannot be had, from a server that
    // never answers too.
    const QByteArray old = Record(6, "IMAGE - one.cue", 1);
    Serve(old);
    ASSERT_TRUE(Want());
    AgeCache(40);
    server.answers["/db/DriveOffsets.bin"].hang = true;
    ASSERT_FALSE(Want(300));
    EXPECT_EQ(failure, "no answer in time");
    EXPECT_TRUE(entries.empty());
    QFile cached(Cache());
    ASSERT_TRUE(cached.open(QIODevice::ReadOnly));
    EXPECT_EQ(cached.readAll(), old);

    // A cache that is not the list is no list: it is fetched anew.
    std::filesystem::resize_file(Cache().toStdString(), 68);
    Serve(Record(-7, "IMAGE - two.cue", 2));
    ASSERT_TRUE(Want());
    EXPECT_EQ(entries.at(0).Offset, -7);
}

}  // namespace
