// The FUSE per-instruction Z80 tests, run on the flat seam.
//
// Origin: the ZX Spectrum emulator FUSE, files z80/tests/tests.in and
// tests.expected (repository speccytools/fuse-for-macosx, snapshot
// 5a111ed178ab764cfb7d8868863e299bf22339b2, GNU GPL v2), kept as published
// in tests/data/fuse-z80/. 1,356 tests over the unprefixed, CB, ED, DD, FD
// and DD CB / FD CB groups. A test sets the registers and some memory, runs
// instructions until at least a given T-state total is reached (the last one
// always completes) and records the memory and port events of the real chip
// and its final registers. Its port device answers a read with the high byte
// of the 16-bit port address; the events record that value, which the flat
// seam replays.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>

#include "Conformance.h"

namespace conformance {
namespace {

const std::string kFolder = std::string(TIRAVEL_SOURCE_DIR) + "/tests/data/fuse-z80/";

// Blocks of non-empty lines separated by blank lines.
std::vector<std::vector<std::string>> ReadBlocks(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::vector<std::string>> blocks;
    std::vector<std::string> block;
    std::string line;
    while (std::getline(in, line)) {
        if (line.find_first_not_of(" \t\r") == std::string::npos) {
            if (!block.empty()) blocks.push_back(std::move(block));
            block.clear();
        } else {
            block.push_back(line);
        }
    }
    if (!block.empty()) blocks.push_back(std::move(block));
    return blocks;
}

unsigned HexOf(const std::string& s) { return static_cast<unsigned>(std::stoul(s, nullptr, 16)); }

// "AF BC DE HL AF' BC' DE' HL' IX IY SP PC MEMPTR" then
// "I R IFF1 IFF2 IM halted tstates"; returns the tstates field. Q is not
// recorded; it starts as 0 (FUSE's SCF and CCF take bits 5 and 3 from A OR F,
// as the NMOS part does after an instruction that computed no flags).
uint32_t ParseRegisters(const std::string& first, const std::string& second, Registers& r) {
    std::istringstream a(first), b(second);
    std::string w[13];
    for (std::string& x : w) a >> x;
    r.A = static_cast<uint8_t>(HexOf(w[0]) >> 8); r.F = static_cast<uint8_t>(HexOf(w[0]));
    r.B = static_cast<uint8_t>(HexOf(w[1]) >> 8); r.C = static_cast<uint8_t>(HexOf(w[1]));
    r.D = static_cast<uint8_t>(HexOf(w[2]) >> 8); r.E = static_cast<uint8_t>(HexOf(w[2]));
    r.H = static_cast<uint8_t>(HexOf(w[3]) >> 8); r.L = static_cast<uint8_t>(HexOf(w[3]));
    r.AF2 = static_cast<uint16_t>(HexOf(w[4])); r.BC2 = static_cast<uint16_t>(HexOf(w[5]));
    r.DE2 = static_cast<uint16_t>(HexOf(w[6])); r.HL2 = static_cast<uint16_t>(HexOf(w[7]));
    r.IX = static_cast<uint16_t>(HexOf(w[8])); r.IY = static_cast<uint16_t>(HexOf(w[9]));
    r.SP = static_cast<uint16_t>(HexOf(w[10])); r.PC = static_cast<uint16_t>(HexOf(w[11]));
    r.WZ = static_cast<uint16_t>(HexOf(w[12]));
    std::string i, rr;
    unsigned iff1 = 0, iff2 = 0, im = 0, halted = 0, tstates = 0;
    b >> i >> rr >> iff1 >> iff2 >> im >> halted >> tstates;
    r.I = static_cast<uint8_t>(HexOf(i)); r.R = static_cast<uint8_t>(HexOf(rr));
    r.IFF1 = static_cast<uint8_t>(iff1); r.IFF2 = static_cast<uint8_t>(iff2);
    r.IM = static_cast<uint8_t>(im); r.Halted = static_cast<uint8_t>(halted);
    return tstates;
}

// "addr byte byte ... -1"
void ParseMemory(const std::string& line, std::vector<MemoryByte>& out) {
    std::istringstream s(line);
    std::string word;
    s >> word;
    if (word == "-1") return;
    unsigned address = HexOf(word);
    while (s >> word && word != "-1") out.push_back({static_cast<uint16_t>(address++), static_cast<uint8_t>(HexOf(word))});
}

std::vector<Vector> LoadFuse() {
    std::map<std::string, std::vector<std::string>> expected;
    for (auto& block : ReadBlocks(kFolder + "tests.expected")) expected[block[0]] = block;

    std::vector<Vector> vectors;
    for (const auto& in : ReadBlocks(kFolder + "tests.in")) {
        Vector v{};
        v.set = DataSet::Fuse;
        v.name = "fuse " + in[0];
        v.haltedKnown = true;
        v.leastCycles = ParseRegisters(in[1], in[2], v.initial);
        for (std::size_t k = 3; k < in.size(); ++k) ParseMemory(in[k], v.initialRam);

        const auto found = expected.find(in[0]);
        if (found == expected.end()) continue;
        const auto& ex = found->second;
        std::size_t k = 1;
        for (; k < ex.size() && (ex[k][0] == ' ' || ex[k][0] == '\t'); ++k) {
            std::istringstream s(ex[k]);
            std::string time, type, address, data;
            s >> time >> type >> address >> data;
            if (type == "MW") v.writes.push_back({static_cast<uint16_t>(HexOf(address)), static_cast<uint8_t>(HexOf(data))});
            if (type == "PR" || type == "PW")
                v.ports.push_back({static_cast<uint16_t>(HexOf(address)), static_cast<uint8_t>(HexOf(data)), type == "PW"});
        }
        if (k + 1 >= ex.size()) continue;
        v.cycles = ParseRegisters(ex[k], ex[k + 1], v.final);
        // The memory lines name the bytes that changed; every other byte the
        // test set up must still hold its value.
        std::vector<MemoryByte> changed;
        for (std::size_t m = k + 2; m < ex.size(); ++m) ParseMemory(ex[m], changed);
        v.finalRam = v.initialRam;
        for (const MemoryByte& c : changed) {
            bool replaced = false;
            for (MemoryByte& f : v.finalRam)
                if (f.address == c.address) { f.value = c.value; replaced = true; }
            if (!replaced) v.finalRam.push_back(c);
        }
        vectors.push_back(std::move(v));
    }
    return vectors;
}

// Vectors the harness cannot judge: they run a 0-cycle two-byte no-op
// towards a T-state total, so how many instructions run depends on the very
// cycle count that differs (the same forms are judged one at a time in the
// SingleStepTests data).
const std::map<std::string, const char*> kSkipped = {
    {"fuse dd00", "runs DD 00 then NOPs to a T-state total; the no-op charges 0 cycles here"},
    {"fuse ddfd00", "runs DD FD 00 then NOPs to a T-state total; the no-op charges 0 cycles here"},
};

// The exact model runs every vector (the prefixes cost their 4 T there). It
// takes two rows only, where the fuse data and the SingleStepTests data
// disagree and the exact model follows the latter: HALT (PC left on the
// opcode) and the flags and WZ of a repeating block iteration (one vector per
// block instruction that repeats: at most six).
TEST(FuseConformance, EveryVectorMatchesTheChipOrTheDeviationTable) {
    for (const char* file : {"tests.in", "tests.expected"})
        ASSERT_TRUE(std::filesystem::is_regular_file(kFolder + file)) << "missing data file " << kFolder << file;
    const std::vector<Vector> vectors = LoadFuse();
    ASSERT_EQ(vectors.size(), 1356u) << "fuse data not found or not complete under " << kFolder;
    for (const Model model : {Model::Default, Model::Exact}) {
        Tally tally;
        for (const Vector& v : vectors) {
            const auto skip = kSkipped.find(v.name);
            if (model == Model::Default && skip != kSkipped.end()) {
                ++tally.skipped;
                tally.skips.push_back(v.name + ": " + skip->second);
                continue;
            }
            Check(v, tally, model);
        }
        const char* modelName = model == Model::Exact ? " (exact model)" : "";
        for (const std::string& f : tally.failures) ADD_FAILURE() << f << modelName;
        if (model == Model::Exact) {
            EXPECT_LE(tally.passMasked, 6u) << "the exact model takes only the HALT and block repeat rows";
        }
        const std::string name = std::string("fuse-z80") + modelName;
        std::printf("%s", tally.Summary(name).c_str());
        Record(name, tally);
    }
}

}  // namespace
}  // namespace conformance
