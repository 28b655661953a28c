// TSMS::PresentFrame: one emulated frame's meeting with the host, on the
// main thread while the machine thread waits. In order: the two pads into
// the controller ports (and Pause into the NMI), the frame's sound into the
// looping ring with its latency kept near 5000 bytes (a hardware model's into
// the stereo queue, kept near 32 ms by the console's rate), the display mode, the
// picture with the two status overlays and a short message, the flip, and
// the pacing to the console's frame rate (60 frames a second in the default
// model; 59.92 or 49.70 in the hardware models' NTSC and PAL). A stopped
// machine's repaint draws the picture again, with a paused game's note.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "SMS.h"

#include "ConsoleChips.h"

namespace {

constexpr TColor kWhite{255, 255, 255};
constexpr TColor kBlack{0, 0, 0};
constexpr TColor kYellow{255, 255, 0};
constexpr TColor kGreen{0, 255, 0};

// The sound ring's fill window: resynchronise below this many queued bytes
// (only from the last block of the ring), and start playing above it.
constexpr uint32_t kLowLatency = 4000;
constexpr uint32_t kTargetLatency = 5000;

void StartOverlay(TCanvas& canvas) {
    canvas.SetFont("Courier New", 6, true);
    canvas.SetFontColor(kWhite);
    canvas.SetBrushColor(kBlack);
    canvas.SetPenColor(kWhite);
}

std::string Line(const char* label, unsigned value) { return label + std::to_string(value); }

// The message and the pause note stand near the foot of a 192-line picture
// (and there on the taller ones, as ever); on the Game Gear's 144 lines they
// rise with the foot, or they would fall off the picture.
int BoxRise(const TConsole* console) {
    const int height = console != nullptr ? static_cast<int>(console->PictureHeight()) : CONSOLE_PICTURE_HEIGHT;
    return height < static_cast<int>(CONSOLE_PICTURE_HEIGHT) ? height - static_cast<int>(CONSOLE_PICTURE_HEIGHT) : 0;
}

// A box's text in lines that fit a picture `width` pixels wide (the box
// starts 8 pixels in, 3 pixels of margin each side, 5 pixels a character),
// broken at spaces: on the 256-pixel pictures every text of the program
// stays on one line; on the Game Gear's 160 the longer ones take two.
std::vector<std::string> FitLines(const std::string& text, uint32_t width) {
    const std::size_t most = static_cast<std::size_t>(std::max(1, (static_cast<int>(width) - 16 - 6) / 5));
    std::vector<std::string> lines;
    std::string rest = text;
    while (rest.size() > most) {
        std::size_t cut = rest.rfind(' ', most);
        if (cut == std::string::npos || cut == 0) cut = most;
        lines.push_back(rest.substr(0, cut));
        rest.erase(0, rest[cut] == ' ' ? cut + 1 : cut);
    }
    lines.push_back(rest);
    return lines;
}

// Lines in the overlays' font on a black box whose foot is at `bottom`.
void DrawBox(TCanvas& canvas, const std::vector<std::string>& lines, int bottom) {
    std::size_t longest = 0;
    for (const std::string& line : lines) longest = std::max(longest, line.size());
    const int top = bottom - 14 - 10 * (static_cast<int>(lines.size()) - 1);
    canvas.Rectangle(8, top, 8 + 6 + 5 * static_cast<int>(longest), bottom);
    for (std::size_t i = 0; i < lines.size(); ++i) canvas.TextOut(11, top + 2 + 10 * static_cast<int>(i), lines[i]);
}

uint32_t PictureWidth(const TConsole* console) {
    return console != nullptr ? console->PictureWidth() : static_cast<uint32_t>(CONSOLE_PICTURE_WIDTH);
}

}  // namespace

void TSMS::PresentFrame() {
    PresentInput();
    PresentSound();
    if (OnFrameDone) OnFrameDone(*this);
    if (FastForward == 1) {
        // As fast as the host allows: the frames between two pictures are
        // not shown, and no frame waits. The pacing starts again from the
        // last frame, so normal play resumes without catching up.
        if (PictureDue())
            PresentPicture();
        else
            FrameStream.Position = FrameStream.Size;
        PerfNow = Timers.QueryPerformanceCounter();
        PerfLastFrame = PerfNow;
    } else {
        PresentPicture();
        PaceFrame();
    }
    if (OnPresentFrame) OnPresentFrame(*this);
}

