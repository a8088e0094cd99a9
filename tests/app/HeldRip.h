// "A rip in progress" for the window's commands: a Wave batch that stays in its first read
// until it is cancelled, on a scripted drive that stalls there.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <functional>

#include "CDRipTest.h"
#include "DirectoryEdit.h"
#include "PumpUntil.h"
#include "ScriptedCDRip.h"
#include "TempDir.h"

class THeldRip {
public:
    // form shows a disc of lib with its first line selected.
    THeldRip(TCDRipTestForm& form, ScriptedCDRip& lib) : form_(form) {
        form.DirectoryEdit1->setText(QString::fromStdString(dir_.path().string()));
        lib.ripper.chunks = {{0, 2352, 100}};
        lib.ripper.holdAt = 0;
        form.btnRip->click();
        started_ = pumpUntil([&] { return lib.Holding(); });
    }
    ~THeldRip() { form_.EndBatch(); }
    bool Started() const { return started_; }
    // Waits until the batch has ended and the window has taken its last word.
    bool Ended() const {
        return pumpUntil([this] { return !form_.BatchRunning(); });
    }

private:
    TCDRipTestForm& form_;
    sonvaletest::TempDir dir_;
    bool started_ = false;
};
