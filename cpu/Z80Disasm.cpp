// Z80 disassembler: the instruction set as this core decodes it (see
// Z80Exec.cpp, Z80ExecCB.cpp, Z80ExecED.cpp, Z80ExecIndex.cpp), written in
// pasmo's syntax. The opcode byte is split into the fields the Z80's
// encoding is built from: x = bits 6-7, y = bits 3-5, z = bits 0-2, and
// p = bits 4-5, q = bit 3 of y.
#include <cstring>

#include "Z80Disasm.h"

#include "Z80EM.h"

namespace {

const char* const kReg8[8] = {"B", "C", "D", "E", "H", "L", "(HL)", "A"};
const char* const kPair[3][4] = {{"BC", "DE", "HL", "SP"}, {"BC", "DE", "IX", "SP"}, {"BC", "DE", "IY", "SP"}};
const char* const kStackPair[3][4] = {{"BC", "DE", "HL", "AF"}, {"BC", "DE", "IX", "AF"}, {"BC", "DE", "IY", "AF"}};
const char* const kIndex[3] = {"HL", "IX", "IY"};
const char* const kHigh[3] = {"H", "IXH", "IYH"};
const char* const kLow[3] = {"L", "IXL", "IYL"};
const char* const kCondition[8] = {"NZ", "Z", "NC", "C", "PO", "PE", "P", "M"};
const char* const kAlu[8] = {"ADD A,", "ADC A,", "SUB ", "SBC A,", "AND ", "XOR ", "OR ", "CP "};
const char* const kRotate[8] = {"RLC ", "RRC ", "RL ", "RR ", "SLA ", "SRA ", "SLL ", "SRL "};
const char* const kAccumulator[8] = {"RLCA", "RRCA", "RLA", "RRA", "DAA", "CPL", "SCF", "CCF"};
const char kHex[] = "0123456789ABCDEF";

class Decoder {
public:
    Decoder(TZ80Peek peek, const void* context, uint16_t address, T_Z80_INSTRUCTION& out)
        : peek_(peek), context_(context), out_(out), address_(address), end_(out.Text + sizeof out.Text - 1) {
        out_.Address = address;
        out_.Target = 0;
        out_.Flow = TZ80Flow::Next;
        out_.Skipped = false;
        cursor_ = out_.Text;
    }

    void Run() {
        const uint8_t opcode = At(0);
        switch (opcode) {
            case 0xCB: pos_ = 2; Bits(At(1), 0); break;
            case 0xED: Extended(At(1)); break;
            case 0xDD: Indexed(1, At(1)); break;
            case 0xFD: Indexed(2, At(1)); break;
            default: pos_ = 1; Base(opcode, 0); break;
        }
        *cursor_ = '\0';
        out_.Length = pos_;
        for (unsigned i = 0; i < 4; ++i) out_.Bytes[i] = i < pos_ ? At(i) : 0;
    }

private:
    uint8_t At(unsigned offset) const { return peek_(context_, static_cast<uint16_t>(address_ + offset)); }
    uint8_t Next() { return At(pos_++); }

    void Put(const char* s) {
        while (*s && cursor_ < end_) *cursor_++ = *s++;
    }
    void PutChar(char c) {
        if (cursor_ < end_) *cursor_++ = c;
    }
    void PutByte(uint8_t v) {
        PutChar('#');
        PutChar(kHex[v >> 4]);
        PutChar(kHex[v & 15]);
    }
    void PutAddress(uint16_t v) {
        PutChar('#');
        for (int shift = 12; shift >= 0; shift -= 4) PutChar(kHex[(v >> shift) & 15]);
    }
    void PutImmediate() { PutByte(Next()); }
    void PutImmediateWord() {
        const uint8_t low = Next();
        const uint8_t high = Next();
        PutAddress(static_cast<uint16_t>(high << 8 | low));
    }
    uint16_t ReadWordOperand() {
        const uint8_t low = Next();
        const uint8_t high = Next();
        return static_cast<uint16_t>(high << 8 | low);
    }

    // "(IX+#05)", the displacement read at the next operand byte.
    void PutIndexedOperand(unsigned index) {
        const uint8_t d = Next();
        Put("(");
        Put(kIndex[index]);
        const int value = static_cast<int8_t>(d);
        PutChar(value < 0 ? '-' : '+');
        PutByte(static_cast<uint8_t>(value < 0 ? -value : value));
        Put(")");
    }

    // Operand 0-7; with an index register, 4 and 5 are its halves and 6 the
    // indexed memory operand, unless `plain` keeps H and L (LD H,(IX+d)).
    void PutRegister(unsigned code, unsigned index, bool plain = false) {
        if (index == 0 || (plain && code != 6)) {
            Put(kReg8[code]);
            return;
        }
        if (code == 4) Put(kHigh[index]);
        else if (code == 5) Put(kLow[index]);
        else if (code == 6) PutIndexedOperand(index);
        else Put(kReg8[code]);
    }

    void Relative(TZ80Flow flow) {
        const int8_t e = static_cast<int8_t>(Next());
        out_.Target = static_cast<uint16_t>(address_ + 2 + e);
        out_.Flow = flow;
        PutAddress(out_.Target);
    }

