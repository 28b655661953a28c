// Saved states of the whole machine: round trips on every test cartridge and
// the demo, a state taken between two lines of a split screen, and every
// refusal, each of which must leave the running machine as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "ConsoleChips.h"
#include "SaveState.h"
#include "StateTestRig.h"

namespace fs = std::filesystem;

namespace {

std::string Rom(const std::string& name) {
    return name == "demo" ? std::string(TIRAVEL_DEMO_ROM) : std::string(TIRAVEL_TEST_ROM_DIR) + "/" + name + ".sms";
}

// Player 1 walks right and presses button 1 every so often, player 2 goes
// up and down: every pad line changes over a few hundred frames.
uint32_t Pads(int frame) {
    uint32_t pads = 0;
    if ((frame / 40) % 2 == 0) pads |= 1u << 1;   // p1 right
    if (frame % 50 < 3) pads |= 1u << 4;          // p1 button 1
    if ((frame / 25) % 3 == 0) pads |= 1u << 8;   // p2 up
    if ((frame / 25) % 3 == 1) pads |= 1u << 9;   // p2 down
    if (frame % 70 < 2) pads |= 1u << 11;         // p2 button 2
    return pads;
}

// Two states compared byte for byte; a difference is reported by its offset
// rather than by printing 100 KB.
::testing::AssertionResult Same(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size())
        return ::testing::AssertionFailure() << "sizes " << a.size() << " and " << b.size();
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i])
            return ::testing::AssertionFailure() << "first difference at byte " << i << ": " << int(a[i]) << " and "
                                                 << int(b[i]);
    return ::testing::AssertionSuccess();
}

struct TRoundTrip {
    const char* Rom;
    int Before;        // frames before the save
    int After;         // frames compared after it
    bool Input;        // the pads of Pads() throughout
    bool PauseAtSave;  // Pause held from 5 frames before the save to 5 after
    uint8_t Frameskip;
};

void RunFrames(TStateRig& rig, int from, int count, const TRoundTrip& c, int saveFrame) {
    for (int f = from; f < from + count; ++f) {
        const bool pause = c.PauseAtSave && f >= saveFrame - 5 && f < saveFrame + 5;
        rig.Frame(c.Input ? Pads(f) : 0, pause);
    }
}

// Run N frames, save; run M more. A fresh machine loads the state and runs
// the same M frames: the same picture, the same sound, and a state of its
// own equal to the one it loaded.
TEST(SaveStateTest, ALoadedStateRunsOnExactlyAsTheOriginal) {
    const TRoundTrip cases[] = {
        {"handover", 40, 60, false, false, 0},  // still in the BIOS
        {"handover", 120, 60, false, false, 0},
        {"paging", 150, 90, false, false, 0},
        {"battery", 150, 60, false, false, 0},  // cartridge RAM in use
        {"speed", 200, 60, false, false, 1},
        {"pause", 150, 60, false, true, 0},     // Pause held across the save
        {"reset", 150, 60, true, false, 0},
        {"lineint", 100, 60, false, false, 0},
        {"lineint", 101, 60, false, false, 3},
        {"tone", 120, 120, false, false, 0},
        {"bench_cpu", 150, 60, false, false, 0},
        {"bench_render", 150, 60, false, false, 0},
        {"demo", 100, 120, true, false, 0},     // the title
        {"demo", 400, 240, true, false, 0},     // the game, both pads moving
        {"demo", 400, 120, true, true, 1},      // paused, frames skipped
        {"", 100, 60, true, false, 0},          // the BIOS alone
    };
    for (const TRoundTrip& c : cases) {
        SCOPED_TRACE(std::string(c.Rom) + " at frame " + std::to_string(c.Before));
        const std::string rom = c.Rom[0] ? Rom(c.Rom) : std::string();
        TStateRig original(rom, 1, c.Frameskip);
        RunFrames(original, 0, c.Before, c, c.Before);
        const std::vector<uint8_t> state = original.Save();
        EXPECT_EQ(original.machine.StateSize(), state.size()) << "the size without writing a state";
        if (std::string(c.Rom) == "battery") {
            EXPECT_EQ(TConsoleChips::Cpu(original.machine).CartRamDirty, 1);
        }
        original.soundHash = 0;
        RunFrames(original, c.Before, c.After, c, c.Before);

        TStateRig copy(rom, 1, c.Frameskip);
        copy.Frames(3);  // anything the state must replace
        std::string error;
        ASSERT_TRUE(copy.machine.LoadState(state.data(), state.size(), error)) << error;
        EXPECT_TRUE(Same(copy.Save(), state)) << "every saved field is loaded back";
        copy.soundHash = 0;
        RunFrames(copy, c.Before, c.After, c, c.Before);
        EXPECT_EQ(copy.PictureHash(), original.PictureHash());
        EXPECT_EQ(copy.soundHash, original.soundHash);
        EXPECT_TRUE(Same(copy.Save(), original.Save()));
    }
}

