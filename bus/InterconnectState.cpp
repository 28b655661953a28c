// The I/O bus's part of a saved state: port A, port B, memory control, one
// byte each; the hardware models' part: the I/O control register; and the
// Game Gear's: its registers 0x00-0x05 (0x06 is the PSG's routing). The
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

// Port 0x00 as read (Start, the region), then 0x01-0x05 as the registers
// hold them. The region bit must be the running console's; the bits the
// registers never hold must be clear.
void Interconnect_SaveGameGearState(const T_INTERCONNECT_CORE& bus, uint8_t* out) {
    out[0] = uint8_t((bus.GgStart != 0 ? 0x00 : 0x80) | (bus.Japanese != 0 ? 0x00 : 0x40));
    out[1] = bus.GgLinkData;
    out[2] = bus.GgLinkDirection;
    out[3] = bus.GgSerialOut;
    out[4] = bus.GgSerialIn;
    out[5] = bus.GgSerialControl;
}

bool Interconnect_ValidateGameGearState(const T_INTERCONNECT_CORE& bus, const uint8_t* data, std::size_t size,
                                        std::string& reason) {
    if (size != INTERCONNECT_GAME_GEAR_STATE_SIZE) {
        reason = "the Game Gear registers section is " + std::to_string(size) + " bytes long, not " +
                 std::to_string(INTERCONNECT_GAME_GEAR_STATE_SIZE);
        return false;
    }
    const uint8_t region = bus.Japanese != 0 ? 0x00 : 0x40;
    if ((data[0] & 0x3F) != 0 || (data[0] & 0x40) != region) {
        reason = "its Game Gear port 0x00 reads " + std::to_string(data[0]) + ", which this console's region never gives";
        return false;
    }
    if ((data[1] & 0x80) != 0 || (data[5] & 0x07) != 0) {
        reason = "its Game Gear link port registers hold bits no write sets";
        return false;
    }
    return true;
}

void Interconnect_LoadGameGearState(T_INTERCONNECT_CORE& bus, const uint8_t* data) {
    bus.GgStart = (data[0] & 0x80) == 0 ? 1 : 0;
    bus.GgLinkData = data[1];
    bus.GgLinkDirection = data[2];
    bus.GgSerialOut = data[3];
    bus.GgSerialIn = data[4];
    bus.GgSerialControl = data[5];
}
