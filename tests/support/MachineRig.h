// The window's machine (TSMS) for tests of its thread: a dispatcher that the
// test's own thread serves as the "main thread", a fake clock, a sound buffer
// without a card, and counts of the presentations and the reported errors.
// The machine is created, never started: each test runs its own start.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "ManualDispatcher.h"
#include "SMS.h"

template <class TSound = TVirtualSoundBuffer>
struct TMachineRig {
    TManualDispatcher dispatcher;
    TFakeTimers timers;
    TSound sound;
    TSMS machine{dispatcher, timers, sound};
    std::vector<std::string> errors;
    int presents = 0;
    // Called in every presentation after it is counted.
    std::function<void()> onPresent;

    TMachineRig() {
        machine.ClearCoresCreated();
        machine.OnError = [this](const std::string& m) { errors.push_back(m); };
        machine.OnPresentFrame = [this](TSMS&) {
            ++presents;
            if (onPresent) onPresent();
        };
    }
    ~TMachineRig() { dispatcher.Close(); }

    // Serves hand-overs on this thread until `frames` presentations have run.
    void ServeFrames(int frames) {
        while (presents < frames) {
            if (dispatcher.ServeOne()) continue;
            const unsigned posted = dispatcher.Posted();
            if (!dispatcher.ServeOne()) {
                ASSERT_TRUE(dispatcher.AwaitPosted(posted + 1));
            }
        }
    }
    // Serves hand-overs and posts until `done` (false if the machine stopped
    // posting first).
    bool ServeUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 100000 && !done(); ++i) {
            if (dispatcher.ServeOne()) continue;
            const unsigned posted = dispatcher.Posted();
            if (done()) break;
            if (!dispatcher.ServeOne() && !dispatcher.AwaitPosted(posted + 1)) return false;
        }
        return done();
    }
};