TEST(SaveStateTest, ALoadedStateShowsItsPictureAtOnce) {
    TStateRig original(Rom("demo"));
    original.Frames(300, 0x12);
    const std::vector<uint8_t> state = original.Save();
    const uint64_t picture = original.PictureHash();

    TStateRig copy(Rom("demo"));
    copy.Frames(10);
    std::string error;
    ASSERT_TRUE(copy.machine.LoadState(state.data(), state.size(), error)) << error;
    EXPECT_EQ(copy.PictureHash(), picture);
    EXPECT_EQ(std::memcmp(copy.machine.FrameImage(), original.machine.FrameImage(), CONSOLE_FRAME_IMAGE_SIZE), 0)
        << "a whole bitmap, headers included";

    TStateRig fresh(Rom("demo"));
    ASSERT_FALSE(fresh.machine.HasPicture());
    ASSERT_TRUE(fresh.machine.LoadState(state.data(), state.size(), error)) << error;
    EXPECT_TRUE(fresh.machine.HasPicture()) << "shown before any frame has run";
    EXPECT_EQ(fresh.PictureHash(), picture);
}

// A state's picture read from its bytes alone is the frame image the console
// showed when it was saved, headers included: 192 lines in the default model
// and a Master System, 224 and 240 in a Master System II's tall modes.
TEST(SaveStateTest, AStatesPictureIsTheFrameImageItWasSavedWith) {
    struct TCase {
        const char* Name;
        TConsoleSettings Settings;
        const char* Rom;
        uint8_t Phase;  // the hw_height cartridge's phase at $D000 (0: 300 frames)
        uint32_t Height;
    };
    const TConsoleSettings sms1{TConsoleModel::MasterSystem, TConsoleRegion::Export, TConsoleVideo::Ntsc};
    const TConsoleSettings sms2{TConsoleModel::MasterSystem2, TConsoleRegion::Export, TConsoleVideo::Pal};
    const TCase cases[] = {
        {"Tiravel", TConsoleSettings{}, "demo", 0, 192},
        {"Master System, tall mode asked for", sms1, "hw_height", 0xA1, 192},
        {"Master System II, 224 lines", sms2, "hw_height", 0xA1, 224},
        {"Master System II, 240 lines", sms2, "hw_height", 0xA2, 240},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TConsole console(c.Settings);
        console.LoadCartridge(Rom(c.Rom));
        for (int frame = 0; frame < 600; ++frame) {
            if (c.Phase == 0 ? frame == 300 : console.Peek(TMemoryRegion::SystemRam, 0x1000) == c.Phase) break;
            console.RunFrame();
        }
        console.RunFrame();
        ASSERT_EQ(console.PictureHeight(), c.Height);
        std::vector<uint8_t> state;
        console.SaveState(state);
        std::vector<uint8_t> image(CONSOLE_MAX_FRAME_IMAGE_SIZE, 0xEE);
        std::size_t size = 0;
        ASSERT_TRUE(SMS_StateFrameImage(state.data(), state.size(), image.data(), size));
        ASSERT_EQ(size, console.FrameImageSize());
        EXPECT_EQ(std::memcmp(image.data(), console.FrameImage(), size), 0);
    }
}

