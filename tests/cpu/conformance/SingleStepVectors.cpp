// The SingleStepTests Z80 vectors, run on the flat seam.
//
// Origin: repository SingleStepTests/z80 (MIT licence), folder v1/, snapshot
// cbfec3caf2e971dc91f21c617fef712f9e4285ca, kept read-only in
// shared/testdata/singlestep-z80/v1/ and reduced there to the first 100 tests
// of each of the 1,604 files. One file per opcode ("3e.json", "ed b0.json",
// "dd cb __ 46.json"); each test runs exactly one instruction (one iteration
// of a block instruction) from random registers and memory and records the
// real chip's final state, one bus sample per T-state (so the list's length
// is the T-state count, and its "-wm-" samples are the memory writes in
// order) and the port accesses with their 16-bit addresses.
//
// One GoogleTest test per opcode group; files are parsed and run on two
// threads.
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <thread>

#include "Conformance.h"

namespace conformance {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const fs::path kFolder = fs::path(TIRAVEL_SHARED_DIR) / "testdata" / "singlestep-z80" / "v1";

// Detailed diffs per file; the names of further failing vectors of the same
// file are listed without them (they tend to fail the same way).
constexpr std::size_t kDiffsPerFile = 3;

Registers ParseRegisters(const json& j) {
    auto b = [&](const char* k) { return static_cast<uint8_t>(j.at(k).get<unsigned>()); };
    auto w = [&](const char* k) { return static_cast<uint16_t>(j.at(k).get<unsigned>()); };
    Registers r{};
    r.A = b("a"); r.F = b("f"); r.B = b("b"); r.C = b("c");
    r.D = b("d"); r.E = b("e"); r.H = b("h"); r.L = b("l");
    r.AF2 = w("af_"); r.BC2 = w("bc_"); r.DE2 = w("de_"); r.HL2 = w("hl_");
    r.IX = w("ix"); r.IY = w("iy"); r.SP = w("sp"); r.PC = w("pc");
    r.I = b("i"); r.R = b("r"); r.IFF1 = b("iff1"); r.IFF2 = b("iff2"); r.IM = b("im");
    return r;
}

std::vector<MemoryByte> ParseRam(const json& ram) {
    std::vector<MemoryByte> out;
    out.reserve(ram.size());
    for (const json& e : ram) out.push_back({static_cast<uint16_t>(e[0].get<unsigned>()), static_cast<uint8_t>(e[1].get<unsigned>())});
    return out;
}

Vector ParseVector(const json& t) {
    Vector v{};
    v.set = DataSet::SingleStep;
    v.name = t.at("name").get<std::string>();
    v.initial = ParseRegisters(t.at("initial"));
    v.final = ParseRegisters(t.at("final"));
    v.haltedKnown = false;
    v.initialRam = ParseRam(t.at("initial").at("ram"));
    v.finalRam = ParseRam(t.at("final").at("ram"));
    const json& cycles = t.at("cycles");
    v.cycles = static_cast<uint32_t>(cycles.size());
    for (const json& c : cycles) {
        const std::string& pins = c[2].get_ref<const std::string&>();
        if (pins.size() >= 3 && pins[1] == 'w' && pins[2] == 'm')
            v.writes.push_back({static_cast<uint16_t>(c[0].get<unsigned>()), static_cast<uint8_t>(c[1].get<unsigned>())});
    }
    if (t.contains("ports"))
        for (const json& p : t.at("ports"))
            v.ports.push_back({static_cast<uint16_t>(p[0].get<unsigned>()), static_cast<uint8_t>(p[1].get<unsigned>()),
                               p[2].get_ref<const std::string&>() == "w"});
    return v;
}

// Runs one file; keeps kDiffsPerFile diffs and lists the rest by name.
Tally RunFile(const fs::path& file) {
    Tally tally;
    std::ifstream in(file);
    const json tests = json::parse(in);
    std::vector<std::string> extra;
    for (const json& t : tests) {
        const Vector v = ParseVector(t);
        const std::size_t before = tally.failures.size();
        Check(v, tally);
        if (tally.failures.size() > before && before >= kDiffsPerFile) {
            tally.failures.pop_back();
            extra.push_back(v.name);
        }
    }
    if (!extra.empty()) {
        std::string line = file.stem().string() + ": " + std::to_string(extra.size()) + " more failing:";
        for (const std::string& n : extra) line += " " + n.substr(n.rfind(' ') + 1);
        tally.failures.push_back(line);
    }
    return tally;
}

std::vector<fs::path> FilesOf(bool (*inGroup)(const std::string&)) {
    std::vector<fs::path> files;
    if (!fs::is_directory(kFolder)) return files;
    for (const auto& entry : fs::directory_iterator(kFolder)) {
        const std::string stem = entry.path().stem().string();
        if (entry.path().extension() == ".json" && inGroup(stem)) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

void RunGroup(const char* title, bool (*inGroup)(const std::string&), std::size_t expectedFiles) {
    const std::vector<fs::path> files = FilesOf(inGroup);
    ASSERT_EQ(files.size(), expectedFiles) << "SingleStepTests data not found or not complete under " << kFolder;
    std::vector<Tally> perFile(files.size());
    std::atomic<std::size_t> next{0};
    auto worker = [&] {
        for (std::size_t i = next++; i < files.size(); i = next++) perFile[i] = RunFile(files[i]);
    };
    std::thread helper(worker);
    worker();
    helper.join();
    Tally tally;
    for (const Tally& t : perFile) tally.Merge(t);
    for (const std::string& f : tally.failures) ADD_FAILURE() << f;
    const std::string name = std::string("singlestep-z80 ") + title;
    std::printf("%s", tally.Summary(name).c_str());
    Record(name, tally);
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

bool IsUnprefixed(const std::string& s) { return s.size() == 2; }
bool IsCB(const std::string& s) { return StartsWith(s, "cb "); }
bool IsED(const std::string& s) { return StartsWith(s, "ed "); }
bool IsDD(const std::string& s) { return StartsWith(s, "dd ") && !StartsWith(s, "dd cb"); }
bool IsFD(const std::string& s) { return StartsWith(s, "fd ") && !StartsWith(s, "fd cb"); }
bool IsDDCB(const std::string& s) { return StartsWith(s, "dd cb"); }
bool IsFDCB(const std::string& s) { return StartsWith(s, "fd cb"); }

TEST(SingleStepConformance, Unprefixed) { RunGroup("unprefixed", IsUnprefixed, 252); }
TEST(SingleStepConformance, CB) { RunGroup("CB", IsCB, 256); }
TEST(SingleStepConformance, ED) { RunGroup("ED", IsED, 80); }
TEST(SingleStepConformance, DD) { RunGroup("DD", IsDD, 252); }
TEST(SingleStepConformance, FD) { RunGroup("FD", IsFD, 252); }
TEST(SingleStepConformance, DDCB) { RunGroup("DD CB", IsDDCB, 256); }
TEST(SingleStepConformance, FDCB) { RunGroup("FD CB", IsFDCB, 256); }

}  // namespace
}  // namespace conformance
