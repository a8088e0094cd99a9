// Each of the program's libraries missing in turn. libcdrip3.so and libvorbisdll.so are
// loaded at run time, so the window runs without them and says so; libbladeenc.so is
// linked at load time, so without it the program does not start at all, and the loader
// says which library it missed instead of the program crashing.
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QComboBox>
#include <algorithm>
#include <fstream>

#include "EncodeBatch.h"
#include "WaveBatch.h"

#include "FaultSuite.h"

using namespace faultsuite;

namespace {

class MissingLibrary : public FaultSuite {};

TEST_F(MissingLibrary, WithoutTheCdLibraryEveryCommandAnswersAndNothingCrashes) {
    discPlan = testdisc::audioDisc({400, 300});
    cue = home_.file("disc.cue");
    testdisc::writeImage(discPlan, cue);
    StartOver(home_.file("nowhere/libcdrip3.so"), true);
    EXPECT_FALSE(session.Ready());
    EXPECT_EQ(form->Status(), "Sonvale is not Ready.");
    EXPECT_EQ(form->DriveSelBox->count(), 0);
    EXPECT_EQ(form->TrackList->count(), 0);

    form->XiButton1->click();
    Settle();
    EXPECT_EQ(form->Status(), "Disc is not Loaded in Active Drive.");
    form->btnOpenCD->click();
    form->btnCloseCD1->click();
    form->btnSave->click();
    EXPECT_EQ(form->Status(), "Sonvale is not Ready.");
    form->btnCancelCDRip->click();
    EXPECT_EQ(form->Status(), "CD/DVD-ROM is Not Ripping any Data.");
    services.shown.clear();
    form->btnPlay->click();
    EXPECT_EQ(services.shown, QStringList{"box:OK: Not an Audio CD."});
    for (Format f : {Format::Wav, Format::Mp3, Format::Ogg}) {
        ASSERT_TRUE(Rip(f));
        EXPECT_EQ(services.shown, QStringList{"information: Please select track(s) to Rip."});
    }
    // With a line to rip, the commands still refuse before touching the library.
    form->TrackList->addItem("a line with no disc behind it");
    form->TrackList->setCurrentRow(0);
    form->btnRip->click();
    EXPECT_EQ(form->Status(), "Sonvale is not ready.");
    form->btnMp3->click();
    EXPECT_EQ(form->Status(), "Error : No Disc in Drive.");
    EXPECT_FALSE(form->BatchRunning());
    EXPECT_TRUE(std::filesystem::is_empty(outDir_));
}

TEST_F(MissingLibrary, WithoutTheVorbisLibraryOnlyOggRefuses) {
    discPlan = testdisc::audioDisc({400, 300});
    cue = home_.file("disc.cue");
    toc = testdisc::writeImage(discPlan, cue);
    StartOver(kBin + "/libcdrip3.so", false);
    ASSERT_TRUE(form->DiscInfoLoaded());
    EXPECT_FALSE(encoders.VorbisLibraryReady());
    Select({1});
    ASSERT_TRUE(Rip(Format::Ogg));
    EXPECT_EQ(services.shown, QStringList{"box:OK: Vorbis.DLL is not Ready."});
    EXPECT_TRUE(form->TrackList->item(1)->isSelected());
    EXPECT_FALSE(std::filesystem::exists(OutFile(Format::Ogg, 2)));
    EXPECT_FALSE(form->BatchRunning());
    ExpectNextBatchWorks(Format::Mp3);
    ExpectNextBatchWorks(Format::Wav);
}

// The program unloads the CD library at its end, and tests load and unload it many times,
// while the drive model stays loaded. A media listener the library had registered stayed
// behind with its code unmapped: the next tray movement jumped into nothing.
TEST_F(MissingLibrary, AnUnloadedCdLibraryLeavesNoListenerBehind) {
    discPlan = testdisc::audioDisc({100});
    cue = home_.file("disc.cue");
    testdisc::writeImage(discPlan, cue);
    disctest::useDrives({cue});
    session.Initialize(kBin + "/libcdrip3.so");
    ASSERT_TRUE(session.Ready());
    // The program itself hears of trays through the device monitor: ask the library for
    // its listener directly.
    void* library = dlopen((kBin + "/libcdrip3.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(library, nullptr);
    const auto setMediaNotify =
        reinterpret_cast<decltype(&::CR_SetMediaNotify)>(dlsym(library, "CR_SetMediaNotify"));
    dlclose(library);  // the binding keeps its own reference
    ASSERT_NE(setMediaNotify, nullptr);
    static int heard = 0;
    heard = 0;
    setMediaNotify([](int32_t, int32_t, void*) { ++heard; }, nullptr);
    session.CR_EjectCD(1);
    session.CR_EjectCD(0);
    EXPECT_EQ(heard, 2);
    session.Finalize();
    svdrives::Drive* drive = svdrives::DriveModel::instance().drive(0);
    ASSERT_NE(drive, nullptr);
    drive->eject(true);
    drive->eject(false);
    EXPECT_EQ(heard, 2);
}

// Runs the program from a folder holding it and its libraries but libbladeenc.so.
TEST_F(MissingLibrary, WithoutTheMp3EncoderTheLoaderRefusesToStartTheProgram) {
    const std::filesystem::path bin(kBin);
    const std::filesystem::path lone = home_.path() / "lone";
    std::filesystem::create_directories(lone);
    ASSERT_TRUE(std::filesystem::exists(bin / "sonvale"));
    // A program built here also searches the build's folder for its libraries; the copy
    // is made to search its own folder only, as an installed one does.
    auto program = riptest::readFile((bin / "sonvale").string());
    const std::string runPath = "$ORIGIN:" + kBin;
    const auto at = std::search(program.begin(), program.end(), runPath.begin(), runPath.end());
    if (at != program.end()) std::fill(at + 9, at + long(runPath.size()), uint8_t('x'));
    {
        std::ofstream copy(lone / "sonvale", std::ios::binary);
        copy.write(reinterpret_cast<const char*>(program.data()), std::streamsize(program.size()));
    }
    std::filesystem::permissions(lone / "sonvale", std::filesystem::perms::owner_all);
    for (const auto& entry : std::filesystem::directory_iterator(bin)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 3 && name.compare(name.size() - 3, 3, ".so") == 0 &&
            name != "libbladeenc.so")
            std::filesystem::copy_file(entry.path(), lone / name);
    }
    const std::string errors = (home_.path() / "stderr.txt").string();
    const std::string command = "cd '" + lone.string() +
                                "' && env -u LD_LIBRARY_PATH -u LD_PRELOAD "
                                "QT_QPA_PLATFORM=offscreen timeout 10 ./sonvale 2>'" +
                                errors + "' >/dev/null";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << "the program was killed by a signal";
    // 127: the loader gave up before the program ran (124 would be a hang under timeout).
    EXPECT_EQ(WEXITSTATUS(status), 127);
    const auto text = riptest::readFile(errors);
    const std::string message(text.begin(), text.end());
    EXPECT_NE(message.find("libbladeenc.so"), std::string::npos) << message;
    EXPECT_NE(message.find("cannot open shared object file"), std::string::npos) << message;
}

}  // namespace