// Bytes that are no sound state give no picture.
TEST(SaveStateTest, ADamagedStateGivesNoPicture) {
    const TConsoleSettings sms2{TConsoleModel::MasterSystem2, TConsoleRegion::Export, TConsoleVideo::Ntsc};
    TConsole tall(sms2);
    tall.LoadCartridge(Rom("hw_height"));
    for (int frame = 0; frame < 600 && tall.Peek(TMemoryRegion::SystemRam, 0x1000) != 0xA1; ++frame) tall.RunFrame();
    tall.RunFrame();
    ASSERT_EQ(tall.PictureHeight(), 224u);
    std::vector<uint8_t> tallState;
    tall.SaveState(tallState);
    TStateRig rig(Rom("speed"));
    rig.Frames(100);
    const std::vector<uint8_t> state = rig.Save();

    // A section's payload by its tag, in a state of format 2 or later.
    const auto payload = [](std::vector<uint8_t>& bytes, const char* tag) -> uint8_t* {
        std::size_t at = 26 + (bytes[24] | bytes[25] << 8);
        while (at + 10 <= bytes.size()) {
            const std::size_t length = bytes[at + 4] | bytes[at + 5] << 8 | bytes[at + 6] << 16 | bytes[at + 7] << 24;
            if (std::memcmp(bytes.data() + at, tag, 4) == 0) return bytes.data() + at + 10;
            at += 10 + length;
        }
        return nullptr;
    };
    struct TCase {
        const char* Name;
        bool Tall;
        std::function<void(std::vector<uint8_t>&)> Damage;
    };
    const TCase cases[] = {
        {"empty", false, [](std::vector<uint8_t>& s) { s.clear(); }},
        {"text", false, [](std::vector<uint8_t>& s) { s.assign({'n', 'o', 't', ' ', 'a', ' ', 's', 't', 'a', 't', 'e'}); }},
        {"another magic", false, [](std::vector<uint8_t>& s) { s[0] = 'X'; }},
        {"a newer format", false, [](std::vector<uint8_t>& s) { s[8] = SMS_STATE_VERSION + 1; }},
        {"cut off in the picture", false, [](std::vector<uint8_t>& s) { s.erase(s.end() - 2000, s.end()); }},
        {"cut off by a byte", false, [](std::vector<uint8_t>& s) { s.pop_back(); }},
        {"a byte after the last section", false, [](std::vector<uint8_t>& s) { s.push_back(0); }},
        {"a name longer than the file", false, [](std::vector<uint8_t>& s) { s[24] = s[25] = 0xFF; }},
        {"a colour beyond 6 bits", false, [&](std::vector<uint8_t>& s) { payload(s, "VDP ")[VDP_STATE_SIZE - 1] = 0x40; }},
        {"no VDP section", false, [&](std::vector<uint8_t>& s) { std::memcpy(payload(s, "VDP ") - 10, "VDX ", 4); }},
        {"a picture of 200 lines", true, [&](std::vector<uint8_t>& s) { payload(s, "VDPM")[0] = 200; }},
        {"a colour beyond 6 bits in the tall lines", true, [&](std::vector<uint8_t>& s) { payload(s, "VDPM")[4] = 0x80; }},
    };
    std::vector<uint8_t> image(CONSOLE_MAX_FRAME_IMAGE_SIZE);
    std::size_t size = 0;
    ASSERT_TRUE(SMS_StateFrameImage(state.data(), state.size(), image.data(), size));
    ASSERT_TRUE(SMS_StateFrameImage(tallState.data(), tallState.size(), image.data(), size));
    for (const TCase& c : cases) {
        std::vector<uint8_t> damaged = c.Tall ? tallState : state;
        c.Damage(damaged);
        EXPECT_FALSE(SMS_StateFrameImage(damaged.data(), damaged.size(), image.data(), size)) << c.Name;
    }
}

