// TDebugger on the real machine with the debugger cartridge
// (tests/roms/debugtest.asm, whose header lists the addresses used here):
// each breakpoint kind stops before the right instruction, the stepping
// commands, the held stop of a machine run frame by frame, the golden trace,
// and, on the machine's own thread, the stop's park and its interplay with
// the window's stop, start and close and with the sound.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "ConsoleChips.h"
#include "Debugger.h"
#include "MachineRig.h"
#include "SMS.h"

namespace {

constexpr uint16_t kCall = 0x1100, kAfterCall = 0x1103, kWrite = 0x1105, kRead = 0x1108, kOut = 0x110D,
                   kIn = 0x110F, kCallNz = 0x1112, kAfterCallNz = 0x1115, kLdir = 0x111E, kAfterLdir = 0x1120,
                   kDouble = 0x1046, kWarm = 0x1015, kIdle = 0x1140, kCountStore = 0x114A;

struct DebuggerTest : ::testing::Test, TMachineRig<> {
    std::unique_ptr<TDebugger> debugger;

    // The cartridge from its first instruction, without the BIOS: what runs
    // depends on the cartridge alone.
    void StartCartridge() {
        debugger.reset();
        machine.ClearCoresCreated();
        machine.InitMachine();
        machine.StopEmulation();
        machine.LoadRom(TIRAVEL_TEST_ROM_DIR "/debugtest.sms");
        TConsoleChips::Bus(*machine.Console).MemoryControl = 0x08;  // the cartridge mapped, as the BIOS leaves it
        std::memset(TConsoleChips::Cpu(*machine.Console).Ram, 0, sizeof TConsoleChips::Cpu(*machine.Console).Ram);
        debugger = std::make_unique<TDebugger>(machine);
    }
    void TearDown() override {
        debugger.reset();
        machine.TerminateAndWait();
    }
    uint32_t Break(TBreakKind kind, uint16_t first, uint16_t last = 0, int bank = -1) {
        TBreakpoint b;
        b.Kind = kind;
        b.First = first;
        b.Last = last ? last : first;
        b.Bank = bank;
        return debugger->AddBreakpoint(b);
    }
    // Frame by frame on this thread until `count` stops have been seen.
    bool RunUntilStops(uint64_t count, int frames = 20) {
        for (int i = 0; i < frames && debugger->StopCount() < count; ++i) machine.RunFrame();
        return debugger->StopCount() >= count;
    }
    uint8_t Ram(uint16_t address) const { return TConsoleChips::Cpu(*machine.Console).Ram[address & 0x1FFF]; }
};

TEST_F(DebuggerTest, EachBreakpointKindStopsBeforeItsInstruction) {
    struct TCase {
        const char* name;
        TBreakKind kind;
        uint16_t first, last;
        int bank;
        uint16_t pc, access;
    };
    const TCase cases[] = {
        {"execute", TBreakKind::Execute, kWrite, 0, -1, kWrite, kWrite},
        {"execute in bank 0", TBreakKind::Execute, kCall, 0, 0, kCall, kCall},
        {"memory write", TBreakKind::MemoryWrite, 0xC100, 0, -1, kWrite, 0xC100},
        {"memory write in a range, mid-LDIR", TBreakKind::MemoryWrite, 0xC205, 0xC206, -1, kLdir, 0xC205},
        {"memory read", TBreakKind::MemoryRead, 0xC101, 0, -1, kRead, 0xC101},
        {"port write", TBreakKind::PortWrite, 0x7E, 0x7F, -1, kOut, 0x7F},
        {"port read", TBreakKind::PortRead, 0xDC, 0, -1, kIn, 0xDC},
        {"frame interrupt", TBreakKind::FrameInterrupt, 0, 0, -1, 0x0038, 0x0038},
        {"line interrupt", TBreakKind::LineInterrupt, 0, 0, -1, 0x0038, 0x0038},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        StartCartridge();
        const uint32_t id = Break(c.kind, c.first, c.last, c.bank);
        ASSERT_TRUE(RunUntilStops(1));
        ASSERT_TRUE(debugger->Stopped());
        const TDebugStop stop = debugger->LastStop();
        EXPECT_EQ(stop.Reason, TStopReason::Breakpoint);
        EXPECT_EQ(stop.Breakpoint.Id, id);
        EXPECT_EQ(stop.PC, c.pc);
        EXPECT_EQ(TConsoleChips::Cpu(*machine.Console).PC, c.pc);
        EXPECT_EQ(stop.Access, c.access);
        if (c.kind == TBreakKind::MemoryWrite && c.first == 0xC100) {
            EXPECT_NE(Ram(0xC100), 0x5A) << "not yet written";
        }
        if (c.kind == TBreakKind::MemoryWrite && c.first == 0xC205) {
            EXPECT_EQ(TConsoleChips::Cpu(*machine.Console).C, 16 - 5) << "five copied";
        }
        if (c.kind == TBreakKind::FrameInterrupt) {
            EXPECT_GE(stop.Line, 192u);
        }
        if (c.kind == TBreakKind::LineInterrupt) {
            EXPECT_LT(stop.Line, 192u);
        }
        debugger.reset();
    }
}

TEST_F(DebuggerTest, BreakpointsThatMustNotHoldDoNot) {
    struct TCase {
        const char* name;
        TBreakKind kind;
        uint16_t first;
        int bank;
    };
    const TCase cases[] = {
        {"execute in a bank not mapped there", TBreakKind::Execute, kCall, 1},
        {"an instruction's own bytes are no data read", TBreakKind::MemoryRead, kWrite + 1, -1},
        {"a port nobody reads", TBreakKind::PortRead, 0x7F, -1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        StartCartridge();
        const uint32_t id = Break(c.kind, c.first, c.first, c.bank);
        debugger->EnableBreakpoint(Break(TBreakKind::Execute, kCall), false);
        EXPECT_FALSE(RunUntilStops(1, 5));
        EXPECT_GT(Ram(0xC000), 0) << "the cartridge reached its interrupts";
        EXPECT_TRUE(debugger->RemoveBreakpoint(id));
        debugger.reset();
    }
}

TEST_F(DebuggerTest, GoingOnFromAHitRunsThatInstructionAndStopsAtEachLaterPass) {
    StartCartridge();
    Break(TBreakKind::Execute, kWarm);
    int hits = 0;
    debugger->Parker = [&](TDebugger&) {
        ++hits;
        return true;
    };
    for (int i = 0; i < 3; ++i) machine.RunFrame();
    EXPECT_EQ(hits, 64) << "once per round of the loop";
    EXPECT_EQ(Ram(0xC100), 0x5A) << "and the cartridge went on past it";
}

TEST_F(DebuggerTest, SteppingCommandsStopWhereTheyShould) {
    using TCommand = void (TDebugger::*)();
    struct TCase {
        const char* name;
        uint16_t from;
        TCommand command;
        TStopReason reason;
        uint16_t pc;
    };
    const TCase cases[] = {
        {"step", kAfterCall, &TDebugger::Step, TStopReason::Step, kWrite},
        {"step into a call", kCall, &TDebugger::Step, TStopReason::Step, kDouble},
        {"step over a call", kCall, &TDebugger::StepOver, TStopReason::StepOver, kAfterCall},
        {"step over a call not taken", kCallNz, &TDebugger::StepOver, TStopReason::StepOver, kAfterCallNz},
        {"step over LDIR", kLdir, &TDebugger::StepOver, TStopReason::StepOver, kAfterLdir},
        {"step in LDIR: one transfer", kLdir, &TDebugger::Step, TStopReason::Step, kLdir},
        {"step over an instruction that is no call", kAfterCall, &TDebugger::StepOver, TStopReason::Step, kWrite},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        StartCartridge();
        const uint32_t id = Break(TBreakKind::Execute, c.from);
        uint16_t sp = 0;
        debugger->Parker = [&](TDebugger& d) {
            if (d.StopCount() == 1) {
                sp = TConsoleChips::Cpu(*machine.Console).SP;
                d.RemoveBreakpoint(id);
                (d.*c.command)();
                return true;
            }
            return false;
        };
        ASSERT_TRUE(RunUntilStops(2));
        const TDebugStop stop = debugger->LastStop();
        EXPECT_EQ(stop.Reason, c.reason);
        EXPECT_EQ(stop.PC, c.pc);
        if (c.command == &TDebugger::StepOver) {
            EXPECT_EQ(TConsoleChips::Cpu(*machine.Console).SP, sp);
        }
        if (c.from == kLdir) {
            EXPECT_EQ(TConsoleChips::Cpu(*machine.Console).C, c.command == &TDebugger::StepOver ? 0 : 15);
        }
        debugger.reset();
    }
}

TEST_F(DebuggerTest, StepOnAHaltWaitsForTheInterruptAndFramesRunToTheirLines) {
    StartCartridge();
    Break(TBreakKind::Execute, kIdle);
    std::vector<TDebugStop> stops;
    std::vector<void (TDebugger::*)()> script = {&TDebugger::Step, &TDebugger::Step, &TDebugger::RunToFrameEnd,
                                                 &TDebugger::RunOneFrame};
    debugger->Parker = [&](TDebugger& d) {
        stops.push_back(d.LastStop());
        if (stops.size() == 1) d.ClearBreakpoints();
        if (stops.size() > script.size()) return false;
        (d.*script[stops.size() - 1])();
        return true;
    };
    ASSERT_TRUE(RunUntilStops(5));
    ASSERT_EQ(stops.size(), 5u);
    EXPECT_EQ(stops[1].Reason, TStopReason::Step);
    EXPECT_TRUE(stops[1].Halted) << "the HALT ran; the CPU idles past it";
    EXPECT_EQ(stops[1].PC, kIdle + 1);
    EXPECT_EQ(stops[2].Reason, TStopReason::Step);
    EXPECT_EQ(stops[2].PC, 0x0038) << "the interrupt ends the wait";
    EXPECT_EQ(stops[3].Reason, TStopReason::FrameEnd);
    EXPECT_EQ(stops[3].Frame, stops[2].Frame + 1);
    EXPECT_EQ(stops[3].Line, 0u);
    EXPECT_EQ(stops[4].Reason, TStopReason::OneFrame);
    EXPECT_EQ(stops[4].Frame, stops[3].Frame + 1);
    EXPECT_EQ(stops[4].Line, 0u);
}

TEST_F(DebuggerTest, RunOneFrameStopsAtTheSameLineOfTheNextFrame) {
    StartCartridge();
    Break(TBreakKind::LineInterrupt, 0);
    std::vector<TDebugStop> stops;
    debugger->Parker = [&](TDebugger& d) {
        stops.push_back(d.LastStop());
        if (stops.size() == 1) {
            d.ClearBreakpoints();
            d.RunOneFrame();
            return true;
        }
        return false;
    };
    ASSERT_TRUE(RunUntilStops(2));
    EXPECT_EQ(stops[1].Frame, stops[0].Frame + 1);
    EXPECT_GE(stops[1].Line, stops[0].Line);
    EXPECT_LE(stops[1].Line, stops[0].Line + 1);
}

// The headless runner's case: no Parker, so a stop holds the CPU until a
// command, and the next frame goes on from the stopped instruction.
TEST_F(DebuggerTest, AStopWithoutParkerHoldsTheCpuUntilACommand) {
    StartCartridge();
    EXPECT_EQ(TConsoleChips::Cpu(*machine.Console).DebugHook, nullptr) << "nothing to do: the normal loop runs";
    const uint32_t id = Break(TBreakKind::Execute, kWrite);
    EXPECT_NE(TConsoleChips::Cpu(*machine.Console).DebugHook, nullptr);
    ASSERT_TRUE(RunUntilStops(1));
    const uint8_t r = TConsoleChips::Cpu(*machine.Console).R;
    machine.RunFrame();
    machine.RunFrame();
    EXPECT_EQ(TConsoleChips::Cpu(*machine.Console).PC, kWrite);
    EXPECT_EQ(TConsoleChips::Cpu(*machine.Console).R, r) << "nothing ran while held";
    EXPECT_TRUE(debugger->Stopped());

    debugger->Step();
    EXPECT_FALSE(debugger->Stopped());
    ASSERT_TRUE(RunUntilStops(2));
    EXPECT_EQ(debugger->LastStop().PC, kRead);
    EXPECT_EQ(Ram(0xC100), 0x5A);

    debugger->RemoveBreakpoint(id);
    debugger->Run();
    EXPECT_EQ(TConsoleChips::Cpu(*machine.Console).DebugHook, nullptr) << "the hook goes once it has nothing to do";
    machine.RunFrame();
    EXPECT_EQ(debugger->StopCount(), 2u);
}

TEST_F(DebuggerTest, TheFirstThousandInstructionsTraceAsTheGoldenFile) {
    StartCartridge();
    std::ostringstream trace;
    int lines = 0;
    debugger->SetTrace([&](std::string_view line) {
        trace << line << '\n';
        if (++lines == 1000) debugger->Stop();
    });
    ASSERT_TRUE(RunUntilStops(1, 3));
    EXPECT_EQ(lines, 1000);
    const std::string path = TIRAVEL_SOURCE_DIR "/tests/data/debugtest-trace.txt";
    if (const char* update = std::getenv("TIRAVEL_UPDATE_GOLDEN"); update && std::string(update) == "1")
        std::ofstream(path, std::ios::binary) << trace.str();
    std::ifstream golden(path, std::ios::binary);
    ASSERT_TRUE(golden) << path;
    std::stringstream expected;
    expected << golden.rdbuf();
    EXPECT_EQ(trace.str(), expected.str()) << "regenerate with TIRAVEL_UPDATE_GOLDEN=1 if the change is meant";
}

TEST_F(DebuggerTest, TheTraceKeepsToItsFrames) {
    StartCartridge();
    std::vector<uint64_t> frames;
    debugger->SetTrace([&](std::string_view line) { frames.push_back(std::stoull(std::string(line.substr(0, 6)))); },
                       2, 3);
    for (int i = 0; i < 6; ++i) machine.RunFrame();
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.front(), 2u);
    EXPECT_EQ(frames.back(), 3u);
    debugger->SetTrace(nullptr);
    EXPECT_EQ(TConsoleChips::Cpu(*machine.Console).DebugHook, nullptr);
}

TEST_F(DebuggerTest, RegistersAreFormattedWithTheFlagsByName) {
    TCpuRegisters cpu{};
    cpu.A = 0x12;
    cpu.F = 0xC1;  // S Z C
    cpu.B = 0x34;
    cpu.AltH = 0xAB;
    cpu.SP = 0xDFF0;
    cpu.IFF1 = 1;
    cpu.InterruptMode = 1;
    EXPECT_EQ(TDebugger::FormatRegisters(cpu),
              "AF=12C1 BC=3400 DE=0000 HL=0000 IX=0000 IY=0000 SP=DFF0 AF'=0000 BC'=0000 DE'=0000 HL'=AB00 "
              "I=00 R=00 IFF=10 IM=1 F=SZ-----C");
}

// On the machine's own thread, as in the desktop program.
struct DebuggerThreadTest : DebuggerTest {
    // A breakpoint on the cartridge's first part is set before the thread
    // starts, which would otherwise run past it at once.
    void StartThread(int breakAt = -1) {
        StartCartridge();
        if (breakAt >= 0) Break(TBreakKind::Execute, static_cast<uint16_t>(breakAt));
        machine.ResumeEmulation();
    }
    bool AwaitStop(uint64_t count) {
        return ServeUntil([&] { return debugger->StopCount() >= count && debugger->Stopped(); });
    }
};

TEST_F(DebuggerThreadTest, AStopParksTheThreadForEditsAndIsAnnouncedOnTheMainThread) {
    int announced = 0;
    StartThread();
    debugger->OnStop = [&] { ++announced; };
    ASSERT_TRUE(ServeUntil([&] { return presents >= 10; }));
    ASSERT_TRUE(sound.GetStatus()) << "the sound plays";
    Break(TBreakKind::Execute, kCountStore);  // while it runs
    ASSERT_TRUE(AwaitStop(1));
    EXPECT_EQ(TConsoleChips::Cpu(*machine.Console).PC, kCountStore);
    ASSERT_TRUE(ServeUntil([&] { return announced == 1; }));
    EXPECT_FALSE(sound.GetStatus()) << "the sound card is halted";

    TConsoleChips::Cpu(*machine.Console).A = 0x77;  // edited while stopped
    debugger->Step();
    ASSERT_TRUE(AwaitStop(2));
    EXPECT_EQ(debugger->LastStop().PC, kCountStore + 3);
    EXPECT_EQ(Ram(0xC000), 0x77);

    debugger->ClearBreakpoints();
    debugger->Run();
    const int before = presents;
    ASSERT_TRUE(ServeUntil([&] { return presents >= before + 1; }));
    EXPECT_EQ(machine.WritePos, static_cast<uint32_t>(machine.SamplesPerFrame))
        << "the sound queue starts again empty";
    EXPECT_EQ(TConsoleChips::Cpu(*machine.Console).DebugHook, nullptr);

    debugger->Stop();
    ASSERT_TRUE(AwaitStop(3));
    EXPECT_EQ(debugger->LastStop().Reason, TStopReason::Stopped);
}

TEST_F(DebuggerThreadTest, TheWindowsStopAndStartWorkWhileTheDebuggerHoldsTheMachine) {
    StartThread(kWrite);
    ASSERT_TRUE(AwaitStop(1));

    machine.StopEmulation();  // a menu opened: must not wait for a thread that is parked already
    EXPECT_EQ(machine.Stopped, 1);
    EXPECT_TRUE(debugger->Stopped());
    machine.ResumeEmulation();  // a click on the picture
    EXPECT_FALSE(debugger->Stopped());
    const int before = presents;
    ASSERT_TRUE(ServeUntil([&] { return presents >= before + 2; }));
    EXPECT_EQ(Ram(0xC100), 0x5A) << "it went on from the stop";

    // The debugger's Stop on a machine the window paused runs it up to the
    // next instruction.
    machine.StopEmulation();
    debugger->Stop();
    ASSERT_TRUE(AwaitStop(2));
    EXPECT_EQ(machine.Stopped, 0);
    EXPECT_EQ(debugger->LastStop().Reason, TStopReason::Stopped);

    // And its Run on a stop the window paused again restarts both.
    machine.StopEmulation();
    debugger->Run();
    EXPECT_EQ(machine.Stopped, 0);
    const int later = presents;
    ASSERT_TRUE(ServeUntil([&] { return presents >= later + 1; }));
}

TEST_F(DebuggerThreadTest, ClosingTheDebuggerOrTheMachineFromAStopEndsCleanly) {
    for (bool closeMachine : {false, true}) {
        SCOPED_TRACE(closeMachine ? "the machine ends" : "the debugger closes");
        StartThread(kWrite);
        ASSERT_TRUE(AwaitStop(1));
        if (closeMachine) {
            machine.TerminateAndWait();
            debugger.reset();
            break;
        }
        debugger->Release();
        EXPECT_EQ(TConsoleChips::Cpu(*machine.Console).DebugHook, nullptr);
        const int before = presents;
        ASSERT_TRUE(ServeUntil([&] { return presents >= before + 2; }));
        EXPECT_EQ(Ram(0xC100), 0x5A);
        machine.StopEmulation();
        debugger.reset();
    }
}

// The thread stays parked in the hook when the debugger closes while the
// window holds a machine that cannot start (a game that failed to load); it
// wakes later, with the game, into a hook that is gone.
TEST_F(DebuggerThreadTest, AThreadWakingAfterTheDebuggerClosedRunsOnWithoutIt) {
    StartThread(kWrite);
    ASSERT_TRUE(AwaitStop(1));
    machine.StopEmulation();
    machine.Ready = 0;
    debugger.reset();
    EXPECT_EQ(TConsoleChips::Cpu(*machine.Console).DebugHook, nullptr);
    machine.Ready = 1;
    machine.ResumeEmulation();
    const int before = presents;
    ASSERT_TRUE(ServeUntil([&] { return presents >= before + 2; }));
    EXPECT_EQ(Ram(0xC100), 0x5A);
}

}  // namespace

