// TSMS: commands and states, and the frame loop.
#include "SMS.h"

#include <exception>
#include <filesystem>
#include <stdexcept>

#include "ConsoleChips.h"

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
        // The console and its chips are created once and live as long as the
        // machine; a second first start (after ClearCoresCreated) powers them
        // on again.
        std::vector<std::string> messages;
        TConsole::InstallBiosImages(BiosFolders, messages);
        if (!Console)
            Console = std::make_unique<TConsole>(ConsoleSettings);
        else if (Console->Settings() != Console_EffectiveSettings(ConsoleSettings))
            Console->Configure(ConsoleSettings);
        else
            Console->PowerOn();
        FrameStream.Data = Console->FrameImage();
        FrameStream.Size = 0;
        FrameStream.Position = 0;

        CoresCreated = 1;
        Ready = 0;
        Console->SetFrameskip(0);
        SoundBufferSize = 0;  // the ring is made for the console's timing
        TakeConsoleTiming(messages);

        PerfFrequency = Timers.QueryPerformanceFrequency();
        Console->SetBiosType(1);

        for (const std::string& message : messages) Report(message);
        return;
    }

    // A new start on the existing chips: as another model (or standard) when
    // one was chosen since, powered on then; otherwise the console's reset.
    if (Console->Settings() != Console_EffectiveSettings(ConsoleSettings)) {
        // The frame loop must not run a line while the chips change model.
        const bool running = !Suspended();
        if (running) Suspend();
        Console->Configure(ConsoleSettings);
        std::vector<std::string> messages;
        TakeConsoleTiming(messages);
        if (running) Resume();
        for (const std::string& message : messages) Report(message);
    } else {
        Console->ResetConsole();
    }
    Ready = 0;
    SoundBuffer.Stop();
    SoundBuffer.SetCurrentPosition(0);
    WritePos = 0;
    PlayPos = 0;
    if (StereoSound != nullptr) StereoSound->Stop();
}

// The pacing and the sound ring follow the console's model: its frame rate,
// and a ring of eight frames' samples (made again only when that changes).
void TSMS::TakeConsoleTiming(std::vector<std::string>& messages) {
    TargetFps = Console->FrameRate();
    CpuClock = Console->CpuClock();
    SampleRate = Console->SampleRate();
    WritePos = 0;
    PlayPos = 0;
    SamplesPerFrame = static_cast<int32_t>(Console->SamplesPerFrame());

    // A hardware model with a stereo output attached plays through it: the
    // ring (if a default model made it) stays stopped, and the queue starts
    // empty, at the console's own rate, learning the card's clock anew.
    // One card at a time: some drivers open only one device, so the output
    // that is not used is closed (the ring is made anew when it is needed).
    stereo_ = StereoSound != nullptr && Console->HasStereoSound();
    if (StereoSound != nullptr) StereoSound->Stop();
    if (stereo_) {
        SoundBuffer.Stop();
        SoundBuffer.Close();
        SoundBufferSize = 0;
        soundRate_ = 0;
        RateControl.Reset();
        Console->SetSoundRate(RateControl.Factor());
        stereoMuted_ = false;
        if (!stereoOpened_) {
            stereoOpened_ = true;
            if (!StereoSound->Open(CONSOLE_STEREO_SAMPLE_RATE))
                messages.push_back("Sound output unavailable: the emulation runs without sound.");
        }
        return;
    }
    if (stereoOpened_) {
        StereoSound->Close();
        stereoOpened_ = false;
    }

    // The card plays 150 samples per second slower than the synthesis
    // rate, so the queue slowly grows and is resynchronised, never starves.
    if (SoundBufferSize == 8 * SamplesPerFrame && soundRate_ == SampleRate) return;
    SoundBufferSize = 8 * SamplesPerFrame;
    soundRate_ = SampleRate;
    if (!SoundBuffer.Create(SampleRate - 150, static_cast<uint32_t>(SoundBufferSize)))
        messages.push_back("Sound output unavailable: the emulation runs without sound.");
}

void TSMS::LoadRom(const std::string& path) {
    if (CoresCreated != 1) throw std::logic_error("LoadRom before InitMachine");
    Console->LoadCartridge(path);
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
    if (!Console->SaveBatteryFile(RamPath, error))
        Report(error.empty() ? "The battery RAM file " + RamPath + " could not be written." : error);
    PSG_Reset(TConsoleChips::Psg(*Console));
    HaltSound();
    Stopped = 1;
}

// Both outputs fall silent: the ring stops where it is, the stereo queue
// fades out its head and starts empty when frames come again.
void TSMS::HaltSound() {
    SoundBuffer.Stop();
    if (StereoSound != nullptr) StereoSound->Stop();
}

void TSMS::ResumeEmulation() {
    if (CoresCreated != 1 || Stopped != 1 || Ready != 1) return;
    // Before the thread goes: a debugger holding it must know it runs again
    // before it can stop anew.
    if (debugResumed_) debugResumed_();
    Resume();
    Stopped = 0;
}

void TSMS::SetFrameskip(uint8_t frames) {
    if (Console) Console->SetFrameskip(frames);
}

void TSMS::SetFullScreen(uint8_t on) {
    FullScreen = on;
    VideoModePending = 1;
}

void TSMS::SetVdpOverlay(uint8_t on) { ShowVdpStatus = on; }

void TSMS::SetPsgOverlay(uint8_t on) { ShowPsgStatus = on; }

void TSMS::SetFastForward(uint8_t on) { FastForward = on; }

void TSMS::ParkBetweenLines(void* self) { static_cast<TSMS*>(self)->ParkPoint(); }

void TSMS::RunFrame() {
    Console->RunFrame(ParkBetweenLines, this);
    FrameStream.Data = Console->FrameImage();
    // 192 lines always in the default model; 224 or 240 where a hardware
    // model's VDP mode has them.
    FrameStream.Size = static_cast<uint32_t>(Console->FrameImageSize());
    FrameStream.Position = 0;
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
    machine.HaltSound();
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