// The cartridge RAM comes from the state: a console reset after the load
// runs the battery cartridge's count on from the state's RAM, not from what
// the loading machine held.
TEST(SaveStateTest, TheStatesCartridgeRamReplacesTheMachines) {
    TStateRig original(Rom("battery"));
    original.Frames(150);
    const std::vector<uint8_t> state = original.Save();

    TStateRig copy(Rom("battery"));
    std::memset(TConsoleChips::Cpu(copy.machine).CartRam, 0x5A, Z80_CART_RAM_SIZE);
    std::string error;
    ASSERT_TRUE(copy.machine.LoadState(state.data(), state.size(), error)) << error;
    EXPECT_EQ(TConsoleChips::Cpu(copy.machine).CartRamDirty, 1) << "the battery file is written at the stop";
    for (TStateRig* rig : {&original, &copy}) {
        rig->machine.ResetConsole();
        rig->Frames(150);
    }
    EXPECT_EQ(std::memcmp(TConsoleChips::Cpu(copy.machine).CartRam, TConsoleChips::Cpu(original.machine).CartRam, Z80_CART_RAM_SIZE), 0);
    EXPECT_EQ(copy.PictureHash(), original.PictureHash());
}

// The user's switches are not part of a state: layers, channels, mixer and
// the frameskip setting stay as they were set in the loading machine.
TEST(SaveStateTest, TheUsersSwitchesStayAsTheyWereSet) {
    TStateRig original(Rom("demo"));
    original.Frames(200);
    const std::vector<uint8_t> state = original.Save();

    TStateRig copy(Rom("demo"), 1, 3);
    copy.machine.SetSpriteLayer(0);
    copy.machine.SetBackgroundLayer(0);
    copy.machine.SetSoundChannel(TSoundChannel::Tone2, 0);
    copy.machine.SetSoundChannel(TSoundChannel::Mixer, 0);
    std::string error;
    ASSERT_TRUE(copy.machine.LoadState(state.data(), state.size(), error)) << error;
    EXPECT_EQ(TConsoleChips::Vdp(copy.machine).SpriteLayerOn, 0);
    EXPECT_EQ(TConsoleChips::Vdp(copy.machine).BackgroundLayerOn, 0);
    EXPECT_EQ(TConsoleChips::Psg(copy.machine).Tone2On, 0);
    EXPECT_EQ(TConsoleChips::Psg(copy.machine).MixerOn, 0);
    EXPECT_EQ(copy.machine.Frameskip(), 3);
}

// A state taken between two lines of a frame, after the line interrupt has
// moved the horizontal scroll for the lower half (lineint: line 95), carries
// the current line, the line counter and the pending flags: the frame
// finishes the same in a machine that loads it.
TEST(SaveStateTest, AStateInsideTheLineInterruptSplitFinishesTheFrame) {
    auto runLines = [](TStateRig& rig, uint32_t from, uint32_t to) {
        for (uint32_t line = from; line < to; ++line) {
            VDP_RunLine(TConsoleChips::Vdp(rig.machine), line, 1);
            Z80_RunCycles(TConsoleChips::Cpu(rig.machine), CONSOLE_CYCLES_PER_LINE);
        }
    };
    for (const uint32_t splitLine : {97u, 98u, 150u, 191u, 194u, 200u}) {
        SCOPED_TRACE(splitLine);
        TStateRig original(Rom("lineint"));
        original.Frames(120);
        runLines(original, 0, splitLine);
        EXPECT_EQ(TConsoleChips::Vdp(original.machine).Registers[8], splitLine < 193 ? 36 : 0) << "the split's scroll is in force";
        const std::vector<uint8_t> state = original.Save();
        runLines(original, splitLine, CONSOLE_LINES_PER_FRAME);
        original.Frames(2);

        TStateRig copy(Rom("lineint"));
        std::string error;
        ASSERT_TRUE(copy.machine.LoadState(state.data(), state.size(), error)) << error;
        EXPECT_EQ(TConsoleChips::Vdp(copy.machine).CurrentLine, splitLine - 1);
        runLines(copy, splitLine, CONSOLE_LINES_PER_FRAME);
        copy.Frames(2);
        EXPECT_TRUE(Same(copy.Save(), original.Save()));
    }
}

