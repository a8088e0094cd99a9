// The rip buttons of the window over the real library: the launcher thread hands the batch
// to the window's thread, which rips while it keeps handling events.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <fstream>

#include "CDRipIntf.h"
#include "CDRipTest.h"
#include "DirectoryEdit.h"
#include "RecordingServices.h"
#include "RipState.h"
#include "discfixture.h"
#include "testdisc.h"

using namespace CDRipIntf;

namespace {
// Presses Exit the first time the ripper lets the window handle events mid-track.
class ExitDuringRipForm : public TCDRipTestForm {
public:
    using TCDRipTestForm::TCDRipTestForm;
    void ProcessEvents() override {
        if (exitOnChunk && Rip::RipInProgress && !pressed) {
            pressed = true;
            btnClose->click();
        }
        TCDRipTestForm::ProcessEvents();
    }
    bool exitOnChunk = false;
    bool pressed = false;
};

class RipE2ETest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("HOME", home_.path().c_str(), 1);
        setenv("XDG_CONFIG_HOME", home_.file("config").c_str(), 1);
        plan_ = testdisc::audioDisc({400, 300, 500});
        const std::string cue = home_.file("disc.cue");
        testdisc::writeImage(plan_, cue);
        std::filesystem::create_directories(home_.file("out"));
        FinalizeCDRip();
        disctest::useDrives({cue});
        InitializeCDRip(ExecutableDir() + "/libcdrip3.so");
        ASSERT_TRUE(CDRipReady);
        form = std::make_unique<ExitDuringRipForm>(services);
        form->show();
        form->DirectoryEdit1->setText(QString::fromStdString(home_.file("out")));
        form->edtAlbumName->setText("Live");
    }
    void TearDown() override {
        form.reset();
        FinalizeCDRip();
        Rip::RipInProgress = false;
        Rip::CancelRequested = false;
    }
    // Runs the event loop until the status line says `text` (the batch's last word).
    bool WaitForStatus(const QString& text) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 20000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            if (form->Status() == text && !Rip::RipInProgress) return true;
        }
        return false;
    }
    std::vector<uint8_t> WavData(const std::string& name) {
        std::ifstream in(home_.file("out/" + name), std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
        return bytes.size() < 44 ? std::vector<uint8_t>{}
                                 : std::vector<uint8_t>(bytes.begin() + 44, bytes.end());
    }

    disctest::TempDir home_;
    testdisc::DiscPlan plan_;
    RecordingServices services;
    std::unique_ptr<ExitDuringRipForm> form;
};
}  // namespace

TEST_F(RipE2ETest, RipToWaveWritesTheSelectedTracks) {
    form->chkMulSel->click();
    form->TrackList->clearSelection();
    form->TrackList->item(0)->setSelected(true);
    form->TrackList->item(2)->setSelected(true);
    form->TrackList->setCurrentRow(2, QItemSelectionModel::Select);
    form->btnRip->click();
    ASSERT_TRUE(WaitForStatus("Ripping Completed.")) << form->Status().toStdString();

    const auto toc = testdisc::expectedToc(plan_);
    EXPECT_TRUE(WavData("Live Track 1.wav") == testdisc::rangeBytes(plan_, 0, 399));
    EXPECT_TRUE(WavData("Live Track 3.wav") ==
                testdisc::rangeBytes(plan_, toc.tracks[2].startSector, toc.leadOut - 1));
    EXPECT_FALSE(std::filesystem::exists(home_.file("out/Live Track 2.wav")));
    EXPECT_TRUE(form->TrackList->selectedItems().isEmpty());
    EXPECT_EQ(form->edtRecName->text(), "Track 3");
    EXPECT_EQ(services.slept, 4000);  // the pause after each track
    EXPECT_EQ(services.flashes, 1);
}

TEST_F(RipE2ETest, ExitDuringARipCancelsItSavesAndCloses) {
    form->exitOnChunk = true;
    form->btnRip->click();
    ASSERT_TRUE(WaitForStatus("Ripping and Encoding Canceled.")) << form->Status().toStdString();
    EXPECT_TRUE(form->pressed);
    EXPECT_FALSE(form->isVisible());
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
    form->chkMulSel->click();
    form->TrackList->clearSelection();
    form->TrackList->item(1)->setSelected(true);
    form->TrackList->item(2)->setSelected(true);
    form->TrackList->setCurrentRow(2, QItemSelectionModel::Select);
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

TEST_F(RipE2ETest, ExitDuringAnMp3BatchEndsItWithTheRunningTrack) {
    form->chkMulSel->click();
    form->SelectAll1Click();
    form->TrackList->setCurrentRow(0, QItemSelectionModel::Select);
    form->exitOnChunk = true;
    form->btnMp3->click();
    // The batch closes as usual once the cancelled track is finished.
    ASSERT_TRUE(WaitForStatus("Ripping and Encoding Completed.")) << form->Status().toStdString();
    EXPECT_TRUE(form->pressed);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(std::filesystem::exists(home_.file("out/Live Track 1.mp3")));
    EXPECT_FALSE(std::filesystem::exists(home_.file("out/Live Track 2.mp3")));
    EXPECT_FALSE(std::filesystem::exists(home_.file("out/Live Track 3.mp3")));
}
