// The window over the real CD library, with generated disc images as drives, its settings
// in a home of its own. Form is the window class the test drives (a subclass may record what
// the window says).
#pragma once

#include <gtest/gtest.h>

#include <QListWidget>
#include <QStringList>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "CDRipIntf.h"
#include "CDRipTest.h"
#include "CDSession.h"
#include "Encoders.h"
#include "ProgramOptions.h"
#include "PumpUntil.h"
#include "RecordingServices.h"
#include "discfixture.h"
#include "testdisc.h"

template <typename Form = TCDRipTestForm>
class RealWindowFixture : public ::testing::Test {
protected:
    // The settings a test saves, and the lists it fetches, stay out of the user's own.
    void SetUp() override {
        setenv("HOME", home_.path().c_str(), 1);
        setenv("XDG_CONFIG_HOME", home_.file("config").c_str(), 1);
        setenv("XDG_CACHE_HOME", home_.file("cache").c_str(), 1);
    }
    void TearDown() override {
        form.reset();
        session.Finalize();
    }
    // Writes the plan as <home>/name/name.cue and gives that path.
    std::string Disc(const std::string& name, const testdisc::DiscPlan& discPlan) {
        const std::string cue = home_.file(name + "/" + name + ".cue");
        std::filesystem::create_directories(home_.file(name));
        testdisc::writeImage(discPlan, cue);
        return cue;
    }
    // The images become the library's drives and the library is loaded.
    void LoadLibrary(const std::vector<std::string>& images) {
        disctest::useDrives(images);
        session.Initialize(CDRipIntf::ExecutableDir() + "/libcdrip3.so");
        ASSERT_TRUE(session.Ready());
    }
    // The window's options, in the options file under the test's XDG_CONFIG_HOME; made at
    // first use, once SetUp has pointed the environment there.
    TProgramOptions& Options() {
        if (!options) options = std::make_unique<TProgramOptions>();
        return *options;
    }
    // Makes the form without showing it, for what must be wired before it first lists.
    void Make() { form = std::make_unique<Form>(services, session, encoders, Options()); }
    void Show() {
        if (!form) Make();
        form->show();
        Settle();
    }
    // Lets what the window asked of the drive thread (a listing, a tray) come back.
    void Settle() {
        ASSERT_TRUE(pumpUntil([&] { return form->Settled(); }));
    }
    QStringList Lines() const {
        QStringList lines;
        for (int i = 0; i < form->TrackList->count(); ++i)
            lines << form->TrackList->item(i)->text();
        return lines;
    }

    disctest::TempDir home_;
    RecordingServices services;
    CDRipIntf::TCDSession session;
    Rip::TEncoders encoders;
    std::unique_ptr<TProgramOptions> options;  // goes after the form
    std::unique_ptr<Form> form;
};