// A state written by the first format (no section versions) loads, and the
// game runs on exactly as it did in the program that wrote it: these are
// that program's hashes of the 300 frames after the load.
TEST(SaveStateTest, AStateOfTheFirstFormatLoadsAndRunsOnAsItDid) {
    const std::string path = std::string(TIRAVEL_SOURCE_DIR) + "/tests/data/states/tiravel-demo-format1.st1";
    TStateRig rig(TIRAVEL_DEMO_ROM, 1, 1);
    std::string error;
    ASSERT_TRUE(rig.machine.LoadStateFile(path, error)) << error;
    rig.Frames(300);
    EXPECT_EQ(rig.PictureHash(), 0x1e717a76b15eea49ULL);
    EXPECT_EQ(rig.soundHash, 0x6ad3778c4e8eeffcULL);
    // Saved again, it is a state of today's format for the default model
    // that loads the same.
    const std::vector<uint8_t> state = rig.Save();
    EXPECT_EQ(state[8], SMS_STATE_VERSION_DEFAULT_MODEL);
    TStateRig copy(TIRAVEL_DEMO_ROM, 1, 1);
    ASSERT_TRUE(copy.machine.LoadState(state.data(), state.size(), error)) << error;
    EXPECT_TRUE(Same(copy.Save(), state));
}

// ---- Refusals -------------------------------------------------------------

// The payload offset of the section with `tag` in a state: each section
// is a tag, a 32-bit length and a 16-bit version before its payload.
constexpr std::size_t kSectionHeader = 10;
std::size_t SectionAt(const std::vector<uint8_t>& state, const char* tag) {
    std::size_t at = 26 + (state[24] | (state[25] << 8));
    while (at + kSectionHeader <= state.size()) {
        const uint32_t length = state[at + 4] | state[at + 5] << 8 | state[at + 6] << 16 | uint32_t(state[at + 7]) << 24;
        if (std::memcmp(&state[at], tag, 4) == 0) return at + kSectionHeader;
        at += kSectionHeader + length;
    }
    ADD_FAILURE() << "no section " << tag;
    return 0;
}

void PutU16(std::vector<uint8_t>& s, std::size_t at, uint16_t v) {
    s[at] = uint8_t(v);
    s[at + 1] = uint8_t(v >> 8);
}

struct TRefusal {
    const char* Name;
    std::function<void(std::vector<uint8_t>&)> Spoil;
    const char* Reason;  // a part of the message
};

