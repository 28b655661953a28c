// The libretro core in our own host: every frame's picture and sound against
// tiravel-headless on the same cartridge and input, states, options, the BIOS
// from the system folder, the memory regions and the files it refuses.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QImage>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ArchiveFiles.h"
#include "Console.h"
#include "HeadlessRun.h"
#include "LibretroHost.h"
#include "ScriptedInput.h"

namespace fs = std::filesystem;

namespace {

uint64_t Fnv1a64(const uint8_t* data, std::size_t size, uint64_t hash = 0xcbf29ce484222325ULL) {
    for (std::size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 0x100000001b3ULL;
    return hash;
}

TLibretroHost& Host() {
    TLibretroHost& host = TLibretroHost::Get();
    const std::string error = host.Open(TIRAVEL_LIBRETRO_CORE);
    if (!error.empty()) ADD_FAILURE() << "cannot open the core: " << error;
    return host;
}

std::string Rom(const std::string& name) { return std::string(TIRAVEL_TEST_ROM_DIR) + "/" + name + ".sms"; }

// Presses and releases of both pads, Pause and Reset over 600 frames; the
// demo leaves its title at the presses of button 1.
const char kScript[] =
    "90 press p1.right\n100 press p1.b1\n104 release p1.b1\n110 press p2.left\n120 press p2.b2\n"
    "130 release p2.b2\n140 release p1.right\n150 press p1.up\n160 press pause\n161 release pause\n"
    "170 press p1.b2\n175 release p1.b2\n180 release p1.up\n200 press p2.up\n210 press p2.b1\n"
    "215 release p2.b1\n220 release p2.up\n230 release p2.left\n250 press reset\n251 release reset\n"
    "260 press p1.down\n270 press p1.left\n280 release p1.down\n290 release p1.left\n300 press pause\n"
    "330 release pause\n340 press p1.b1\n344 release p1.b1\n400 press p1.right\n420 press p1.b2\n"
    "424 release p1.b2\n450 press p2.down\n470 release p1.right\n480 release p2.down\n500 press p2.b1\n"
    "505 release p2.b1\n520 press p1.b1\n530 release p1.b1\n";

std::string ScriptFile() {
    const fs::path path = Scratch() / "input.txt";
    std::ofstream(path) << kScript;
    return path.string();
}

// Where each script button lands on the host's pads.
struct TButtonPlace {
    TScriptButton Button;
    unsigned Port, Id;
};
const TButtonPlace kPlaces[] = {
    {TScriptButton::P1Up, 0, RETRO_DEVICE_ID_JOYPAD_UP},       {TScriptButton::P1Down, 0, RETRO_DEVICE_ID_JOYPAD_DOWN},
    {TScriptButton::P1Left, 0, RETRO_DEVICE_ID_JOYPAD_LEFT},   {TScriptButton::P1Right, 0, RETRO_DEVICE_ID_JOYPAD_RIGHT},
    {TScriptButton::P1Button1, 0, RETRO_DEVICE_ID_JOYPAD_B},   {TScriptButton::P1Button2, 0, RETRO_DEVICE_ID_JOYPAD_A},
    {TScriptButton::P2Up, 1, RETRO_DEVICE_ID_JOYPAD_UP},       {TScriptButton::P2Down, 1, RETRO_DEVICE_ID_JOYPAD_DOWN},
    {TScriptButton::P2Left, 1, RETRO_DEVICE_ID_JOYPAD_LEFT},   {TScriptButton::P2Right, 1, RETRO_DEVICE_ID_JOYPAD_RIGHT},
    {TScriptButton::P2Button1, 1, RETRO_DEVICE_ID_JOYPAD_B},   {TScriptButton::P2Button2, 1, RETRO_DEVICE_ID_JOYPAD_A},
    {TScriptButton::Pause, 0, RETRO_DEVICE_ID_JOYPAD_START},
};

// One frame as the runner's --hash-every-frame prints it.
// The default model's sound is its 8-bit samples made stereo; a hardware
// model's is its own 16-bit stereo, hashed as it stands (`stereo`).
std::string FrameLine(uint32_t frame, TLibretroHost& host, bool stereo = false) {
    const uint64_t picture =
        Fnv1a64(reinterpret_cast<const uint8_t*>(host.Picture.data()), host.Picture.size() * sizeof(uint32_t));
    // The stereo samples back to the machine's 8-bit ones; a sample that
    // does not come from one (channels apart, a low byte) spoils the hash.
    std::vector<uint8_t> bytes;
    if (stereo) {
        const auto* raw = reinterpret_cast<const uint8_t*>(host.Sound.data());
        bytes.assign(raw, raw + host.Sound.size() * sizeof(int16_t));
    }
    for (std::size_t i = 0; !stereo && i + 1 < host.Sound.size(); i += 2) {
        const int16_t left = host.Sound[i], right = host.Sound[i + 1];
        bytes.push_back(left == right && (left & 0xFF) == 0 ? static_cast<uint8_t>((left >> 8) + 128) : 0x55);
        if (left != right || (left & 0xFF) != 0) bytes.push_back(0xAA);
    }
    char line[80];
    std::snprintf(line, sizeof line, "frame %u %016llx %016llx\n", frame, static_cast<unsigned long long>(picture),
                  static_cast<unsigned long long>(Fnv1a64(bytes.data(), bytes.size())));
    return line;
}

// Runs `frames` frames in the host with the script's input (the script's
// reset presses the reset button), one line per frame.
std::vector<std::string> RunInHost(TLibretroHost& host, uint32_t frames, uint32_t first = 0) {
    TScriptedInput input;
    std::string error;
    EXPECT_TRUE(input.Parse(kScript, "script", error)) << error;
    std::vector<std::string> lines;
    for (uint32_t frame = first; frame < first + frames; ++frame) {
        input.Advance(frame);
        for (const TButtonPlace& place : kPlaces) host.Held[place.Port][place.Id] = input.Held(place.Button);
        if (input.ResetPressed()) host.reset();
        host.RunFrame();
        EXPECT_EQ(host.PicturesThisFrame, 1);
        EXPECT_EQ(host.Sound.size(), 2u * 735u) << "frame " << frame;
        lines.push_back(FrameLine(frame - first, host));
    }
    return lines;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line + "\n");
    return lines;
}

// The first frame whose lines differ, for a readable failure.
void ExpectSameFrames(const std::vector<std::string>& expected, const std::vector<std::string>& actual,
                      const std::string& what) {
    ASSERT_EQ(expected.size(), actual.size()) << what;
    for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(expected[i], actual[i]) << what << ": first difference at frame " << i;
}

std::vector<uint8_t> Bytes(const fs::path& path) {
    const std::string text = ReadAll(path);
    return std::vector<uint8_t>(text.begin(), text.end());
}

}  // namespace

