// The per-frame presentation on the real cores with fake host facilities:
// the sound ring's latency and resynchronisation, the pacing loop against a
// fake clock, and the pads and Pause written into the console.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "ManualDispatcher.h"
#include "SMS.h"

namespace {

// Keys held by the test; the window counts as in front unless told otherwise.
struct TFakeKeys final : TKeySource {
    std::set<TKeyCode> Down;
    bool InFront = true;
    bool KeyDown(TKeyCode key) const override { return Down.count(key) != 0; }
    bool Foreground() const override { return InFront; }
};

struct TFakeStick final : TJoystickSource {
    TJoystickReading Now;
    bool Plugged = true;
    bool Read(TJoystickReading& reading) override {
        reading = Now;
        return Plugged;
    }
};

// A sound buffer whose every operation the test can see and steer.
struct TScriptedSound final : TRingSoundBuffer {
    std::vector<uint32_t> Repositions;
    uint32_t Plays = 0;
    void SetCurrentPosition(uint32_t position) override {
        Repositions.push_back(position);
        TRingSoundBuffer::SetCurrentPosition(position);
    }
    void Play() override {
        ++Plays;
        TRingSoundBuffer::Play();
    }
    void Place(uint32_t position) { TRingSoundBuffer::SetCurrentPosition(position); }
};

struct PresentationTest : ::testing::Test {
    TManualDispatcher dispatcher;
    TFakeTimers timers;
    TScriptedSound sound;
    TSMS machine{dispatcher, timers, sound};
    TFakeKeys keys;
    TFakeStick stick;
    TInputDevice pad1{&keys, &stick};
    TInputDevice pad2{&keys, nullptr};  // player 2 takes no joystick