// Each state is spoilt in one way and offered to a running machine (of the
// 128 KB paging cartridge, at another moment than the state's): refused
// with the reason, and the machine's own state, picture included, unchanged.
TEST(SaveStateTest, EveryRefusalLeavesTheMachineAsItWas) {
    TStateRig source(Rom("paging"));
    source.Frames(200);
    const std::vector<uint8_t> good = source.Save();
    const std::size_t cpu = SectionAt(good, "Z80 "), vdp = SectionAt(good, "VDP "), psg = SectionAt(good, "PSG ");
    const std::size_t mach = SectionAt(good, "MACH");
    const std::size_t cpuHeader = cpu - kSectionHeader;

    const TRefusal cases[] = {
        {"empty", [](auto& s) { s.clear(); }, "it is empty"},
        {"cut in the magic", [](auto& s) { s.resize(5); }, "cut off inside its header"},
        {"cut in the header", [](auto& s) { s.resize(20); }, "cut off inside its header"},
        {"cut before a section", [&](auto& s) { s.resize(cpuHeader + 3); }, "cut off before the CPU section"},
        {"cut in a section", [&](auto& s) { s.resize(cpu + 100); }, "only 100 bytes follow"},
        {"cut by one byte", [](auto& s) { s.pop_back(); }, "only 2 bytes follow"},
        {"wrong magic", [](auto& s) { s[0] = 'X'; }, "not a Tiravel state"},
        {"a battery file", [](auto& s) { s.assign(32768, 0); }, "not a Tiravel state"},
        {"newer version", [](auto& s) { PutU16(s, 8, SMS_STATE_VERSION + 1); }, "newer version of Tiravel (state format 4"},
        {"newer section", [&](auto& s) { PutU16(s, cpuHeader + 8, 2); },
         "newer version of Tiravel (its CPU section is version 2; this program reads up to version 1)"},
        {"section version 0", [&](auto& s) { PutU16(s, cpuHeader + 8, 0); }, "CPU section is version 0, which does not exist"},
        {"version 0", [](auto& s) { PutU16(s, 8, 0); }, "format 0 does not exist"},
        {"BIOS type 2", [](auto& s) { s[10] = 2; }, "BIOS type is 2"},
        {"other BIOS", [](auto& s) { s[10] = 0; }, "saved with the Japanese BIOS, but the machine runs the American"},
        {"reserved byte", [](auto& s) { s[11] = 1; }, "reserved byte"},
        {"other size", [](auto& s) { s[14] ^= 1; }, "is running"},
        {"other hash", [](auto& s) { s[16] ^= 1; }, "is running"},
        {"name too long", [](auto& s) { PutU16(s, 24, 5000); }, "5000 bytes long"},
        {"wrong tag", [&](auto& s) { s[cpuHeader] = 'Q'; }, "section \"Q80 \" stands where the CPU section"},
        {"section too long", [&](auto& s) { s[cpuHeader + 4] += 1; }, "the CPU section is 41000 bytes long, not 40999"},
        {"section too short",
         [&](auto& s) {
             s[cpuHeader + 4] -= 1;
             s.erase(s.begin() + std::ptrdiff_t(cpu));
         },
         "the CPU section is 40998 bytes long, not 40999"},
        {"section longer, file too", [&](auto& s) {
             s[cpuHeader + 4] += 1;
             s.insert(s.begin() + std::ptrdiff_t(cpu), 0);
         },
         "the CPU section is 41000 bytes long"},
        {"trailing byte", [](auto& s) { s.push_back(0); }, "1 bytes follow the last section"},
        {"frameskip counter 4", [&](auto& s) { s[mach] = 4; }, "the frameskip counter is 4, not between -1 and 3"},
        {"frameskip counter -2", [&](auto& s) { s[mach] = 0xFE; }, "the frameskip counter is -2, not between -1 and 3"},
        {"bank beyond the cartridge", [&](auto& s) { s[cpu + 27] = 8; }, "selects bank 8, but the cartridge has 8 banks"},
        {"interrupt mode 3", [&](auto& s) { s[cpu + 31] = 3; }, "the interrupt mode is 3"},
        {"flip-flop 1", [&](auto& s) { s[cpu + 32] = 2; }, "interrupt flip-flop 1 is 2"},
        {"NMI lock-out", [&](auto& s) { PutU16(s, cpu + 35, 5001); }, "lock-out counter is 5001"},
        {"VDP address 14 bits", [&](auto& s) { PutU16(s, vdp + 11, 0x4000); }, "the VDP address is 16384"},
        {"VDP code", [&](auto& s) { s[vdp + 13] = 4; }, "access code is 4"},
        {"interrupt line", [&](auto& s) { s[vdp + 16] = 2; }, "the interrupt line is 2"},
        {"line 262", [&](auto& s) { PutU16(s, vdp + 23, 262); }, "the current line is 262"},
        {"colour beyond 6 bits", [&](auto& s) { s[vdp + 25 + 16384 + 5] = 0x40; }, "colour 5 is 64"},
        {"pixel beyond 6 bits", [&](auto& s) { s[vdp + 25 + 16384 + 32 + 1000] = 0x80; }, "the picture holds"},
        {"tone attenuation", [&](auto& s) { s[psg + 13] = 16; }, "tone 2's attenuation is 16"},
        {"tone period", [&](auto& s) { PutU16(s, psg + 1, 0x400); }, "tone 1's period is 1024"},
        {"counter and folds", [&](auto& s) { s[psg + 9] = 1; }, "tone 1's counter does not match its fold count"},
        {"noise tap mask", [&](auto& s) { s[psg + 42] = 0x05; }, "tap mask is 5"},
        {"latched channel", [&](auto& s) { s[psg + 53] = 4; }, "the latched channel is 4"},
    };

    TStateRig running(Rom("paging"));
    running.Frames(90);
    const std::vector<uint8_t> before = running.Save();
    std::vector<uint8_t> picture(running.machine.FrameImage(), running.machine.FrameImage() + CONSOLE_FRAME_IMAGE_SIZE);
    for (const TRefusal& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<uint8_t> spoilt = good;
        c.Spoil(spoilt);
        std::string error;
        EXPECT_FALSE(running.machine.LoadState(spoilt.data(), spoilt.size(), error, "slot.st1"));
        EXPECT_NE(error.find("Cannot load the state file \"slot.st1\": "), std::string::npos) << error;
        EXPECT_NE(error.find(c.Reason), std::string::npos) << error;
        EXPECT_TRUE(Same(running.Save(), before));
        EXPECT_EQ(std::memcmp(running.machine.FrameImage(), picture.data(), picture.size()), 0);
    }
    std::string error;
    EXPECT_TRUE(running.machine.LoadState(good.data(), good.size(), error)) << "the unspoilt state loads: " << error;
}

