// The fault suite's stage: the main window over the real libcdrip3.so, libbladeenc.so and
// libvorbisdll.so, with a disc image in an image drive, the device monitor passing the
// image tray's notices to the window, and the rip commands given as the user gives them.
// Afterwards the output is read back from the outside: WAV files with soxi, MP3 files with
// libmpg123, Ogg Vorbis files with libvorbisfile, FLAC files with the flac tool and Opus
// files with libopusfile.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "CDRipTest.h"
#include "CDSession.h"
#include "DirectoryEdit.h"
#include "Encoders.h"
#include "FakeRipControl.h"
#include "FlacOpusCheck.h"
#include "PumpUntil.h"
#include "RecordingServices.h"
#include "RipTestSupport.h"
#include "ToneSignal.h"
#include "devicemonitor.h"
#include "discfixture.h"
#include "mp3check.h"
#include "oggcheck.h"
#include "testdisc.h"

namespace faultsuite {

const std::string kBin = SONVALE_BIN_DIR;

// The three buttons' formats, then the pop-up's.
enum class Format { Wav, Mp3, Ogg, Flac, Opus };

inline std::string formatName(Format f) {
    switch (f) {
        case Format::Wav:
            return "Wav";
        case Format::Mp3:
            return "Mp3";
        case Format::Ogg:
            return "Ogg";
        case Format::Flac:
            return "Flac";
        case Format::Opus:
            return "Opus";
    }
    return "?";
}
inline void PrintTo(Format f, std::ostream* os) {
    *os << formatName(f);
}
inline std::string extension(Format f) {
    std::string name = formatName(f);
    for (char& c : name) c = char(std::tolower(static_cast<unsigned char>(c)));
    return "." + name;
}

// The window with two things a user does at a moment of their choosing: press Cancel once
// the window shows a given share of the track ripped (or a given status), and read the
// status line's history.
// The pauses between tracks are short.
class FaultForm : public TCDRipTestForm {
public:
    FaultForm(TUiServices& services, CDRipIntf::TCDSession& session, Rip::TEncoders& encoders,
              TProgramOptions& options)
        : TCDRipTestForm(services, session, encoders, options) {
        MakeRipControl = FakeRipControls(20);
    }

    void SetStatus(const QString& text) override {
        statuses << text;
        TCDRipTestForm::SetStatus(text);
        if (!cancelAtStatus.isEmpty() && !cancelled && BatchRunning() &&
            text.startsWith(cancelAtStatus)) {
            cancelled = true;
            btnCancelCDRip->click();
        }
    }
    void SetProgress(int position) override {
        TCDRipTestForm::SetProgress(position);
        if (cancelAtPercent >= 0 && !cancelled && BatchRunning() && position >= cancelAtPercent) {
            cancelled = true;
            cancelledAtPercent = position;
            btnCancelCDRip->click();
        }
    }

    QStringList statuses;
    int cancelAtPercent = -1;  // -1: never
    QString cancelAtStatus;    // or at the first status line that starts so; empty: never
    bool cancelled = false;
    int cancelledAtPercent = -1;
};

// What a WAV file holds, as soxi reads it.
struct SoxInfo {
    bool read = false;
    long long samples = -1;  // per channel
    int channels = 0;
    long rate = 0;
};

inline std::string run(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[256];
        while (fgets(buf, sizeof buf, p)) out += buf;
        if (pclose(p) != 0) return {};
    }
    return out;
}

inline SoxInfo soxi(const std::string& path) {
    SoxInfo info;
    const std::string quoted = "'" + path + "'";
    const std::string samples = run("soxi -s " + quoted + " 2>/dev/null");
    const std::string channels = run("soxi -c " + quoted + " 2>/dev/null");
    const std::string rate = run("soxi -r " + quoted + " 2>/dev/null");
    if (samples.empty() || channels.empty() || rate.empty()) return info;
    info.read = true;
    info.samples = std::stoll(samples);
    info.channels = std::stoi(channels);
    info.rate = std::stol(rate);
    return info;
}

