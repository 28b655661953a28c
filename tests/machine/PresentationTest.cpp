// The per-frame presentation on the real cores with fake host facilities:
// the sound ring's latency and resynchronisation, the pacing loop against a
// fake clock, the pads and Pause written into the console, and the texts of
// the two status overlays.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ConsoleChips.h"
#include "MachineRig.h"
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

struct PresentationTest : ::testing::Test, TMachineRig<TScriptedSound> {
    TFakeKeys keys;
    TFakeStick stick;
    TInputDevice pad1{&keys, &stick};
    TInputDevice pad2{&keys, nullptr};  // player 2 takes no joystick

    void SetUp() override {
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
    uint16_t Ports() {
        return static_cast<uint16_t>(TConsoleChips::Bus(*machine.Console).PortA | TConsoleChips::Bus(*machine.Console).PortB << 8);
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
    PSG_WritePort(TConsoleChips::Psg(*machine.Console), 0x80 | 0x04);
    PSG_WritePort(TConsoleChips::Psg(*machine.Console), 0x01);
    PSG_WritePort(TConsoleChips::Psg(*machine.Console), 0x90);
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

// The settings take effect at the next start: the console powered on as the
// model, paced at its exact rate (PAL: 6000000 / 49.7015 = 120720 ticks, not
// the 120000 of a whole 50); the default model again paces at 60 as ever.
TEST_F(PresentationTest, ANewStartTakesTheModelAndPacesAtItsExactRate) {
    timers.Frequency = 6000000;
    timers.YieldTicks = 100;
    timers.Ticks = 1000;  // a counter of 0 would read as "no frame yet"
    machine.PerfFrequency = timers.Frequency;
    const struct {
        TConsoleSettings Settings;
        int64_t FrameTicks;
    } cases[] = {
        {{TConsoleModel::MasterSystem2, TConsoleRegion::Export, TConsoleVideo::Pal}, 120720},
        {{TConsoleModel::MasterSystem, TConsoleRegion::Japan, TConsoleVideo::Ntsc}, 100128},
        {{}, 100000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.FrameTicks);
        machine.ConsoleSettings = c.Settings;
        machine.InitMachine();
        EXPECT_EQ(machine.Console->Settings(), c.Settings);
        EXPECT_DOUBLE_EQ(machine.TargetFps, machine.Console->FrameRate());
        machine.RunFrame();
        EXPECT_EQ(machine.FrameStream.Size, machine.Console->FrameImageSize());
        machine.PresentFrame();
        const int64_t start = machine.PerfLastFrame;
        machine.PresentFrame();
        EXPECT_GE(machine.PerfLastFrame - start, c.FrameTicks);
        EXPECT_LT(machine.PerfLastFrame - start, c.FrameTicks + 11 * 100 + 12000);
    }
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
    EXPECT_EQ(TConsoleChips::Cpu(*machine.Console).NmiActive, 0);
}

TEST_F(PresentationTest, HeldPauseRaisesOneNmiPerLockOut) {
    // The CPU runs an empty program (the cleared ROM area is NOPs) while
    // the BIOS is mapped out; each accepted NMI starts the lock-out.
    Z80_ClearRom(TConsoleChips::Cpu(*machine.Console));
    machine.MarkReady();
    keys.Down = {VK::Return};
    int accepted = 0;
    for (int frame = 0; frame < 60; ++frame) {
        const uint8_t wasActive = TConsoleChips::Cpu(*machine.Console).NmiActive;
        machine.PresentFrame();
        if (TConsoleChips::Cpu(*machine.Console).NmiActive == 1 && wasActive == 0) ++accepted;
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
    TConsoleChips::Cpu(*machine.Console).NmiActive = 0;
    TConsoleChips::Cpu(*machine.Console).NmiLockCounter = 0;
    machine.PresentFrame();
    EXPECT_EQ(TConsoleChips::Cpu(*machine.Console).NmiActive, 0);
}

// A display that draws nothing and keeps each text with its place.
struct TRecordingDisplay final : TDisplay, TCanvas {
    std::map<std::pair<int, int>, std::string> Texts;  // (x, y) -> text
    int Flips = 0;
    bool LoadSurface(const uint8_t*, uint32_t) override { return true; }
    TCanvas& Canvas() override { return *this; }
    void ReleaseCanvas() override {}
    void Flip() override { ++Flips; }
    void SetFullScreenOption(bool) override {}
    void Initialize() override {}
    void SetFont(const std::string&, int, bool) override {}
    void SetFontColor(TColor) override {}
    void SetBrushColor(TColor) override {}
    void SetPenColor(TColor) override {}
    void Rectangle(int, int, int, int) override {}
    void TextOut(int x, int y, const std::string& text) override { Texts[{x, y}] = text; }
    std::string At(int x, int y) const {
        const auto found = Texts.find({x, y});
        return found != Texts.end() ? found->second : std::string();
    }
    // The text lines drawn at x, top to bottom.
    std::vector<std::string> Column(int x) const {
        std::vector<std::string> lines;
        for (const auto& [at, text] : Texts)
            if (at.first == x) lines.push_back(std::to_string(at.second) + " " + text);
        return lines;
    }
};

struct OverlayTextTest : PresentationTest {
    TRecordingDisplay display;
    void SetUp() override {
        PresentationTest::SetUp();
        machine.Display = &display;
    }
    void WriteVdpRegister(uint8_t reg, uint8_t value) {
        VDP_WriteControl(TConsoleChips::Vdp(*machine.Console), value);
        VDP_WriteControl(TConsoleChips::Vdp(*machine.Console), static_cast<uint8_t>(0x80 | reg));
    }
};

TEST_F(OverlayTextTest, PsgStatusShowsTheRegistersAndTheQueuedBytes) {
    machine.SetPsgOverlay(1);
    // Periods 0x1AB, 0x0FE and 0x3FF (latch with the low four bits, then
    // the high six), noise control 5, attenuations 3, 7, 12 and 1.
    for (uint8_t value : {0x8B, 0x1A, 0xAE, 0x0F, 0xCF, 0x3F, 0xE5, 0x93, 0xB7, 0xDC, 0xF1})
        PSG_WritePort(TConsoleChips::Psg(*machine.Console), value);
    machine.PresentFrame();
    // After a rewind the first frame queues one block.
    EXPECT_EQ(display.Column(13), (std::vector<std::string>{
                                      "50   PSG STATUS  - V.U. ",
                                      "60 Atenua TONE1: 3",
                                      "70 Freque TONE1: 427",
                                      "80 Atenua TONE2: 7",
                                      "90 Freque TONE2: 254",
                                      "100 Atenua TONE3: 12",
                                      "110 Freque TONE3: 1023",
                                      "120 Atenua NOISE: 1",
                                      "130 Freque NOISE: 5",
                                      "140 Delta EMU/EX: 735",
                                  }));
    EXPECT_TRUE(display.Column(153).empty()) << "the VDP box is hidden";
    EXPECT_EQ(display.Flips, 1);

    // The last line follows the queue frame by frame.
    machine.PresentFrame();
    EXPECT_EQ(display.At(13, 140), "Delta EMU/EX: 1470");
}

TEST_F(OverlayTextTest, VdpStatusShowsTheRegistersBits) {
    machine.SetVdpOverlay(1);
    WriteVdpRegister(0, 0x10);                // line interrupt on
    WriteVdpRegister(1, 0x40 | 0x20 | 0x02);  // display, frame interrupt, 8x16 sprites
    WriteVdpRegister(8, 201);
    WriteVdpRegister(9, 37);
    WriteVdpRegister(10, 150);
    machine.MeasuredFps = 60;
    machine.PresentFrame();
    EXPECT_EQ(display.Column(153), (std::vector<std::string>{
                                       "50      VDP STATUS   ",
                                       "60 Sprites 8x16: 1",
                                       "70 Line INT    : 1",
                                       "80 Frame INT   : 1",
                                       "90 INT Counter : 150",
                                       "100 Horiz Scroll: 201",
                                       "110 Verti Scroll: 37",
                                       "120 Video Active: 1",
                                       "130 Frames p/ Sc: 60",
                                   }));
    EXPECT_TRUE(display.Column(13).empty()) << "the PSG box is hidden";

    WriteVdpRegister(0, 0x00);
    WriteVdpRegister(1, 0x00);
    machine.PresentFrame();
    EXPECT_EQ(display.At(153, 60), "Sprites 8x16: 0");
    EXPECT_EQ(display.At(153, 70), "Line INT    : 0");
    EXPECT_EQ(display.At(153, 80), "Frame INT   : 0");
    EXPECT_EQ(display.At(153, 120), "Video Active: 0");
}

TEST_F(OverlayTextTest, FramesPerSecondAreTheCountedOnesDividedByTheFramesEachDrawnOneStandsFor) {
    struct TCase {
        uint32_t Counted;
        uint8_t Frameskip;
        const char* Shown;
    };
    const TCase cases[] = {
        {240, 3, "Frames p/ Sc: 60"},  // 75% frameskip: one frame in four drawn
        {120, 1, "Frames p/ Sc: 60"},  // 50%
        {60, 0, "Frames p/ Sc: 60"},
        {59, 3, "Frames p/ Sc: 14"},  // whole frames: the division drops the rest
        {0, 1, "Frames p/ Sc: 0"},
    };
    machine.SetVdpOverlay(1);
    for (const TCase& c : cases) {
        machine.MeasuredFps = c.Counted;
        machine.SetFrameskip(c.Frameskip);
        machine.PresentFrame();
        EXPECT_EQ(display.At(153, 130), c.Shown) << c.Counted << " counted at frameskip " << int(c.Frameskip);
    }
}

// A hardware model with a stereo output attached plays through it, never
// through the ring: the queue starts at its level (the second frame), the
// console's rate follows the rate control, the rewind's muted frames keep
// the level, fast forward empties the queue and it starts again afterwards;
// the default model goes back to the ring.
TEST_F(PresentationTest, AHardwareModelPlaysThroughTheStereoQueueAndTheDefaultModelThroughTheRing) {
    TStereoSoundQueue stereo;
    machine.StereoSound = &stereo;
    machine.ConsoleSettings = {TConsoleModel::MasterSystem2, TConsoleRegion::Export, TConsoleVideo::Ntsc};
    machine.InitMachine();
    ASSERT_TRUE(machine.Console->HasStereoSound());
    EXPECT_EQ(stereo.PairsPerSecond(), CONSOLE_STEREO_SAMPLE_RATE);
    const uint32_t plays = sound.Plays;
    // The sound chip makes a frame's sound as the frame runs.
    auto runFrame = [this] {
        machine.RunFrame();
        machine.PresentFrame();
    };

    runFrame();
    const uint32_t first = stereo.Queued();
    EXPECT_GE(first, 800u);
    EXPECT_LE(first, 802u);
    EXPECT_FALSE(stereo.Playing());
    runFrame();
    EXPECT_TRUE(stereo.Playing());
    EXPECT_EQ(machine.Latency, stereo.Queued());
    EXPECT_DOUBLE_EQ(machine.Console->SoundRate(), machine.RateControl.Factor());
    EXPECT_LT(machine.Console->SoundRate(), 1.0) << "33.4 ms queued, above the target: a little slower";

    // The rewind: silence in place of the frame's sound, the level kept.
    std::vector<int16_t> pulled(2 * 1600);
    stereo.Pull(pulled.data(), 1600);
    machine.SoundMuted = 1;
    const uint32_t before = stereo.Queued();
    runFrame();
    EXPECT_GE(stereo.Queued(), before + 790);
    machine.SoundMuted = 0;

    // Fast forward: the queue fades out and takes nothing; afterwards it
    // fills from empty and starts again at its level.
    machine.SetFastForward(1);
    runFrame();
    stereo.Pull(pulled.data(), 1600);
    for (int frame = 0; frame < 5; ++frame) runFrame();
    EXPECT_EQ(stereo.Queued(), 0u);
    EXPECT_FALSE(stereo.Playing());
    machine.SetFastForward(0);
    runFrame();
    EXPECT_FALSE(stereo.Playing());
    runFrame();
    EXPECT_TRUE(stereo.Playing());
    EXPECT_EQ(stereo.Counts().Starts, 2u);
    EXPECT_EQ(stereo.Counts().Underruns, 0u);
    EXPECT_FALSE(sound.GetStatus());
    EXPECT_EQ(sound.Plays, plays) << "the ring never played";

    // Back to the default model: the queue falls silent, the ring plays.
    machine.ConsoleSettings = {};
    machine.InitMachine();
    EXPECT_EQ(stereo.Queued(), 192u) << "only the fade-out is left";
    for (int frame = 0; frame < 7; ++frame) machine.PresentFrame();
    EXPECT_EQ(machine.Latency, 5145u);
    EXPECT_TRUE(sound.GetStatus());
    stereo.Pull(pulled.data(), 480);
    EXPECT_FALSE(stereo.Playing());
    EXPECT_EQ(stereo.Queued(), 0u) << "nothing queued after the fade-out";
}


}  // namespace

// Held fast forward: no frame waits, no sound is queued and the card is
// halted, and a picture is shown only once a sixtieth of a second has
// passed. Released, the ring starts again empty from its first block and
// plays once it holds the usual latency, and the pacing is back.
TEST_F(OverlayTextTest, FastForwardRunsUnpacedSilentWithSixtyPicturesASecondAndRestartsTheRing) {
    timers.Frequency = 6000000;  // 100000 ticks a frame
    timers.YieldTicks = 100;
    machine.PerfFrequency = timers.Frequency;
    for (int frame = 0; frame < 10; ++frame) machine.PresentFrame();
    ASSERT_TRUE(sound.GetStatus());

    machine.SetFastForward(1);
    const uint32_t waits = timers.Sleeps + timers.Yields;
    const int flips = display.Flips;
    const uint32_t writePos = machine.WritePos;
    // 120 frames, one emulated every millisecond: 0.12 s, so 8 pictures at most.
    for (int frame = 0; frame < 120; ++frame) {
        timers.Ticks += timers.Frequency / 1000;
        machine.PresentFrame();
    }
    EXPECT_EQ(timers.Sleeps + timers.Yields, waits) << "no frame waits";
    const int shown = display.Flips - flips;
    EXPECT_GE(shown, 6);
    EXPECT_LE(shown, 8);
    EXPECT_GT(120 / shown, 4) << "more than 4 frames per picture";
    EXPECT_FALSE(sound.GetStatus()) << "the card is halted";
    EXPECT_EQ(machine.WritePos, writePos) << "nothing queued";

    machine.SetFastForward(0);
    sound.Repositions.clear();
    const uint32_t plays = sound.Plays;
    std::vector<uint32_t> latencies;
    for (int frame = 0; frame < 7; ++frame) {
        EXPECT_FALSE(sound.GetStatus()) << "frame " << frame;
        machine.PresentFrame();
        latencies.push_back(machine.Latency);
    }
    EXPECT_EQ(sound.Repositions, (std::vector<uint32_t>{0})) << "the ring restarts at its first block";
    EXPECT_EQ(latencies, (std::vector<uint32_t>{735, 1470, 2205, 2940, 3675, 4410, 5145}));
    EXPECT_TRUE(sound.GetStatus());
    EXPECT_EQ(sound.Plays, plays + 1);
    EXPECT_GT(timers.Sleeps + timers.Yields, waits) << "paced again";
    EXPECT_EQ(display.Flips - flips, shown + 7) << "every frame shown again";
}
