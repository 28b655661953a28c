// TSMS: the machine of the desktop program. One worker thread that owns the
// console (TConsole, which owns and wires the four chips) and runs it one
// video frame at a time: 262 lines, each the VDP's line step followed by 228
// CPU cycles; then FrameStream holds the frame image and PresentFrame is
// handed to the main thread, which runs it while the machine waits. The
// thread, the presentation (input, the sound ring, the picture with its
// overlays) and the pacing are here; the console itself is thread-less and
// is what the other front ends drive directly.
//
// Toolkit-free: it knows the console and the platform interfaces only. The
// front end supplies the main-thread dispatcher, the timers, the sound output
// buffer and the callbacks (presentation, repaint request, error report).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Console.h"
#include "Display.h"
#include "InputDevice.h"
#include "PlatformThread.h"
#include "SoundOutputBuffer.h"
#include "SoundRateControl.h"
#include "StereoSoundQueue.h"
#include "Timers.h"

// The stream that carries the latest frame image to the display: a view of
// the console's frame image, rewound each frame.
struct TFrameStream {
    const uint8_t* Data;  // the console's frame image (null until InitMachine)
    uint32_t Size;        // bytes held: 0 until the first frame; then the frame's FrameImageSize()
    uint32_t Position;    // read position
};

class TSMS : public TPlatformThread {
public:
    // The facilities must outlive the machine. The thread is created
    // suspended; nothing else happens until InitMachine.
    TSMS(TMainThreadDispatcher& dispatcher, TTimers& timers, TSoundOutputBuffer& soundBuffer);
    ~TSMS() override;

    // Commands, all on the main thread.
    void ClearCoresCreated();
    void InitMachine();
    void LoadRom(const std::string& path);  // throws (the console's cartridge error); Ready stays 0 then
    void MarkReady();
    void SetRamPath(const std::string& path);
    void StopEmulation();
    void ResumeEmulation();
    void SetFrameskip(uint8_t frames);
    void SetFullScreen(uint8_t on);
    void SetVdpOverlay(uint8_t on);
    void SetPsgOverlay(uint8_t on);
    void SetFastForward(uint8_t on);

    // One frame's work without the thread: the console's frame (the
    // frameskip counter, the 262 lines and the export), with a safe stopping
    // point between lines, and FrameStream rewound. Execute calls it.
    void RunFrame();
    // The per-frame presentation step, on the main thread while the machine
    // waits: input into the controller ports, the frame's sound into the
    // ring buffer, the display mode, the picture with its overlays, the flip
    // and the pacing to TargetFps; then OnPresentFrame (if set). Steps whose
    // facility is not attached (no input devices, no display) are skipped.
    void PresentFrame();
    // The per-second frame count (after each presentation): the first call
    // since the loop began publishes the count at once, later calls publish
    // once at least 1000 ms have passed, and each asks for a repaint.
    void MeasureFrameRate();
    // Presents the frame image in FrameStream again, with its overlays, the
    // pause note and the message, without input, sound or pacing: main
    // thread, while the machine is stopped (a loaded state's picture, a
    // message appearing or going away, an overlay switched, a pause).
    void RepaintPicture();
    // A short message drawn on the picture, after the overlays, for about
    // two seconds from now ("" removes it at once).
    void ShowMessage(const std::string& text);
    // The message's text while it is still shown, "" once it has gone.
    std::string ShownMessage();
    static constexpr uint32_t MessageMs = 2000;

    // Hooks the front end provides, set before the first ResumeEmulation.
    // OnPresentFrame and OnError run on the main thread; OnRepaintRequest
    // runs on the machine thread and must only post a repaint.
    std::function<void(TSMS&)> OnPresentFrame;
    std::function<void()> OnRepaintRequest;
    std::function<void(const std::string&)> OnError;
    // Main thread, inside the hand-over after the frame's sound was queued
    // and before its picture is drawn, while the machine waits: the one
    // place where the front end may read or replace the running machine's
    // state (a save, a load, a step of the rewind).
    std::function<void(TSMS&)> OnFrameDone;
    // The last error reported through OnError ("" = none).
    std::string LastError;
    // Folders searched for BIOS dumps at the first InitMachine (none: the
    // built-in images only).
    std::vector<std::string> BiosFolders;
    // The model and its options for the next InitMachine (a first start, a
    // new game, a Console Reset). When they differ from those the console
    // runs, the console is powered on as the new model, with its own frame
    // rate and sound; otherwise a start is what it always was.
    TConsoleSettings ConsoleSettings;

