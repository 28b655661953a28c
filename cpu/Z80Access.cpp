// Z80 access predictor: the memory and port accesses of the next instruction,
// listed in the order the instruction step (Z80Exec*.cpp) makes them. It
// mirrors the step case by case; the tests hold the two together by running
// every form on the real step and comparing the accesses it makes.
#include "Z80Disasm.h"

#include "Z80EM.h"

namespace {

constexpr uint8_t kCarry = 0x01, kParity = 0x04, kZero = 0x40, kSign = 0x80;

class Predictor {
public:
    Predictor(const T_Z80_CPU_CORE& cpu, TZ80Peek peek, const void* context, T_Z80_ACCESSES& out)
        : cpu_(cpu), peek_(peek), context_(context), out_(out) {
        out_.Count = 0;
    }

    void Run() {
        const uint8_t opcode = At(0);
        const uint8_t second = At(1);
        const uint8_t fourth = At(3);
        // The step's read-ahead: opcode, the byte after it and the fourth.
        Fetch(0);
        Fetch(1);
        Fetch(3);
        switch (opcode) {
            case 0xCB: Bits(second); break;
            case 0xED: Extended(second); break;
            case 0xDD: Indexed(cpu_.IX, second, fourth); break;
            case 0xFD: Indexed(cpu_.IY, second, fourth); break;
            default: Base(opcode); break;
        }
    }

private:
    uint8_t At(unsigned offset) const { return peek_(context_, Offset(cpu_.PC, static_cast<int>(offset))); }
    static uint16_t Offset(uint16_t base, int delta) { return static_cast<uint16_t>(base + delta); }
    uint16_t HL() const { return static_cast<uint16_t>(cpu_.H << 8 | cpu_.L); }
    uint16_t BC() const { return static_cast<uint16_t>(cpu_.B << 8 | cpu_.C); }
    uint16_t DE() const { return static_cast<uint16_t>(cpu_.D << 8 | cpu_.E); }
    uint16_t OperandWord(unsigned offset) const {
        return static_cast<uint16_t>(At(offset + 1) << 8 | At(offset));
    }

    void Add(uint16_t address, TZ80AccessKind kind) {
        if (out_.Count < Z80_MAX_ACCESSES) out_.List[out_.Count++] = {address, kind};
    }
    void Fetch(unsigned offset) { Add(Offset(cpu_.PC, static_cast<int>(offset)), TZ80AccessKind::Fetch); }
    void Read(uint16_t a) { Add(a, TZ80AccessKind::Read); }
    void Write(uint16_t a) { Add(a, TZ80AccessKind::Write); }

    bool Condition(unsigned cc) const {
        static const uint8_t kMask[4] = {kZero, kCarry, kParity, kSign};
        const bool set = (cpu_.F & kMask[(cc >> 1) & 3]) != 0;
        return (cc & 1) ? set : !set;
    }

    // Word operands and the stack, as ReadWord, WriteWord, Push and Pop.
    void FetchWord(unsigned offset) {
        Fetch(offset);
        Fetch(offset + 1);
    }
    void ReadWord(uint16_t a) {
        Read(a);
        Read(Offset(a, 1));
    }
    void WriteWord(uint16_t a) {
        Write(a);
        Write(Offset(a, 1));
    }
    void Push() {
        Write(Offset(cpu_.SP, -1));
        Write(Offset(cpu_.SP, -2));
    }
    void Pop() {
        Read(Offset(cpu_.SP, 1));
        Read(cpu_.SP);
    }
    void ExchangeStack() {
        Pop();
        Write(Offset(cpu_.SP, 1));
        Write(cpu_.SP);
    }