TEST(LibretroCore, DescribesItselfToTheFrontEnd) {
    TLibretroHost& host = Host();
    EXPECT_EQ(host.api_version(), static_cast<unsigned>(RETRO_API_VERSION));
    retro_system_info info{};
    host.get_system_info(&info);
    EXPECT_STREQ(info.library_name, "Tiravel");
    EXPECT_STREQ(info.library_version, TIRAVEL_VERSION);
    EXPECT_STREQ(info.valid_extensions, "sms|gg|bin|zip|7z|gz");
    EXPECT_TRUE(info.need_fullpath);

    ASSERT_TRUE(host.Load(TIRAVEL_DEMO_ROM)) << host.LogText();
    retro_system_av_info av{};
    host.get_system_av_info(&av);
    EXPECT_EQ(av.geometry.base_width, 256u);
    EXPECT_EQ(av.geometry.base_height, 192u);
    EXPECT_DOUBLE_EQ(av.timing.fps, 60.0);
    EXPECT_DOUBLE_EQ(av.timing.sample_rate, 44100.0);
    EXPECT_EQ(host.PixelFormat, RETRO_PIXEL_FORMAT_XRGB8888);
    EXPECT_TRUE(host.InputDescriptors);

    const std::map<std::string, std::vector<std::string>> options = {
        {"tiravel_bios_type", {"american", "japanese"}},
        {"tiravel_frameskip", {"0", "1", "3"}},
        {"tiravel_reset", {"console", "button"}},
        {"tiravel_model", {"tiravel", "sms1", "sms2", "gamegear"}},
        {"tiravel_region", {"export", "japan"}},
        {"tiravel_video", {"ntsc", "pal"}},
        {"tiravel_mapper", {"auto", "sega", "codemasters", "korean", "none"}},
    };
    EXPECT_EQ(host.OptionValues, options);
    EXPECT_EQ(host.OptionDefaults["tiravel_bios_type"], "american");
    EXPECT_EQ(host.OptionDefaults["tiravel_frameskip"], "0");
    EXPECT_EQ(host.OptionDefaults["tiravel_reset"], "console");
    EXPECT_EQ(host.OptionDefaults["tiravel_model"], "tiravel");
    EXPECT_EQ(host.OptionDefaults["tiravel_region"], "export");
    EXPECT_EQ(host.OptionDefaults["tiravel_video"], "ntsc");
    EXPECT_EQ(host.OptionDefaults["tiravel_mapper"], "auto");
    // A front end without the V2 interface gets the same options.
    const auto defaults = host.OptionDefaults;
    host.OptionsVersion = 1;
    host.Reannounce();
    EXPECT_EQ(host.OptionValues, options);
    EXPECT_EQ(host.OptionDefaults, defaults);
    host.OptionsVersion = 2;
    host.Reannounce();

    EXPECT_EQ(host.get_memory_size(RETRO_MEMORY_SAVE_RAM), 32768u);
    EXPECT_EQ(host.get_memory_size(RETRO_MEMORY_SYSTEM_RAM), 8192u);
    EXPECT_NE(host.get_memory_data(RETRO_MEMORY_SAVE_RAM), nullptr);
    EXPECT_NE(host.get_memory_data(RETRO_MEMORY_SYSTEM_RAM), nullptr);
    EXPECT_EQ(host.get_memory_data(RETRO_MEMORY_VIDEO_RAM), nullptr);
    host.unload_game();
    EXPECT_EQ(host.get_memory_data(RETRO_MEMORY_SAVE_RAM), nullptr);
    EXPECT_EQ(host.serialize_size(), 0u);
}