TEST(SaveStateTest, AStateOfAnotherCartridgeNamesBoth) {
    TStateRig other(Rom("lineint"));
    other.Frames(100);
    const std::vector<uint8_t> state = other.Save();
    TStateRig running(Rom("paging"));
    running.Frames(100);
    const std::vector<uint8_t> before = running.Save();
    std::string error;
    EXPECT_FALSE(running.machine.LoadState(state.data(), state.size(), error));
    EXPECT_NE(error.find("\"lineint.sms\" (32768 bytes"), std::string::npos) << error;
    EXPECT_NE(error.find("\"paging.sms\" (131072 bytes"), std::string::npos) << error;
    EXPECT_EQ(error.rfind("Cannot load the state: ", 0), 0u) << "no file name for a state from memory: " << error;
    EXPECT_TRUE(Same(running.Save(), before));

    TStateRig bios("");
    bios.Frames(10);
    EXPECT_FALSE(bios.machine.LoadState(state.data(), state.size(), error));
    EXPECT_NE(error.find("but no cartridge (the BIOS alone) is running"), std::string::npos) << error;
}

// ---- Files ----------------------------------------------------------------

struct SaveStateFileTest : ::testing::Test {
    fs::path dir;
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("tiravel_state_" + std::to_string(getpid()) + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

TEST_F(SaveStateFileTest, AWrittenStateReadsBackAndLeavesNoTemporaryFile) {
    TStateRig original(Rom("demo"));
    original.Frames(250, 0x2);
    const std::string path = (dir / "States" / "tiravel-demo.st3").string();
    std::string error;
    ASSERT_TRUE(original.machine.SaveStateFile(path, error)) << error;
    EXPECT_EQ(fs::file_size(path), original.Save().size());
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir / "States")) names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"tiravel-demo.st3"});
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);

    TStateRig copy(Rom("demo"));
    ASSERT_TRUE(copy.machine.LoadStateFile(path, error)) << error;
    EXPECT_TRUE(Same(copy.Save(), original.Save()));
    // A second save replaces the first.
    original.Frames(10);
    ASSERT_TRUE(original.machine.SaveStateFile(path, error)) << error;
    ASSERT_TRUE(copy.machine.LoadStateFile(path, error)) << error;
    EXPECT_TRUE(Same(copy.Save(), original.Save()));
}

