// tiravel-headless: runs the console without a window or a sound card, frame
// by frame through the console's own frame code, for tests, benchmarks and
// cartridge developers' CI. See docs/headless.md.
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "BiosFiles.h"
#include "Console.h"
#include "ConsoleChoices.h"
#include "Debugger.h"
#include "FrameInput.h"
#include "ImageFiles.h"
#include "RomFiles.h"
#include "ScriptedInput.h"

#include "TiravelVersion.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kExitBreak = 3;

const char kUsageHead[] =
    "Usage: tiravel-headless [options] [ROM]\n"
    "Runs the console's BIOS and then the cartridge ROM (the BIOS alone without one)\n"
    "for a number of frames, without a window or a sound card. The ROM may be a\n"
    ".zip, .7z or .gz file holding one .sms, .gg or .bin image; a Game Gear\n"
    "cartridge (.gg, or its header says so) runs on the Game Gear unless --model is given.\n"
    "\n"
    "Options:\n"
    "  --frames N            frames to run (default 300)\n"
    "  --bios-type TYPE      american (default) or japanese\n";
// Between the two: the console's models and options, from its own tables.
const char kUsageTail[] =
    "  --bios FILE           an 8192-byte BIOS image replacing the selected type's\n"
    "  --frameskip N         0 (default), 1 or 3 frames not drawn after each drawn one\n"
    "  --input FILE          a script of presses and releases (see docs/headless.md)\n"
    "  --random-input SEED   random presses and releases of both pads, Pause and Reset,\n"
    "                        the same for the same SEED (a whole number)\n"
    "  --png FILE            write the last frame as PNG\n"
    "  --bmp FILE            write the last frame image exactly as exported (BMP)\n"
    "  --wav FILE            write the sound: 8-bit mono at 44100 Hz (Tiravel),\n"
    "                        16-bit stereo at 48000 Hz (the Master System models)\n"
    "  --ram-dir DIR         load and save the cartridge's battery RAM in DIR\n"
    "  --load-state FILE     load a saved state before the first frame\n"
    "  --save-state FILE     save the state after the last frame\n"
    "  --hash                print hashes of the last frame's pixels and of the sound\n"
    "  --hash-every-frame    print each frame's picture (XRGB8888) and sound hashes\n"
    "  --speed               print frames per second and the multiple of real time\n"
    "  --memory              print the resident memory size after frame 1000 and at the end\n"
    "  --trace FILE          write one line per instruction executed: frame, line, PC\n"
    "                        and its bank, the bytes, the instruction, the registers after it\n"
    "  --trace-frames A-B    trace only frames A to B (counted from 0; A alone is one frame)\n"
    "  --break ADDRESS       stop before the first instruction at ADDRESS (hexadecimal:\n"
    "                        1234, 0x1234, #1234, $1234 or 1234h): print it with the\n"
    "                        registers, write --png/--bmp of the picture then, exit 3\n"
    "  --help                print this help\n"
    "  --version             print the version\n"
    "\n"
    "Exit status: 0 success, 1 ROM, BIOS or file error, 2 usage error, 3 stopped at --break.\n";

struct TOptions {
    uint32_t Frames = 300;
    TConsoleSettings Console;
    std::vector<std::string> HardwareOnlyGiven;  // --region, --video, --mapper as given
    bool ModelGiven = false;                     // --model given: the cartridge does not choose it
    uint8_t BiosType = 1;
    std::string BiosFile;
    uint8_t Frameskip = 0;
    std::string InputFile, PngFile, BmpFile, WavFile, RamDir, Rom;
    std::string LoadStateFile, SaveStateFile;
    bool Hash = false;
    bool HashEveryFrame = false;
    bool Speed = false;
    bool Memory = false;
    bool RandomInput = false;
    uint32_t RandomSeed = 0;
    std::string TraceFile;
    bool TraceFramesGiven = false;
    uint32_t TraceFirst = 0, TraceLast = UINT32_MAX;
    int BreakAddress = -1;
};

int UsageError(const std::string& message) {
    std::fprintf(stderr, "tiravel-headless: %s\nTry 'tiravel-headless --help'.\n", message.c_str());
    return kExitUsage;
}