// Every frame's picture and sound equal the runner's on the same cartridge
// and input: each test cartridge and the demo, and the demo with the other
// BIOS type and with frames skipped.
TEST(LibretroCore, EveryFrameMatchesTheRunner) {
    TLibretroHost& host = Host();
    struct TCase {
        std::string Rom;
        std::map<std::string, std::string> Options;
        std::string RunnerArgs;
    };
    std::vector<TCase> cases;
    for (const auto& entry : fs::directory_iterator(TIRAVEL_TEST_ROM_DIR))
        if (entry.path().extension() == ".sms") cases.push_back({entry.path().string(), {}, ""});
    ASSERT_GE(cases.size(), 11u);
    cases.push_back({TIRAVEL_DEMO_ROM, {}, ""});
    cases.push_back({TIRAVEL_DEMO_ROM, {{"tiravel_bios_type", "japanese"}}, "--bios-type japanese"});
    cases.push_back({TIRAVEL_DEMO_ROM, {{"tiravel_frameskip", "3"}}, "--frameskip 3"});
    cases.push_back({Rom("lineint"), {{"tiravel_frameskip", "1"}}, "--frameskip 1"});

    const std::string script = ScriptFile();
    for (TCase& c : cases) {
        const std::string what = fs::path(c.Rom).filename().string() + " " + c.RunnerArgs;
        const THeadlessRun run = RunHeadless("--frames 600 --hash-every-frame --input '" + script + "' " +
                                             c.RunnerArgs + " '" + c.Rom + "'");
        ASSERT_EQ(run.Status, 0) << run.Err;
        c.Options["tiravel_reset"] = "button";  // the script's reset is the console's button
        ASSERT_TRUE(host.Load(c.Rom, c.Options)) << host.LogText();
        ExpectSameFrames(Lines(run.Out), RunInHost(host, 600), what);
    }
}

// The console options: the model's rates and heights in av_info, the same
// pictures as the runner's with the same options and the hardware model's
// 48 kHz stereo, and another model taken at the next Console Reset, its
// rates announced then (never for the default model, whose rates and height
// never change).
TEST(LibretroCore, ConsoleOptionsChooseTheModelAtLoadAndConsoleReset) {
    TLibretroHost& host = Host();
    retro_system_av_info av{};
    ASSERT_TRUE(host.Load(TIRAVEL_DEMO_ROM)) << host.LogText();
    host.get_system_av_info(&av);
    EXPECT_EQ(av.geometry.base_height, 192u);
    EXPECT_EQ(av.geometry.max_height, 240u);
    EXPECT_FLOAT_EQ(av.geometry.aspect_ratio, 4.0f / 3.0f);
    EXPECT_DOUBLE_EQ(av.timing.fps, 60.0);
    EXPECT_EQ(host.get_region(), static_cast<unsigned>(RETRO_REGION_NTSC));
    host.AvInfos.clear();
    host.Geometries.clear();
    for (int frame = 0; frame < 60; ++frame) host.RunFrame();
    host.reset();
    host.RunFrame();
    EXPECT_TRUE(host.AvInfos.empty());
    EXPECT_TRUE(host.Geometries.empty());

    const THeadlessRun run =
        RunHeadless("--frames 300 --hash-every-frame --model sms2 --video pal '" + std::string(TIRAVEL_DEMO_ROM) + "'");
    ASSERT_EQ(run.Status, 0) << run.Err;
    ASSERT_TRUE(host.Load(TIRAVEL_DEMO_ROM, {{"tiravel_model", "sms2"}, {"tiravel_video", "pal"}})) << host.LogText();
    host.get_system_av_info(&av);
    EXPECT_NEAR(av.timing.fps, 49.7015, 0.0001);
    EXPECT_DOUBLE_EQ(av.timing.sample_rate, 48000.0);
    EXPECT_EQ(av.geometry.max_height, 240u);
    EXPECT_EQ(host.get_region(), static_cast<unsigned>(RETRO_REGION_PAL));
    host.AvInfos.clear();
    // The pictures and the sound frame for frame as the runner's; the sound
    // is the model's own 48 kHz stereo: 48000 / 49.7015 pairs a frame, the
    // fraction carried (965 or 966, 300 frames' worth in all).
    const std::vector<std::string> expected = Lines(run.Out);
    std::vector<std::string> lines;
    std::size_t pairs = 0;
    for (uint32_t frame = 0; frame < 300; ++frame) {
        host.RunFrame();
        ASSERT_EQ(host.Width, 256u);
        ASSERT_TRUE(host.Height == 192 || host.Height == 224 || host.Height == 240) << host.Height;
        ASSERT_TRUE(host.Sound.size() == 2 * 965u || host.Sound.size() == 2 * 966u) << host.Sound.size();
        pairs += host.Sound.size() / 2;
        lines.push_back(FrameLine(frame, host, true));
    }
    EXPECT_NEAR(static_cast<double>(pairs), 300 * 48000 / 49.7015, 1.0);
    EXPECT_FALSE(host.SoundBySingleSamples);
    ExpectSameFrames(expected, lines, "Master System II, PAL");
    EXPECT_TRUE(host.AvInfos.empty());

    // Changed while the game runs: nothing until the Console Reset.
    host.SetOption("tiravel_model", "tiravel");
    host.RunFrame();
    host.get_system_av_info(&av);
    EXPECT_NEAR(av.timing.fps, 49.7015, 0.0001);
    host.reset();
    host.RunFrame();
    ASSERT_EQ(host.AvInfos.size(), 1u);
    EXPECT_DOUBLE_EQ(host.AvInfos[0].timing.fps, 60.0);
    EXPECT_DOUBLE_EQ(host.AvInfos[0].timing.sample_rate, 44100.0);
    EXPECT_EQ(host.Sound.size(), 2 * 735u);
    EXPECT_EQ(host.AvInfos[0].geometry.base_height, 192u);
    EXPECT_EQ(host.Height, 192u);
    EXPECT_EQ(host.get_region(), static_cast<unsigned>(RETRO_REGION_NTSC));
}