    void SetUp() override {
        machine.ClearCoresCreated();
        machine.InitMachine();
        machine.Input1 = &pad1;
        machine.Input2 = &pad2;
        pad1.BindKey(TInputState::Up, 0, VK::Up);
        pad1.BindKey(TInputState::Up, 2, VK::Numpad0 + 8);
        pad1.BindKey(TInputState::Down, 0, VK::Down);
        pad1.BindKey(TInputState::Left, 0, VK::Left);
        pad1.BindKey(TInputState::Right, 0, VK::Right);
        pad1.BindKey(TInputState::Button1, 0, 'X');
        pad1.BindKey(TInputState::Button2, 0, 'C');
        pad1.BindKey(TInputState::Button3, 0, VK::Return);
        pad2.BindKey(TInputState::Up, 0, 'W');
        pad2.BindKey(TInputState::Down, 0, 'S');
        pad2.BindKey(TInputState::Left, 0, 'A');
        pad2.BindKey(TInputState::Right, 0, 'D');
        pad2.BindKey(TInputState::Button1, 0, 'G');
        pad2.BindKey(TInputState::Button2, 0, 'H');
        stick.Plugged = false;
    }
    void TearDown() override { dispatcher.Close(); }
    uint16_t Ports() {
        return static_cast<uint16_t>(machine.Interconnect->PortA | machine.Interconnect->PortB << 8);
    }
};

TEST_F(PresentationTest, AfterARewindTheQueueFillsBlockByBlockAndPlaysAtTheSeventh) {
    std::vector<uint32_t> latencies;
    for (int frame = 0; frame < 7; ++frame) {
        EXPECT_FALSE(sound.GetStatus()) << "frame " << frame;
        machine.PresentFrame();
        latencies.push_back(machine.Latency);
    }
    EXPECT_EQ(latencies, (std::vector<uint32_t>{735, 1470, 2205, 2940, 3675, 4410, 5145}));
    EXPECT_TRUE(sound.Repositions.empty()) << "nothing repositioned while filling";
    EXPECT_TRUE(sound.GetStatus());
    EXPECT_EQ(sound.Plays, 1u);
    machine.PresentFrame();
    EXPECT_EQ(machine.WritePos, 0u) << "the ring's end wraps the write position";
}

TEST_F(PresentationTest, LowLatencyIsCorrectedOnlyFromTheRingsLastBlock) {
    struct TCase {
        uint32_t WriteBefore;  // WritePos before the frame's block
        uint32_t Play;         // play cursor when measured
        uint32_t Latency;
        bool Repositioned;
    };
    const TCase cases[] = {
        {4410, 1146, 3999, true},   // WritePos 5145: the cursor goes to 145
        {1470, 4086, 3999, false},  // WritePos 2205: too early in the ring
        {4410, 5145, 5880, false},  // equal positions: a full ring
        {4410, 145, 5000, false},   // on target
    };
    for (const TCase& c : cases) {
        sound.Repositions.clear();
        machine.WritePos = c.WriteBefore;
        sound.Place(c.Play);
        sound.Repositions.clear();
        machine.PresentFrame();
        EXPECT_EQ(machine.Latency, c.Latency) << "write " << c.WriteBefore << " play " << c.Play;
        if (c.Repositioned) {
            ASSERT_EQ(sound.Repositions.size(), 1u);
            EXPECT_EQ(sound.Repositions[0], machine.WritePos - 5000);
            EXPECT_EQ(sound.Repositions[0], 145u);
        } else {
            EXPECT_TRUE(sound.Repositions.empty()) << "write " << c.WriteBefore << " play " << c.Play;
        }
    }
}

TEST_F(PresentationTest, TheFramesSamplesLandAtTheWritePosition) {
    // Tone 1 at full volume on a short period: the block is not silence.
    PSG_WritePort(*machine.Psg, 0x80 | 0x04);
    PSG_WritePort(*machine.Psg, 0x01);
    PSG_WritePort(*machine.Psg, 0x90);
    machine.WritePos = 1470;
    machine.PresentFrame();
    EXPECT_EQ(machine.WritePos, 2205u);
    TSoundLockRegions regions;
    ASSERT_TRUE(sound.Lock(1470, 735, regions));
    // A lock hands out a copy of the ring: the bytes are the frame's block.
    int loud = 0;
    for (uint32_t i = 0; i < regions.Size1; ++i) loud += regions.Region1[i] != 128;
    EXPECT_GT(loud, 300);
}

TEST_F(PresentationTest, PacingWaitsAFrameSleepingThenYieldingAndNeverCatchesUp) {
    timers.Frequency = 6000000;  // 100000 ticks a frame, 12000 ticks in 2 ms
    timers.YieldTicks = 100;
    timers.Ticks = 1000;
    machine.PerfFrequency = timers.Frequency;

    machine.PresentFrame();  // first frame: no wait
    EXPECT_EQ(timers.Sleeps + timers.Yields, 0u);
    EXPECT_EQ(machine.PerfLastFrame, 1000);

    machine.PresentFrame();
    EXPECT_GE(machine.PerfLastFrame - 1000, 100000);
    EXPECT_LT(machine.PerfLastFrame - 1000, 100000 + 11 * 100 + 6000);
    EXPECT_GT(timers.Sleeps, 0u);
    EXPECT_GT(timers.Yields, 0u);
    EXPECT_EQ(timers.Yields % 11, 0u) << "yields come in runs of eleven";

    // A long pause: the next frame starts at once.
    const uint32_t waitsBefore = timers.Sleeps + timers.Yields;
    timers.Ticks += 10 * 6000000;
    machine.PresentFrame();
    EXPECT_EQ(timers.Sleeps + timers.Yields, waitsBefore);

    // A counter that went backwards ends the wait too.
    timers.Ticks = machine.PerfLastFrame - 50000;
    machine.PresentFrame();
    EXPECT_EQ(timers.Sleeps + timers.Yields, waitsBefore);
    EXPECT_EQ(machine.PerfLastFrame, timers.Ticks);
}

TEST_F(PresentationTest, BoundKeysAndPlayerOnesJoystickPressThePortBits) {
    struct TCase {
        std::vector<TKeyCode> Keys;
        TJoystickReading Stick;
        bool Plugged;
        uint16_t Pressed;  // bits of PortA | PortB << 8 that read 0
    };
    const TCase cases[] = {
        {{}, {}, false, 0},
        {{VK::Up}, {}, false, 0x0001},
        {{VK::Numpad0 + 8}, {}, false, 0x0001},
        {{VK::Down, VK::Left, VK::Right}, {}, false, 0x000E},
        {{'X', 'C'}, {}, false, 0x0030},
        {{'W', 'S'}, {}, false, 0x00C0},
        {{'A', 'D', 'G', 'H'}, {}, false, 0x0F00},
        {{}, {-32768, 0, 0}, true, 0x0004},
        {{}, {32767, 32767, 0}, true, 0x000A},
        {{}, {0, -20000, 0b011}, true, 0x0031},
        {{}, {10000, -10000, 0}, true, 0},  // inside the dead zone
    };
    for (const TCase& c : cases) {
        keys.Down = std::set<TKeyCode>(c.Keys.begin(), c.Keys.end());
        stick.Now = c.Stick;
        stick.Plugged = c.Plugged;
        machine.PresentFrame();
        // Player 2's device takes no joystick, so only player 1 sees it.
        EXPECT_EQ(static_cast<uint16_t>(~Ports() & 0x0FFF), c.Pressed) << "case with " << c.Keys.size() << " keys";
        EXPECT_EQ(Ports() & 0x1000, 0x1000) << "the reset button is not touched";
    }
}

TEST_F(PresentationTest, NothingIsReadWhileTheWindowIsBehindAnother) {
    keys.Down = {VK::Up, 'W', VK::Return};
    keys.InFront = false;
    machine.PresentFrame();
    EXPECT_EQ(Ports() & 0x0FFF, 0x0FFF);
    EXPECT_EQ(machine.Cpu->NmiActive, 0);
}

TEST_F(PresentationTest, HeldPauseRaisesOneNmiPerLockOut) {
    // The CPU runs an empty program (the cleared ROM area is NOPs) while
    // the BIOS is mapped out; each accepted NMI starts the lock-out.
    Z80_ClearRom(*machine.Cpu);
    machine.MarkReady();
    keys.Down = {VK::Return};
    int accepted = 0;
    for (int frame = 0; frame < 60; ++frame) {
        const uint8_t wasActive = machine.Cpu->NmiActive;
        machine.PresentFrame();
        if (machine.Cpu->NmiActive == 1 && wasActive == 0) ++accepted;
        machine.RunFrame();
        if (frame == 10) {
            EXPECT_EQ(accepted, 1) << "fewer frames than the lock-out: one NMI";
        }
    }
    // 60 frames hold 15720 lines: about three lock-outs of 5000 lines.
    EXPECT_GE(accepted, 3);
    EXPECT_LE(accepted, 4);

    // Player 2 has no pause.
    keys.Down = {};
    pad2.BindKey(TInputState::Button3, 0, 'P');
    keys.Down = {'P'};
    machine.Cpu->NmiActive = 0;
    machine.Cpu->NmiLockCounter = 0;
    machine.PresentFrame();
    EXPECT_EQ(machine.Cpu->NmiActive, 0);
}

}  // namespace
