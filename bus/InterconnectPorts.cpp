// The I/O bus's port decoding: which device answers each of the 256 port
// numbers, the memory and I/O control registers, and the VDP's interrupt
// line passed on to the CPU.
#include "Interconnect.h"
#include "SNDEM.h"
#include "VDPEM.h"

void Interconnect_Init(T_INTERCONNECT_CORE& bus, T_VDP_CORE& vdp, T_PSG_CORE& psg) {
    bus.Vdp = &vdp;
    bus.Psg = &psg;
    bus.PortA = 0xFF;
    bus.PortB = 0xFF;
    bus.MemoryControl = 0x00;
}

// The console decodes only address lines 7, 6 and 0: OR-ing in the other
// five folds every port onto one of eight numbers, so each device answers
// on a whole range, even and odd ports apart.
uint8_t Interconnect_ReadPort(T_INTERCONNECT_CORE& bus, uint8_t port) {
    switch (uint8_t(port | 0x3E)) {
    case 0x7E:
    case 0x7F:  // no H counter: the odd ports answer with the V counter too
        return VDP_ReadVCounter(*bus.Vdp);
    case 0xBE:
        return VDP_ReadData(*bus.Vdp);
    case 0xBF:
        return VDP_ReadStatus(*bus.Vdp);
    case 0xFE:
        return bus.PortA;
    case 0xFF: {
        // The reset button is seen pressed by exactly one read.
        const uint8_t value = bus.PortB;
        bus.PortB = uint8_t(bus.PortB | 0x10);
        return value;
    }
    default:  // 0x3E, 0x3F: nothing drives the data bus
        return 0xFF;
    }
}

namespace {

// I/O control: bits 5 and 7 are the output levels of the two TH lines, which
// read back on port B's bits 6 and 7. A value whose four direction bits are
// all set turns every line into an input and the whole of port B reads high,
// the player 2 buttons and the reset button included, until the next input
// step writes them again (a pending reset press is lost: a quirk kept on
// purpose, games that rely on the byte reading 0xFF see it).
void WriteIoControl(T_INTERCONNECT_CORE& bus, uint8_t v) {
    if ((v & 0x0F) == 0x0F) {
        bus.PortB = 0xFF;
    } else {
        bus.PortB = uint8_t((bus.PortB & 0x3F) | (v & 0x80) | ((v & 0x20) << 1));
    }
}

}  // namespace

void Interconnect_WritePort(T_INTERCONNECT_CORE& bus, uint8_t port, uint8_t value) {
    switch (uint8_t(port | 0x3E)) {
    case 0x3E:
        bus.MemoryControl = value;
        break;
    case 0x3F:
        WriteIoControl(bus, value);
        break;
    case 0x7E:
    case 0x7F:
        PSG_WritePort(*bus.Psg, value);
        break;
    case 0xBE:
        VDP_WriteData(*bus.Vdp, value);
        break;
    case 0xBF:
        VDP_WriteControl(*bus.Vdp, value);
        break;
    default:  // 0xFE, 0xFF: the joypad ports are inputs only
        break;
    }
}

uint8_t Interconnect_GetInterruptLine(const T_INTERCONNECT_CORE& bus) { return VDP_GetInterruptLine(*bus.Vdp); }

uint8_t Interconnect_GetMemoryControl(const T_INTERCONNECT_CORE& bus) { return bus.MemoryControl; }
