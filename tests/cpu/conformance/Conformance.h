// Conformance harness for the Z80 instruction step on the flat-memory seam.
//
// The test binary links the production instruction code (tiravel_z80) with
// its own memory and port functions (FlatSeam.cpp): 64 KB of flat memory
// that logs every access, and ports that replay the values a data set says
// an IN received. A vector from a published data set gives an initial state,
// the instruction bytes and the state the real chip ends in; the harness runs
// it, then compares against that final state after the deviation table of
// Conformance.cpp has replaced what this core does differently on purpose.
// Both models run the vectors: the default model's step with its deviations,
// the exact model's step against the data as the chip recorded it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace conformance {

enum class DataSet { Fuse, SingleStep };

// Which step runs a vector: the default model's or the exact model's.
enum class Model { Default, Exact };

// The register file as both data sets record it; pairs of the alternate set
// are held as words (high byte first-named). WZ, Q, EI (the last instruction
// was EI) and P (it was LD A,I or LD A,R) are the chip's internal state; the
// fuse data records only WZ (as MEMPTR).
struct Registers {
    uint8_t A, F, B, C, D, E, H, L;
    uint16_t AF2, BC2, DE2, HL2;
    uint16_t IX, IY, SP, PC;
    uint8_t I, R, IFF1, IFF2, IM, Halted;
    uint16_t WZ;
    uint8_t Q, EI, P;
    bool operator==(const Registers&) const = default;
};

struct MemoryByte {
    uint16_t address;
    uint8_t value;
    bool operator==(const MemoryByte&) const = default;
};

struct PortAccess {
    uint16_t port;   // as the data set records it (16 bits); the core passes 8
    uint8_t value;
    bool write;
    bool operator==(const PortAccess&) const = default;
};

struct Vector {
    DataSet set;
    std::string name;
    Registers initial;
    Registers final;
    bool haltedKnown;                  // only the fuse data records the halt state
    std::vector<MemoryByte> initialRam;
    std::vector<MemoryByte> finalRam;  // expected contents of these addresses
    std::vector<MemoryByte> writes;    // memory writes in bus order
    std::vector<PortAccess> ports;     // port accesses in bus order
    uint32_t leastCycles;              // run until at least this many T-states; 0 = one step
    uint32_t cycles;                   // T-states the chip took
};

// What the harness compares: the data set's final state, edited by the
// deviation table.
struct Expectation {
    Registers regs;
    bool haltedKnown;
    uint32_t cycles;
    std::vector<MemoryByte> writes;
    std::vector<MemoryByte> ram;
    std::vector<PortAccess> ports;
    bool portLowByteOnly;
    bool operator==(const Expectation&) const = default;
};

// What the core did.
struct Outcome {
    Registers regs;
    uint32_t cycles;
    uint32_t steps;
    std::vector<MemoryByte> writes;
    std::vector<MemoryByte> ram;       // values at the expectation's ram addresses
    std::vector<PortAccess> ports;
    uint16_t firstReads[3];            // the first step's first three reads
    uint32_t firstReadCount;
};

// Runs a vector on the flat seam (FlatSeam.cpp). Not reentrant per thread.
// In the exact model the ports carry the 16-bit address the step put on
// the bus.
Outcome Run(const Vector& v, Model model);

enum class Verdict { PassUnmasked, PassMasked, Fail };

// Per data set (or group) counts, and the names of the rows that changed an
// expectation, for the printed summary.
struct Tally {
    uint32_t passUnmasked = 0;
    uint32_t passMasked = 0;
    uint32_t failed = 0;
    uint32_t skipped = 0;
    std::vector<uint32_t> rowUses;  // indexed like the deviation table
    std::vector<std::string> failures;  // "name: diff" lines
    std::vector<std::string> skips;     // "name: reason"
    void Merge(const Tally& other);
    std::string Summary(const std::string& title) const;
};

// Runs and judges one vector; on failure appends a readable diff to the tally.
Verdict Check(const Vector& v, Tally& tally, Model model = Model::Default);

// The number of rows in the deviation table and their names, for summaries.
std::size_t DeviationCount();
const char* DeviationName(std::size_t row);

// Per-data-set runs add their vectors here; a final test prints them all.
void Record(const std::string& title, const Tally& tally);
std::string RecordedSummary();

}  // namespace conformance
