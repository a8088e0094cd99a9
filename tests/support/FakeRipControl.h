// A batch's control for tests: records the pauses asked for, and waits through them only
// as long as the test says (not at all by default); a cancel still ends a wait at once.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "RipControl.h"

class FakeRipControl : public Rip::TRipControl {
public:
    std::vector<int> pauses;
    std::vector<int>* log = &pauses;   // where pauses are recorded (a batch's owner may go)
    int waitMilliseconds = 0;          // how long each pause really lasts
    std::function<void(int)> onPause;  // at every pause, with its 1-based count

    bool Pause(int milliseconds) override {
        log->push_back(milliseconds);
        if (onPause) onPause(static_cast<int>(log->size()));
        if (waitMilliseconds > 0) return TRipControl::Pause(waitMilliseconds);
        return Cancelled();
    }
    void Reset() {
        Rearm();
        pauses.clear();
        onPause = nullptr;
    }
};

// Makes a window's batch controls whose pauses last waitMilliseconds each, recorded into log
// when one is given (it outlives the batches).
inline std::function<std::unique_ptr<Rip::TRipControl>()> FakeRipControls(
    int waitMilliseconds, std::vector<int>* log = nullptr) {
    return [waitMilliseconds, log] {
        auto control = std::make_unique<FakeRipControl>();
        if (log) control->log = log;
        control->waitMilliseconds = waitMilliseconds;
        return control;
    };
}
