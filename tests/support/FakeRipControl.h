// A batch's control for tests: records the pauses asked for, and waits through them only
// as long as the test says (not at all by default); a cancel still ends a wait at once.
#pragma once

#include <functional>
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
