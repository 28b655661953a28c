// The I/O bus's port decoding: which device answers each of the 256 port
// numbers, the memory and I/O control registers, and the VDP's interrupt
// line passed on to the CPU. The hardware models (bus.Model nonzero) decode
// the same ranges, but answer some of them as the real consoles do; they
// take their own branch first, so the default model's path is unchanged.
#include "Interconnect.h"
#include "SNDEM.h"
#include "VDPEM.h"

void Interconnect_Init(T_INTERCONNECT_CORE& bus, T_VDP_CORE& vdp, T_PSG_CORE& psg) {
    bus.Vdp = &vdp;
    bus.Psg = &psg;
    bus.PortA = 0xFF;
    bus.PortB = 0xFF;
    bus.MemoryControl = 0x00;
    bus.IoControl = 0xFF;  // every TH and TR pin an input, as at power-on
}

namespace {

// ---------------------------------------------------------------- hardware models
//
// Port 0x3F's bits per pin: direction (1 = input) and output level.
//   port A TR: direction bit 0, level bit 4    port A TH: bit 1, level bit 5
//   port B TR: direction bit 2, level bit 6    port B TH: bit 3, level bit 7
// A pin made an output reads back its own level in 0xDC / 0xDD and ignores
// the pad. The Japanese console lacks that read-back; software tells the
// two apart by it (writes 0xF5 and 0x55, reads 0xDD's bits 7-6). What a
// Japanese console reads is not established: it reads the inverted level
// here, as the Mega Drive's adapter does in its Japanese mode, which every
// detection routine takes for Japanese.
inline uint8_t PinLevel(const T_INTERCONNECT_CORE& bus, unsigned direction, unsigned level, uint8_t input) {
    if (bus.IoControl & (1u << direction)) return input;
    const uint8_t out = (bus.IoControl >> level) & 1;
    return bus.Japanese ? out ^ 1 : out;
}

// The level on each TH pin (bit 0 port A, bit 1 port B) that `control`
// makes: its output level, or high (pulled up, no light gun) as an input.
inline uint8_t ThPins(uint8_t control) {
    const uint8_t a = (control & 0x02) ? 1 : (control >> 5) & 1;
    const uint8_t b = (control & 0x08) ? 1 : (control >> 7) & 1;
    return uint8_t(a | (b << 1));
}

uint8_t ReadPortA(const T_INTERCONNECT_CORE& bus) {
    const uint8_t tr = PinLevel(bus, 0, 4, (bus.PortA >> 5) & 1);
    return uint8_t((bus.PortA & ~0x20) | (tr << 5));
}

// Port B: player 2's left, right and button 1 from the pad, button 2 (TR)
// and both TH pins through the I/O control, bit 5 unused (high), bit 4 the
// reset button, which only the first Master System has (seen pressed by
// exactly one read, as in the default model).
uint8_t ReadPortB(T_INTERCONNECT_CORE& bus) {
    const uint8_t tr = PinLevel(bus, 2, 6, (bus.PortB >> 3) & 1);
    const uint8_t thA = PinLevel(bus, 1, 5, 1);
    const uint8_t thB = PinLevel(bus, 3, 7, 1);
    const uint8_t reset = bus.Model == 1 ? (bus.PortB & 0x10) : 0x10;
    bus.PortB = uint8_t(bus.PortB | 0x10);
    return uint8_t((bus.PortB & 0x07) | (tr << 3) | reset | 0x20 | (thA << 6) | (thB << 7));
}

[[gnu::noinline]] uint8_t ReadPortModel(T_INTERCONNECT_CORE& bus, uint8_t port) {
    switch (uint8_t(port | 0x3E)) {
    case 0x3E:
    case 0x3F:
        // Nothing drives the data bus. The Master System II's pull-ups make
        // that 0xFF; on the first Master System the bus still holds the last
        // byte the CPU fetched, the last byte of the IN instruction. For
        // IN A,(n) that is n, the port number itself, which is what is read
        // here for every instruction (for IN r,(C) the byte would be the
        // opcode's second byte instead).
        return bus.Model == 1 ? port : 0xFF;
    case 0x7E:
        return VDP_ReadVCounter(*bus.Vdp);
    case 0x7F:
        return VDP_ReadHCounter(*bus.Vdp);
    case 0xBE:
        return VDP_ReadData(*bus.Vdp);
    case 0xBF:
        return VDP_ReadStatus(*bus.Vdp);
    case 0xFE:
        return ReadPortA(bus);
    default:  // 0xFF
        return ReadPortB(bus);
    }
}

// A TH pin changing level, either way, latches the VDP's H counter at the
// CPU's cycle within the line (driving TH from software is how programs
// sample the counter).
void WriteIoControlModel(T_INTERCONNECT_CORE& bus, uint8_t v) {
    const uint8_t before = ThPins(bus.IoControl);
    bus.IoControl = v;
    if (ThPins(v) != before) VDP_LatchHCounter(*bus.Vdp, bus.LineCycle);
}

}  // namespace

// The console decodes only address lines 7, 6 and 0: OR-ing in the other
// five folds every port onto one of eight numbers, so each device answers
// on a whole range, even and odd ports apart.
uint8_t Interconnect_ReadPort(T_INTERCONNECT_CORE& bus, uint8_t port) {
    if (bus.Model != 0) [[unlikely]] return ReadPortModel(bus, port);
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
        if (bus.Model != 0)
            WriteIoControlModel(bus, value);
        else
            WriteIoControl(bus, value);
        break;
    case 0x7E:
    case 0x7F:
        // The real chip hears the write at the CPU's cycle in the frame.
        if (bus.Model != 0)
            PSG_WriteExact(*bus.Psg, value, int32_t(bus.Vdp->CurrentLine * 228 + bus.LineCycle));
        else
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