    void Base(uint8_t op) {
        const unsigned x = op >> 6, y = (op >> 3) & 7, z = op & 7;
        if (x == 1) {
            if (op == 0x76) return;
            if (z == 6) Read(HL());
            if (y == 6) Write(HL());
            return;
        }
        if (x == 2) {
            if (z == 6) Read(HL());
            return;
        }
        switch (op) {
            case 0x02: Write(BC()); return;
            case 0x12: Write(DE()); return;
            case 0x0A: Read(BC()); return;
            case 0x1A: Read(DE()); return;
            case 0x01: case 0x11: case 0x21: case 0x31: FetchWord(1); return;
            case 0x06: case 0x0E: case 0x16: case 0x1E: case 0x26: case 0x2E: case 0x3E: Fetch(1); return;
            case 0x10: if (static_cast<uint8_t>(cpu_.B - 1) != 0) Fetch(1); return;
            case 0x18: Fetch(1); return;
            case 0x20: case 0x28: case 0x30: case 0x38: if (Condition(y - 4)) Fetch(1); return;
            case 0x22: FetchWord(1); WriteWord(OperandWord(1)); return;
            case 0x2A: FetchWord(1); ReadWord(OperandWord(1)); return;
            case 0x32: FetchWord(1); Write(OperandWord(1)); return;
            case 0x3A: FetchWord(1); Read(OperandWord(1)); return;
            case 0x34: case 0x35: Read(HL()); Write(HL()); return;
            case 0x36: Fetch(1); Write(HL()); return;
            case 0xC9: Pop(); return;
            case 0xC3: FetchWord(1); return;
            case 0xCD: Push(); FetchWord(1); return;
            case 0xD3: Fetch(1); Add(At(1), TZ80AccessKind::PortWrite); return;
            case 0xDB: Fetch(1); Add(At(1), TZ80AccessKind::PortRead); return;
            case 0xE3: ExchangeStack(); return;
            default: break;
        }
        if (x != 3) return;
        switch (z) {
            case 0: if (Condition(y)) Pop(); return;
            case 1: if ((y & 1) == 0) Pop(); return;
            case 2: if (Condition(y)) FetchWord(1); return;
            case 4: if (Condition(y)) { Push(); FetchWord(1); } return;
            case 5: if ((y & 1) == 0) Push(); return;
            case 6: Fetch(1); return;
            case 7: Push(); return;
            default: return;
        }
    }

    void Bits(uint8_t op) {
        if ((op & 7) != 6) return;
        Read(HL());
        if ((op >> 6) != 1) Write(HL());
    }

    void Extended(uint8_t op) {
        const uint8_t c = cpu_.C;
        switch (op) {
            case 0x40: case 0x48: case 0x50: case 0x58: case 0x60: case 0x68: case 0x78:
                Add(c, TZ80AccessKind::PortRead);
                return;
            case 0x41: case 0x49: case 0x51: case 0x59: case 0x61: case 0x69: case 0x79:
                Add(c, TZ80AccessKind::PortWrite);
                return;
            case 0x43: case 0x53: case 0x73: FetchWord(2); WriteWord(OperandWord(2)); return;
            case 0x4B: case 0x5B: case 0x7B: FetchWord(2); ReadWord(OperandWord(2)); return;
            case 0x45: case 0x4D: Pop(); return;
            case 0x67: case 0x6F: Read(HL()); Read(HL()); Write(HL()); return;
            case 0xA0: case 0xA8: case 0xB0: case 0xB8: Read(HL()); Write(DE()); return;
            case 0xA1: case 0xA9: case 0xB1: case 0xB9: Read(HL()); Read(HL()); return;
            case 0xA2: case 0xAA: case 0xB2: case 0xBA: Add(c, TZ80AccessKind::PortRead); Write(HL()); return;
            case 0xA3: case 0xAB: case 0xB3: case 0xBB: Read(HL()); Add(c, TZ80AccessKind::PortWrite); return;
            default: return;
        }
    }

    void Indexed(uint16_t xy, uint8_t s, uint8_t fourth) {
        const uint16_t address = static_cast<uint16_t>(xy + static_cast<int8_t>(At(2)));
        switch (s) {
            case 0x21: FetchWord(2); return;
            case 0x22: FetchWord(2); WriteWord(OperandWord(2)); return;
            case 0x2A: FetchWord(2); ReadWord(OperandWord(2)); return;
            case 0x26: case 0x2E: Fetch(2); return;
            case 0x34: case 0x35: Fetch(2); Read(address); Write(address); return;
            case 0x36: Fetch(2); Fetch(3); Write(address); return;
            case 0xCB:
                if ((fourth & 7) != 6) return;
                Fetch(2);
                Read(address);
                if ((fourth >> 6) != 1) Write(address);
                return;
            case 0xE1: Pop(); return;
            case 0xE3: ExchangeStack(); return;
            case 0xE5: Push(); return;
            default: break;
        }
        if (s >= 0x40 && s < 0x80 && s != 0x76) {
            if ((s & 7) == 6) { Fetch(2); Read(address); }
            else if (((s >> 3) & 7) == 6) { Fetch(2); Write(address); }
        } else if (s >= 0x80 && s < 0xC0 && (s & 7) == 6) {
            Fetch(2);
            Read(address);
        }
    }

    const T_Z80_CPU_CORE& cpu_;
    TZ80Peek peek_;
    const void* context_;
    T_Z80_ACCESSES& out_;
};

}  // namespace

void Z80_PredictAccesses(const T_Z80_CPU_CORE& cpu, TZ80Peek peek, const void* context, T_Z80_ACCESSES& out) {
    Predictor(cpu, peek, context, out).Run();
}
