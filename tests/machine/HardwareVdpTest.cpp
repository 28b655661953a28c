// The hardware models' VDP seen by programs: test cartridges of our own run
// on the console (the BIOS first, then the cartridge), and their results are
// read from system RAM and from the picture. Each cartridge says in its
// source what it does and where it leaves its results.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Console.h"

namespace {

std::string Rom(const char* name) { return std::string(TIRAVEL_TEST_ROM_DIR) + "/" + name + ".sms"; }

const TConsoleSettings kSms1Ntsc{TConsoleModel::MasterSystem, TConsoleRegion::Export, TConsoleVideo::Ntsc};
const TConsoleSettings kSms1Pal{TConsoleModel::MasterSystem, TConsoleRegion::Export, TConsoleVideo::Pal};
const TConsoleSettings kSms2Ntsc{TConsoleModel::MasterSystem2, TConsoleRegion::Export, TConsoleVideo::Ntsc};
const TConsoleSettings kSms2Pal{TConsoleModel::MasterSystem2, TConsoleRegion::Export, TConsoleVideo::Pal};

uint8_t Ram(const TConsole& console, uint32_t address) {
    return console.Peek(TMemoryRegion::SystemRam, address - 0xC000);
}

// Runs frames until RAM byte `address` holds `value`; false after `limit`.
bool RunUntil(TConsole& console, uint32_t address, uint8_t value, int limit = 600) {
    for (int frame = 0; frame < limit; ++frame) {
        if (Ram(console, address) == value) return true;
        console.RunFrame();
    }
    return Ram(console, address) == value;
}

// A pixel of the last frame's picture (line 0 at the top), a 6-bit colour.
uint8_t Pixel(const TConsole& console, uint32_t line, uint32_t x) {
    return console.FramePixels()[(console.PictureHeight() - 1 - line) * CONSOLE_PICTURE_WIDTH + x];
}

// The background and sprite palettes the cartridges load (rom.inc).
constexpr uint8_t kRomPalette[16] = {0x00, 0x3F, 0x15, 0x0F, 0x0C, 0x03, 0x30, 0x3C,
                                     0x33, 0x07, 0x04, 0x10, 0x22, 0x2A, 0x06, 0x37};

std::vector<uint8_t> Runs(std::initializer_list<std::pair<int, int>> runs) {
    std::vector<uint8_t> out;
    for (const auto& [a, b] : runs)
        for (int v = a; v <= b; ++v) out.push_back(uint8_t(v));
    return out;
}

// ---------------------------------------------------------------- V counter

TEST(HardwareVdpTest, VCounterRecordedOncePerLineFollowsEachStandardAndHeight) {
    const std::vector<uint8_t> ntsc192 = Runs({{0x00, 0xDA}, {0xD5, 0xFF}});
    const std::vector<uint8_t> pal192 = Runs({{0x00, 0xF2}, {0xBA, 0xFF}});
    struct TCase {
        const char* Name;
        TConsoleSettings Settings;
        std::vector<uint8_t> Frame[3];  // 192, 224 and 240 lines asked for
    };
    const TCase cases[] = {
        {"sms2 ntsc", kSms2Ntsc, {ntsc192, Runs({{0x00, 0xEA}, {0xE5, 0xFF}}), Runs({{0x00, 0xFF}, {0x00, 0x05}})}},
        {"sms2 pal",
         kSms2Pal,
         {pal192, Runs({{0x00, 0xFF}, {0x00, 0x02}, {0xCA, 0xFF}}), Runs({{0x00, 0xFF}, {0x00, 0x0A}, {0xD2, 0xFF}})}},
        {"sms1 ntsc", kSms1Ntsc, {ntsc192, ntsc192, ntsc192}},
        {"sms1 pal", kSms1Pal, {pal192, pal192, pal192}},
    };
    for (const TCase& c : cases) {
        TConsole console(c.Settings);
        console.LoadCartridge(Rom("hw_vcount"));
        ASSERT_TRUE(RunUntil(console, 0xD000, 0xA5)) << c.Name;
        for (int height = 0; height < 3; ++height) {
            // 330 values, more than a frame: they must be a stretch of the
            // frame's sequence, repeated, starting anywhere.
            const std::vector<uint8_t>& frame = c.Frame[height];
            std::vector<uint8_t> seen(330);
            for (uint32_t i = 0; i < seen.size(); ++i) seen[i] = Ram(console, 0xC100 + 0x200 * height + i);
            bool found = false;
            for (std::size_t start = 0; start < frame.size() && !found; ++start) {
                found = true;
                for (std::size_t i = 0; i < seen.size() && found; ++i)
                    found = seen[i] == frame[(start + i) % frame.size()];
            }
            EXPECT_TRUE(found) << c.Name << ", height " << height << ": the values are no stretch of the "
                               << frame.size() << "-line sequence";
        }
    }
}

// ---------------------------------------------------------------- interrupts

// The interrupt records between two frame interrupts: the V counters of the
// line interrupts, then the frame interrupt's.
struct TFrameRecord {
    std::vector<int> LineInts;
    int FrameInt = -1;
};

std::vector<TFrameRecord> ReadInterruptRecords(const TConsole& console) {
    std::vector<TFrameRecord> frames(1);
    for (uint32_t at = 0xC100; at < 0xC300; at += 2) {
        const uint8_t v = Ram(console, at), status = Ram(console, at + 1);
        if (status & 0x80) {
            frames.back().FrameInt = v;
            frames.emplace_back();
        } else {
            frames.back().LineInts.push_back(v);
        }
    }
    frames.pop_back();  // not ended by a frame interrupt
    return frames;
}

std::vector<int> Every10(int from, int to) {
    std::vector<int> out;
    for (int v = from; v <= to; v += 10) out.push_back(v);
    return out;
}

TEST(HardwareVdpTest, LineAndFrameInterruptsComeOnTheirLines) {
    // R10 = 9: the counter runs out at the end of lines 9, 19, ..., and the
    // handler reads the V counter on the next line. The frame interrupt
    // comes at $C1 (192 lines) or $E1 (224).
    for (const TConsoleSettings& settings : {kSms2Ntsc, kSms1Ntsc, kSms2Pal}) {
        const bool tall = settings.Model == TConsoleModel::MasterSystem2;
        TConsole console(settings);
        console.LoadCartridge(Rom("hw_interrupts"));
        ASSERT_TRUE(RunUntil(console, 0xD000, 0xA5));
        const std::vector<TFrameRecord> frames = ReadInterruptRecords(console);
        ASSERT_GE(frames.size(), 9u);
        // Frame 0 began mid-way; 1-4 are 192-line frames; the mode changes
        // at the end of frame 4.
        for (std::size_t f = 1; f <= 4; ++f) {
            EXPECT_EQ(Every10(10, 190), frames[f].LineInts) << "frame " << f;
            EXPECT_EQ(0xC1, frames[f].FrameInt) << "frame " << f;
        }
        for (std::size_t f = 6; f < frames.size(); ++f) {
            EXPECT_EQ(tall ? Every10(10, 220) : Every10(10, 190), frames[f].LineInts) << "frame " << f;
            EXPECT_EQ(tall ? 0xE1 : 0xC1, frames[f].FrameInt) << "frame " << f;
        }
        if (tall) {
            // The frame of the change: the handler's write lands a line or
            // two after $C1; from there the counter counts through the new
            // active lines (every 10, up to the line after them), and the
            // 224-line frame interrupt comes too.
            const std::vector<int>& ints = frames[5].LineInts;
            ASSERT_FALSE(ints.empty());
            EXPECT_GE(ints.front(), 0xC1 + 10);
            EXPECT_LE(ints.back(), 0xE1);
            for (std::size_t i = 1; i < ints.size(); ++i) EXPECT_EQ(ints[i - 1] + 10, ints[i]);
            EXPECT_EQ(0xE1, frames[5].FrameInt);
        }
    }
}

// ---------------------------------------------------------------- control port

TEST(HardwareVdpTest, StatusReadsAndDataAccessesEndAControlPair) {
    struct TCase {
        TConsoleSettings Settings;
        uint8_t Expected[3];
    };
    // The default model ends a pair on data reads only, as designed: after
    // a status read or a data write its next byte completes the old pair.
    for (const TCase& c : {TCase{kSms2Ntsc, {0xC1, 0xC2, 0xC3}}, TCase{kSms1Pal, {0xC1, 0xC2, 0xC3}},
                           TCase{TConsoleSettings{}, {0x00, 0x00, 0xC3}}}) {
        TConsole console(c.Settings);
        console.LoadCartridge(Rom("hw_control"));
        ASSERT_TRUE(RunUntil(console, 0xD000, 0xA5));
        for (uint32_t i = 0; i < 3; ++i)
            EXPECT_EQ(c.Expected[i], Ram(console, 0xC010 + i))
                << Console_ModelInfo(c.Settings.Model).Name << ", access " << i;
    }
}

// ---------------------------------------------------------------- sprites

TEST(HardwareVdpTest, SpriteLimitOverflowCollisionAndZoom) {
    for (const TConsoleSettings& settings : {kSms1Ntsc, kSms2Ntsc}) {
        const bool sms1 = settings.Model == TConsoleModel::MasterSystem;
        const char* name = Console_ModelInfo(settings.Model).Name;
        TConsole console(settings);
        console.LoadCartridge(Rom("hw_sprites"));
        ASSERT_TRUE(RunUntil(console, 0xD000, 0xA5)) << name;
        const uint8_t statuses[5] = {0xC0, 0x80, 0xA0, 0x80, 0xC0};
        for (uint32_t scene = 0; scene < 5; ++scene)
            EXPECT_EQ(statuses[scene], Ram(console, 0xC010 + scene) & 0xE0) << name << ", scene " << scene;

        console.RunFrame();
        // Eight zoomed sprites on lines 40-55: the 315-5124 widens only the
        // first four; both double the lines.
        for (uint32_t k = 0; k < 8; ++k) {
            const uint8_t colour = kRomPalette[k + 1];
            const bool wide = !sms1 || k < 4;
            EXPECT_EQ(colour, Pixel(console, 40, 32 * k)) << name << ", sprite " << k;
            EXPECT_EQ(wide ? colour : 0, Pixel(console, 40, 32 * k + 15)) << name << ", sprite " << k;
            EXPECT_EQ(colour, Pixel(console, 55, 32 * k + 7)) << name << ", sprite " << k;
            EXPECT_EQ(0, Pixel(console, 56, 32 * k)) << name << ", sprite " << k;
        }
        // Nine on lines 100-115: the ninth is dropped.
        for (uint32_t k = 0; k < 9; ++k)
            EXPECT_EQ(k < 8 ? kRomPalette[k + 1] : 0, Pixel(console, 100, 24 * k + 3)) << name << ", sprite " << k;
    }
}

// ---------------------------------------------------------------- tall modes

TEST(HardwareVdpTest, TallModesGiveTallPicturesOnTheMasterSystemII) {
    struct TCase {
        TConsoleSettings Settings;
        uint32_t Height[2];  // 224-line mode asked for, 240-line mode asked for
        uint32_t FirstRow;   // the row of the cartridge's table on line 0
    };
    for (const TCase& c : {TCase{kSms2Pal, {224, 240}, 0}, TCase{kSms2Ntsc, {224, 240}, 0}, TCase{kSms1Pal, {192, 192}, 4}}) {
        const char* name = Console_ModelInfo(c.Settings.Model).Name;
        TConsole console(c.Settings);
        console.LoadCartridge(Rom("hw_height"));
        for (uint8_t phase : {0xA1, 0xA2}) {
            ASSERT_TRUE(RunUntil(console, 0xD000, phase)) << name;
            console.RunFrame();
            const uint32_t height = c.Height[phase - 0xA1];
            ASSERT_EQ(height, console.PictureHeight()) << name << ", phase " << int(phase);
            EXPECT_EQ(CONSOLE_FRAME_PIXEL_OFFSET + CONSOLE_PICTURE_WIDTH * height, console.FrameImageSize());
            for (uint32_t row = 0; row < height / 8; ++row)
                ASSERT_EQ(kRomPalette[(row + c.FirstRow) & 15], Pixel(console, row * 8 + 5, 77))
                    << name << ", phase " << int(phase) << ", row " << row;
        }
    }
}

// ---------------------------------------------------------------- TMS9918 modes

TEST(HardwareVdpTest, GraphicsIAndIIInTheFixedPalette) {
    constexpr uint8_t kBackdrop = 0x10, kWhite = 0x3F, kLightRed = 0x03, kDarkGreen = 0x04, kLightYellow = 0x0F,
                      kBlack = 0x00, kGrey = 0x15, kLightGreen = 0x0C, kMagenta = 0x33;
    struct TPixel {
        uint32_t Line, X;
        uint8_t Colour;
    };
    const TPixel graphics1[] = {{16, 0, kWhite},   {23, 3, kWhite},    {16, 4, kBackdrop}, {0, 0, kBackdrop},
                                {64, 64, kLightRed}, {71, 71, kLightRed}, {72, 64, kBackdrop}};
    const TPixel graphics2[] = {{0, 0, kLightRed},   {0, 4, kDarkGreen},  {7, 0, kLightYellow}, {7, 4, kBlack},
                                {70, 0, kGrey},      {70, 4, kLightGreen}, {128, 0, kMagenta},  {191, 255, kMagenta},
                                {64, 64, kLightRed}, {64, 68, kLightGreen}};
    for (const TConsoleSettings& settings : {kSms1Ntsc, kSms2Pal}) {
        const char* name = Console_ModelInfo(settings.Model).Name;
        TConsole console(settings);
        console.LoadCartridge(Rom("hw_tms"));
        ASSERT_TRUE(RunUntil(console, 0xD000, 0xA1)) << name;
        console.RunFrame();
        EXPECT_EQ(192u, console.PictureHeight());
        for (const TPixel& p : graphics1)
            EXPECT_EQ(p.Colour, Pixel(console, p.Line, p.X)) << name << ", Graphics I, line " << p.Line << " x " << p.X;
        ASSERT_TRUE(RunUntil(console, 0xD000, 0xA2)) << name;
        console.RunFrame();
        for (const TPixel& p : graphics2)
            EXPECT_EQ(p.Colour, Pixel(console, p.Line, p.X)) << name << ", Graphics II, line " << p.Line << " x " << p.X;
    }
}

}  // namespace

