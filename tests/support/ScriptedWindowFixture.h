// The window over the scripted CD library: what a test of the window's commands needs
// before its first click. The form is made by the test (Install, then Show) so that each
// can script its drives first.
#pragma once

#include <gtest/gtest.h>

#include <QListWidget>
#include <QStringList>
#include <memory>
#include <vector>

#include "CDRipTest.h"
#include "CDSession.h"
#include "Encoders.h"
#include "ProgramOptions.h"
#include "PumpUntil.h"
#include "RecordingServices.h"
#include "ScriptedCDRip.h"
#include "TempDir.h"

class ScriptedWindowFixture : public ::testing::Test {
protected:
    // The form goes before the session it reads, and the library only after both.
    void TearDown() override {
        form.reset();
        session.Finalize();
    }
    // Puts these drives behind the session.
    void Install(const std::vector<ScriptedDrive>& drives) {
        lib.drives = drives;
        lib.Install(session);
    }
    // Makes and shows a form over what is installed.
    void Show() {
        form = std::make_unique<TCDRipTestForm>(services, session, encoders, options);
        form->show();
        Settle();
    }
    // Lets what the window asked of the drive thread (a listing, a tray) come back.
    void Settle() {
        ASSERT_TRUE(pumpUntil([&] { return form->Settled(); }));
    }
    // Makes the line current and selected, as a click on it does.
    void SelectLine(int line) {
        form->TrackList->setCurrentRow(line);
        form->TrackList->item(line)->setSelected(true);
    }
    QStringList Lines() const {
        QStringList lines;
        for (int i = 0; i < form->TrackList->count(); ++i)
            lines << form->TrackList->item(i)->text();
        return lines;
    }

    RecordingServices services;
    ScriptedCDRip lib;
    CDRipIntf::TCDSession session;
    Rip::TEncoders encoders;
    // The window's options in a folder of the test's own, never the user's.
    sonvaletest::TempDir optionsHome;
    TProgramOptions options{QString::fromStdString(optionsHome.file("Sonvale.conf"))};
    std::unique_ptr<TCDRipTestForm> form;
};
