// Writes the instruction forms of the Z80 as pasmo source, one file per
// group, for the disassembler's round trip: pasmo assembles each file, the
// test disassembles the bytes and expects every line back as it is here.
//
// The forms are spelled out from the instruction set's own tables (registers,
// conditions, operations), independently of the disassembler's decoding.
// Usage: z80_forms_gen OUTPUT_FOLDER
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

const char* const kReg[] = {"B", "C", "D", "E", "H", "L", "(HL)", "A"};
const char* const kCond[] = {"NZ", "Z", "NC", "C", "PO", "PE", "P", "M"};
const char* const kAluWithA[] = {"ADD A,", "ADC A,", "SUB ", "SBC A,", "AND ", "XOR ", "OR ", "CP "};
const char* const kRotDoc[] = {"RLC", "RRC", "RL", "RR", "SLA", "SRA", "SRL"};
const char* const kBlock[] = {"LDI", "CPI", "INI", "OUTI", "LDD", "CPD", "IND", "OUTD",
                              "LDIR", "CPIR", "INIR", "OTIR", "LDDR", "CPDR", "INDR", "OTDR"};
const char* const kDisp[] = {"+#05", "-#80", "+#7F", "-#01", "+#00"};

std::string Hex2(unsigned v) {
    char b[8];
    std::snprintf(b, sizeof b, "#%02X", v & 0xFF);
    return b;
}
std::string Hex4(unsigned v) {
    char b[8];
    std::snprintf(b, sizeof b, "#%04X", v & 0xFFFF);
    return b;
}

Lines Unprefixed() {
    Lines l;
    const char* pairs[] = {"BC", "DE", "HL", "SP"};
    const char* stack[] = {"BC", "DE", "HL", "AF"};
    l.push_back("NOP");
    l.push_back("EX AF,AF'");
    for (auto* p : pairs) l.push_back(std::string("LD ") + p + ",#1234");
    l.push_back("LD BC,#0000");
    l.push_back("LD SP,#FFFF");
    for (auto* p : pairs) l.push_back(std::string("ADD HL,") + p);
    l.insert(l.end(), {"LD (BC),A", "LD (DE),A", "LD (#C123),HL", "LD (#FFFF),A",
                       "LD A,(BC)", "LD A,(DE)", "LD HL,(#0000)", "LD A,(#8001)"});
    for (auto* p : pairs) l.push_back(std::string("INC ") + p);
    for (auto* p : pairs) l.push_back(std::string("DEC ") + p);
    for (auto* r : kReg) l.push_back(std::string("INC ") + r);
    for (auto* r : kReg) l.push_back(std::string("DEC ") + r);
    for (auto* r : kReg) l.push_back(std::string("LD ") + r + ",#A5");
    l.push_back("LD A,#00");
    l.push_back("LD A,#FF");
    l.insert(l.end(), {"RLCA", "RRCA", "RLA", "RRA", "DAA", "CPL", "SCF", "CCF"});
    for (int d = 0; d < 8; ++d)
        for (int s = 0; s < 8; ++s) {
            if (d == 6 && s == 6) l.push_back("HALT");
            else l.push_back(std::string("LD ") + kReg[d] + "," + kReg[s]);
        }
    for (auto* op : kAluWithA)
        for (auto* r : kReg) l.push_back(std::string(op) + r);
    for (auto* c : kCond) l.push_back(std::string("RET ") + c);
    for (auto* p : stack) l.push_back(std::string("POP ") + p);
    l.insert(l.end(), {"RET", "EXX", "JP (HL)", "LD SP,HL"});
    for (auto* c : kCond) l.push_back(std::string("JP ") + c + ",#4321");
    l.insert(l.end(), {"JP #0038", "OUT (#BE),A", "IN A,(#DD)", "EX (SP),HL", "EX DE,HL", "DI", "EI"});
    for (auto* c : kCond) l.push_back(std::string("CALL ") + c + ",#ABCD");
    for (auto* p : stack) l.push_back(std::string("PUSH ") + p);
    l.push_back("CALL #1FFE");
    for (auto* op : kAluWithA) l.push_back(std::string(op) + "#5A");
    for (int p = 0; p < 8; ++p) l.push_back("RST " + Hex2(p * 8));
    return l;
}

Lines Bits() {
    Lines l;
    for (auto* op : kRotDoc)
        for (auto* r : kReg) l.push_back(std::string(op) + " " + r);
    for (const char* op : {"BIT", "RES", "SET"})
        for (int b = 0; b < 8; ++b)
            for (auto* r : kReg) l.push_back(std::string(op) + " " + std::to_string(b) + "," + r);
    return l;
}