void TSMS::PresentInput() {
    if (Input1 != nullptr) Input1->Update();
    if (Input2 != nullptr) Input2->Update();
    auto pad = [](const TInputDevice* device) {
        if (device == nullptr) return uint8_t{0};
        static constexpr struct {
            TInputState State;
            uint8_t Bit;
        } kButtons[] = {{TInputState::Left, PAD_LEFT},       {TInputState::Right, PAD_RIGHT},
                        {TInputState::Up, PAD_UP},           {TInputState::Down, PAD_DOWN},
                        {TInputState::Button1, PAD_BUTTON1}, {TInputState::Button2, PAD_BUTTON2}};
        uint8_t held = 0;
        for (const auto& button : kButtons)
            if (device->State(button.State)) held |= button.Bit;
        return held;
    };
    Console->SetPads(pad(Input1), pad(Input2));
    // Held Pause asks every frame; the CPU's lock-out turns that into one
    // interrupt per lock-out period. Player 2 has no pause.
    if (Input1 != nullptr && Input1->State(TInputState::Button3)) Console->PressPause();
}

void TSMS::PresentSound() {
    if (stereo_) {
        PresentStereoSound();
        return;
    }
    const std::span<const uint8_t> samples = Console->RenderFrameSamples();

    // Fast forward: the frames' sound would come far faster than the card
    // plays it, so the ring is halted (the card then plays silence) and
    // nothing is queued. Afterwards the ring starts again as after a new
    // start: empty, written from its first block, and played once the
    // queue holds its usual latency, so no stale block and no half-filled
    // queue reaches the card.
    if (FastForward == 1) {
        if (!soundHalted_) SoundBuffer.Stop();
        soundHalted_ = true;
        return;
    }
    if (soundHalted_) {
        soundHalted_ = false;
        SoundBuffer.Stop();
        SoundBuffer.SetCurrentPosition(0);
        WritePos = 0;
        PlayPos = 0;
    }

    // WritePos is always a multiple of the block size and the ring holds
    // exactly 8 blocks, so the first region is the whole block; the second is
    // never used.
    TSoundLockRegions regions;
    if (SoundBuffer.Lock(WritePos, static_cast<uint32_t>(SamplesPerFrame), regions) && regions.Region1 != nullptr) {
        // 128 is the unsigned samples' silent level.
        if (SoundMuted == 1)
            std::memset(regions.Region1, 128, regions.Size1);
        else
            for (uint32_t i = 0; i < regions.Size1; ++i) regions.Region1[i] = samples[i];
        SoundBuffer.Unlock(regions);
        WritePos = WritePos + regions.Size1;
        if (WritePos >= static_cast<uint32_t>(SoundBufferSize)) WritePos = 0;
    }

    PlayPos = SoundBuffer.GetCurrentPosition();
    // Equal positions count as a full ring.
    Latency = PlayPos < WritePos ? WritePos - PlayPos : WritePos + static_cast<uint32_t>(SoundBufferSize) - PlayPos;

    if (Latency < kLowLatency && WritePos >= kTargetLatency) SoundBuffer.SetCurrentPosition(WritePos - kTargetLatency);
    if (!SoundBuffer.GetStatus() && Latency > kTargetLatency) SoundBuffer.Play();
}

// A hardware model's frame into the stereo queue. Nothing moves a play
// cursor: the queue starts playing once it holds its start level, and the
// console's rate is nudged each frame to keep it there. Fast forward queues
// nothing (the queue fades out at its first frame and starts empty after);
// the rewind's muted frames keep the queue's level with silence, the sound
// falling to it over the first muted frame and rising over the first frame
// after.
void TSMS::PresentStereoSound() {
    const std::span<const int16_t> pairs = Console->RenderFrameStereo();
    if (FastForward == 1) {
        if (!soundHalted_) StereoSound->Stop();
        soundHalted_ = true;
        RateControl.Hold();
        return;
    }
    soundHalted_ = false;
    const bool muted = SoundMuted == 1;
    const TSoundRamp ramp = muted ? (stereoMuted_ ? TSoundRamp::Silent : TSoundRamp::Out)
                                  : (stereoMuted_ ? TSoundRamp::In : TSoundRamp::None);
    stereoMuted_ = muted;
    StereoSound->Push(pairs.data(), static_cast<uint32_t>(pairs.size() / 2), ramp);
    // The queue's pairs, for the PSG overlay's "Delta EMU/EX".
    Latency = StereoSound->Queued();
    if (StereoSound->Playing()) {
        Console->SetSoundRate(RateControl.Update(StereoSound->QueuedMs(), 1.0 / Console->FrameRate()));
    } else {
        RateControl.Hold();
    }
}

