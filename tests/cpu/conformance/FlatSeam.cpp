// The flat-memory seam: this binary's own definitions of the five functions
// through which the instruction step reaches memory, ports and the interrupt
// line, so that the production step runs on 64 KB of plain memory.
//
// Memory logs every write (in order) and the first reads of a step; ports
// replay the values the data set recorded for each IN, in order, and log
// every access. Each thread runs its own machine.
#include <cstring>
#include <memory>

#include "Conformance.h"
#include "Interconnect.h"
#include "Z80EM.h"

namespace conformance {
namespace {

struct FlatMachine {
    std::unique_ptr<T_Z80_CPU_CORE> cpu = std::make_unique<T_Z80_CPU_CORE>();
    T_INTERCONNECT_CORE bus{};
    uint8_t memory[65536]{};
    Outcome* out = nullptr;
    const Vector* vector = nullptr;
    std::size_t nextRead = 0;   // index into vector->ports for the next IN
    bool firstStep = false;
    bool exact = false;         // ports logged with the exact step's 16-bit address
};

// One per thread, made on its first use and freed when the thread ends;
// the memory and port functions reach it through the plain pointer.
thread_local FlatMachine* tMachine = nullptr;
thread_local std::unique_ptr<FlatMachine> tMachineOwner;

FlatMachine& Machine() {
    if (tMachine == nullptr) {
        tMachineOwner = std::make_unique<FlatMachine>();
        tMachine = tMachineOwner.get();
    }
    return *tMachine;
}

void Load(T_Z80_CPU_CORE& cpu, const Registers& r) {
    cpu.A = r.A; cpu.F = r.F; cpu.B = r.B; cpu.C = r.C;
    cpu.D = r.D; cpu.E = r.E; cpu.H = r.H; cpu.L = r.L;
    cpu.AltA = static_cast<uint8_t>(r.AF2 >> 8); cpu.AltF = static_cast<uint8_t>(r.AF2);
    cpu.AltB = static_cast<uint8_t>(r.BC2 >> 8); cpu.AltC = static_cast<uint8_t>(r.BC2);
    cpu.AltD = static_cast<uint8_t>(r.DE2 >> 8); cpu.AltE = static_cast<uint8_t>(r.DE2);
    cpu.AltH = static_cast<uint8_t>(r.HL2 >> 8); cpu.AltL = static_cast<uint8_t>(r.HL2);
    cpu.IX = r.IX; cpu.IY = r.IY; cpu.SP = r.SP; cpu.PC = r.PC;
    cpu.I = r.I; cpu.R = r.R; cpu.IFF1 = r.IFF1; cpu.IFF2 = r.IFF2;
    cpu.InterruptMode = r.IM; cpu.Halted = r.Halted;
    cpu.LastOpcode = 0;
    cpu.WZ = r.WZ; cpu.Q = r.Q; cpu.EiDelay = r.EI; cpu.AfterLdAir = r.P;
    cpu.PrefixHold = 0;
}

Registers Save(const T_Z80_CPU_CORE& cpu) {
    auto word = [](uint8_t high, uint8_t low) { return static_cast<uint16_t>(high << 8 | low); };
    Registers r{};
    r.A = cpu.A; r.F = cpu.F; r.B = cpu.B; r.C = cpu.C;
    r.D = cpu.D; r.E = cpu.E; r.H = cpu.H; r.L = cpu.L;
    r.AF2 = word(cpu.AltA, cpu.AltF); r.BC2 = word(cpu.AltB, cpu.AltC);
    r.DE2 = word(cpu.AltD, cpu.AltE); r.HL2 = word(cpu.AltH, cpu.AltL);
    r.IX = cpu.IX; r.IY = cpu.IY; r.SP = cpu.SP; r.PC = cpu.PC;
    r.I = cpu.I; r.R = cpu.R; r.IFF1 = cpu.IFF1; r.IFF2 = cpu.IFF2;
    r.IM = static_cast<uint8_t>(cpu.InterruptMode); r.Halted = cpu.Halted;
    r.WZ = cpu.WZ; r.Q = cpu.Q; r.EI = cpu.EiDelay; r.P = cpu.AfterLdAir;
    return r;
}

// A fuse vector runs to a T-state total; the 0-cycle no-ops could keep that
// from ever being reached, so the run stops after this many steps.
constexpr uint32_t kMaxSteps = 100000;

}  // namespace

Outcome Run(const Vector& v, Model model) {
    FlatMachine& m = Machine();
    T_Z80_CPU_CORE& cpu = *m.cpu;
    Outcome out{};
    out.writes.reserve(8);
    m.out = &out;
    m.vector = &v;
    m.nextRead = 0;
    m.exact = model == Model::Exact;
    for (const MemoryByte& b : v.initialRam) m.memory[b.address] = b.value;
    Load(cpu, v.initial);
    cpu.Bus = &m.bus;

    m.firstStep = true;
    do {
        out.cycles += m.exact ? Z80_ExecuteExactInstruction(cpu) : Z80_ExecuteInstruction(cpu);
        ++out.steps;
        m.firstStep = false;
    } while (v.leastCycles != 0 && out.cycles < v.leastCycles && out.steps < kMaxSteps);

    out.regs = Save(cpu);
    for (const MemoryByte& b : v.finalRam) out.ram.push_back({b.address, m.memory[b.address]});
    // Back to all zeros for the next vector: only touched bytes can differ.
    for (const MemoryByte& b : v.initialRam) m.memory[b.address] = 0;
    for (const MemoryByte& b : out.writes) m.memory[b.address] = 0;
    m.out = nullptr;
    return out;
}

}  // namespace conformance

using conformance::tMachine;

namespace {

// The exact step notes the whole address before the access; the call itself
// carries the low byte the console decodes.
uint16_t PortAddress(uint8_t port) {
    if (!tMachine->exact) return port;
    const uint16_t address = tMachine->cpu->PortAddress;
    return (address & 0xFF) == port ? address : static_cast<uint16_t>(0xDEAD);  // 0xDEAD: the two disagree
}

}  // namespace

uint8_t Z80_ReadMemory(T_Z80_CPU_CORE&, uint16_t address) {
    conformance::Outcome& out = *tMachine->out;
    if (tMachine->firstStep && out.firstReadCount < 3) out.firstReads[out.firstReadCount++] = address;
    return tMachine->memory[address];
}

void Z80_WriteMemory(T_Z80_CPU_CORE&, uint16_t address, uint8_t value) {
    tMachine->memory[address] = value;
    tMachine->out->writes.push_back({address, value});
}

uint8_t Interconnect_ReadPort(T_INTERCONNECT_CORE&, uint8_t port) {
    // The value the chip received for the next IN of the vector. The fuse
    // data's own port device answers with the high byte of the 16-bit port
    // address (A for IN A,(n), B for the (C) forms), which its event list
    // records; replaying the list reproduces that without the high byte.
    const auto& ports = tMachine->vector->ports;
    std::size_t& i = tMachine->nextRead;
    while (i < ports.size() && ports[i].write) ++i;
    const uint8_t value = i < ports.size() ? ports[i++].value : 0xFF;
    tMachine->out->ports.push_back({PortAddress(port), value, false});
    return value;
}

void Interconnect_WritePort(T_INTERCONNECT_CORE&, uint8_t port, uint8_t value) {
    tMachine->out->ports.push_back({PortAddress(port), value, true});
}

uint8_t Interconnect_GetInterruptLine(const T_INTERCONNECT_CORE&) { return 0; }
