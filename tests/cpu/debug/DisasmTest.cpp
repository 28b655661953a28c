// The disassembler against the assembler: each group of instruction forms
// written by z80_forms_gen was assembled by pasmo at build time; the bytes
// disassembled back must give every source line as it stands. The forms
// pasmo cannot write (the ones this core skips, a prefix before a plain
// load) are checked against tables of bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "Z80Disasm.h"

namespace {

// A byte buffer at an origin, as a TZ80Peek context; outside it reads 0.
struct Image {
    uint16_t origin = 0;
    std::vector<uint8_t> bytes;
};

uint8_t PeekImage(const void* context, uint16_t address) {
    const auto& image = *static_cast<const Image*>(context);
    const std::size_t offset = static_cast<uint16_t>(address - image.origin);
    return offset < image.bytes.size() ? image.bytes[offset] : 0;
}

T_Z80_INSTRUCTION Decode(std::vector<uint8_t> bytes, uint16_t at = 0) {
    Image image{at, std::move(bytes)};
    T_Z80_INSTRUCTION in{};
    Z80_Disassemble(PeekImage, &image, at, in);
    return in;
}

// The place of a form in the opcode space: its first byte, with the prefix
// and (after DD CB / FD CB) the operation byte.
unsigned FormKey(const T_Z80_INSTRUCTION& in) {
    const uint8_t* b = in.Bytes;
    if (b[0] == 0xCB || b[0] == 0xED) return unsigned(b[0]) << 8 | b[1];
    if (b[0] == 0xDD || b[0] == 0xFD) {
        if (b[1] == 0xCB) return unsigned(b[0]) << 16 | 0xCB00 | b[3];
        return unsigned(b[0]) << 8 | b[1];
    }
    return b[0];
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const char* const kGroups[] = {"unprefixed", "cb", "ed", "index", "index_cb", "undocumented", "relative"};

// A group as pasmo saw it: its source lines and the bytes it made of them.
struct Assembled {
    std::vector<std::string> lines;
    Image image;
};

Assembled Load(const std::string& group) {
    const std::string base = std::string(TIRAVEL_FORMS_DIR) + "/" + group;
    std::istringstream source(ReadFile(base + ".asm"));
    const std::string binary = ReadFile(base + ".bin");
    Assembled a;
    for (std::string line; std::getline(source, line);) {
        line.erase(0, line.find_first_not_of(' '));
        if (line.rfind("ORG #", 0) == 0)
            a.image.origin = static_cast<uint16_t>(std::stoul(line.substr(5), nullptr, 16));
        else if (!line.empty())
            a.lines.push_back(line);
    }
    a.image.bytes.assign(binary.begin(), binary.end());
    return a;
}

// Disassembles the group's bytes one instruction per source line.
std::vector<T_Z80_INSTRUCTION> Walk(const Assembled& a) {
    std::vector<T_Z80_INSTRUCTION> out;
    uint16_t address = a.image.origin;
    std::size_t consumed = 0;
    for (std::size_t i = 0; i < a.lines.size() && consumed < a.image.bytes.size(); ++i) {
        T_Z80_INSTRUCTION in{};
        Z80_Disassemble(PeekImage, &a.image, address, in);
        out.push_back(in);
        address = static_cast<uint16_t>(address + in.Length);
        consumed += in.Length;
    }
    return out;
}

class RoundTripTest : public ::testing::TestWithParam<const char*> {};

TEST_P(RoundTripTest, PasmoBytesDisassembleToTheSourceLines) {
    const Assembled a = Load(GetParam());
    ASSERT_FALSE(a.image.bytes.empty()) << GetParam() << ".bin";
    ASSERT_FALSE(a.lines.empty()) << GetParam() << ".asm";
    const auto decoded = Walk(a);
    ASSERT_EQ(decoded.size(), a.lines.size()) << "the bytes end early";
    std::size_t consumed = 0;
    for (std::size_t i = 0; i < decoded.size(); ++i) {
        const auto& in = decoded[i];
        EXPECT_EQ(std::string(in.Text), a.lines[i]) << "at " << std::hex << in.Address;
        EXPECT_FALSE(in.Skipped) << a.lines[i];
        EXPECT_EQ(0, std::memcmp(in.Bytes, a.image.bytes.data() + consumed, in.Length)) << a.lines[i];
        consumed += in.Length;
    }
    EXPECT_EQ(consumed, a.image.bytes.size()) << "bytes left after the last line";
}

INSTANTIATE_TEST_SUITE_P(Groups, RoundTripTest, ::testing::ValuesIn(kGroups),
                         [](const auto& info) { return std::string(info.param); });

// Every form the disassembler writes as an instruction (not as bytes) is in
// one of the groups, so every such text goes through pasmo.
TEST(RoundTripCoverage, EveryDecodedFormIsInAGroup) {
    std::set<unsigned> covered;
    for (const char* group : kGroups)
        for (const auto& in : Walk(Load(group))) covered.insert(FormKey(in));
    std::vector<std::vector<uint8_t>> spaces;
    for (unsigned b = 0; b < 256; ++b) {
        const uint8_t v = static_cast<uint8_t>(b);
        spaces.push_back({v, 0x05, 0x06, 0x07});
        spaces.push_back({0xCB, v, 0, 0});
        spaces.push_back({0xED, v, 0x05, 0x06});
        spaces.push_back({0xDD, v, 0x05, 0x06});
        spaces.push_back({0xFD, v, 0x05, 0x06});
        spaces.push_back({0xDD, 0xCB, 0x05, v});
        spaces.push_back({0xFD, 0xCB, 0x05, v});
    }
    for (const auto& bytes : spaces) {
        const T_Z80_INSTRUCTION in = Decode(bytes);
        if (std::strncmp(in.Text, "DB ", 3) == 0) continue;
        EXPECT_TRUE(covered.count(FormKey(in))) << "in no group: " << in.Text;
    }
}

// What the core passes over, and the prefixed plain loads: shown as bytes.
TEST(DisassemblerBytes, FormsPasmoCannotWriteAreShownAsTheBytesTheCoreSteps) {
    const struct {
        std::vector<uint8_t> bytes;
        const char* text;
        unsigned length;
        bool skipped;
    } cases[] = {
        {{0xED, 0x70}, "DB #ED,#70 ; no-op", 2, true},                // IN F,(C)
        {{0xED, 0x71}, "DB #ED,#71 ; no-op", 2, true},                // OUT (C),0
        {{0xED, 0x63, 0x34, 0x12}, "DB #ED,#63 ; no-op", 2, true},    // LD (nn),HL, ED form
        {{0xED, 0x6B, 0x34, 0x12}, "DB #ED,#6B ; no-op", 2, true},
        {{0xED, 0x4C}, "DB #ED,#4C ; no-op", 2, true},                // NEG mirror
        {{0xED, 0x55}, "DB #ED,#55 ; no-op", 2, true},                // RETN mirror
        {{0xED, 0x4E}, "DB #ED,#4E ; no-op", 2, true},                // IM mirror
        {{0xED, 0x77}, "DB #ED,#77 ; no-op", 2, true},
        {{0xED, 0x00}, "DB #ED,#00 ; no-op", 2, true},
        {{0xED, 0xBC}, "DB #ED,#BC ; no-op", 2, true},
        {{0xDD, 0x04}, "DB #DD,#04 ; no-op", 2, true},                // INC B after DD
        {{0xFD, 0x80}, "DB #FD,#80 ; no-op", 2, true},                // ADD A,B after FD
        {{0xDD, 0xDD, 0x21, 0x00}, "DB #DD,#DD ; no-op", 2, true},    // a second prefix
        {{0xFD, 0xED, 0xB0}, "DB #FD,#ED ; no-op", 2, true},
        {{0xDD, 0x76}, "DB #DD,#76 ; no-op", 2, true},                // no indexed HALT
        {{0xDD, 0xC3, 0x00, 0x80}, "DB #DD,#C3 ; no-op", 2, true},
        {{0xDD, 0xCB, 0x05, 0x00}, "DB #DD,#CB,#05,#00 ; no-op", 4, true},  // RLC (IX+5),B
        {{0xFD, 0xCB, 0xFF, 0x47}, "DB #FD,#CB,#FF,#47 ; no-op", 4, true},  // BIT 0 with a copy code
        {{0xDD, 0x41}, "DB #DD,#41 ; LD B,C", 2, false},
        {{0xFD, 0x7F}, "DB #FD,#7F ; LD A,A", 2, false},
        {{0xDD, 0x5A}, "DB #DD,#5A ; LD E,D", 2, false},
    };
    for (const auto& c : cases) {
        const T_Z80_INSTRUCTION in = Decode(c.bytes);
        EXPECT_STREQ(in.Text, c.text);
        EXPECT_EQ(in.Length, c.length) << c.text;
        EXPECT_EQ(in.Skipped, c.skipped) << c.text;
        EXPECT_EQ(in.Flow, TZ80Flow::Next) << c.text;
    }
}

TEST(DisassemblerFlow, TargetsWrapAndFlowsNameTheControlTransfer) {
    const struct {
        std::vector<uint8_t> bytes;
        uint16_t at;
        const char* text;
        TZ80Flow flow;
        uint16_t target;
    } cases[] = {
        {{0x18, 0x05}, 0xFFFE, "JR #0005", TZ80Flow::Jump, 0x0005},
        {{0x10, 0x80}, 0x0010, "DJNZ #FF92", TZ80Flow::Loop, 0xFF92},
        {{0x20, 0xFE}, 0x1234, "JR NZ,#1234", TZ80Flow::JumpIf, 0x1234},
        {{0xCD, 0x00, 0x80}, 0x0000, "CALL #8000", TZ80Flow::Call, 0x8000},
        {{0xFC, 0x34, 0x12}, 0x0000, "CALL M,#1234", TZ80Flow::CallIf, 0x1234},
        {{0xFF}, 0x4000, "RST #38", TZ80Flow::Restart, 0x0038},
        {{0xE9}, 0x0000, "JP (HL)", TZ80Flow::JumpIndirect, 0},
        {{0xFD, 0xE9}, 0x0000, "JP (IY)", TZ80Flow::JumpIndirect, 0},
        {{0xED, 0x4D}, 0x0000, "RETI", TZ80Flow::Return, 0},
        {{0xD8}, 0x0000, "RET C", TZ80Flow::ReturnIf, 0},
        {{0xED, 0xB3}, 0x0000, "OTIR", TZ80Flow::Repeat, 0},
        {{0xED, 0xA3}, 0x0000, "OUTI", TZ80Flow::Next, 0},
        {{0x76}, 0x0000, "HALT", TZ80Flow::Halt, 0},
    };
    for (const auto& c : cases) {
        const T_Z80_INSTRUCTION in = Decode(c.bytes, c.at);
        EXPECT_STREQ(in.Text, c.text);
        EXPECT_EQ(in.Flow, c.flow) << c.text;
        EXPECT_EQ(in.Target, c.target) << c.text;
        EXPECT_EQ(in.Address, c.at) << c.text;
    }
}

}  // namespace