int Failure(const std::string& message) {
    std::fprintf(stderr, "tiravel-headless: %s\n", message.c_str());
    return kExitFailure;
}

bool ParseCount(const std::string& text, uint32_t& value) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    value = static_cast<uint32_t>(std::stoul(text));
    return true;
}

// A 16-bit address in hexadecimal, bare or with one of the usual marks:
// 0x1234, #1234 (the disassembly's own), $1234 or 1234h.
bool ParseAddress(std::string text, int& address) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text = text.substr(2);
    else if (text.size() > 1 && (text[0] == '#' || text[0] == '$'))
        text = text.substr(1);
    else if (text.size() > 1 && (text.back() == 'h' || text.back() == 'H'))
        text.pop_back();
    if (text.empty() || text.size() > 4) return false;
    for (char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    address = static_cast<int>(std::stoul(text, nullptr, 16));
    return true;
}

// "A-B" or "A": frames A to B inclusive.
bool ParseFrameRange(const std::string& text, uint32_t& first, uint32_t& last) {
    const std::size_t dash = text.find('-');
    if (dash == std::string::npos) {
        if (!ParseCount(text, first)) return false;
        last = first;
        return true;
    }
    return ParseCount(text.substr(0, dash), first) && ParseCount(text.substr(dash + 1), last) && first <= last;
}

// One option's help, under the others' column.
void PrintOptionHelp(const char* option, const std::string& text) {
    std::fputs(Console_OptionHelp(option, text, 24).c_str(), stdout);
}

void PrintUsage() {
    const TConsoleSettings defaults;
    std::fputs(kUsageHead, stdout);
    PrintOptionHelp("--model MODEL", "the console: " + Console_IdListForHelp<TConsoleModel>(defaults.Model, true));
    PrintOptionHelp("--region REGION",
                    "a Master System's region: " + Console_IdListForHelp<TConsoleRegion>(defaults.Region, false));
    PrintOptionHelp("--video STANDARD",
                    "a Master System's video standard: " + Console_IdListForHelp<TConsoleVideo>(defaults.Video, false));
    PrintOptionHelp("--mapper MAPPER", "a Master System's cartridge mapper: " +
                                           Console_IdListForHelp<TConsoleMapper>(defaults.Mapper, false) +
                                           " (auto finds it from the cartridge)");
    std::fputs(kUsageTail, stdout);
}

// --model, --region, --video, --mapper: one of the ids of the console's
// table for E, in any letter case.
template <typename E>
int ParseChoice(const std::string& option, const std::string& text, E& value) {
    const std::string problem = Console_ParseChoice(option, text, value);
    return problem.empty() ? -1 : UsageError(problem);
}