    TTimers& Timers;
    TSoundOutputBuffer& SoundBuffer;
    // Player 1's and player 2's input devices and the display, attached by
    // the front end before the first ResumeEmulation; not owned.
    TInputDevice* Input1 = nullptr;
    TInputDevice* Input2 = nullptr;
    TDisplay* Display = nullptr;
    // The hardware models' 16-bit stereo output at 48 kHz, attached by the
    // front end like the display; not owned. Without it they play through
    // the ring as the default model does. With it, a hardware model's frames
    // go into this queue instead, kept near its start level by RateControl
    // through the console's sound rate; the ring is left silent.
    TStereoSoundQueue* StereoSound = nullptr;
    TSoundRateControl RateControl;

    // Fields, zero until InitMachine.
    TFrameStream FrameStream{};
    int64_t PerfNow = 0;
    int64_t PerfFrequency = 0;
    int64_t PerfLastFrame = 0;
    // The frames a second the pacing keeps: the console's FrameRate() (60,
    // 59.9227 or 49.7015); 0 runs unpaced.
    double TargetFps = 0;
    std::atomic<uint32_t> MeasuredFps{0};  // written by the machine thread, shown by the main thread
    uint32_t FrameCounter = 0;
    uint32_t CpuClock = 0;
    int32_t SamplesPerFrame = 0;
    uint32_t SampleRate = 0;
    uint32_t WritePos = 0;
    uint32_t PlayPos = 0;
    uint32_t Latency = 0;
    int32_t SoundBufferSize = 0;
    uint8_t CoresCreated = 0;
    uint8_t Stopped = 0;
    uint8_t Ready = 0;
    std::string RamPath;
    uint8_t FullScreen = 0;
    uint8_t VideoModePending = 0;
    uint8_t ShowVdpStatus = 0;
    uint8_t ShowPsgStatus = 0;
    // While set, each hand-over queues silence instead of the frame's sound
    // (the rewind plays no sound). Main thread only.
    uint8_t SoundMuted = 0;
    // While set, the machine runs as fast as the host allows: no pacing, no
    // sound (the ring is halted and restarts empty when it ends, as at a new
    // start), and a picture only once 1/60 s has passed since the last one
    // shown. Written by the window thread between frames, like the other
    // settings; read by the presentation step.
    uint8_t FastForward = 0;
    std::string Message;
    uint32_t MessageStart = 0;  // timeGetTime when it appeared
    // A line drawn on the picture, above the message, for as long as the
    // machine is stopped and ready to resume (a paused game), so the player
    // sees the game is held and how to go on; "" draws nothing. Only a
    // stopped machine's repaint draws it: the first frame that runs again
    // is shown without it.
    std::string PauseNote;
    // The console: the four chips, the frameskip setting and counter, the
    // frame image. Created by the first InitMachine and kept for the life of
    // the machine; front ends reach the chips only through its interface.
    std::unique_ptr<TConsole> Console;

protected:
    void Execute() override;

private:
    friend class TDebugger;
    // The debugger's link (Debugger.h). True on the thread that runs
    // Execute, where a debugger stop parks the thread.
    static bool OnMachineThread();
    // Machine thread, inside the CPU's debug hook: parks as Suspend would
    // and returns after the next Resume; false when the thread is ending.
    bool ParkForDebugger();
    // Machine thread: posts DebugStopOnMainThread.
    void PostDebugStop();
    static void DebugStopOnMainThread(void* self);
    // Main thread: at a debugger stop (after the sound is halted), and in
    // ResumeEmulation before the thread is let go.
    std::function<void()> debugStopped_;
    std::function<void()> debugResumed_;
    TMainThreadDispatcher& dispatcher_;

    void PresentInput();
    void PresentSound();
    void PresentStereoSound();
    void HaltSound();
    void PresentPicture();
    void DrawPsgStatus(TCanvas& canvas);
    void DrawVdpStatus(TCanvas& canvas);
    void DrawMessage(TCanvas& canvas, const std::string& text);
    void DrawPauseNote(TCanvas& canvas, int lift);
    void DrawPicture();
    void PaceFrame();
    void TakeConsoleTiming(std::vector<std::string>& messages);
    bool PictureDue();
    void Report(const std::string& message);
    void StopAfterFault();
    static void PresentOnMainThread(void* self);
    static void ParkBetweenLines(void* self);
    static void StopAfterFaultOnMainThread(void* self);

    bool intervalOpen_ = false;
    // Fast forward: the ring was halted for it; when the last picture was shown.
    bool soundHalted_ = false;
    bool pictureShown_ = false;
    int64_t lastPicture_ = 0;
    uint32_t intervalStart_ = 0;
    uint32_t soundRate_ = 0;  // the rate the sound ring was made for
    // The console's sound goes to StereoSound (a hardware model with the
    // queue attached); the queue's card is open; the last frame was muted.
    bool stereo_ = false;
    bool stereoOpened_ = false;
    bool stereoMuted_ = false;
    std::string fault_;
};