// ---------------------------------------------------------------- H counter

namespace {

// The counter's step for a value of $00-$93, $E9-$FF (171 steps a line).
int HCounterStep(uint8_t value) { return value <= 0x93 ? value : 148 + (value - 0xE9); }

// Two latches through the TH lines 148 CPU cycles apart read values 111
// steps apart, early in the line (the cartridge waits for the V counter to
// move on), in every model and standard; the default model has no H counter.
TEST(HardwareVdpTest, TheThLinesLatchTheHCounterAtTheirCycle) {
    for (const TConsoleSettings& settings : {kSms1Ntsc, kSms1Pal, kSms2Ntsc, kSms2Pal}) {
        SCOPED_TRACE(std::string(Console_ModelInfo(settings.Model).Name) + " " +
                     Console_OptionInfo(settings.Video).Name);
        TConsole console(settings);
        console.LoadCartridge(Rom("hw_hcounter"));
        ASSERT_TRUE(RunUntil(console, 0xD000, 0xA5));
        const uint8_t first = Ram(console, 0xC000), second = Ram(console, 0xC001);
        EXPECT_TRUE(first <= 0x93 || first >= 0xE9) << int(first);
        EXPECT_TRUE(second <= 0x93 || second >= 0xE9) << int(second);
        EXPECT_EQ((HCounterStep(second) - HCounterStep(first) + 171) % 171, 111) << int(first) << " " << int(second);
        // The V counter moved on less than a poll (27 cycles, 20 steps)
        // before the first latch's instruction: early in the line.
        EXPECT_LT((HCounterStep(first) - HCounterStep(0xF4) + 171) % 171, 40) << int(first);
    }
}

}  // namespace
