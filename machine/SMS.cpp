// TSMS: commands and states, and the frame loop.
#include "SMS.h"

#include <exception>
#include <filesystem>
#include <stdexcept>

#include "BiosFiles.h"
#include "RomFiles.h"

namespace {

// Set on the machine thread when it enters Execute.
thread_local bool tMachineThread = false;

}  // namespace

TSMS::TSMS(TMainThreadDispatcher& dispatcher, TTimers& timers, TSoundOutputBuffer& soundBuffer)
    : TPlatformThread(dispatcher), Timers(timers), SoundBuffer(soundBuffer), dispatcher_(dispatcher) {}

// The body must end before the fields it uses go.
TSMS::~TSMS() { TerminateAndWait(); }

void TSMS::ClearCoresCreated() { CoresCreated = 0; }

void TSMS::InitMachine() {
    if (CoresCreated != 1) {
        // The chips are created once and live as long as the machine.
        if (!Vdp) Vdp.reset(new T_VDP_CORE());
        if (!Cpu) Cpu.reset(new T_Z80_CPU_CORE());
        if (!Psg) Psg.reset(new T_PSG_CORE());
        if (!Interconnect) Interconnect.reset(new T_INTERCONNECT_CORE());
        FrameStream.Size = 0;
        FrameStream.Position = 0;

        std::vector<std::string> messages;
        Bios_InstallImages(BiosFolders, messages);

        Z80_Reset(*Cpu, *Interconnect);
        Interconnect_Init(*Interconnect, *Vdp, *Psg);
        VDP_Reset(*Vdp);
        PSG_Reset(*Psg);

        CoresCreated = 1;
        Ready = 0;
        TargetFps = 60;
        CpuClock = 3579536;
        SampleRate = 44100;
        Frameskip.store(0, std::memory_order_relaxed);
        WritePos = 0;
        PlayPos = 0;
        SamplesPerFrame = static_cast<int32_t>(SampleRate / TargetFps);

        PSG_SetFrameRate(*Psg, TargetFps);
        PSG_SetClock(*Psg, CpuClock);

        // The card plays 150 samples per second slower than the synthesis
        // rate, so the queue slowly grows and is resynchronised, never starves.
        SoundBufferSize = 8 * SamplesPerFrame;
        if (!SoundBuffer.Create(SampleRate - 150, static_cast<uint32_t>(SoundBufferSize)))
            messages.push_back("Sound output unavailable: the emulation runs without sound.");

        PerfFrequency = Timers.QueryPerformanceFrequency();
        Z80_SetBiosType(*Cpu, 1);

        for (const std::string& message : messages) Report(message);
        return;
    }

    // A new start on the existing chips. The VDP keeps its registers and
    // memories until the new program rewrites them.
    Z80_Reset(*Cpu, *Interconnect);
    Ready = 0;
    Interconnect_Init(*Interconnect, *Vdp, *Psg);
    PSG_Reset(*Psg);
    SoundBuffer.Stop();
    SoundBuffer.SetCurrentPosition(0);
    WritePos = 0;
    PlayPos = 0;
}

void TSMS::LoadRom(const std::string& path) {
    if (CoresCreated != 1) throw std::logic_error("LoadRom before InitMachine");
    if (SMS_IsArchive(path)) {
        const TArchiveImage image = SMS_ReadArchiveImage(path);
        Z80_LoadRomImage(*Cpu, image.Data.data(), image.Data.size(), path, image.Entry);
    } else {
        Z80_LoadRom(*Cpu, path);
    }
    RomFileName = std::filesystem::path(path).filename().string();
    Ready = 1;
}

void TSMS::MarkReady() { Ready = 1; }

void TSMS::SetRamPath(const std::string& path) { RamPath = path; }

void TSMS::StopEmulation() {
    if (CoresCreated != 1 || Stopped == 1) return;
    // Park the loop first: the save must see the cartridge RAM at rest, not
    // while the CPU is still writing it, and the PSG reset must not race the
    // CPU's port writes. (A machine thread that was never started, or that is
    // waiting for this very thread, is at rest already.)
    if (!Suspended()) Suspend();
    std::string error;
    if (!Z80_SaveBatteryRam(*Cpu, RamPath, &error))
        Report(error.empty() ? "The battery RAM file " + RamPath + " could not be written." : error);
    PSG_Reset(*Psg);
    SoundBuffer.Stop();
    Stopped = 1;
}