namespace {

// The hand-over (where the window saves, loads and rewinds) may give the
// debugger commands: the machine waits for it there, so nothing is waited
// for; and fast forward keeps the sound card halted across a stop.
TEST_F(DebuggerThreadTest, CommandsFromTheFramesHandOverAndFastForwardKeepWorking) {
    StartThread();
    bool added = false;
    machine.OnFrameDone = [&](TSMS&) {
        if (!added && presents >= 3) {
            Break(TBreakKind::Execute, kCountStore);
            added = true;
        }
    };
    machine.SetFastForward(1);
    ASSERT_TRUE(AwaitStop(1));
    EXPECT_EQ(debugger->LastStop().PC, kCountStore);
    machine.OnFrameDone = nullptr;
    debugger->ClearBreakpoints();
    debugger->Run();
    const int before = presents;
    ASSERT_TRUE(ServeUntil([&] { return presents >= before + 3; }));
    EXPECT_FALSE(sound.GetStatus()) << "fast forward plays no sound";
    machine.SetFastForward(0);
    ASSERT_TRUE(ServeUntil([&] { return presents >= before + 4; }));
    EXPECT_EQ(machine.WritePos, static_cast<uint32_t>(machine.SamplesPerFrame)) << "the ring starts again empty";
}

}  // namespace