// The Game Gear: its 59.92 frames a second and 48 kHz stereo, its picture's
// size (160 x 144 at the square pixels' 10:9, the largest size still the
// console's 256 x 240) in av_info and in every picture, which is the runner's
// frame for frame, sound too; the default model after its Console Reset announces the
// console's size again.
TEST(LibretroCore, TheGameGearGivesItsPictureAndTimingLikeTheRunner) {
    TLibretroHost& host = Host();
    const THeadlessRun run =
        RunHeadless("--frames 300 --hash-every-frame --model gamegear '" + std::string(TIRAVEL_DEMO_ROM) + "'");
    ASSERT_EQ(run.Status, 0) << run.Err;
    ASSERT_TRUE(host.Load(TIRAVEL_DEMO_ROM, {{"tiravel_model", "gamegear"}, {"tiravel_video", "pal"}}))
        << host.LogText();
    retro_system_av_info av{};
    host.get_system_av_info(&av);
    EXPECT_NEAR(av.timing.fps, 59.9227, 0.0001) << "the handheld ignores PAL";
    EXPECT_DOUBLE_EQ(av.timing.sample_rate, 48000.0);
    EXPECT_EQ(av.geometry.max_width, 256u);
    EXPECT_EQ(av.geometry.max_height, 240u);
    EXPECT_EQ(host.get_region(), static_cast<unsigned>(RETRO_REGION_NTSC));
    const unsigned width = av.geometry.base_width, height = av.geometry.base_height;
    if (width == 160) {
        EXPECT_EQ(height, 144u);
        EXPECT_FLOAT_EQ(av.geometry.aspect_ratio, 10.0f / 9.0f);
    }
    const std::vector<std::string> expected = Lines(run.Out);
    std::vector<std::string> lines;
    for (uint32_t frame = 0; frame < 300; ++frame) {
        host.RunFrame();
        ASSERT_EQ(host.Width, width);
        ASSERT_EQ(host.Height, height);
        ASSERT_TRUE(host.Sound.size() == 2 * 801u || host.Sound.size() == 2 * 802u) << host.Sound.size();
        lines.push_back(FrameLine(frame, host, true));
    }
    ExpectSameFrames(expected, lines, "Game Gear");
    EXPECT_TRUE(host.Geometries.empty()) << "the size announced at the load stays";

    host.SetOption("tiravel_model", "tiravel");
    host.RunFrame();  // the options are read at a frame
    host.AvInfos.clear();
    host.reset();
    host.RunFrame();
    ASSERT_EQ(host.AvInfos.size(), 1u);
    EXPECT_EQ(host.AvInfos[0].geometry.base_width, 256u);
    EXPECT_EQ(host.AvInfos[0].geometry.base_height, 192u);
    EXPECT_FLOAT_EQ(host.AvInfos[0].geometry.aspect_ratio, 4.0f / 3.0f);
    EXPECT_EQ(host.Width, 256u);

    // A game that sends its voices to one side or the other: the two sides
    // come apart, and stay the runner's frame for frame.
    const std::string stereoRom = std::string(TIRAVEL_TEST_ROM_DIR) + "/gg_stereo.gg";
    const THeadlessRun stereoRun = RunHeadless("--frames 120 --hash-every-frame '" + stereoRom + "'");
    ASSERT_EQ(stereoRun.Status, 0) << stereoRun.Err;
    ASSERT_TRUE(host.Load(stereoRom, {{"tiravel_model", "tiravel"}})) << host.LogText();
    std::vector<std::string> stereoLines;
    bool sidesApart = false;
    for (uint32_t frame = 0; frame < 120; ++frame) {
        host.RunFrame();
        for (std::size_t i = 0; i + 1 < host.Sound.size(); i += 2) sidesApart |= host.Sound[i] != host.Sound[i + 1];
        stereoLines.push_back(FrameLine(frame, host, true));
    }
    EXPECT_TRUE(sidesApart);
    ExpectSameFrames(Lines(stereoRun.Out), stereoLines, "Game Gear, stereo");
}