void TSMS::ResumeEmulation() {
    if (CoresCreated != 1 || Stopped != 1 || Ready != 1) return;
    // Before the thread goes: a debugger holding it must know it runs again
    // before it can stop anew.
    if (debugResumed_) debugResumed_();
    Resume();
    Stopped = 0;
}

void TSMS::SetFrameskip(uint8_t frames) { Frameskip.store(frames, std::memory_order_relaxed); }

void TSMS::SetFullScreen(uint8_t on) {
    FullScreen = on;
    VideoModePending = 1;
}

void TSMS::SetVdpOverlay(uint8_t on) { ShowVdpStatus = on; }

void TSMS::SetPsgOverlay(uint8_t on) { ShowPsgStatus = on; }

void TSMS::SetFastForward(uint8_t on) { FastForward = on; }

void TSMS::RunFrame() {
    // The counter is decremented before the frame and reloaded only after a
    // drawn one, so a new setting takes effect after the next drawn frame.
    SkipCounter = SkipCounter - 1;
    const uint8_t draw = SkipCounter < 0 ? 1 : 0;
    T_VDP_CORE& vdp = *Vdp;
    T_Z80_CPU_CORE& cpu = *Cpu;
    for (uint32_t line = 0; line < SMS_LINES_PER_FRAME; ++line) {
        ParkPoint();
        VDP_RunLine(vdp, line, draw);
        Z80_RunCycles(cpu, SMS_CYCLES_PER_LINE);
    }
    if (SkipCounter < 0) SkipCounter = Frameskip.load(std::memory_order_relaxed);
    // Every frame, drawn or not: a skipped frame presents the last picture again.
    VDP_ExportFrame(vdp, FrameStream.Data);
    FrameStream.Size = static_cast<uint32_t>(VDP_FRAME_IMAGE_SIZE);
    FrameStream.Position = 0;
    ++FrameNumber;
}

void TSMS::MeasureFrameRate() {
    const uint32_t now = Timers.timeGetTime();
    // Unsigned difference: the millisecond timer wraps every 49.7 days.
    if (!intervalOpen_ || now - intervalStart_ >= 1000) {
        MeasuredFps.store(FrameCounter, std::memory_order_relaxed);
        FrameCounter = 0;
        intervalStart_ = Timers.timeGetTime();
        intervalOpen_ = true;
        if (OnRepaintRequest) OnRepaintRequest();
    }
    FrameCounter = FrameCounter + 1;
}

void TSMS::Report(const std::string& message) {
    LastError = message;
    if (OnError) OnError(message);
}

void TSMS::PresentOnMainThread(void* self) { static_cast<TSMS*>(self)->PresentFrame(); }

void TSMS::StopAfterFaultOnMainThread(void* self) { static_cast<TSMS*>(self)->StopAfterFault(); }

// Main thread, inside the hand-over: the machine is stopped as by the window's
// own stop command (battery RAM saved, sound silenced, thread parked as soon
// as this returns), so the next start command runs it again.
void TSMS::StopAfterFault() {
    StopEmulation();
    Report(fault_);
}

bool TSMS::OnMachineThread() { return tMachineThread; }

bool TSMS::ParkForDebugger() {
    SuspendSelf();
    return !Terminated();
}

void TSMS::PostDebugStop() { dispatcher_.Post(DebugStopOnMainThread, this); }

// Main thread. The sound card is halted as by StopEmulation, but the PSG
// keeps its registers for the debugger to show; the ring then starts again
// empty, as after fast forward, when the machine presents its next frame.
void TSMS::DebugStopOnMainThread(void* self) {
    auto& machine = *static_cast<TSMS*>(self);
    machine.SoundBuffer.Stop();
    machine.soundHalted_ = true;
    if (machine.debugStopped_) machine.debugStopped_();
}

void TSMS::Execute() {
    tMachineThread = true;
    intervalOpen_ = false;
    PerfLastFrame = 0;
    while (!Terminated()) {
        RunFrame();
        try {
            if (!Synchronize(PresentOnMainThread, this)) break;
        } catch (const std::exception& error) {
            fault_ = std::string("The emulation stopped: ") + error.what();
        } catch (...) {
            fault_ = "The emulation stopped: an unknown error occurred while presenting the frame.";
        }
        if (!fault_.empty()) {
            // An error in the presentation must not end the loop for good:
            // report it, stop the machine and wait for the next start.
            bool ran = false;
            try {
                ran = Synchronize(StopAfterFaultOnMainThread, this);
            } catch (...) {
                ran = true;  // the report itself failed; the machine is stopped all the same
            }
            fault_.clear();
            if (!ran) break;
            continue;
        }
        MeasureFrameRate();
    }
}