// Returns -1 to go on, otherwise the exit status.
int ParseArguments(int argc, char** argv, TOptions& options) {
    std::vector<std::string> args(argv + 1, argv + argc);
    bool romSeen = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::string value;
        bool inlineValue = false;
        if (arg.rfind("--", 0) == 0 && arg.size() > 2) {
            if (const std::size_t eq = arg.find('='); eq != std::string::npos) {
                value = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
                inlineValue = true;
            }
        }
        auto takeValue = [&](std::string& out) -> bool {
            if (inlineValue) {
                out = value;
            } else {
                if (i + 1 >= args.size()) return false;
                out = args[++i];
            }
            return !out.empty();
        };
        auto flagOnly = [&]() { return !inlineValue; };

        if (arg == "--help" && flagOnly()) {
            PrintUsage();
            return kExitOk;
        } else if (arg == "--version" && flagOnly()) {
            std::printf("tiravel-headless %s\n", TIRAVEL_VERSION);
            return kExitOk;
        } else if (arg == "--hash" && flagOnly()) {
            options.Hash = true;
        } else if (arg == "--hash-every-frame" && flagOnly()) {
            options.HashEveryFrame = true;
        } else if (arg == "--speed" && flagOnly()) {
            options.Speed = true;
        } else if (arg == "--memory" && flagOnly()) {
            options.Memory = true;
        } else if (arg == "--random-input") {
            std::string text;
            if (!takeValue(text)) return UsageError("--random-input needs a seed");
            if (!ParseCount(text, options.RandomSeed))
                return UsageError("--random-input's seed must be a whole number from 0 to 999999999, not '" + text +
                                  "'");
            options.RandomInput = true;
        } else if (arg == "--frames") {
            std::string text;
            if (!takeValue(text)) return UsageError("--frames needs a number");
            if (!ParseCount(text, options.Frames) || options.Frames == 0)
                return UsageError("--frames must be a whole number from 1 to 999999999, not '" + text + "'");
        } else if (arg == "--bios-type") {
            std::string text;
            if (!takeValue(text)) return UsageError("--bios-type needs american or japanese");
            if (text == "american")
                options.BiosType = 1;
            else if (text == "japanese")
                options.BiosType = 0;
            else
                return UsageError("--bios-type must be american or japanese, not '" + text + "'");
        } else if (arg == "--model" || arg == "--region" || arg == "--video" || arg == "--mapper") {
            std::string text;
            takeValue(text);
            TConsoleSettings& console = options.Console;
            const int status = arg == "--model"    ? ParseChoice(arg, text, console.Model)
                               : arg == "--region" ? ParseChoice(arg, text, console.Region)
                               : arg == "--video"  ? ParseChoice(arg, text, console.Video)
                                                   : ParseChoice(arg, text, console.Mapper);
            if (status >= 0) return status;
            if (arg != "--model") options.HardwareOnlyGiven.push_back(arg);
            if (arg == "--model") options.ModelGiven = true;
        } else if (arg == "--frameskip") {
            std::string text;
            if (!takeValue(text)) return UsageError("--frameskip needs 0, 1 or 3");
            if (text != "0" && text != "1" && text != "3")
                return UsageError("--frameskip must be 0, 1 or 3, not '" + text + "'");
            options.Frameskip = static_cast<uint8_t>(text[0] - '0');
        } else if (arg == "--trace-frames") {
            std::string text;
            if (!takeValue(text)) return UsageError("--trace-frames needs frames A-B");
            if (!ParseFrameRange(text, options.TraceFirst, options.TraceLast))
                return UsageError("--trace-frames must be A-B with whole numbers A <= B up to 999999999, or A, not '" +
                                  text + "'");
            options.TraceFramesGiven = true;
        } else if (arg == "--break") {
            std::string text;
            if (!takeValue(text)) return UsageError("--break needs an address");
            if (!ParseAddress(text, options.BreakAddress))
                return UsageError("--break must be a hexadecimal address from 0 to FFFF (1234, 0x1234, #1234, $1234 "
                                  "or 1234h), not '" +
                                  text + "'");
        } else if (arg == "--bios" || arg == "--input" || arg == "--png" || arg == "--bmp" || arg == "--wav" ||
                   arg == "--ram-dir" || arg == "--load-state" || arg == "--save-state" || arg == "--trace") {
            std::string* target = arg == "--bios"         ? &options.BiosFile
                                  : arg == "--input"      ? &options.InputFile
                                  : arg == "--png"        ? &options.PngFile
                                  : arg == "--bmp"        ? &options.BmpFile
                                  : arg == "--wav"        ? &options.WavFile
                                  : arg == "--load-state" ? &options.LoadStateFile
                                  : arg == "--save-state" ? &options.SaveStateFile
                                  : arg == "--trace"      ? &options.TraceFile
                                                          : &options.RamDir;
            if (!takeValue(*target)) return UsageError(arg + " needs a " + (arg == "--ram-dir" ? "folder" : "file"));
        } else if (arg == "--") {
            for (++i; i < args.size(); ++i) {
                if (romSeen) return UsageError("only one ROM can be run");
                options.Rom = args[i];
                romSeen = true;
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return UsageError("unknown option '" + args[i] + "'");
        } else {
            if (romSeen) return UsageError("only one ROM can be run");
            options.Rom = arg;
            romSeen = true;
        }
    }
    if (options.RandomInput && !options.InputFile.empty())
        return UsageError("--input and --random-input cannot be used together");
    if (options.TraceFramesGiven && options.TraceFile.empty()) return UsageError("--trace-frames needs --trace FILE");
    return -1;
}