Lines Extended() {
    Lines l;
    for (int r = 0; r < 8; ++r)
        if (r != 6) l.push_back(std::string("IN ") + kReg[r] + ",(C)");
    for (int r = 0; r < 8; ++r)
        if (r != 6) l.push_back(std::string("OUT (C),") + kReg[r]);
    for (const char* p : {"BC", "DE", "HL", "SP"}) {
        l.push_back(std::string("SBC HL,") + p);
        l.push_back(std::string("ADC HL,") + p);
    }
    for (const char* p : {"BC", "DE", "SP"}) {
        l.push_back(std::string("LD (#1234),") + p);
        l.push_back(std::string("LD ") + p + ",(#FEDC)");
    }
    l.insert(l.end(), {"NEG", "RETN", "RETI", "IM 0", "IM 1", "IM 2", "LD I,A", "LD R,A", "LD A,I", "LD A,R",
                       "RRD", "RLD"});
    for (auto* b : kBlock) l.push_back(b);
    return l;
}

// The documented DD and FD forms, for X = IX and IY.
Lines Indexed() {
    Lines l;
    for (const std::string x : {"IX", "IY"}) {
        for (const std::string p : {"BC", "DE", x.c_str(), "SP"}) l.push_back("ADD " + x + "," + p);
        l.push_back("LD " + x + ",#1234");
        l.push_back("LD (#BEEF)," + x);
        l.push_back("LD " + x + ",(#0102)");
        l.push_back("INC " + x);
        l.push_back("DEC " + x);
        for (auto* d : kDisp) {
            l.push_back("INC (" + x + d + ")");
            l.push_back("DEC (" + x + d + ")");
        }
        l.push_back("LD (" + x + "+#05),#A5");
        l.push_back("LD (" + x + "-#80),#00");
        for (int r = 0; r < 8; ++r) {
            if (r == 6) continue;
            l.push_back(std::string("LD ") + kReg[r] + ",(" + x + "+#11)");
            l.push_back("LD (" + x + "-#22)," + kReg[r]);
        }
        for (auto* op : kAluWithA) l.push_back(std::string(op) + "(" + x + "+#33)");
        l.insert(l.end(), {"POP " + x, "EX (SP)," + x, "PUSH " + x, "JP (" + x + ")", "LD SP," + x});
    }
    return l;
}

Lines IndexedBits() {
    Lines l;
    for (const std::string x : {"IX", "IY"}) {
        for (auto* op : kRotDoc) l.push_back(std::string(op) + " (" + x + "+#05)");
        for (const char* op : {"BIT", "RES", "SET"})
            for (int b = 0; b < 8; ++b) l.push_back(std::string(op) + " " + std::to_string(b) + ",(" + x + "-#06)");
        l.push_back("BIT 0,(" + x + "-#80)");
        l.push_back("SET 7,(" + x + "+#7F)");
    }
    return l;
}

// What pasmo knows of the undocumented forms this core executes: SLL and the
// halves of the index registers.
Lines Undocumented() {
    Lines l;
    for (auto* r : kReg) l.push_back(std::string("SLL ") + r);
    for (const std::string x : {"IX", "IY"}) {
        l.push_back("SLL (" + x + "+#05)");
        const std::string halves[] = {x + "H", x + "L"};
        const char* plain[] = {"B", "C", "D", "E", "A"};
        for (auto& h : halves) {
            l.push_back("INC " + h);
            l.push_back("DEC " + h);
            l.push_back("LD " + h + ",#A5");
            for (auto* op : kAluWithA) l.push_back(std::string(op) + h);
            for (auto* r : plain) {
                l.push_back(std::string("LD ") + r + "," + h);
                l.push_back("LD " + h + "," + r);
            }
            for (auto& g : halves) l.push_back("LD " + h + "," + g);
        }
    }
    return l;
}

// Relative jumps with their targets: every line is two bytes long, so the
// target of a displacement e at line i is ORG + 2 i + 2 + e.
Lines Relative(unsigned org) {
    Lines l;
    const int displacements[] = {-128, -2, -1, 0, 1, 127};
    std::vector<std::string> heads = {"DJNZ ", "JR "};
    for (int c = 0; c < 4; ++c) heads.push_back(std::string("JR ") + kCond[c] + ",");
    unsigned at = org;
    for (auto& h : heads)
        for (int e : displacements) {
            l.push_back(h + Hex4(at + 2 + e));
            at += 2;
        }
    return l;
}

bool Write(const std::string& folder, const char* name, unsigned org, const Lines& lines) {
    std::ofstream out(folder + "/" + name + ".asm");
    out << " ORG " << Hex4(org) << "\n";
    for (auto& line : lines) out << " " << line << "\n";
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: z80_forms_gen OUTPUT_FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    const bool ok = Write(folder, "unprefixed", 0x0000, Unprefixed()) && Write(folder, "cb", 0x0000, Bits()) &&
                    Write(folder, "ed", 0x0000, Extended()) && Write(folder, "index", 0x0000, Indexed()) &&
                    Write(folder, "index_cb", 0x0000, IndexedBits()) &&
                    Write(folder, "undocumented", 0x0000, Undocumented()) &&
                    Write(folder, "relative", 0x8000, Relative(0x8000));
    return ok ? 0 : 1;
}