// A .gg game starts the Game Gear whatever the option says (a Master System
// at PAL here, which the handheld ignores), and stays one at a Console Reset
// with another model chosen; a .sms game takes the option.
TEST(LibretroCore, AGameGearGameStartsTheGameGear) {
    ASSERT_EQ(Console_ModelForCartridge("game.gg", {}, TConsoleModel::Tiravel), TConsoleModel::GameGear);
    TLibretroHost& host = Host();
    const fs::path gg = Scratch() / "Handheld.gg";
    fs::copy_file(TIRAVEL_DEMO_ROM, gg, fs::copy_options::overwrite_existing);
    const std::map<std::string, std::string> masterSystemPal = {{"tiravel_model", "sms1"}, {"tiravel_video", "pal"}};
    ASSERT_TRUE(host.Load(gg.string(), masterSystemPal)) << host.LogText();
    retro_system_av_info av{};
    host.get_system_av_info(&av);
    EXPECT_NEAR(av.timing.fps, 59.9227, 0.0001);
    EXPECT_EQ(host.get_region(), static_cast<unsigned>(RETRO_REGION_NTSC));
    host.RunFrame();
    const unsigned width = host.Width;
    host.SetOption("tiravel_model", "tiravel");
    host.RunFrame();
    host.AvInfos.clear();
    host.reset();
    host.RunFrame();
    EXPECT_TRUE(host.AvInfos.empty()) << "still the Game Gear";
    EXPECT_EQ(host.Width, width);

    ASSERT_TRUE(host.Load(TIRAVEL_DEMO_ROM, masterSystemPal));
    host.get_system_av_info(&av);
    EXPECT_NEAR(av.timing.fps, 49.7015, 0.0001);
}

// The picture is the frame image in true colour, top row first: checked
// against the runner's bitmap of the same frame, read by Qt's decoder.
TEST(LibretroCore, ThePictureIsTheRunnersBitmapInTrueColour) {
    TLibretroHost& host = Host();
    const std::string bmp = (Scratch() / "frame.bmp").string();
    for (const std::string& rom : {std::string(TIRAVEL_DEMO_ROM), Rom("bench_render")}) {
        SCOPED_TRACE(rom);
        ASSERT_EQ(RunHeadless("--frames 600 --input '" + ScriptFile() + "' --bmp '" + bmp + "' '" + rom + "'").Status,
                  0);
        const QImage expected = QImage(QString::fromStdString(bmp)).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(expected.width(), 256);
        ASSERT_EQ(expected.height(), 192);
        ASSERT_TRUE(host.Load(rom, {{"tiravel_reset", "button"}}));
        RunInHost(host, 600);
        ASSERT_EQ(host.Width, 256u);
        ASSERT_EQ(host.Height, 192u);
        int wrong = 0;
        for (int y = 0; y < 192; ++y)
            for (int x = 0; x < 256; ++x)
                wrong += host.Picture[static_cast<std::size_t>(y) * 256 + x] != (expected.pixel(x, y) & 0xFFFFFFu);
        EXPECT_EQ(wrong, 0);
    }
}

// Frameskip is applied while the game runs: the next drawn frame after the
// change starts the new rhythm, as the runner's setting from the first frame
// does on a machine that skipped nothing so far.
TEST(LibretroCore, FrameskipOptionTakesEffectWhileRunning) {
    TLibretroHost& host = Host();
    ASSERT_TRUE(host.Load(Rom("bench_render")));
    host.SetOption("tiravel_frameskip", "3");
    std::vector<uint64_t> pictures;
    for (int frame = 0; frame < 200; ++frame) {
        host.RunFrame();
        pictures.push_back(Fnv1a64(reinterpret_cast<const uint8_t*>(host.Picture.data()), host.Picture.size() * 4));
    }
    // The bench cartridge scrolls every frame: with three frames skipped,
    // each picture stays for four frames.
    int repeats = 0;
    for (std::size_t i = 150; i < 200; ++i) repeats += pictures[i] == pictures[i - 1];
    EXPECT_GE(repeats, 36);
    EXPECT_LE(repeats, 38);
}