void TSMS::PresentPicture() {
    if (Display == nullptr) return;
    if (VideoModePending == 1) {
        // Cleared first: a mode the display refuses is not retried every frame.
        VideoModePending = 0;
        Display->SetFullScreenOption(FullScreen == 1);
        Display->Initialize();
    }
    // The stream was rewound by the frame loop; decoding reads it to the end.
    Display->LoadSurface(FrameStream.Data + FrameStream.Position, FrameStream.Size - FrameStream.Position);
    FrameStream.Position = FrameStream.Size;
    DrawPicture();
}

void TSMS::RepaintPicture() {
    // A loaded state brings its picture before any frame has run.
    if (Display == nullptr || !Console || !Console->HasPicture()) return;
    FrameStream.Data = Console->FrameImage();
    FrameStream.Size = static_cast<uint32_t>(Console->FrameImageSize());
    Display->LoadSurface(FrameStream.Data, FrameStream.Size);
    FrameStream.Position = FrameStream.Size;
    DrawPicture();
}

// The overlays, the message and the flip, on the surface just loaded.
void TSMS::DrawPicture() {
    if (ShowPsgStatus == 1) {
        DrawPsgStatus(Display->Canvas());
        Display->ReleaseCanvas();
    }
    if (ShowVdpStatus == 1) {
        DrawVdpStatus(Display->Canvas());
        Display->ReleaseCanvas();
    }
    const std::string text = ShownMessage();
    if (!PauseNote.empty() && Stopped == 1 && Ready == 1) {
        // Above the message, which takes more lines on a narrow picture.
        const std::size_t messageLines = text.empty() ? 1 : FitLines(text, PictureWidth(Console.get())).size();
        DrawPauseNote(Display->Canvas(), 10 * (static_cast<int>(messageLines) - 1));
        Display->ReleaseCanvas();
    }
    if (!text.empty()) {
        DrawMessage(Display->Canvas(), text);
        Display->ReleaseCanvas();
    }
    Display->Flip();
}

void TSMS::ShowMessage(const std::string& text) {
    Message = text;
    MessageStart = Timers.timeGetTime();
}

std::string TSMS::ShownMessage() {
    // Unsigned difference: the millisecond timer wraps every 49.7 days.
    if (!Message.empty() && Timers.timeGetTime() - MessageStart >= MessageMs) Message.clear();
    return Message;
}

// One line in the overlays' font on a black box at the bottom left, clear
// of the two overlays and of most games' status bars at the top.
void TSMS::DrawMessage(TCanvas& canvas, const std::string& text) {
    StartOverlay(canvas);
    DrawBox(canvas, FitLines(text, PictureWidth(Console.get())), 186 + BoxRise(Console.get()));
}

// The message's box one line higher, so that a message (a state saved
// while paused) and the note are read together; below the PSG overlay.
void TSMS::DrawPauseNote(TCanvas& canvas, int lift) {
    StartOverlay(canvas);
    DrawBox(canvas, FitLines(PauseNote, PictureWidth(Console.get())), 171 + BoxRise(Console.get()) - lift);
}