    void AbsoluteTarget(TZ80Flow flow) {
        out_.Target = ReadWordOperand();
        out_.Flow = flow;
        PutAddress(out_.Target);
    }

    // The bytes from the start to pos_, as pasmo's DB, with a comment.
    void Bytes(const char* comment) {
        cursor_ = out_.Text;
        Put("DB ");
        for (unsigned i = 0; i < pos_; ++i) {
            if (i) PutChar(',');
            PutByte(At(i));
        }
        Put(" ; ");
        Put(comment);
    }

    void Skip(unsigned length) {
        pos_ = length;
        out_.Skipped = true;
        Bytes("no-op");
    }

    // The unprefixed set; with index 1 or 2 the same encoding after DD or FD
    // (the caller has checked that the core defines the second byte).
    void Base(uint8_t op, unsigned index) {
        const unsigned x = op >> 6, y = (op >> 3) & 7, z = op & 7, p = y >> 1, q = y & 1;
        switch (x) {
            case 0:
                switch (z) {
                    case 0:
                        if (y == 0) Put("NOP");
                        else if (y == 1) Put("EX AF,AF'");
                        else if (y == 2) { Put("DJNZ "); Relative(TZ80Flow::Loop); }
                        else if (y == 3) { Put("JR "); Relative(TZ80Flow::Jump); }
                        else { Put("JR "); Put(kCondition[y - 4]); Put(","); Relative(TZ80Flow::JumpIf); }
                        return;
                    case 1:
                        if (q == 0) { Put("LD "); Put(kPair[index][p]); Put(","); PutImmediateWord(); }
                        else { Put("ADD "); Put(kIndex[index]); Put(","); Put(kPair[index][p]); }
                        return;
                    case 2: {
                        static const char* const kStore[4] = {"LD (BC),A", "LD (DE),A", nullptr, nullptr};
                        static const char* const kLoad[4] = {"LD A,(BC)", "LD A,(DE)", nullptr, nullptr};
                        if (p < 2) { Put(q ? kLoad[p] : kStore[p]); return; }
                        const char* reg = p == 2 ? kIndex[index] : "A";
                        Put("LD ");
                        if (q == 0) { Put("("); PutImmediateWord(); Put("),"); Put(reg); }
                        else { Put(reg); Put(",("); PutImmediateWord(); Put(")"); }
                        return;
                    }
                    case 3: Put(q ? "DEC " : "INC "); Put(kPair[index][p]); return;
                    case 4: Put("INC "); PutRegister(y, index); return;
                    case 5: Put("DEC "); PutRegister(y, index); return;
                    case 6: Put("LD "); PutRegister(y, index); Put(","); PutImmediate(); return;
                    default: Put(kAccumulator[y]); return;
                }
            case 1:
                if (op == 0x76) { Put("HALT"); out_.Flow = TZ80Flow::Halt; return; }
                Put("LD ");
                // With (IX+d) on one side, H and L on the other are the plain ones.
                PutRegister(y, index, z == 6);
                Put(",");
                PutRegister(z, index, y == 6);
                return;
            case 2: Put(kAlu[y]); PutRegister(z, index); return;
            default: break;
        }
        switch (z) {
            case 0: Put("RET "); Put(kCondition[y]); out_.Flow = TZ80Flow::ReturnIf; return;
            case 1:
                if (q == 0) { Put("POP "); Put(kStackPair[index][p]); return; }
                switch (p) {
                    case 0: Put("RET"); out_.Flow = TZ80Flow::Return; return;
                    case 1: Put("EXX"); return;
                    case 2: Put("JP ("); Put(kIndex[index]); Put(")"); out_.Flow = TZ80Flow::JumpIndirect; return;
                    default: Put("LD SP,"); Put(kIndex[index]); return;
                }
            case 2: Put("JP "); Put(kCondition[y]); Put(","); AbsoluteTarget(TZ80Flow::JumpIf); return;
            case 3:
                switch (y) {
                    case 0: Put("JP "); AbsoluteTarget(TZ80Flow::Jump); return;
                    case 2: Put("OUT ("); PutImmediate(); Put("),A"); return;
                    case 3: Put("IN A,("); PutImmediate(); Put(")"); return;
                    case 4: Put("EX (SP),"); Put(kIndex[index]); return;
                    case 5: Put("EX DE,HL"); return;
                    case 6: Put("DI"); return;
                    case 7: Put("EI"); return;
                    default: return;  // CB: decoded by the caller
                }
            case 4: Put("CALL "); Put(kCondition[y]); Put(","); AbsoluteTarget(TZ80Flow::CallIf); return;
            case 5:
                if (q == 0) { Put("PUSH "); Put(kStackPair[index][p]); return; }
                if (p == 0) { Put("CALL "); AbsoluteTarget(TZ80Flow::Call); }
                return;  // DD, ED, FD: decoded by the caller
            case 6: Put(kAlu[y]); PutImmediate(); return;
            default:
                Put("RST ");
                PutByte(static_cast<uint8_t>(y * 8));
                out_.Target = static_cast<uint16_t>(y * 8);
                out_.Flow = TZ80Flow::Restart;
                return;
        }
    }