// Serialise, run, unserialise, run: the same frames; the state is the
// desktop's format, so the runner's state file continues in the core exactly
// as the runner continues it.
TEST(LibretroCore, StatesRoundTripAndShareTheDesktopFormat) {
    TLibretroHost& host = Host();
    for (const std::string& rom : {std::string(TIRAVEL_DEMO_ROM), Rom("battery"), Rom("lineint")}) {
        SCOPED_TRACE(rom);
        ASSERT_TRUE(host.Load(rom, {{"tiravel_reset", "button"}}));
        RunInHost(host, 230);
        const std::vector<uint8_t> state = host.SaveState();
        ASSERT_FALSE(state.empty());
        EXPECT_EQ(host.serialize_size(), state.size());
        EXPECT_FALSE(host.serialize(std::vector<uint8_t>(state.size() - 1).data(), state.size() - 1));
        const std::vector<std::string> first = RunInHost(host, 150, 230);
        ASSERT_TRUE(host.unserialize(state.data(), state.size())) << host.LogText();
        EXPECT_TRUE(host.Messages.empty()) << "a state taken says nothing";
        EXPECT_EQ(host.SaveState(), state);
        ExpectSameFrames(first, RunInHost(host, 150, 230), "after the state was loaded");
    }

    // The runner's state after 230 frames, continued by both.
    const std::string script = ScriptFile();
    const std::string stateFile = (Scratch() / "demo.state").string();
    ASSERT_EQ(RunHeadless("--frames 230 --input '" + script + "' --save-state '" + stateFile + "' '" +
                          TIRAVEL_DEMO_ROM + "'")
                  .Status,
              0);
    const THeadlessRun cont = RunHeadless("--frames 100 --hash-every-frame --load-state '" + stateFile + "' '" +
                                          TIRAVEL_DEMO_ROM + "'");
    ASSERT_EQ(cont.Status, 0) << cont.Err;
    ASSERT_TRUE(host.Load(TIRAVEL_DEMO_ROM));
    const std::vector<uint8_t> desktop = Bytes(stateFile);
    ASSERT_TRUE(host.unserialize(desktop.data(), desktop.size())) << host.LogText();
    std::vector<std::string> lines;
    for (uint32_t frame = 0; frame < 100; ++frame) {
        host.RunFrame();
        lines.push_back(FrameLine(frame, host));
    }
    ExpectSameFrames(Lines(cont.Out), lines, "the runner's state");
}

// A refused state returns false, says why on the front end's screen and in
// its log (once: by the message interface where the front end has it, else
// by the first interface and the log) and leaves the machine exactly as it
// was.
TEST(LibretroCore, RefusedStatesSayWhyOnTheScreenAndLeaveTheMachineAsItWas) {
    TLibretroHost& host = Host();
    ASSERT_TRUE(host.Load(Rom("paging")));
    for (int i = 0; i < 100; ++i) host.RunFrame();
    const std::vector<uint8_t> paging = host.SaveState();
    ASSERT_TRUE(host.Load(TIRAVEL_DEMO_ROM, {{"tiravel_bios_type", "japanese"}}));
    for (int i = 0; i < 100; ++i) host.RunFrame();
    const std::vector<uint8_t> japanese = host.SaveState();

    ASSERT_TRUE(host.Load(TIRAVEL_DEMO_ROM));
    for (int i = 0; i < 150; ++i) host.RunFrame();
    const std::vector<uint8_t> demo = host.SaveState();
    const std::vector<uint8_t> picture(reinterpret_cast<const uint8_t*>(host.Picture.data()),
                                       reinterpret_cast<const uint8_t*>(host.Picture.data() + host.Picture.size()));

    std::vector<uint8_t> badVersion = demo;
    badVersion[8] = 0xFF;  // the format version follows the 8-byte magic
    std::vector<uint8_t> cut(demo.begin(), demo.begin() + static_cast<std::ptrdiff_t>(demo.size() / 2));
    struct TCase {
        const char* What;
        std::vector<uint8_t> State;
        const char* Reason;
    };
    const TCase cases[] = {
        {"empty", {}, "Cannot load the state"},
        {"not a state", std::vector<uint8_t>(4000, 0x5A), "it is not a Tiravel state"},
        {"cut in half", cut, "Cannot load the state"},
        {"a newer format", badVersion, "newer version of Tiravel"},
        {"another cartridge", paging, "it was saved with the cartridge"},
        {"the other BIOS type", japanese, "it was saved with the Japanese BIOS"},
    };
    for (const unsigned version : {1u, 0u}) {
        host.MessageVersion = version;
        for (const TCase& c : cases) {
            SCOPED_TRACE(std::string(c.What) + ", message interface " + std::to_string(version));
            host.Log.clear();
            host.Messages.clear();
            const uint8_t one = 0;
            EXPECT_FALSE(host.unserialize(c.State.empty() ? &one : c.State.data(), c.State.size()));
            ASSERT_EQ(host.Messages.size(), 1u) << host.LogText();
            const TLibretroHost::TMessage& m = host.Messages[0];
            EXPECT_NE(m.Text.find(c.Reason), std::string::npos) << m.Text;
            EXPECT_EQ(host.LogText(), m.Text + "\n");
            EXPECT_EQ(m.Ext, version == 1);
            if (m.Ext) {
                EXPECT_EQ(m.Target, RETRO_MESSAGE_TARGET_ALL);
                EXPECT_EQ(m.Level, RETRO_LOG_ERROR);
                EXPECT_EQ(m.Type, RETRO_MESSAGE_TYPE_NOTIFICATION);
            }
            EXPECT_GT(m.Duration, 0u);
            EXPECT_EQ(host.SaveState(), demo);
        }
    }
    host.MessageVersion = 1;
    EXPECT_FALSE(host.unserialize(nullptr, 0));
    EXPECT_EQ(host.SaveState(), demo);
    // The picture the state holds and the next frame go on as before.
    EXPECT_TRUE(std::equal(picture.begin(), picture.end(), reinterpret_cast<const uint8_t*>(host.Picture.data())));
}