TEST_F(SaveStateFileTest, FilesThatAreNoStateAreRefusedAtOnceNamingTheFile) {
    TStateRig running(Rom("lineint"));
    running.Frames(100);
    const std::vector<uint8_t> before = running.Save();
    std::string error;
    ASSERT_TRUE(running.machine.SaveStateFile((dir / "good.st1").string(), error)) << error;

    const fs::path big = dir / "big.st1", fifo = dir / "fifo.st1", folder = dir / "folder.st1";
    const fs::path link = dir / "link.st1", missing = dir / "missing.st1", cut = dir / "cut.st1";
    { std::ofstream(big, std::ios::binary).put('T'); }
    fs::resize_file(big, 64u << 20);  // sparse: nothing is written
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    fs::create_directory(folder);
    fs::create_symlink(dir / "nowhere", link);
    fs::copy_file(dir / "good.st1", cut);
    fs::resize_file(cut, fs::file_size(cut) - 10);

    const struct {
        fs::path Path;
        const char* Reason;
    } cases[] = {
        {big, "it is 67108864 bytes long, larger than any state"},
        {fifo, "it is a pipe (FIFO), not a regular file"},
        {folder, "it is a folder, not a file"},
        {link, "it is a link to a file that does not exist"},
        {missing, "No such file or directory"},
        {cut, "cut off before the I/O bus section"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Path.string());
        EXPECT_FALSE(running.machine.LoadStateFile(c.Path.string(), error));
        EXPECT_EQ(error.rfind("Cannot load the state file \"" + c.Path.string() + "\": ", 0), 0u) << error;
        EXPECT_NE(error.find(c.Reason), std::string::npos) << error;
        EXPECT_TRUE(Same(running.Save(), before));
    }
}

TEST_F(SaveStateFileTest, AFailedWriteKeepsTheOldStateAndSaysWhy) {
    TStateRig running(Rom("lineint"));
    running.Frames(100);
    const std::string path = (dir / "game.st1").string();
    std::string error;
    ASSERT_TRUE(running.machine.SaveStateFile(path, error)) << error;
    const auto size = fs::file_size(path);
    // A folder where the file's own folder should be.
    std::ofstream(dir / "file").put('x');
    EXPECT_FALSE(running.machine.SaveStateFile((dir / "file" / "game.st1").string(), error));
    EXPECT_EQ(error.rfind("Cannot save the state to \"" + (dir / "file" / "game.st1").string() + "\": ", 0), 0u)
        << error;
    // A folder in place of the file: the rename fails, the temporary goes.
    fs::create_directory(dir / "taken.st1");
    std::ofstream(dir / "taken.st1" / "inside").put('x');
    EXPECT_FALSE(running.machine.SaveStateFile((dir / "taken.st1").string(), error));
    EXPECT_NE(error.find("taken.st1"), std::string::npos) << error;
    std::size_t entries = 0;
    for (const auto& entry : fs::directory_iterator(dir)) entries += entry.path().filename().string().find(".tmp-") != std::string::npos;
    EXPECT_EQ(entries, 0u);
    EXPECT_EQ(fs::file_size(path), size);
}

// A state saved while the machine is stopped inside a drawn frame holds the
// frameskip counter at -1 (one byte, 255): loaded, the frame after it is
// drawn and the counter starts again from the setting, rather than 255
// frames going undrawn.
TEST(SaveStateTest, AStateSavedInsideADrawnFrameDrawsTheNextOne) {
    TStateRig original(Rom("demo"), 1, 3);
    original.Frames(200);
    std::vector<uint8_t> state = original.Save();
    const std::size_t mach = SectionAt(state, "MACH");
    state[mach] = 0xFF;
    TStateRig copy(Rom("demo"), 1, 3);
    std::string error;
    ASSERT_TRUE(copy.machine.LoadState(state.data(), state.size(), error)) << error;
    EXPECT_EQ(copy.Save()[mach], 0xFF) << "kept as it was";
    copy.Frame();
    EXPECT_EQ(copy.Save()[mach], 3) << "the frame was drawn and the counter reloaded";
}

}  // namespace
