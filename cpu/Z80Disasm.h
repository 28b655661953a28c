// Z80 disassembler and access predictor, for the debugger and the trace.
//
// Both read the instruction's bytes through a TZ80Peek: a plain function and
// its context, called once per byte, with no side effect on the machine.
// Z80_PeekMemoryAt (Z80EM.h) is the console's memory map as the CPU sees it;
// a test or a tool may pass its own (flat memory, a ROM image).
//
// What is decoded is what this core executes (Z80Exec*.cpp), not only what
// the chip's manual lists:
// - every documented instruction, and the undocumented forms the core runs:
//   IXH, IXL, IYH, IYL as operands (LD IXH,B, ADD A,IYL, INC IXL, ...),
//   SLL (CB 30-37 and DD CB d 36), LD H,(IX+d) / LD (IX+d),L with the plain
//   H and L;
// - forms the core passes over without effect are shown as the bytes it
//   skips, with the comment "; no-op": undefined ED second bytes (the NEG,
//   RETN and IM mirrors, IN F,(C), OUT (C),0 and ED 63 / ED 6B among them:
//   two bytes), DD or FD before a byte that has no indexed meaning here
//   (DD 04, DD 80, DD DD, DD ED: two bytes), and DD CB d xx whose low three
//   bits are not 6 (the chip's register copies: four bytes);
// - DD or FD before one of the loads 0x40-0x7F that uses neither H, L nor
//   (HL): the core runs the plain load in two bytes; shown as the bytes with
//   the load as a comment, "DB #DD,#41 ; LD B,C".
//
// Text conventions (pasmo's syntax; every text re-assembles with pasmo to the
// same bytes when assembled at the instruction's address):
// - upper case mnemonics and registers, one space after the mnemonic, no
//   space after commas: "LD A,(IX+#05)", "EX AF,AF'", "OUT (#BE),A";
// - numbers in hexadecimal with '#' and upper case digits, bytes with two
//   digits and words with four: "LD A,#0F", "LD HL,#C000", "RST #38";
// - index displacements signed, always with their sign and two digits:
//   "(IX+#00)", "(IY-#80)", "(IX+#7F)";
// - relative jumps (JR, JR cc, DJNZ) with their absolute target, as pasmo
//   takes them: "JR NZ,#0123", "DJNZ #8000";
// - ALU forms as Zilog writes them: "ADD A,B", "ADC A,B", "SBC A,B", but
//   "SUB B", "AND B", "XOR B", "OR B", "CP B";
// - bytes the core skips: "DB #ED,#77 ; no-op" (pasmo ignores the comment).
#pragma once

#include <cstddef>
#include <cstdint>

struct T_Z80_CPU_CORE;

// Reads the byte at `address` without side effects.
using TZ80Peek = uint8_t (*)(const void* context, uint16_t address);

// Where execution goes after the instruction.
enum class TZ80Flow : uint8_t {
    Next,          // on at Address + Length
    Jump,          // JP nn, JR e: to Target
    JumpIf,        // JP cc,nn, JR cc,e: to Target, or on
    JumpIndirect,  // JP (HL), JP (IX), JP (IY): to a register's value
    Call,          // CALL nn: to Target, returning to Address + Length
    CallIf,        // CALL cc,nn
    Restart,       // RST p: to Target (0x00-0x38), returning to Address + Length
    Return,        // RET, RETI, RETN
    ReturnIf,      // RET cc
    Loop,          // DJNZ e: to Target, or on when B reaches 0
    Repeat,        // LDIR, LDDR, CPIR, CPDR, INIR, INDR, OTIR, OTDR: this core
                   // makes one transfer per step and stays at Address until done
    Halt,          // HALT: waits at Address + Length for an interrupt
};

struct T_Z80_INSTRUCTION {
    uint16_t Address;
    uint16_t Target;    // Jump, JumpIf, Call, CallIf, Restart, Loop; else 0
    uint8_t Length;     // 1-4: the bytes the core steps over
    uint8_t Bytes[4];   // the first Length are the instruction's
    TZ80Flow Flow;
    bool Skipped;       // a form the core passes over without effect ("; no-op")
    char Text[40];      // NUL-terminated, as described above
};

// Decodes the instruction at `address`; reads at most four bytes from there.
void Z80_Disassemble(TZ80Peek peek, const void* context, uint16_t address, T_Z80_INSTRUCTION& out);

// Access prediction: the memory and port accesses the instruction at the
// CPU's PC will make when the core executes it next, in the core's order,
// computed from the registers and the peek without executing anything. The
// memory and I/O breakpoints use it to stop before the instruction.
//
// Fetch is a read of the instruction's own bytes: the step's read-ahead at
// PC, PC+1 and PC+3 (always made, whatever the length) and the core's reads
// of immediate operands and displacements, as many times as the core makes
// them. Read and Write are data accesses (operands in memory, the stack,
// block transfers). PortRead and PortWrite carry the port (0-255, the low
// address byte the bus decodes) in Address. Conditional instructions list
// what they will do with the flags as they are (a JR not taken reads no
// operand, a RET not taken pops nothing); a repeating block instruction
// lists its one transfer. An interrupt accepted before the instruction is
// not part of it, and while cpu.Halted is set the step does not run at all
// (PC is past the HALT), so the list says nothing then.
enum class TZ80AccessKind : uint8_t { Fetch, Read, Write, PortRead, PortWrite };

struct T_Z80_ACCESS {
    uint16_t Address;
    TZ80AccessKind Kind;
};

constexpr std::size_t Z80_MAX_ACCESSES = 12;

struct T_Z80_ACCESSES {
    uint8_t Count;
    T_Z80_ACCESS List[Z80_MAX_ACCESSES];
};

void Z80_PredictAccesses(const T_Z80_CPU_CORE& cpu, TZ80Peek peek, const void* context, T_Z80_ACCESSES& out);
