// TSMS on counting stand-ins for the cores: the frame loop's shape, the
// frameskip counter, InitMachine's first and later calls, the state table,
// the per-second count on a fake clock, and the presentation error path.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "ConsoleChips.h"
#include "CountingCores.h"
#include "MachineRig.h"
#include "SMS.h"

namespace {

struct MachineTest : ::testing::Test, TMachineRig<> {
    void SetUp() override { ResetCoreLog(); }

    // The window's start sequence for the BIOS alone.
    void Start() {
        machine.InitMachine();
        machine.StopEmulation();
        machine.MarkReady();
        machine.SetPriority(TThreadPriority::BelowNormal);
        machine.ResumeEmulation();
    }
    // Draw flag of each frame run since the log was reset.
    std::vector<int> DrawFlags() const {
        std::vector<int> flags;
        for (const TCoreCall& c : CoreLog.Calls)
            if (c.Kind == 'V' && c.Value == 0) flags.push_back(c.Draw);
        return flags;
    }
};

TEST_F(MachineTest, EachFrameIs262VdpLinesEachBefore228CpuCyclesWhateverTheFrameskip) {
    machine.InitMachine();
    for (uint8_t skip : {0, 1, 3}) {
        machine.SetFrameskip(skip);
        for (int frame = 0; frame < 5; ++frame) {
            ResetCoreLog();
            machine.RunFrame();
            ASSERT_EQ(CoreLog.Calls.size(), 2u * 262);
            uint32_t cycles = 0;
            for (uint32_t line = 0; line < 262; ++line) {
                const TCoreCall& v = CoreLog.Calls[2 * line];
                const TCoreCall& c = CoreLog.Calls[2 * line + 1];
                ASSERT_EQ(v.Kind, 'V');
                ASSERT_EQ(v.Value, line);
                ASSERT_EQ(v.Draw, CoreLog.Calls[0].Draw) << "one draw flag for the whole frame";
                ASSERT_EQ(c.Kind, 'C');
                cycles += c.Value;
            }
            EXPECT_EQ(cycles, 59736u);
            EXPECT_EQ(CoreLog.Exports, 1u) << "exported every frame, drawn or not";
        }
    }
}

TEST_F(MachineTest, FrameskipCounterDrawsOneFrameThenSkipsTheSetting) {
    struct Case {
        uint8_t skip;
        std::vector<int> flags;
    } cases[] = {
        {0, {1, 1, 1, 1, 1}},
        {1, {1, 0, 1, 0, 1, 0}},
        {3, {1, 0, 0, 0, 1, 0, 0, 0, 1}},
    };
    for (const Case& c : cases) {
        machine.Console.reset();  // the counter as after creation
        machine.ClearCoresCreated();
        machine.InitMachine();
        machine.SetFrameskip(c.skip);
        ResetCoreLog();
        for (std::size_t i = 0; i < c.flags.size(); ++i) machine.RunFrame();
        EXPECT_EQ(DrawFlags(), c.flags) << "frameskip " << int(c.skip);
    }
}

TEST_F(MachineTest, NewFrameskipTakesEffectOnlyAfterTheNextDrawnFrame) {
    machine.InitMachine();
    machine.SetFrameskip(3);
    ResetCoreLog();
    machine.RunFrame();  // drawn; counter reloaded to 3
    machine.RunFrame();  // skipped; counter 2
    machine.SetFrameskip(0);
    for (int i = 0; i < 5; ++i) machine.RunFrame();
    EXPECT_EQ(DrawFlags(), (std::vector<int>{1, 0, 0, 0, 1, 1, 1}));
}

TEST_F(MachineTest, FrameStreamHoldsTheLatestExportRewound) {
    machine.InitMachine();
    EXPECT_EQ(machine.FrameStream.Size, 0u) << "created empty";
    for (uint32_t frame = 1; frame <= 3; ++frame) {
        machine.FrameStream.Position = 1234;  // a reader left it anywhere
        machine.RunFrame();
        uint32_t marker;
        std::memcpy(&marker, machine.FrameStream.Data + VDP_FRAME_PIXEL_OFFSET, sizeof marker);
        EXPECT_EQ(marker, frame);
        EXPECT_EQ(machine.FrameStream.Size, 50230u);
        EXPECT_EQ(machine.FrameStream.Position, 0u);
    }
}

TEST_F(MachineTest, FirstInitMachineCreatesAndSetsEverything) {
    timers.Frequency = 3000000;
    machine.InitMachine();
    ASSERT_TRUE(machine.Console);
    const T_Z80_CPU_CORE& cpu = TConsoleChips::Cpu(*machine.Console);
    const T_INTERCONNECT_CORE& bus = TConsoleChips::Bus(*machine.Console);
    EXPECT_EQ(machine.CoresCreated, 1);
    EXPECT_EQ(machine.Ready, 0);
    EXPECT_EQ(machine.TargetFps, 60u);
    EXPECT_EQ(machine.CpuClock, 3579536u);
    EXPECT_EQ(machine.SampleRate, 44100u);
    EXPECT_EQ(machine.SamplesPerFrame, 735);
    EXPECT_EQ(machine.SoundBufferSize, 5880);
    EXPECT_EQ(machine.Console->Frameskip(), 0);
    EXPECT_EQ(machine.PerfFrequency, 3000000);
    EXPECT_EQ(cpu.BiosType, 1);
    EXPECT_EQ(TConsoleChips::Psg(*machine.Console).FrameRate, 60u);
    EXPECT_EQ(bus.Vdp, &TConsoleChips::Vdp(*machine.Console));
    EXPECT_EQ(cpu.Bus, &bus);
    EXPECT_EQ(sound.BytesPerSecond(), 43950u);
    EXPECT_EQ(sound.Size(), 5880u);
    EXPECT_EQ(CoreLog.VdpResets, 1);
    // The built-in images are in place (no dump folders configured).
    EXPECT_EQ(Z80_BiosImages[0][0], 'J');
    EXPECT_EQ(Z80_BiosImages[1][0], 'A');
    EXPECT_TRUE(errors.empty());
}

TEST_F(MachineTest, LaterInitMachineKeepsVdpFrameskipAndBiosTypeAndRewindsTheSound) {
    machine.InitMachine();
    T_VDP_CORE* vdp = &TConsoleChips::Vdp(*machine.Console);
    vdp->Registers[1] = 0x60;
    machine.SetFrameskip(3);
    machine.Console->SetBiosType(0);
    machine.MarkReady();
    machine.WritePos = 2205;
    machine.PlayPos = 1000;
    sound.SetCurrentPosition(700);
    sound.Play();

    machine.InitMachine();
    EXPECT_EQ(&TConsoleChips::Vdp(*machine.Console), vdp) << "never re-created";
    EXPECT_EQ(vdp->Registers[1], 0x60);
    EXPECT_EQ(CoreLog.VdpResets, 1);
    EXPECT_EQ(CoreLog.CpuResets, 2);
    EXPECT_EQ(CoreLog.PsgResets, 2);
    EXPECT_EQ(CoreLog.BusInits, 2);
    EXPECT_EQ(machine.Console->Frameskip(), 3);
    EXPECT_EQ(machine.Console->BiosType(), 0);
    EXPECT_EQ(machine.Ready, 0);
    EXPECT_EQ(machine.WritePos, 0u);
    EXPECT_EQ(machine.PlayPos, 0u);
    EXPECT_FALSE(sound.GetStatus());
    EXPECT_EQ(sound.GetCurrentPosition(), 0u);
}

TEST_F(MachineTest, ResumeBeforeReadyAndAFailedLoadLeaveTheThreadSuspended) {
    machine.ResumeEmulation();  // before InitMachine: nothing
    machine.InitMachine();
    machine.StopEmulation();
    machine.ResumeEmulation();  // Ready = 0
    EXPECT_TRUE(machine.Suspended());
    EXPECT_EQ(machine.Stopped, 1);
    EXPECT_THROW(machine.LoadRom("missing.sms"), Z80_RomError);
    EXPECT_EQ(machine.Ready, 0);
    machine.ResumeEmulation();
    EXPECT_TRUE(machine.Suspended());
    EXPECT_EQ(machine.NativeId(), 0) << "Execute never started";
    EXPECT_EQ(dispatcher.Posted(), 0u);

    machine.LoadRom("game.sms");
    EXPECT_EQ(machine.Ready, 1);
    machine.ResumeEmulation();
    EXPECT_FALSE(machine.Suspended());
    EXPECT_EQ(machine.Stopped, 0);
    ASSERT_TRUE(dispatcher.AwaitPosted(1));
}

TEST_F(MachineTest, StopSavesAndParksOnceAndASecondStopDoesNothing) {
    Start();
    ServeFrames(2);
    machine.SetRamPath("/ram/Game.RAM");
    TConsoleChips::Cpu(*machine.Console).CartRamDirty = 1;  // the game wrote its battery RAM
    const int psgResets = CoreLog.PsgResets;
    machine.StopEmulation();
    EXPECT_TRUE(machine.Suspended());
    EXPECT_TRUE(machine.Parked());
    EXPECT_EQ(machine.Stopped, 1);
    EXPECT_EQ(CoreLog.SavesWritten, 1);
    EXPECT_EQ(CoreLog.LastSavePath, "/ram/Game.RAM");
    EXPECT_EQ(CoreLog.PsgResets, psgResets + 1);

    machine.StopEmulation();
    EXPECT_EQ(CoreLog.SavesWritten, 1);
    EXPECT_EQ(CoreLog.PsgResets, psgResets + 1);
    EXPECT_TRUE(errors.empty());
}

TEST_F(MachineTest, StopWhileTheMachineWaitsForTheHandOverReturnsAndPresentsAfterResume) {
    std::vector<uint32_t> exportsSeen;
    machine.OnPresentFrame = [&](TSMS&) {
        ++presents;
        exportsSeen.push_back(CoreLog.Exports);
    };
    Start();
    ASSERT_TRUE(dispatcher.AwaitPosted(1));  // frame 1 waits for the main thread
    machine.StopEmulation();                 // ... which is this thread
    EXPECT_EQ(machine.Stopped, 1);
    EXPECT_TRUE(machine.Parked());
    dispatcher.ServeAll();
    EXPECT_EQ(presents, 0) << "no presentation while stopped";

    machine.ResumeEmulation();
    ServeFrames(3);
    EXPECT_EQ(exportsSeen, (std::vector<uint32_t>{1, 2, 3})) << "frame 1 was neither lost nor run twice";
}

TEST_F(MachineTest, FailedBatterySaveIsReported) {
    machine.InitMachine();
    machine.SetRamPath("/ram/Game.RAM");
    TConsoleChips::Cpu(*machine.Console).CartRamDirty = 1;
    CoreLog.FailSavesWith = "The battery RAM file /ram/Game.RAM could not be written: disk full";
    machine.StopEmulation();
    EXPECT_EQ(machine.Stopped, 1);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], CoreLog.FailSavesWith);
    EXPECT_EQ(machine.LastError, CoreLog.FailSavesWith);
}

