#include "RecordingSeam.h"

namespace recording {

Seam& TheSeam() {
    static Seam* seam = new Seam;
    return *seam;
}

uint8_t Peek(const void*, uint16_t address) { return TheSeam().memory[address]; }

}  // namespace recording

using recording::TheSeam;

uint8_t Z80_ReadMemory(T_Z80_CPU_CORE&, uint16_t address) {
    auto& s = TheSeam();
    if (s.recording) s.log.push_back({address, TZ80AccessKind::Read});
    return s.memory[address];
}

void Z80_WriteMemory(T_Z80_CPU_CORE&, uint16_t address, uint8_t value) {
    auto& s = TheSeam();
    if (s.recording) s.log.push_back({address, TZ80AccessKind::Write});
    s.memory[address] = value;
}

uint8_t Interconnect_ReadPort(T_INTERCONNECT_CORE&, uint8_t port) {
    auto& s = TheSeam();
    if (s.recording) s.log.push_back({port, TZ80AccessKind::PortRead});
    return s.portValue;
}

void Interconnect_WritePort(T_INTERCONNECT_CORE&, uint8_t port, uint8_t) {
    auto& s = TheSeam();
    if (s.recording) s.log.push_back({port, TZ80AccessKind::PortWrite});
}

uint8_t Interconnect_GetInterruptLine(const T_INTERCONNECT_CORE&) { return 0; }
