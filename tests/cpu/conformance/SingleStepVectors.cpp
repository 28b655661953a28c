// The SingleStepTests Z80 vectors, run on the flat seam.
//
// Origin: repository SingleStepTests/z80 (MIT licence), folder v1/, snapshot
// cbfec3caf2e971dc91f21c617fef712f9e4285ca: one JSON file per opcode
// ("3e.json", "ed b0.json", "dd cb __ 46.json"); each test runs exactly one
// instruction (one iteration of a block instruction) from random registers
// and memory and records the real chip's final state, one bus sample per
// T-state (so the list's length is the T-state count, and its "-wm-" samples
// are the memory writes in order) and the port accesses with their 16-bit
// addresses.
//
// The repository keeps them in tests/data/singlestep-z80/, one gzip file per
// opcode group with only the fields judged here, written by
// convert_singlestep.py beside this file (its header describes the layout).
//
// One GoogleTest test per opcode group, running the default model (with its
// deviation table) and the exact model (with none: every register, WZ, Q,
// the EI hold and the LD A,I/R mark, R, the T-states, the memory writes and
// the 16-bit port addresses as the chip recorded them); the opcodes are run
// on two threads.
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>
#include <unistd.h>
#include <zlib.h>

#include "Conformance.h"

namespace conformance {
namespace {

namespace fs = std::filesystem;

const fs::path kFolder = fs::path(TIRAVEL_SOURCE_DIR) / "tests" / "data" / "singlestep-z80";
constexpr char kMagic[] = "TSZ80V2\n";

// Detailed diffs per opcode; the names of further failing vectors of the
// same opcode are listed without them (they tend to fail the same way).
constexpr std::size_t kDiffsPerFile = 3;

// The upstream file of one opcode: its name and its tests.
struct Opcode {
    std::string stem;
    std::vector<Vector> vectors;
};

// Reads the whole gzip file; an empty result with `error` set when it is
// missing or damaged.
std::vector<uint8_t> Inflate(const fs::path& path, std::string& error) {
    std::vector<uint8_t> out;
    if (!fs::is_regular_file(path)) {
        error = "missing data file " + path.string();
        return out;
    }
    gzFile in = gzopen(path.c_str(), "rb");
    if (in == nullptr) {
        error = "cannot open " + path.string();
        return out;
    }
    uint8_t chunk[1 << 16];
    for (;;) {
        const int n = gzread(in, chunk, sizeof chunk);
        if (n < 0) {
            int code = 0;
            error = path.string() + ": " + gzerror(in, &code);
            break;
        }
        if (n == 0) break;
        out.insert(out.end(), chunk, chunk + n);
    }
    // gzread stops quietly at a cut-off end; gzclose_r reports it.
    if (gzclose_r(in) != Z_OK && error.empty()) error = path.string() + ": damaged or cut-off gzip data";
    if (!error.empty()) out.clear();
    return out;
}

// Bounds-checked little-endian reader; overrunning the data throws.
class Reader {
public:
    explicit Reader(const std::vector<uint8_t>& data) : data_(data) {}
    uint8_t Byte() {
        if (at_ >= data_.size()) throw std::runtime_error("data ends in the middle of a record");
        return data_[at_++];
    }
    uint16_t Word() {
        const uint8_t low = Byte();
        return static_cast<uint16_t>(low | Byte() << 8);
    }
    uint32_t Long() {
        const uint16_t low = Word();
        return low | static_cast<uint32_t>(Word()) << 16;
    }
    std::string Text() {
        std::string s(Byte(), '\0');
        for (char& c : s) c = static_cast<char>(Byte());
        return s;
    }
    bool AtEnd() const { return at_ == data_.size(); }

private:
    const std::vector<uint8_t>& data_;
    std::size_t at_ = 0;
};

// The 25 register fields in file order; true for the 16-bit ones.
struct Field {
    bool word;
    void (*set)(Registers&, uint16_t);
};
#define BYTE_FIELD(r) {false, [](Registers& x, uint16_t v) { x.r = static_cast<uint8_t>(v); }}
#define WORD_FIELD(r) {true, [](Registers& x, uint16_t v) { x.r = v; }}
const Field kFields[] = {
    BYTE_FIELD(A), BYTE_FIELD(F), BYTE_FIELD(B), BYTE_FIELD(C),
    BYTE_FIELD(D), BYTE_FIELD(E), BYTE_FIELD(H), BYTE_FIELD(L),
    WORD_FIELD(AF2), WORD_FIELD(BC2), WORD_FIELD(DE2), WORD_FIELD(HL2),
    WORD_FIELD(IX), WORD_FIELD(IY), WORD_FIELD(SP), WORD_FIELD(PC),
    BYTE_FIELD(I), BYTE_FIELD(R), BYTE_FIELD(IFF1), BYTE_FIELD(IFF2), BYTE_FIELD(IM),
    WORD_FIELD(WZ), BYTE_FIELD(Q), BYTE_FIELD(EI), BYTE_FIELD(P),
};
#undef BYTE_FIELD
#undef WORD_FIELD

Vector ReadVector(Reader& in, const std::string& name) {
    Vector v{};
    v.set = DataSet::SingleStep;
    v.name = name;
    v.haltedKnown = false;
    for (const Field& f : kFields) f.set(v.initial, f.word ? in.Word() : in.Byte());
    v.final = v.initial;
    const uint32_t changed = in.Long();
    for (std::size_t k = 0; k < std::size(kFields); ++k)
        if (changed & 1u << k) kFields[k].set(v.final, kFields[k].word ? in.Word() : in.Byte());
    v.cycles = in.Byte();
    uint16_t address = v.initial.PC;
    for (unsigned n = in.Byte(); n > 0; --n) {
        address = static_cast<uint16_t>(address + in.Word());
        v.initialRam.push_back({address, in.Byte()});
    }
    const unsigned finalCount = in.Byte();
    if (finalCount != v.initialRam.size()) throw std::runtime_error(name + ": final ram differs in length from initial ram");
    for (const MemoryByte& m : v.initialRam) v.finalRam.push_back({m.address, in.Byte()});
    for (unsigned n = in.Byte(); n > 0; --n) {
        const uint16_t at = in.Word();
        v.writes.push_back({at, in.Byte()});
    }
    for (unsigned n = in.Byte(); n > 0; --n) {
        const uint16_t port = in.Word();
        const uint8_t value = in.Byte();
        v.ports.push_back({port, value, in.Byte() != 0});
    }
    return v;
}

// Loads one group's file; an error message instead when it is missing,
// damaged or not in this layout.
std::vector<Opcode> LoadGroup(const fs::path& path, std::string& error) {
    std::vector<Opcode> opcodes;
    const std::vector<uint8_t> data = Inflate(path, error);
    if (!error.empty()) return opcodes;
    try {
        Reader in(data);
        for (const char* m = kMagic; *m != '\0'; ++m)
            if (in.Byte() != static_cast<uint8_t>(*m)) throw std::runtime_error("not a vector file of this layout");
        for (unsigned n = in.Word(); n > 0; --n) {
            Opcode op;
            op.stem = in.Text();
            const std::string prefix = in.Text();
            const unsigned count = in.Word();
            for (unsigned k = 0; k < count; ++k) {
                char index[16];
                std::snprintf(index, sizeof index, " %04X", k);
                op.vectors.push_back(ReadVector(in, prefix + index));
            }
            opcodes.push_back(std::move(op));
        }
        if (!in.AtEnd()) throw std::runtime_error("bytes left after the last opcode");
    } catch (const std::exception& e) {
        error = path.string() + ": " + e.what();
        opcodes.clear();
    }
    return opcodes;
}

// Runs one opcode; keeps kDiffsPerFile diffs and lists the rest by name.
Tally RunOpcode(const Opcode& op, Model model) {
    Tally tally;
    std::vector<std::string> extra;
    for (const Vector& v : op.vectors) {
        const std::size_t before = tally.failures.size();
        Check(v, tally, model);
        if (tally.failures.size() > before && before >= kDiffsPerFile) {
            tally.failures.pop_back();
            extra.push_back(v.name);
        }
    }
    if (!extra.empty()) {
        std::string line = op.stem + ": " + std::to_string(extra.size()) + " more failing:";
        for (const std::string& n : extra) line += " " + n.substr(n.rfind(' ') + 1);
        tally.failures.push_back(line);
    }
    return tally;
}

void RunGroup(const char* title, const char* file, std::size_t expectedOpcodes) {
    const fs::path path = kFolder / file;
    std::string error;
    const std::vector<Opcode> opcodes = LoadGroup(path, error);
    ASSERT_TRUE(error.empty()) << error;
    ASSERT_EQ(opcodes.size(), expectedOpcodes) << "not every opcode of the group is in " << path;
    for (const Model model : {Model::Default, Model::Exact}) {
        std::vector<Tally> perOpcode(opcodes.size());
        std::atomic<std::size_t> next{0};
        auto worker = [&] {
            for (std::size_t i = next++; i < opcodes.size(); i = next++) perOpcode[i] = RunOpcode(opcodes[i], model);
        };
        std::thread helper(worker);
        worker();
        helper.join();
        Tally tally;
        for (const Tally& t : perOpcode) tally.Merge(t);
        const char* modelName = model == Model::Exact ? " (exact model)" : "";
        for (const std::string& f : tally.failures) ADD_FAILURE() << f << modelName;
        if (model == Model::Exact) {
            EXPECT_EQ(tally.passMasked, 0u) << "the exact model is judged without deviations";
        }
        const std::string name = std::string("singlestep-z80 ") + title + modelName;
        std::printf("%s", tally.Summary(name).c_str());
        Record(name, tally);
    }
}

// A damaged or missing data file must fail the group with its path, never
// run a part of it as if it were whole.
TEST(SingleStepData, MissingOrDamagedFilesAreReported) {
    const fs::path dir = fs::temp_directory_path() / ("tiravel-singlestep-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::string whole;
    {
        std::ifstream in(kFolder / "ed.bin.gz", std::ios::binary);
        whole.assign(std::istreambuf_iterator<char>(in), {});
    }
    ASSERT_GT(whole.size(), 4096u) << "missing data file " << (kFolder / "ed.bin.gz");
    auto gzipped = [](const fs::path& path, const std::string& body) {
        gzFile out = gzopen(path.c_str(), "wb");
        gzwrite(out, body.data(), static_cast<unsigned>(body.size()));
        gzclose(out);
    };
    struct Case {
        const char* what;
        const char* file;
        std::function<void(const fs::path&)> make;  // none: the file is absent
        const char* message;
    };
    const Case cases[] = {
        {"absent", "absent.bin.gz", nullptr, "missing data file"},
        {"gzip cut off", "cut.bin.gz",
         [&](const fs::path& p) { std::ofstream(p, std::ios::binary) << whole.substr(0, whole.size() / 2); },
         "cut-off"},
        {"other magic", "magic.bin.gz", [&](const fs::path& p) { gzipped(p, "TSZ80V1\n\1\0"); },
         "not a vector file"},
        {"record cut off", "record.bin.gz",
         [&](const fs::path& p) { gzipped(p, std::string("TSZ80V2\n\1\0\2ed\2ED\1\0\7", 19)); },
         "ends in the middle"},
        {"bytes left over", "tail.bin.gz",
         [&](const fs::path& p) { gzipped(p, std::string("TSZ80V2\n\0\0\0", 11)); }, "left after"},
    };
    for (const Case& c : cases) {
        const fs::path path = dir / c.file;
        if (c.make) c.make(path);
        std::string error;
        const std::vector<Opcode> opcodes = LoadGroup(path, error);
        EXPECT_TRUE(opcodes.empty()) << c.what;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.what << ": " << error;
        EXPECT_NE(error.find(path.string()), std::string::npos) << c.what << ": " << error;
    }
    fs::remove_all(dir);
}

TEST(SingleStepConformance, Unprefixed) { RunGroup("unprefixed", "unprefixed.bin.gz", 252); }
TEST(SingleStepConformance, CB) { RunGroup("CB", "cb.bin.gz", 256); }
TEST(SingleStepConformance, ED) { RunGroup("ED", "ed.bin.gz", 80); }
TEST(SingleStepConformance, DD) { RunGroup("DD", "dd.bin.gz", 252); }
TEST(SingleStepConformance, FD) { RunGroup("FD", "fd.bin.gz", 252); }
TEST(SingleStepConformance, DDCB) { RunGroup("DD CB", "ddcb.bin.gz", 256); }
TEST(SingleStepConformance, FDCB) { RunGroup("FD CB", "fdcb.bin.gz", 256); }

}  // namespace
}  // namespace conformance