// A ROM that cannot be used fails the load with the desktop's message; the
// core stays usable.
TEST(LibretroCore, RefusedRomsFailTheLoadWithTheDesktopsMessage) {
    TLibretroHost& host = Host();
    const fs::path dir = Scratch() / "roms";
    fs::create_directories(dir);
    auto file = [&](const std::string& name, std::size_t size) {
        const fs::path path = dir / name;
        std::ofstream(path, std::ios::binary) << std::string(size, '\x01');
        return path.string();
    };
    const std::string huge = (dir / "huge.sms").string();
    std::ofstream(huge).close();
    fs::resize_file(huge, 64u * 1024 * 1024);
    const std::string fifo = (dir / "pipe.sms").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        std::string Path, Reason;
    } cases[] = {
        {file("empty.sms", 0), ": the file is empty."},
        {file("short.sms", 100), ": it is only 100 bytes long, too short to be a cartridge image."},
        {file("header.sms", 512), ": it holds a 512-byte header and no image."},
        {huge, ": it is 67108864 bytes long, larger than the 1 MB (1048576 bytes) a cartridge can hold."},
        {dir.string(), ": it is a folder, not a file."},
        {fifo, ": it is a pipe (FIFO), not a regular file."},
        {(dir / "missing.sms").string(), ": No such file or directory."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Path);
        EXPECT_FALSE(host.Load(c.Path));
        EXPECT_EQ(host.LogText(), "Cannot load the ROM file \"" + c.Path + "\"" + c.Reason + "\n");
        // Nothing runs and nothing is there to save.
        host.RunFrame();
        EXPECT_EQ(host.PicturesThisFrame, 0);
        EXPECT_EQ(host.serialize_size(), 0u);
        EXPECT_EQ(host.get_memory_data(RETRO_MEMORY_SAVE_RAM), nullptr);
        const uint8_t state[16] = {};
        EXPECT_FALSE(host.unserialize(state, sizeof state));
    }
    EXPECT_FALSE(host.load_game(nullptr));
    retro_game_info noPath{nullptr, nullptr, 0, nullptr};
    EXPECT_FALSE(host.load_game(&noPath));
    // The next good cartridge loads and runs.
    ASSERT_TRUE(host.Load(TIRAVEL_DEMO_ROM));
    host.RunFrame();
    EXPECT_EQ(host.PicturesThisFrame, 1);
}

// A cartridge in an archive is opened by the machine, as in the desktop
// program and the runner: the zipped, 7z and gzipped demo run as the plain one.
TEST(LibretroCore, CartridgesInArchivesRunAsThePlainFiles) {
    TLibretroHost& host = Host();
    auto run = [&](const std::string& rom) {
        EXPECT_TRUE(host.Load(rom)) << host.LogText();
        for (int frame = 0; frame < 120; ++frame) host.RunFrame();
        return host.Picture;
    };
    const std::vector<uint32_t> plain = run(TIRAVEL_DEMO_ROM);
    const std::string image = ReadAll(TIRAVEL_DEMO_ROM);
    const struct {
        const char* Name;
        TArchiveFormat Format;
    } cases[] = {{"demo.zip", TArchiveFormat::Zip}, {"demo.7z", TArchiveFormat::SevenZip}, {"demo.sms.gz", TArchiveFormat::Gzip}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const fs::path archive = Scratch() / c.Name;
        ASSERT_EQ(WriteTestArchive(archive, c.Format, {{"Tiravel Demo.sms", image}}), "");
        EXPECT_EQ(run(archive.string()), plain);
    }
}

// The BIOS: a dump of 8192 bytes in <system>/tiravel/ replaces the open
// image; one of another size is refused with a message and the open image
// runs. The stand-in dump is our own Japanese image under the American name.
TEST(LibretroCore, BiosDumpsFromTheSystemFolder) {
    TLibretroHost& host = Host();
    auto pictureAfter = [&](int frames) {
        for (int i = 0; i < frames; ++i) host.RunFrame();
        return host.Picture;
    };
    ASSERT_TRUE(host.Load(Rom("handover"), {{"tiravel_bios_type", "japanese"}}));
    const std::vector<uint32_t> japanese = pictureAfter(30);
    ASSERT_TRUE(host.Load(Rom("handover")));
    const std::vector<uint32_t> american = pictureAfter(30);
    ASSERT_NE(japanese, american);

    const fs::path system = Scratch() / "system";
    fs::create_directories(system / "tiravel");
    host.SystemDir = system.string();
    const std::string dump = (system / "tiravel" / "American.bin").string();
    fs::copy_file(std::string(TIRAVEL_BIOS_DIR) + "/japanese.bin", dump, fs::copy_options::overwrite_existing);
    ASSERT_TRUE(host.Load(Rom("handover")));
    EXPECT_EQ(host.LogText(), "");
    EXPECT_EQ(pictureAfter(30), japanese);

    std::ofstream(dump, std::ios::binary) << std::string(100, '\0');
    ASSERT_TRUE(host.Load(Rom("handover")));
    EXPECT_EQ(host.LogText(),
              "The BIOS file " + dump + " is 100 bytes, not 8192. The built-in image is used instead.\n");
    EXPECT_EQ(pictureAfter(30), american);
    host.SystemDir.clear();
}

