// Bad discs and bad disks: a BIN file cut short (before the disc is read, and while it is
// ripped), a cue sheet naming a BIN that is not there, a disc of 99 tracks, tracks shorter
// than a second, a full disk and a read-only output folder, in every output format.
#include <sys/mount.h>
#include <unistd.h>

#include <QAction>
#include <QComboBox>

#include "FaultSuite.h"

using namespace faultsuite;

namespace {

void truncateTo(const std::string& path, uint64_t bytes) {
    ASSERT_EQ(::truncate(path.c_str(), off_t(bytes)), 0) << path;
}

std::string binOf(const std::string& cue) {
    return cue.substr(0, cue.size() - 4) + ".bin";
}

QString DoneText(Format f) {
    return f == Format::Wav ? QStringLiteral("Ripping Completed.")
                            : QStringLiteral("Ripping and Encoding Completed.");
}

// A read-only folder for root too, for whom permissions are no obstacle: a tmpfs mounted
// read-only. Mounted() is false where the process may not mount.
class ReadOnlyFolder {
public:
    ReadOnlyFolder() {
        mounted_ = ::mount("tmpfs", dir_.path().c_str(), "tmpfs", MS_RDONLY | MS_NOSUID | MS_NODEV,
                           "size=64k") == 0;
    }
    ~ReadOnlyFolder() {
        if (mounted_) ::umount2(dir_.path().c_str(), MNT_DETACH);
    }
    bool Mounted() const { return mounted_; }
    std::string path() const { return dir_.path().string(); }

private:
    riptest::TempDir dir_;
    bool mounted_ = false;
};

class DiscFaults : public FaultSuite, public ::testing::WithParamInterface<Format> {
protected:
    Format format() const { return GetParam(); }
    // What each rip command answers when no disc could be listed: the buttons want a
    // selected line before anything else.
    void ExpectRefusedForWantOfAList() {
        Select({});
        ASSERT_TRUE(Rip(format()));
        EXPECT_EQ(services.shown, QStringList{"information: Please select track(s) to Rip."});
        EXPECT_FALSE(form->BatchRunning());
        EXPECT_TRUE(std::filesystem::is_empty(outDir_));
    }
    // Puts a whole disc back: the sheet is read afresh when the tray closes.
    void ReinsertGoodDisc() {
        testdisc::writeImage(discPlan, cue);
        form->btnOpenCD->click();
        Settle();
        form->btnCloseCD1->click();
        Settle();
        ASSERT_TRUE(form->DiscInfoLoaded()) << form->Status().toStdString();
    }
};

TEST_P(DiscFaults, BinCutShortBeforeTheDiscIsReadListsNothing) {
    Start(testdisc::audioDisc({400, 300, 500}), "disc.cue",
          [](const std::string& cue) { truncateTo(binOf(cue), 500 * 2352); });
    EXPECT_FALSE(form->DiscInfoLoaded());
    EXPECT_EQ(form->TrackList->count(), 0);
    // An unreadable table leaves the disc type of no disc behind it.
    EXPECT_EQ(form->Status(), "Found 1 CD/DVD-ROM Drive(s), A Data Disc is Loaded in (1st) Drive.");
    ExpectRefusedForWantOfAList();
    ReinsertGoodDisc();
    ExpectNextBatchWorks(format());
}

TEST_P(DiscFaults, BinCutShortDuringTheRipEndsTheTrackWhereTheBytesEnd) {
    Start(testdisc::audioDisc({400, 300, 500}));
    ASSERT_TRUE(form->DiscInfoLoaded());
    truncateTo(binOf(cue), 200 * 2352);
    Select({0});
    ASSERT_TRUE(Rip(format())) << "the batch hangs";
    // Every sector the file still holds is in the output, also those of the chunk it
    // could not fill.
    const size_t kept = 200;
    if (format() == Format::Wav) {
        EXPECT_EQ(form->Status(), "Encountered error(s) during Ripping");
    } else {
        EXPECT_EQ(services.shown, QStringList{"box:OK: Error : CR_RipChunk"});
        EXPECT_EQ(form->Status(),
                  "Ripping and Encoding Ended with Errors - 1 of 1 Track(s) not Ripped.");
    }
    ExpectPlayable(format(), 1, kept);
    ReinsertGoodDisc();
    ExpectNextBatchWorks(format());
}

TEST_P(DiscFaults, SheetNamingAMissingBinListsNothing) {
    Start(testdisc::audioDisc({400, 300, 500}), "disc.cue",
          [](const std::string& cue) { std::filesystem::remove(binOf(cue)); });
    EXPECT_FALSE(form->DiscInfoLoaded());
    EXPECT_EQ(form->TrackList->count(), 0);
    EXPECT_EQ(form->DriveSelBox->count(), 1);
    ExpectRefusedForWantOfAList();
    // Get Disc Info on the broken disc changes nothing and says what the disc type is.
    form->XiButton1->click();
    EXPECT_EQ(form->TrackList->count(), 0);
    ReinsertGoodDisc();
    ExpectNextBatchWorks(format());
}

TEST_P(DiscFaults, NinetyNineTracks) {
    Start(testdisc::audioDisc(std::vector<uint32_t>(99, 80)));
    ASSERT_EQ(form->TrackList->count(), 99);
    EXPECT_EQ(form->TrackList->item(98)->text(), " Track 99  =  00:01");
    if (format() == Format::Wav) {
        form->SelectAll1->trigger();
        form->TrackList->setCurrentRow(98, QItemSelectionModel::Select);
    } else {
        Select({0, 49, 98});
    }
    ASSERT_TRUE(Rip(format(), 120000));
    EXPECT_EQ(form->Status(), DoneText(format()));
    EXPECT_TRUE(services.shown.isEmpty()) << services.shown.join("; ").toStdString();
    EXPECT_TRUE(form->TrackList->selectedItems().isEmpty());
    if (format() == Format::Wav) {
        for (int n = 1; n <= 99; ++n) ExpectPlayable(format(), n, 80);
    } else {
        for (int n : {1, 50, 99}) ExpectPlayable(format(), n, 80);
    }
}

TEST_P(DiscFaults, TracksShorterThanOneSecond) {
    Start(testdisc::audioDisc({1, 10, 74, 75, 300}));
    ASSERT_EQ(form->TrackList->count(), 5);
    EXPECT_EQ(form->TrackList->item(0)->text(), " Track 1    =  00:00");
    Select({0, 1, 2, 3, 4});
    ASSERT_TRUE(Rip(format()));
    EXPECT_EQ(form->Status(), DoneText(format()));
    EXPECT_TRUE(services.shown.isEmpty()) << services.shown.join("; ").toStdString();
    const size_t lengths[] = {1, 10, 74, 75, 300};
    for (int n = 1; n <= 5; ++n) ExpectPlayable(format(), n, lengths[n - 1]);
}

// The disk's faults, in the pop-up's formats too.
using DiskFaults = DiscFaults;

TEST_P(DiskFaults, AFullDiskKeepsWhatFitAndSaysSo) {
    // Smaller than any of the three files of the track.
    riptest::SmallTmpfs disk(32 * 1024);
    if (!disk.Mounted()) GTEST_SKIP() << "this process may not mount a small file system";
    Start(testdisc::audioDisc({400, 300, 500}));
    const QString folder = QString::fromStdString(disk.path());
    form->DirectoryEdit1->setText(folder);
    Select({0});
    ASSERT_TRUE(Rip(format())) << "the batch hangs";
    EXPECT_FALSE(form->BatchRunning());
    // The report does not fit either: that is said last, and no empty report is left.
    EXPECT_TRUE(WaitForStatus("Error : Cannot write the rip report " + folder + "/Live.log"))
        << form->Status().toStdString();
    EXPECT_FALSE(std::filesystem::exists(disk.path() + "/Live.log"));
    const std::string path = disk.path() + "/Live Track 1" + extension(format());
    ASSERT_TRUE(std::filesystem::exists(path));
    const auto bytes = riptest::readFile(path);
    if (format() == Format::Wav) {
        EXPECT_TRUE(form->statuses.contains("Error : Write error (disk full?) " + folder +
                                            "/Live Track 1.wav"));
        EXPECT_TRUE(services.shown.isEmpty());
        // What fit is a WAV file whose sizes say so, and it is the track's start.
        riptest::expectValidWav(bytes);
        const SoxInfo info = soxi(path);
        ASSERT_TRUE(info.read);
        EXPECT_EQ(info.samples, (long long)(bytes.size() - 44) / 4);
        EXPECT_GT(bytes.size(), 16u * 1024);
        const auto audio = riptest::audioOf(bytes);
        const auto track = TrackBytes(1, 400);
        EXPECT_TRUE(std::equal(audio.begin(), audio.end(), track.begin()));
    } else {
        ASSERT_EQ(services.shown.size(), 1);
        EXPECT_TRUE(services.shown[0] == "error: Write Error" ||
                    services.shown[0] == "error: Write error")
            << services.shown[0].toStdString();
        EXPECT_TRUE(form->statuses.contains(
            "Ripping and Encoding Ended with Errors - 1 of 1 Track(s) not Ripped."));
        EXPECT_GT(bytes.size(), 16u * 1024);
        if (format() == Format::Mp3) {
            // Whole frames up to the last one that fit: a player plays them.
            const auto d = mp3check::decode(bytes, "full.mp3");
            EXPECT_EQ(d.channels, 2);
            EXPECT_GT(d.frames(), size_t(tonesignal::kRate / 2));
        } else if (format() == Format::Ogg) {
            // The pages that fit, without the stream's end: a player plays them.
            const auto d = oggcheck::decode(bytes, "full.ogg");
            EXPECT_TRUE(d.opened);
            EXPECT_EQ(d.channels, 2);
            EXPECT_GT(d.frames(), size_t(tonesignal::kRate / 2));
        } else if (format() == Format::Opus) {
            const auto d = opuscheck::decode(path);
            EXPECT_TRUE(d.opened);
            EXPECT_EQ(d.channels, 2);
            EXPECT_GT(d.seconds(), 0.5);
        }
    }
    form->DirectoryEdit1->setText(QString::fromStdString(outDir_));
    ExpectNextBatchWorks(format());
}

TEST_P(DiskFaults, AReadOnlyFolderIsNamedAndNothingStaysRunning) {
    ReadOnlyFolder folder;
    if (!folder.Mounted()) GTEST_SKIP() << "this process may not mount a read-only file system";
    Start(testdisc::audioDisc({400, 300, 500}));
    const QString dir = QString::fromStdString(folder.path());
    form->DirectoryEdit1->setText(dir);
    Select({0});
    ASSERT_TRUE(Rip(format())) << "the batch hangs";
    const QString refused = "Error : Cannot create file " + dir + "/Live Track 1" +
                            QString::fromStdString(extension(format()));
    EXPECT_TRUE(form->statuses.contains(refused)) << form->statuses.join("\n").toStdString();
    // Neither can the report be: said last, as the proof of the batch is lost with it.
    EXPECT_TRUE(WaitForStatus("Error : Cannot write the rip report " + dir + "/Live.log"))
        << form->Status().toStdString();
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
    EXPECT_FALSE(form->BatchRunning());
    form->DirectoryEdit1->setText(QString::fromStdString(outDir_));
    ExpectNextBatchWorks(format());
}

INSTANTIATE_TEST_SUITE_P(Formats, DiscFaults,
                         ::testing::Values(Format::Wav, Format::Mp3, Format::Ogg),
                         [](const auto& info) { return formatName(info.param); });
INSTANTIATE_TEST_SUITE_P(Formats, DiskFaults,
                         ::testing::Values(Format::Wav, Format::Mp3, Format::Ogg, Format::Flac,
                                           Format::Opus),
                         [](const auto& info) { return formatName(info.param); });

}  // namespace