class FaultSuite : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("HOME", home_.path().c_str(), 1);
        setenv("XDG_CONFIG_HOME", home_.file("config").c_str(), 1);
        unsetenv("CDRIP3_FAULTS");
        std::filesystem::create_directories(home_.file("out"));
        outDir_ = home_.file("out");
    }
    void TearDown() override {
        form.reset();
        session.CR_CloseRipper();
        session.Finalize();
        encoders.UnloadVorbisLibrary();
        unsetenv("CDRIP3_FAULTS");
    }

    // Writes the image, points the library at it and shows the window, as the program
    // starts: the library bound first, the Ogg Vorbis library loaded, then the window.
    void Start(const testdisc::DiscPlan& disc, const std::string& cueName = "disc.cue",
               const std::function<void(const std::string& cue)>& damage = {}) {
        discPlan = disc;
        cue = home_.file(cueName);
        toc = testdisc::writeImage(discPlan, cue);
        if (damage) damage(cue);
        StartOver(kBin + "/libcdrip3.so", true);
    }
    // The program's start with the CD library at cdrip (a path where there is none: the
    // library is missing) and with or without the Ogg Vorbis library, which the window
    // loads from the program's folder when it is first shown.
    void StartOver(const std::string& cdrip, bool vorbis) {
        form.reset();
        session.Finalize();
        encoders.UnloadVorbisLibrary();
        session.Disc() = CDRipIntf::TDiscInfo{};
        disctest::useDrives({cue});
        session.Initialize(cdrip);
        // Under the test's XDG_CONFIG_HOME, which SetUp has set.
        if (!options) options = std::make_unique<TProgramOptions>();
        form = std::make_unique<FaultForm>(services, session, encoders, *options);
        QObject::connect(&monitor, &svdevmon::DeviceMonitor::deviceChange, form.get(),
                         &TCDRipTestForm::WMDeviceChange);
        form->show();
        Settle();
        // The test's folder holds the library; a program whose folder does not ends up
        // with it unloaded, as here.
        if (!vorbis) encoders.UnloadVorbisLibrary();
        form->DirectoryEdit1->setText(QString::fromStdString(outDir_));
        form->edtAlbumName->setText("Live");
        if (!form->chkMulSel->isChecked()) form->chkMulSel->click();
    }

    // Selects the given lines (from 0), the last one current, as ctrl-clicks leave them.
    void Select(std::initializer_list<int> lines) {
        form->TrackList->clearSelection();
        for (int line : lines) {
            ASSERT_NE(form->TrackList->item(line), nullptr) << "no line " << line;
            form->TrackList->item(line)->setSelected(true);
            form->TrackList->setCurrentRow(line, QItemSelectionModel::Select);
        }
    }

    // Gives the rip command of a format and runs the window until the batch has ended.
    // False when it has not ended within the time: a hang.
    bool Rip(Format f, int timeoutMs = 60000) {
        form->statuses.clear();
        services.shown.clear();
        if (f == Format::Flac)
            form->RipToFlac1->trigger();
        else if (f == Format::Opus)
            form->RipToOpus1->trigger();
        else
            (f == Format::Wav   ? form->btnRip
             : f == Format::Mp3 ? form->btnMp3
                                : form->btnOgg)
                ->click();
        return WaitForBatch(timeoutMs);
    }
    bool WaitForBatch(int timeoutMs) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeoutMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            if (!form->BatchRunning()) {
                Settle();
                return true;
            }
        }
        return false;
    }
    // Runs the event loop until the status line says text: a word said once the database
    // has answered for the batch's report comes after the batch's end.
    bool WaitForStatus(const QString& text, int timeoutMs = 10000) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeoutMs && form->Status() != text)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return form->Status() == text;
    }
    // Section `number` (from 1) of the report in the output folder, once it is there.
    QString ReportSection(int number, int timeoutMs = 10000) {
        QElapsedTimer timer;
        timer.start();
        QStringList sections;
        do {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QFile file(QString::fromStdString(outDir_ + "/Live.log"));
            if (file.open(QIODevice::ReadOnly))
                sections = QString::fromUtf8(file.readAll()).split("==== Sonvale ");
        } while (sections.size() <= number && timer.elapsed() < timeoutMs);
        return sections.size() > number ? sections[number] : QString();
    }
    // Lets queued notices (the device monitor's) reach the window, and what they asked of
    // the drive thread come back.
    void Settle() {
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
        ASSERT_TRUE(pumpUntil([&] { return form->Settled(); }));
    }

    std::string OutFile(Format f, int trackIndex) const {
        return outDir_ + "/Live Track " + std::to_string(trackIndex) + extension(f);
    }
    size_t TrackSectors(int trackIndex) const {
        return toc.tracks.at(size_t(trackIndex - 1)).sectors;
    }
    uint32_t TrackStart(int trackIndex) const {
        return toc.tracks.at(size_t(trackIndex - 1)).startSector;
    }
    std::vector<uint8_t> TrackBytes(int trackIndex, size_t sectors) const {
        const uint32_t first = TrackStart(trackIndex);
        return testdisc::rangeBytes(discPlan, first, first + uint32_t(sectors) - 1);
    }

    // The file of a track holds exactly its first `sectors` sectors (WAV, to the byte), or
    // decodes to that much of the track's tone (MP3 within the encoder's delay and frame
    // padding, Ogg Vorbis to the sample).
    void ExpectPlayable(Format f, int trackIndex, size_t sectors) {
        const std::string path = OutFile(f, trackIndex);
        SCOPED_TRACE(path);
        ASSERT_TRUE(std::filesystem::exists(path));
        const size_t frames = sectors * 588;
        if (f == Format::Wav) {
            const auto file = riptest::readFile(path);
            riptest::expectValidWav(file);
            const SoxInfo info = soxi(path);
            ASSERT_TRUE(info.read) << "soxi cannot read the file";
            EXPECT_EQ(info.channels, 2);
            EXPECT_EQ(info.rate, 44100);
            EXPECT_EQ(info.samples, (long long)frames);
            EXPECT_TRUE(riptest::audioOf(file) == TrackBytes(trackIndex, sectors))
                << "the audio is not the track's first " << sectors << " sectors";
            return;
        }
        if (f == Format::Flac) {
            ASSERT_TRUE(flaccheck::Tests(path));
            const auto audio = flaccheck::Audio(path);
            ASSERT_TRUE(audio);
            const auto want = TrackBytes(trackIndex, sectors);
            EXPECT_TRUE(std::equal(audio->begin(), audio->end(), want.begin(), want.end(),
                                   [](char a, uint8_t b) { return uint8_t(a) == b; }))
                << "the audio is not the track's first " << sectors << " sectors";
            return;
        }
        std::vector<int16_t> pcm;
        int channels = 0;
        // The tone's frequency in the decoder's samples: Opus decodes at 48 kHz.
        double rateRatio = 1;
        if (f == Format::Opus) {
            const opuscheck::Decoded d = opuscheck::decode(path);
            ASSERT_TRUE(d.opened) << "libopusfile cannot open the file";
            channels = d.channels;
            pcm = d.pcm;
            EXPECT_NEAR(d.seconds(), double(frames) / tonesignal::kRate, 0.001);
            rateRatio = double(tonesignal::kRate) / opuscheck::kRate;
        } else if (f == Format::Mp3) {
            const mp3check::Decoded d = mp3check::decode(riptest::readFile(path), "fault.mp3");
            channels = d.channels;
            pcm = d.pcm;
            EXPECT_GE(d.frames(), frames);
            EXPECT_LE(d.frames(), frames + 576 + 2 * 1152 + 1152);
        } else {
            const oggcheck::Decoded d = oggcheck::decode(riptest::readFile(path), "fault.ogg");
            ASSERT_TRUE(d.opened) << "libvorbisfile cannot open the file";
            channels = d.channels;
            pcm = d.pcm;
            EXPECT_EQ(d.frames(), frames);
        }
        ASSERT_EQ(channels, 2);
        // Half a second from the middle of what there is carries the track's tone.
        const size_t decoded = pcm.size() / 2;
        const size_t count = std::min<size_t>(tonesignal::kRate / 2, decoded / 2);
        if (count < 2000) return;
        const auto left = tonesignal::channel(pcm, 2, 0);
        const double hz = testdisc::toneHz(trackIndex - 1) * rateRatio;
        EXPECT_NEAR(tonesignal::amplitudeAt(left, decoded / 2 - count / 2, count, hz), 0.5, 0.05);
    }

    // A finished batch leaves the next batch free to start: it rips track 2 whole.
    void ExpectNextBatchWorks(Format f) {
        EXPECT_FALSE(form->BatchRunning());
        unsetenv("CDRIP3_FAULTS");
        if (!form->DiscInfoLoaded()) {
            form->btnCloseCD1->click();
            Settle();
        }
        ASSERT_TRUE(form->DiscInfoLoaded()) << form->Status().toStdString();
        std::filesystem::remove(OutFile(f, 2));
        Select({1});
        ASSERT_TRUE(Rip(f)) << "the next batch hangs";
        const QString done = f == Format::Wav ? QStringLiteral("Ripping Completed.")
                                              : QStringLiteral("Ripping and Encoding Completed.");
        EXPECT_EQ(form->Status(), done);
        EXPECT_TRUE(services.shown.isEmpty()) << services.shown.join("; ").toStdString();
        ExpectPlayable(f, 2, TrackSectors(2));
    }

    disctest::TempDir home_;
    std::string outDir_;
    std::string cue;
    testdisc::DiscPlan discPlan;
    testdisc::ExpectedDisc toc;
    RecordingServices services;
    svdevmon::DeviceMonitor monitor{svdevmon::DeviceMonitor::Options{false, QString()}};
    CDRipIntf::TCDSession session;
    Rip::TEncoders encoders;
    std::unique_ptr<TProgramOptions> options;  // goes after the form
    std::unique_ptr<FaultForm> form;
};

}  // namespace faultsuite