TEST_F(MachineTest, FirstFramePublishesZeroThenFramesPerSecondOfAtLeast1000Ms) {
    std::vector<uint32_t> published;
    int repaints = 0;
    machine.OnRepaintRequest = [&] { ++repaints; };
    machine.OnPresentFrame = [&](TSMS& m) {
        ++presents;
        published.push_back(m.MeasuredFps.load());
        timers.AdvanceMs(100);  // a frame takes 100 ms on this clock
    };
    // The clock reads 0 at the start: the first frame publishes all the same.
    Start();
    ServeFrames(13);
    // Seen in frame n's presentation: what frame n-1's count published.
    EXPECT_EQ(published[1], 0u);
    EXPECT_EQ(published[10], 0u);
    EXPECT_EQ(published[11], 10u) << "frames 2..11 fell in the interval from 100 to 1100 ms";
    EXPECT_GE(repaints, 2);
}

TEST_F(MachineTest, HandOverErrorIsReportedStopsTheMachineAndTheNextStartRunsItAgain) {
    machine.OnPresentFrame = [&](TSMS&) {
        if (++presents == 2) throw std::runtime_error("display mode 800x600x16 unavailable");
    };
    machine.SetRamPath("/ram/Game.RAM");
    Start();
    TConsoleChips::Cpu(*machine.Console).CartRamDirty = 0;
    ServeFrames(1);
    TConsoleChips::Cpu(*machine.Console).CartRamDirty = 1;  // written during frame 2, saved by the stop
    ServeFrames(2);                  // throws
    ASSERT_TRUE(dispatcher.AwaitPosted(3));
    dispatcher.ServeOne();  // the machine's own report and stop
    machine.AwaitParked();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("display mode 800x600x16 unavailable"), std::string::npos) << errors[0];
    EXPECT_EQ(machine.Stopped, 1);
    EXPECT_TRUE(machine.Suspended());
    EXPECT_EQ(CoreLog.SavesWritten, 1) << "the game's RAM was saved before anything reset the CPU";

    // Nothing moves until the next start command; then it runs again.
    machine.ResumeEmulation();  // a click on the picture works too
    ServeFrames(4);
    machine.StopEmulation();
    Start();
    ServeFrames(6);
    EXPECT_EQ(errors.size(), 1u);
}

}  // namespace
