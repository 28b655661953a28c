// The access predictor and the disassembler's lengths and targets against
// the production instruction step: every form of each prefix group runs on
// the recording seam with random registers and memory, and the accesses the
// step makes must be the predicted ones, in order (a fetch counts as a read:
// the step cannot tell them apart). Where the instruction goes must match
// the decoded length, flow and target.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "RecordingSeam.h"

namespace {

using recording::Access;
using recording::TheSeam;

struct Group {
    const char* name;
    std::vector<uint8_t> prefix;  // the bytes before the varied one
    bool indexedBits;             // DD CB d op: the varied byte is the fourth
};

void PrintTo(const Group& g, std::ostream* os) { *os << g.name; }

std::string Describe(const std::vector<Access>& list) {
    static const char* const kNames[] = {"fetch", "read", "write", "in", "out"};
    std::string s;
    for (auto& a : list) {
        char b[24];
        std::snprintf(b, sizeof b, " %s %04X", kNames[static_cast<int>(a.kind)], a.address);
        s += b;
    }
    return s;
}

uint16_t Plus(uint16_t a, int d) { return static_cast<uint16_t>(a + d); }

class PredictorTest : public ::testing::TestWithParam<Group> {
protected:
    std::unique_ptr<T_Z80_CPU_CORE> cpu = std::make_unique<T_Z80_CPU_CORE>();
    T_INTERCONNECT_CORE bus{};
    std::mt19937 random{12345};

    uint8_t Byte() { return static_cast<uint8_t>(random()); }
    uint16_t Word() { return static_cast<uint16_t>(random()); }

    void SetUp() override {
        for (auto& b : TheSeam().memory) b = Byte();
    }

    void Randomise(int trial) {
        auto& c = *cpu;
        for (uint8_t* r : {&c.A, &c.B, &c.C, &c.D, &c.E, &c.H, &c.L, &c.F, &c.AltA, &c.AltB, &c.AltC, &c.AltD,
                           &c.AltE, &c.AltH, &c.AltL, &c.AltF, &c.I, &c.R})
            *r = Byte();
        c.SP = Word();
        c.IX = Word();
        c.IY = Word();
        c.PC = Word();
        c.IFF1 = c.IFF2 = Byte() & 1;
        c.InterruptMode = 1;
        c.Halted = 0;
        c.Bus = &bus;
        // The edges: DJNZ ending, the address space wrapping under PC, SP
        // and the index registers.
        if (trial % 4 == 0) c.B = 1;
        if (trial == 1) c.PC = 0xFFFE;
        if (trial == 2) c.SP = 0x0000;
        if (trial == 3) c.SP = 0xFFFF;
        if (trial == 5) c.IX = c.IY = 0xFFF0;
        if (trial == 6) c.PC = 0xFFFF;
    }

    void Place(const std::vector<uint8_t>& bytes) {
        for (std::size_t i = 0; i < bytes.size(); ++i) TheSeam().memory[Plus(cpu->PC, int(i))] = bytes[i];
    }

