// The I/O bus's part of a saved state: port A, port B, memory control, one
// byte each; and the hardware models' part: the I/O control register. The
// device pointers are the machine's wiring, not state.
#include "Interconnect.h"

void Interconnect_SaveState(const T_INTERCONNECT_CORE& bus, uint8_t* out) {
    out[0] = bus.PortA;
    out[1] = bus.PortB;
    out[2] = bus.MemoryControl;
}

bool Interconnect_ValidateState(const T_INTERCONNECT_CORE&, const uint8_t*, std::size_t size, std::string& reason) {
    if (size == INTERCONNECT_STATE_SIZE) return true;
    reason = "the I/O bus section is " + std::to_string(size) + " bytes long, not " +
             std::to_string(INTERCONNECT_STATE_SIZE);
    return false;
}

void Interconnect_LoadState(T_INTERCONNECT_CORE& bus, const uint8_t* data) {
    bus.PortA = data[0];
    bus.PortB = data[1];
    bus.MemoryControl = data[2];
}

void Interconnect_SaveModelState(const T_INTERCONNECT_CORE& bus, uint8_t* out) { out[0] = bus.IoControl; }

bool Interconnect_ValidateModelState(const T_INTERCONNECT_CORE&, const uint8_t*, std::size_t size,
                                     std::string& reason) {
    if (size == INTERCONNECT_MODEL_STATE_SIZE) return true;
    reason = "the I/O control section is " + std::to_string(size) + " bytes long, not " +
             std::to_string(INTERCONNECT_MODEL_STATE_SIZE);
    return false;
}

void Interconnect_LoadModelState(T_INTERCONNECT_CORE& bus, const uint8_t* data) { bus.IoControl = data[0]; }