void TSMS::DrawPsgStatus(TCanvas& canvas) {
    T_PSG_STATUS_INFO info;
    PSG_GetStatus(TConsoleChips::Psg(*Console), info);
    StartOverlay(canvas);
    canvas.Rectangle(10, 47, 125, 155);
    canvas.SetFontColor(kYellow);
    canvas.TextOut(13, 50, "  PSG STATUS  - V.U. ");
    canvas.SetFontColor(kWhite);
    canvas.TextOut(13, 60, Line("Atenua TONE1: ", info.Tone1Attenuation));
    canvas.TextOut(13, 70, Line("Freque TONE1: ", info.Tone1Period));
    canvas.TextOut(13, 80, Line("Atenua TONE2: ", info.Tone2Attenuation));
    canvas.TextOut(13, 90, Line("Freque TONE2: ", info.Tone2Period));
    canvas.TextOut(13, 100, Line("Atenua TONE3: ", info.Tone3Attenuation));
    canvas.TextOut(13, 110, Line("Freque TONE3: ", info.Tone3Period));
    canvas.TextOut(13, 120, Line("Atenua NOISE: ", info.NoiseAttenuation));
    canvas.TextOut(13, 130, Line("Freque NOISE: ", info.NoiseControl));
    canvas.TextOut(13, 140, Line("Delta EMU/EX: ", Latency));

    // Level meters: a 16-row frame per channel, the green bar starting
    // `attenuation` rows down, so 0 (loudest) fills it and 15 leaves a row.
    const uint16_t levels[4] = {info.Tone1Attenuation, info.Tone2Attenuation, info.Tone3Attenuation,
                                info.NoiseAttenuation};
    canvas.SetBrushColor(kBlack);
    for (int meter = 0; meter < 4; ++meter) canvas.Rectangle(105, 62 + 20 * meter, 120, 78 + 20 * meter);
    canvas.SetBrushColor(kGreen);
    for (int meter = 0; meter < 4; ++meter)
        canvas.Rectangle(105, 62 + 20 * meter + levels[meter], 120, 78 + 20 * meter);
}

void TSMS::DrawVdpStatus(TCanvas& canvas) {
    T_VDP_STATUS_INFO info;
    VDP_GetStatusInfo(TConsoleChips::Vdp(*Console), info);
    StartOverlay(canvas);
    canvas.Rectangle(150, 47, 250, 145);
    canvas.SetFontColor(kYellow);
    canvas.TextOut(153, 50, "     VDP STATUS   ");
    canvas.SetFontColor(kWhite);
    canvas.TextOut(153, 60, Line("Sprites 8x16: ", info.Sprites8x16));
    canvas.TextOut(153, 70, Line("Line INT    : ", info.LineInt));
    canvas.TextOut(153, 80, Line("Frame INT   : ", info.FrameInt));
    canvas.TextOut(153, 90, Line("INT Counter : ", info.IntCounter));
    canvas.TextOut(153, 100, Line("Horiz Scroll: ", info.HorizScroll));
    canvas.TextOut(153, 110, Line("Verti Scroll: ", info.VertiScroll));
    canvas.TextOut(153, 120, Line("Video Active: ", info.VideoActive));
    // Drawn frames per second.
    const uint32_t skip = Console->Frameskip();
    canvas.TextOut(153, 130, Line("Frames p/ Sc: ", MeasuredFps.load(std::memory_order_relaxed) / (skip + 1)));
}

// Fast forward shows at most 60 pictures a second.
bool TSMS::PictureDue() {
    const int64_t now = Timers.QueryPerformanceCounter();
    if (pictureShown_ && now >= lastPicture_ && now - lastPicture_ < PerfFrequency / 60) return false;
    pictureShown_ = true;
    lastPicture_ = now;
    return true;
}

void TSMS::PaceFrame() {
    PerfNow = Timers.QueryPerformanceCounter();
    if (PerfLastFrame != 0 && TargetFps > 0) {
        // A whole rate divides the counter's frequency in whole numbers, as
        // it always has; the hardware models' rates (59.9227, 49.7015) are
        // divided exactly, so their frames keep the real console's pace.
        const int64_t frameTicks = std::floor(TargetFps) == TargetFps
                                       ? PerfFrequency / static_cast<int64_t>(TargetFps)
                                       : static_cast<int64_t>(static_cast<double>(PerfFrequency) / TargetFps);
        const int64_t twoMs = PerfFrequency * 2 / 1000;
        for (;;) {
            PerfNow = Timers.QueryPerformanceCounter();
            const int64_t elapsed = PerfNow - PerfLastFrame;
            const int64_t remaining = frameTicks - elapsed;
            // A counter that went backwards ends the wait rather than
            // stalling; late frames are never caught up.
            if (PerfNow < PerfLastFrame || elapsed >= frameTicks) break;
            if (twoMs < remaining) {
                Timers.Sleep(1);
            } else {
                for (int i = 0; i < 11; ++i) Timers.Sleep(0);
            }
        }
    }
    PerfLastFrame = PerfNow;
}