    // Where the decoded instruction says the step may go.
    static bool Overlaps(uint16_t a, uint16_t from, unsigned length) {
        return static_cast<uint16_t>(a - from) < length;
    }
    void CheckFlow(const T_Z80_INSTRUCTION& in, uint16_t spBefore, uint16_t pcAfter, const std::string& where) {
        const uint16_t next = Plus(in.Address, in.Length);
        switch (in.Flow) {
            case TZ80Flow::Next:
            case TZ80Flow::Halt: EXPECT_EQ(pcAfter, next) << where; break;
            case TZ80Flow::Jump: EXPECT_EQ(pcAfter, in.Target) << where; break;
            case TZ80Flow::JumpIf:
            case TZ80Flow::Loop: EXPECT_TRUE(pcAfter == in.Target || pcAfter == next) << where; break;
            case TZ80Flow::Call:
            case TZ80Flow::CallIf:
                // A push over the instruction's own operand changes the target.
                if (Overlaps(Plus(spBefore, -2), Plus(in.Address, -1), 5)) break;
                if (in.Flow == TZ80Flow::Call) {
                    EXPECT_EQ(pcAfter, in.Target) << where;
                } else {
                    EXPECT_TRUE(pcAfter == in.Target || pcAfter == next) << where;
                }
                break;
            case TZ80Flow::Restart: EXPECT_EQ(pcAfter, in.Target) << where; break;
            case TZ80Flow::Repeat: EXPECT_TRUE(pcAfter == in.Address || pcAfter == next) << where; break;
            default: break;  // returns and JP (HL): wherever a register or the stack says
        }
    }
};

TEST_P(PredictorTest, EveryFormMakesThePredictedAccesses) {
    const Group& g = GetParam();
    auto& seam = TheSeam();
    for (int form = 0; form < 256; ++form) {
        if (g.prefix.empty() && (form == 0xCB || form == 0xDD || form == 0xED || form == 0xFD)) continue;
        for (int trial = 0; trial < 48; ++trial) {
            Randomise(trial);
            std::vector<uint8_t> bytes = g.prefix;
            if (g.indexedBits) {
                bytes.push_back(Byte());  // the displacement
                bytes.push_back(static_cast<uint8_t>(form));
            } else {
                bytes.push_back(static_cast<uint8_t>(form));
            }
            Place(bytes);

            T_Z80_ACCESSES predicted{};
            Z80_PredictAccesses(*cpu, recording::Peek, nullptr, predicted);
            T_Z80_INSTRUCTION in{};
            Z80_Disassemble(recording::Peek, nullptr, cpu->PC, in);

            const uint16_t sp = cpu->SP;
            seam.log.clear();
            seam.recording = true;
            seam.portValue = Byte();
            Z80_ExecuteInstruction(*cpu);
            seam.recording = false;

            std::vector<Access> expected;
            for (unsigned i = 0; i < predicted.Count; ++i) {
                const auto& a = predicted.List[i];
                expected.push_back(
                    {a.Address, a.Kind == TZ80AccessKind::Fetch ? TZ80AccessKind::Read : a.Kind});
                if (a.Kind == TZ80AccessKind::Fetch) {
                    EXPECT_TRUE(Overlaps(a.Address, in.Address, 4)) << g.name << " " << in.Text;
                }
            }
            char where[80];
            std::snprintf(where, sizeof where, "%s form %02X trial %d at %04X: %s", g.name, form, trial, in.Address,
                          in.Text);
            ASSERT_EQ(seam.log, expected) << where << "\n  step:     " << Describe(seam.log)
                                          << "\n  predicted:" << Describe(expected);
            CheckFlow(in, sp, cpu->PC, where);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Groups, PredictorTest,
                         ::testing::Values(Group{"Unprefixed", {}, false}, Group{"CB", {0xCB}, false},
                                           Group{"ED", {0xED}, false}, Group{"DD", {0xDD}, false},
                                           Group{"FD", {0xFD}, false}, Group{"DDCB", {0xDD, 0xCB}, true},
                                           Group{"FDCB", {0xFD, 0xCB}, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// What the classification means for a breakpoint: the bytes of the
// instruction are fetches, its operands in memory are data.
TEST(PredictorKinds, FetchesAreTheInstructionsBytesAndDataTheRest) {
    auto cpu = std::make_unique<T_Z80_CPU_CORE>();
    auto& m = TheSeam().memory;
    struct Case {
        std::vector<uint8_t> bytes;
        std::vector<T_Z80_ACCESS> data;  // the accesses other than fetches
    };
    cpu->H = 0xC0; cpu->L = 0x10; cpu->D = 0xC1; cpu->E = 0x00; cpu->C = 0xBE; cpu->SP = 0xDFF0;
    cpu->IX = 0xC100;
    cpu->F = 0x40;  // Z set
    const Case cases[] = {
        {{0x3A, 0x34, 0x12}, {{0x1234, TZ80AccessKind::Read}}},                       // LD A,(#1234)
        {{0xED, 0xB0}, {{0xC010, TZ80AccessKind::Read}, {0xC100, TZ80AccessKind::Write}}},  // LDIR
        {{0xED, 0xB3}, {{0xC010, TZ80AccessKind::Read}, {0xBE, TZ80AccessKind::PortWrite}}},  // OTIR
        {{0xDD, 0x36, 0xFE, 0x77}, {{0xC0FE, TZ80AccessKind::Write}}},                // LD (IX-#02),#77
        {{0xC4, 0x00, 0x80}, {}},                                                      // CALL NZ not taken
        {{0xCC, 0x00, 0x80}, {{0xDFEF, TZ80AccessKind::Write}, {0xDFEE, TZ80AccessKind::Write}}},  // CALL Z
        {{0xDB, 0xDD}, {{0xDD, TZ80AccessKind::PortRead}}},                            // IN A,(#DD)
    };
    for (const auto& c : cases) {
        cpu->PC = 0x0200;
        for (std::size_t i = 0; i < c.bytes.size(); ++i) m[0x200 + i] = c.bytes[i];
        T_Z80_ACCESSES out{};
        Z80_PredictAccesses(*cpu, recording::Peek, nullptr, out);
        std::vector<std::pair<uint16_t, TZ80AccessKind>> data, expected;
        for (unsigned i = 0; i < out.Count; ++i)
            if (out.List[i].Kind != TZ80AccessKind::Fetch) data.push_back({out.List[i].Address, out.List[i].Kind});
        for (auto& a : c.data) expected.push_back({a.Address, a.Kind});
        EXPECT_EQ(data, expected) << int(c.bytes[0]);
    }
}

}  // namespace