    // CB set (index 0), or the operation byte of DD CB d op (the operand
    // then is (IX+d), its displacement at pos_).
    void Bits(uint8_t op, unsigned index) {
        const unsigned x = op >> 6, y = (op >> 3) & 7, z = op & 7;
        static const char* const kGroup[4] = {nullptr, "BIT ", "RES ", "SET "};
        if (x == 0) {
            Put(kRotate[y]);
        } else {
            Put(kGroup[x]);
            PutChar(static_cast<char>('0' + y));
            PutChar(',');
        }
        if (index == 0) Put(kReg8[z]);
        else PutIndexedOperand(index);
    }

    void Extended(uint8_t op) {
        pos_ = 2;
        const unsigned x = op >> 6, y = (op >> 3) & 7, z = op & 7, p = y >> 1, q = y & 1;
        if (x == 1) {
            switch (z) {
                case 0: if (y == 6) break; Put("IN "); Put(kReg8[y]); Put(",(C)"); return;
                case 1: if (y == 6) break; Put("OUT (C),"); Put(kReg8[y]); return;
                case 2: Put(q ? "ADC HL," : "SBC HL,"); Put(kPair[0][p]); return;
                case 3:
                    if (p == 2) break;  // ED 63 and ED 6B: not defined here
                    Put("LD ");
                    if (q == 0) { Put("("); PutImmediateWord(); Put("),"); Put(kPair[0][p]); }
                    else { Put(kPair[0][p]); Put(",("); PutImmediateWord(); Put(")"); }
                    return;
                case 4: if (y != 0) break; Put("NEG"); return;
                case 5:
                    if (y == 0) { Put("RETN"); out_.Flow = TZ80Flow::Return; return; }
                    if (y == 1) { Put("RETI"); out_.Flow = TZ80Flow::Return; return; }
                    break;
                case 6:
                    if (y == 0) { Put("IM 0"); return; }
                    if (y == 2) { Put("IM 1"); return; }
                    if (y == 3) { Put("IM 2"); return; }
                    break;
                default: {
                    static const char* const kSpecial[8] = {"LD I,A", "LD R,A", "LD A,I", "LD A,R", "RRD", "RLD",
                                                             nullptr, nullptr};
                    if (kSpecial[y] == nullptr) break;
                    Put(kSpecial[y]);
                    return;
                }
            }
        } else if (x == 2 && y >= 4 && z < 4) {
            static const char* const kBlock[4][4] = {{"LDI", "CPI", "INI", "OUTI"},
                                                     {"LDD", "CPD", "IND", "OUTD"},
                                                     {"LDIR", "CPIR", "INIR", "OTIR"},
                                                     {"LDDR", "CPDR", "INDR", "OTDR"}};
            Put(kBlock[y - 4][z]);
            if (y >= 6) out_.Flow = TZ80Flow::Repeat;
            return;
        }
        Skip(2);
    }

    // Is the second byte after DD or FD one the core gives an indexed meaning?
    static bool IndexedDefined(uint8_t s) {
        switch (s) {
            case 0x09: case 0x19: case 0x29: case 0x39:
            case 0x21: case 0x22: case 0x2A: case 0x23: case 0x2B:
            case 0x24: case 0x25: case 0x2C: case 0x2D: case 0x26: case 0x2E:
            case 0x34: case 0x35: case 0x36:
            case 0xE1: case 0xE3: case 0xE5: case 0xE9: case 0xF9:
                return true;
            default:
                if (s >= 0x40 && s < 0x80) return s != 0x76;
                if (s >= 0x80 && s < 0xC0) return (s & 7) >= 4 && (s & 7) <= 6;
                return false;
        }
    }

    void Indexed(unsigned index, uint8_t s) {
        if (s == 0xCB) {
            const uint8_t op = At(3);
            if ((op & 7) != 6) { Skip(4); return; }
            pos_ = 2;
            Bits(op, index);
            pos_ = 4;
            return;
        }
        if (!IndexedDefined(s)) { Skip(2); return; }
        if (s >= 0x40 && s < 0x80) {
            const unsigned y = (s >> 3) & 7, z = s & 7;
            if (y != 4 && y != 5 && y != 6 && z != 4 && z != 5 && z != 6) {
                // The plain load, two bytes long.
                char load[8] = "LD ?,?";
                load[3] = kReg8[y][0];
                load[5] = kReg8[z][0];
                pos_ = 2;
                Bytes(load);
                return;
            }
        }
        pos_ = 2;
        Base(s, index);
    }

    TZ80Peek peek_;
    const void* context_;
    T_Z80_INSTRUCTION& out_;
    uint16_t address_;
    char* const end_;
    char* cursor_ = nullptr;
    uint8_t pos_ = 1;
};

}  // namespace

void Z80_Disassemble(TZ80Peek peek, const void* context, uint16_t address, T_Z80_INSTRUCTION& out) {
    Decoder(peek, context, address, out).Run();
}