// The battery file's name: the ROM name as the window makes it (the file's
// name without its extension) and ".RAM".
std::string BatteryPath(const std::string& ramDir, const std::string& rom) {
    return (std::filesystem::path(ramDir) / (SMS_RomName(rom) + ".RAM")).string();
}

// A pad's six lines, numbered as the random input numbers them (player 2's
// are 6 to 11).
constexpr int kPadLines = 12;
constexpr uint8_t kLineBits[6] = {PAD_LEFT, PAD_RIGHT, PAD_UP, PAD_DOWN, PAD_BUTTON1, PAD_BUTTON2};

// A player mashing both pads: each frame one pad line in eight flips, Pause
// is pressed for a frame about once a minute of console time and Reset about
// every five minutes. The generator (SplitMix64) makes every run from the same
// seed press the same buttons on the same frames.
class TRandomInput {
public:
    explicit TRandomInput(uint32_t seed) : state_(seed) {}
    TFrameInput Next() {
        if (Below(8)) {
            const auto line = static_cast<int>(Below(kPadLines));
            pads_[line / 6] ^= kLineBits[line % 6];
        }
        TFrameInput frame;
        frame.Player1 = pads_[0];
        frame.Player2 = pads_[1];
        frame.Pause = Below(3600) == 0;
        frame.Reset = Below(18000) == 0;
        return frame;
    }

private:
    uint64_t NextWord() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // A number below `n` (the remainder's bias is far too small to matter here).
    uint64_t Below(uint64_t n) { return NextWord() % n; }

    uint64_t state_;
    uint8_t pads_[2] = {};  // player 1's and player 2's TPadButton bits
};

// The process's resident size in kB (VmRSS), or -1 when it cannot be read.
long ResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

