// The recording seam: this binary's own definitions of the five functions
// through which the instruction step reaches memory, ports and the interrupt
// line (see Z80EM.h). Memory is 64 KB of plain bytes; every access the step
// makes while recording is on is logged in order.
#pragma once

#include <cstdint>
#include <vector>

#include "Interconnect.h"
#include "Z80Disasm.h"
#include "Z80EM.h"

namespace recording {

struct Access {
    uint16_t address;
    TZ80AccessKind kind;  // Read (fetches included), Write, PortRead or PortWrite
    bool operator==(const Access&) const = default;
};

struct Seam {
    uint8_t memory[65536]{};
    bool recording = false;
    std::vector<Access> log;
    uint8_t portValue = 0;  // what every port read returns
};

// The one seam of the binary (the tests run on one thread).
Seam& TheSeam();
// A TZ80Peek over the seam's memory (the context is ignored).
uint8_t Peek(const void* context, uint16_t address);

}  // namespace recording
