// The names a batch gives its files: cut to what the folder's file system takes, made safe
// for FAT, and never the same for two tracks of one batch.
#include <gtest/gtest.h>

#include "FileNames.h"

using namespace Rip;

namespace {
const TFolderRules kLinux{255, false};
const TFolderRules kFat{255, true};

qsizetype bytes(const QString& s) {
    return s.toUtf8().size();
}
}  // namespace

TEST(FileNames, LongNamesAreCutAtACharacterTheNameFirst) {
    // 60 characters of a 3-byte script each: 365 bytes joined.
    const QString album(60, QChar(0x97F3));
    const QString title(60, QChar(0x697D));
    EXPECT_EQ(FitFileName("Live", "Track 1", ".wav", kLinux), "Live Track 1.wav");
    const QString cut = FitFileName(album, title, ".ogg", kLinux);
    EXPECT_LE(bytes(cut), 255);
    EXPECT_GT(bytes(cut), 255 - 3);
    EXPECT_TRUE(cut.startsWith(album + ' ' + title.left(1)));
    EXPECT_TRUE(cut.endsWith(".ogg"));
    EXPECT_TRUE(QString::fromUtf8(cut.toUtf8()) == cut);  // no character split

    // A smaller limit (an encrypted home) takes all of the name, then some of the album.
    const TFolderRules small{143, false};
    const QString tight = FitFileName(album, title, ".ogg", small);
    EXPECT_LE(bytes(tight), 143);
    EXPECT_EQ(tight, album.left(46) + ".ogg");
    // An accent stays with its letter; the blank a cut would end on goes.
    const QString accented = QString("ab e") + QChar(0x0301) + "f";
    EXPECT_EQ(FitFileName("x", accented, ".log", {11, false}), "x ab.log");
    EXPECT_EQ(FitFileName("x", accented, ".log", {12, false}),
              QString("x ab e") + QChar(0x0301) + ".log");

    // The report and other album files: an empty album is not a hidden ".log".
    EXPECT_EQ(AlbumFileName("", ".log", kLinux), "Untitled Album.log");
    EXPECT_LE(bytes(AlbumFileName(album + album, ".log", small)), 143);

    // FAT refuses some characters outright, and counts UTF-16 units as well.
    EXPECT_EQ(FitFileName("AC:DC", "Who? <Me> \"|*\\", ".mp3", kFat), "AC-DC Who- -Me- ----.mp3");
    EXPECT_EQ(FitFileName("AC:DC", "Who?", ".mp3", kLinux), "AC:DC Who?.mp3");
    const QString wide(200, QChar(0x00E9));
    EXPECT_EQ(FitFileName(wide, wide, ".wav", {1530, true}).size(), 255);
}

TEST(FileNames, ABatchNeverWritesOneFileTwice) {
    TBatchFileNames names;
    EXPECT_EQ(names.Take("/out", "Live", "Untitled", ".ogg", 1), "Live Untitled.ogg");
    EXPECT_EQ(names.Take("/out", "Live", "Song", ".ogg", 2), "Live Song.ogg");
    EXPECT_EQ(names.Take("/out", "Live", "Untitled", ".ogg", 3), "Live Untitled (3).ogg");
    // A title that holds the suffix already, and another folder, which is free.
    EXPECT_EQ(names.Take("/out", "Live", "Untitled (3)", ".ogg", 4), "Live Untitled (3) (4).ogg");
    EXPECT_EQ(names.Take("/out", "Live", "Untitled", ".ogg", 5), "Live Untitled (5).ogg");
    EXPECT_EQ(names.Take("/out", "Live", "Untitled", ".ogg", 5), "Live Untitled (5-2).ogg");
    EXPECT_EQ(names.Take("/other", "Live", "Untitled", ".ogg", 6), "Live Untitled.ogg");
    // Another case is another name on this folder's file system.
    EXPECT_EQ(names.Take("/out", "Live", "untitled", ".ogg", 7), "Live untitled.ogg");

    // Long names are cut first, and the suffix is made room for.
    const QString album(60, QChar(0x97F3));
    const QString title(60, QChar(0x697D));
    const QString first = names.Take("/out", album, title, ".wav", 1);
    const QString second = names.Take("/out", album, title + "x", ".wav", 2);
    EXPECT_NE(first, second);
    EXPECT_TRUE(second.endsWith(" (2).wav"));
    EXPECT_LE(bytes(second), 255);

    // On FAT two names that differ only in case are one file.
    TBatchFileNames onStick([](const QString&) { return kFat; });
    EXPECT_EQ(onStick.Take("/stick", "Live", "Intro", ".mp3", 1), "Live Intro.mp3");
    EXPECT_EQ(onStick.Take("/stick", "Live", "INTRO", ".mp3", 2), "Live INTRO (2).mp3");
    EXPECT_EQ(onStick.Take("/stick", "Live", "A:B", ".mp3", 3), "Live A-B.mp3");
    EXPECT_EQ(onStick.Take("/stick", "Live", "A-B", ".mp3", 4), "Live A-B (4).mp3");
}