int Run(const TOptions& options) {
    TScriptedInput input;
    if (!options.InputFile.empty()) {
        std::string error;
        if (!input.LoadFile(options.InputFile, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return kExitUsage;
        }
    }

    // The window's start sequence: the BIOS images (dumps found beside the
    // program or in the user's data folder), the BIOS type, the cartridge.
    std::vector<std::string> warnings;
    TConsole::InstallBiosImages(Bios_SearchFolders(), warnings);
    for (const std::string& message : warnings)
        std::fprintf(stderr, "tiravel-headless: warning: %s\n", message.c_str());
    TConsole console(options.Console);
    console.SetBiosType(options.BiosType);
    if (!options.BiosFile.empty()) {
        std::string message;
        if (!TConsole::LoadBiosDump(options.BiosFile, options.BiosType, message)) return Failure(message);
    }
    std::string ramPath;
    if (options.Rom.empty()) {
        console.RemoveCartridge();
    } else {
        try {
            console.LoadCartridge(options.Rom);
        } catch (const std::exception& error) {
            return Failure(error.what());
        }
        // A Game Gear cartridge asks for the handheld, unless the model was
        // chosen; the console starts again as that model, cartridge in.
        if (!options.ModelGiven) {
            TConsoleSettings settings = options.Console;
            settings.Model = console.ModelForCartridge(settings.Model);
            if (settings.Model != options.Console.Model) console.Configure(settings);
        }
        if (!options.RamDir.empty()) {
            std::error_code ec;
            std::filesystem::create_directories(options.RamDir, ec);
            ramPath = BatteryPath(options.RamDir, options.Rom);
            if (std::string error; !console.LoadBatteryFile(ramPath, error))
                std::fprintf(stderr, "tiravel-headless: warning: %s\n", error.c_str());
        }
    }
    // The default model has no region, standard or mapper to choose: say
    // so rather than run another machine than the one asked for in silence.
    if (!Console_IsHardwareModel(console.Settings().Model))
        for (const std::string& option : options.HardwareOnlyGiven)
            std::fprintf(stderr,
                         "tiravel-headless: warning: %s applies to the Master System models only (--model %s); "
                         "the tiravel model ignores it\n",
                         option.c_str(), Console_IdList<TConsoleModel>(+[](TConsoleModel m) { return Console_IsHardwareModel(m); }).c_str());
    console.SetFrameskip(options.Frameskip);
    // After the battery file: the state's cartridge RAM is the one the game
    // continues with.
    if (!options.LoadStateFile.empty()) {
        std::string error;
        if (!console.LoadStateFile(options.LoadStateFile, error)) return Failure(error);
    }

    TWavWriter wav;
    if (!options.WavFile.empty()) {
        std::string error;
        const bool opened = console.HasStereoSound()
                                ? wav.OpenStereo16(options.WavFile, CONSOLE_STEREO_SAMPLE_RATE, error)
                                : wav.Open(options.WavFile, console.SampleRate(), error);
        if (!opened) return Failure(error);
    }

    // The debugger only when asked for: without it the CPU runs its normal,
    // unobserved loop.
    std::unique_ptr<TDebugger> debugger;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> trace(nullptr, std::fclose);
    std::string breakLine;
    std::vector<uint8_t> breakPicture;
    if (!options.TraceFile.empty() || options.BreakAddress >= 0) {
        debugger = std::make_unique<TDebugger>(console);
        if (!options.TraceFile.empty()) {
            std::string reason;
            trace.reset(OpenOutputFile(options.TraceFile, reason));
            if (!trace) return Failure("Cannot write the trace file " + options.TraceFile + ": " + reason + ".");
            std::FILE* out = trace.get();
            debugger->SetTrace(
                [out](std::string_view line) {
                    std::fwrite(line.data(), 1, line.size(), out);
                    std::fputc('\n', out);
                },
                options.TraceFirst, options.TraceLast);
        }
        if (options.BreakAddress >= 0) {
            TBreakpoint at;
            at.Kind = TBreakKind::Execute;
            at.First = static_cast<uint16_t>(options.BreakAddress);
            debugger->AddBreakpoint(at);
            // The moment of the stop: the instruction with the registers, and
            // the picture as far as the VDP has drawn it. Returning false
            // holds the CPU; the frame's remaining lines run without it.
            debugger->Parker = [&](TDebugger& d) {
                const TDebugStop stop = d.LastStop();
                breakLine = TDebugger::DescribeAt(stop.Frame, stop.Line, console);
                // Room for the tallest picture; then as long as this one is.
                breakPicture.resize(CONSOLE_MAX_FRAME_IMAGE_SIZE);
                console.ExportPictureNow(breakPicture.data());
                breakPicture.resize(CONSOLE_FRAME_PIXEL_OFFSET + std::size_t{Console_FrameImageWidth(breakPicture.data())} *
                                                                     Console_FrameImageHeight(breakPicture.data()));
                return false;
            };
        }
    }

    const bool progress = isatty(STDERR_FILENO) != 0;
    bool progressShown = false;
    uint64_t soundHash = FNV1A_OFFSET_BASIS;
    const auto started = std::chrono::steady_clock::now();
    auto nextProgress = started + std::chrono::seconds(1);
    TRandomInput random(options.RandomSeed);
    const uint32_t memoryFrame = options.Frames < 1000 ? options.Frames : 1000;
    long firstResident = -1;
    std::vector<uint32_t> picture(options.HashEveryFrame ? CONSOLE_MAX_PICTURE_PIXELS : 0);
    for (uint32_t frame = 0; frame < options.Frames; ++frame) {
        if (options.RandomInput) {
            FrameInput_Apply(console, random.Next());
        } else {
            input.Advance(frame);
            FrameInput_Apply(console, FrameInput_FromScript(input));
        }
        console.RunFrame();
        if (!breakPicture.empty()) break;  // the frame of the break adds no sound
        const std::span<const uint8_t> sound = console.RenderFrameSamples();
        if (options.Hash) soundHash = Fnv1a64(sound.data(), sound.size(), soundHash);
        if (!options.WavFile.empty()) {
            if (console.HasStereoSound()) {
                const std::span<const int16_t> stereo = console.RenderFrameStereo();
                wav.Write16(stereo.data(), stereo.size());
            } else {
                wav.Write(sound.data(), sound.size());
            }
        }
        if (options.HashEveryFrame) {
            // The picture as a true-colour front end receives it: its words'
            // bytes in memory order (little-endian: blue, green, red, 0).
            // Its lines as the frame has them: 192 always in the default model.
            console.FrameToXrgb8888(picture.data());
            const std::size_t pixels = std::size_t{console.PictureWidth()} * console.PictureHeight();
            const uint64_t pictureHash =
                Fnv1a64(reinterpret_cast<const uint8_t*>(picture.data()), pixels * sizeof(uint32_t));
            // The sound as the front end receives it: the default model's
            // 8-bit samples, a hardware model's 16-bit stereo pairs (their
            // bytes in memory order).
            uint64_t frameSound = Fnv1a64(sound.data(), sound.size());
            if (console.HasStereoSound()) {
                const std::span<const int16_t> stereo = console.RenderFrameStereo();
                frameSound = Fnv1a64(reinterpret_cast<const uint8_t*>(stereo.data()), stereo.size_bytes());
            }
            std::printf("frame %u %016llx %016llx\n", frame, static_cast<unsigned long long>(pictureHash),
                        static_cast<unsigned long long>(frameSound));
        }
        if (options.Memory && frame + 1 == memoryFrame) firstResident = ResidentKilobytes();
        if (progress && (frame & 63) == 0) {
            const auto now = std::chrono::steady_clock::now();
            if (now >= nextProgress) {
                std::fprintf(stderr, "\rframe %u of %u", frame, options.Frames);
                std::fflush(stderr);
                progressShown = true;
                nextProgress = now + std::chrono::milliseconds(250);
            }
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (progressShown) std::fprintf(stderr, "\r%*s\r", 40, "");

    const bool broke = !breakPicture.empty();
    if (broke) std::printf("%s\n", breakLine.c_str());
    int status = broke ? kExitBreak : kExitOk;
    std::string error;
    if (trace) {
        // Closed here so that a full disk is reported, not lost.
        debugger->SetTrace(nullptr);
        const bool failed = std::ferror(trace.get()) != 0;
        if (std::fclose(trace.release()) != 0 || failed)
            status = Failure("Cannot write the trace file " + options.TraceFile + ": " + std::strerror(errno) + ".");
    }
    if (!options.WavFile.empty() && !wav.Close(error)) status = Failure(error);
    const uint8_t* image = broke ? breakPicture.data() : console.FrameImage();
    // The picture's own size: its header gives its width (256, or 160 for
    // the Game Gear's window) and its lines (192, 224, 240 or 144).
    const std::size_t imageSize = CONSOLE_FRAME_PIXEL_OFFSET + std::size_t{Console_FrameImageWidth(image)} *
                                                                   Console_FrameImageHeight(image);
    if (!options.BmpFile.empty() && !WriteWholeFile(options.BmpFile, image, imageSize, error))
        status = Failure(error);
    if (!options.PngFile.empty() && !WritePngFromBmp(options.PngFile, image, imageSize, error))
        status = Failure(error);
    // The end of the run saves the battery RAM (only if the game used it).
    if (!ramPath.empty() && !console.SaveBatteryFile(ramPath, error)) status = Failure(error);
    // A state is taken between frames; a break is inside one. The figures
    // below are those of a whole run.
    if (broke) return status;
    if (!options.SaveStateFile.empty() && !console.SaveStateFile(options.SaveStateFile, error))
        status = Failure(error);

    if (options.Hash) {
        const uint64_t frameHash =
            Fnv1a64(image + CONSOLE_FRAME_PIXEL_OFFSET, imageSize - CONSOLE_FRAME_PIXEL_OFFSET);
        std::printf("frame %016llx\nsound %016llx\n", static_cast<unsigned long long>(frameHash),
                    static_cast<unsigned long long>(soundHash));
    }
    if (options.Speed) {
        // Real time is the model's own: 60 frames a second, or 59.92 / 49.70.
        const double fps = seconds > 0 ? options.Frames / seconds : 0.0;
        std::printf("%u frames in %.3f s: %.0f frames per second, %.1f times real time\n", options.Frames, seconds,
                    fps, fps / console.FrameRate());
    }
    if (options.Memory) {
        const long lastResident = ResidentKilobytes();
        std::printf("resident after frame %u: %ld kB\nresident at the end: %ld kB\n", memoryFrame, firstResident,
                    lastResident);
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    TOptions options;
    const int parsed = ParseArguments(argc, argv, options);
    if (parsed >= 0) return parsed;
    return Run(options);
}