// retro_reset is "Console Reset" by default: the BIOS runs again, and with
// the BIOS type chosen since; the reset option presses the console's button
// instead, which only the game sees.
TEST(LibretroCore, ResetRunsTheBiosAgainOrPressesTheButton) {
    TLibretroHost& host = Host();
    auto frames = [&](int count) {
        std::vector<uint64_t> pictures;
        for (int i = 0; i < count; ++i) {
            host.RunFrame();
            pictures.push_back(
                Fnv1a64(reinterpret_cast<const uint8_t*>(host.Picture.data()), host.Picture.size() * 4));
        }
        return pictures;
    };
    ASSERT_TRUE(host.Load(Rom("reset"), {{"tiravel_bios_type", "japanese"}}));
    const auto fromStartJapanese = frames(40);
    ASSERT_TRUE(host.Load(Rom("reset")));
    frames(200);

    // Console Reset, after a change of BIOS type: the Japanese splash again.
    // The VDP keeps its memories until the BIOS clears them, so the first
    // picture after the reset still shows the game.
    host.SetOption("tiravel_bios_type", "japanese");
    host.RunFrame();
    auto* cartRam = static_cast<uint8_t*>(host.get_memory_data(RETRO_MEMORY_SAVE_RAM));
    cartRam[12345] = 0xA5;  // battery-backed: a reset keeps it
    host.reset();
    EXPECT_EQ(static_cast<uint8_t*>(host.get_memory_data(RETRO_MEMORY_SAVE_RAM))[12345], 0xA5);
    const auto afterReset = frames(40);
    EXPECT_NE(afterReset[0], fromStartJapanese[0]);
    EXPECT_EQ(std::vector<uint64_t>(afterReset.begin() + 1, afterReset.end()),
              std::vector<uint64_t>(fromStartJapanese.begin() + 1, fromStartJapanese.end()));

    // The button: the game goes on and reacts, the BIOS does not run.
    ASSERT_TRUE(host.Load(Rom("reset"), {{"tiravel_reset", "button"}}));
    frames(200);
    host.reset();
    const auto afterButton = frames(10);
    const THeadlessRun run = RunHeadless("--frames 210 --hash-every-frame --input '" +
                                         [] {
                                             const fs::path p = Scratch() / "reset.txt";
                                             std::ofstream(p) << "200 press reset\n";
                                             return p.string();
                                         }() +
                                         "' '" + Rom("reset") + "'");
    ASSERT_EQ(run.Status, 0);
    char last[40];
    std::snprintf(last, sizeof last, "%016llx", static_cast<unsigned long long>(afterButton.back()));
    EXPECT_EQ(Lines(run.Out).back().substr(10, 16), last);
}

// Battery RAM is the front end's: the cartridge RAM it writes before the
// first frame (its .srm) is what the game reads, as the runner's battery
// file is; the core itself writes no file.
TEST(LibretroCore, SaveRamIsTheCartridgeRamAndNoFileIsWritten) {
    TLibretroHost& host = Host();
    const fs::path ramDir = Scratch() / "rams";
    fs::create_directories(ramDir);
    const std::string battery = Rom("battery");
    // A first run leaves a battery file; the second starts from it.
    ASSERT_EQ(RunHeadless("--frames 300 --ram-dir '" + ramDir.string() + "' '" + battery + "'").Status, 0);
    const std::vector<uint8_t> saved = Bytes(ramDir / "battery.RAM");
    ASSERT_EQ(saved.size(), 32768u);
    const THeadlessRun second =
        RunHeadless("--frames 300 --hash-every-frame --ram-dir '" + ramDir.string() + "' '" + battery + "'");
    ASSERT_EQ(second.Status, 0);

    const fs::path cwd = fs::current_path();
    const fs::path quiet = Scratch() / "quiet";
    fs::create_directories(quiet);
    fs::current_path(quiet);
    host.SystemDir = quiet.string();
    ASSERT_TRUE(host.Load(battery));
    auto* ram = static_cast<uint8_t*>(host.get_memory_data(RETRO_MEMORY_SAVE_RAM));
    std::copy(saved.begin(), saved.end(), ram);
    std::vector<std::string> lines;
    for (uint32_t frame = 0; frame < 300; ++frame) {
        host.RunFrame();
        lines.push_back(FrameLine(frame, host));
    }
    ExpectSameFrames(Lines(second.Out), lines, "from the front end's save");
    const std::vector<uint8_t> after = Bytes(ramDir / "battery.RAM");
    EXPECT_TRUE(std::equal(after.begin(), after.end(), ram));
    host.unload_game();
    host.SystemDir.clear();
    fs::current_path(cwd);
    EXPECT_TRUE(fs::is_empty(quiet));
}

// A front end may start the core again in the same process.
TEST(LibretroCore, InitAgainAfterDeinit) {
    TLibretroHost& host = Host();
    ASSERT_TRUE(host.Load(TIRAVEL_DEMO_ROM));
    host.RunFrame();
    host.deinit();
    host.init();
    EXPECT_EQ(host.serialize_size(), 0u);
    ASSERT_TRUE(host.Load(TIRAVEL_DEMO_ROM));
    host.RunFrame();
    EXPECT_EQ(host.PicturesThisFrame, 1);
}
