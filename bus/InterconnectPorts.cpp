// The I/O bus's port decoding: which device answers each of the 256 port
// numbers, the memory and I/O control registers, and the VDP's interrupt
// line passed on to the CPU. The hardware models (bus.Model nonzero) decode
// the same ranges, but answer some of them as the real consoles do; they
// take their own branch first, so the default model's path is unchanged.
// The Game Gear (bus.Model 3) decodes as the Master System II, apart from
// its own registers on ports 0x00-0x06.
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
    // The Game Gear's registers as the handheld powers on (the stereo
    // register is the PSG's, reset with it).
    bus.GgStart = 0;
    bus.GgLinkData = 0x7F;
    bus.GgLinkDirection = 0xFF;
    bus.GgSerialOut = 0x00;
    bus.GgSerialIn = 0xFF;
    bus.GgSerialControl = 0x00;
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

// ---------------------------------------------------------------- the Game Gear
//
// Ports 0x00-0x06 are the handheld's registers; the rest of 0x00-0x3F is
// decoded as on the Master System II. Port 0x00 reads Start in bit 7 (0 =
// held) and the region in bit 6 (0 = Japan), bit 5 NTSC (0) and bits 4-0
// as 0, as the power-on value 0xC0 has them. No cable is ever attached to
// the EXT connector: its data lines set as inputs float high and those set
// as outputs read back their own level; the serial status reads nothing
// being sent, nothing received and the other side absent (bit 2), over the
// control bits as written; the receive register keeps its 0xFF. Port 0x06
// routes the PSG's channels to the headphone sides; the registers no
// program reads back (0x02, 0x03, 0x06) read as last written.
inline bool IsGameGearRegister(const T_INTERCONNECT_CORE& bus, uint8_t port) {
    return port <= 0x06 && bus.Model == VDP_MODEL_GAME_GEAR;
}

uint8_t GameGearPort0(const T_INTERCONNECT_CORE& bus) {
    return uint8_t((bus.GgStart != 0 ? 0x00 : 0x80) | (bus.Japanese != 0 ? 0x00 : 0x40));
}

uint8_t ReadGameGearRegister(const T_INTERCONNECT_CORE& bus, uint8_t port) {
    switch (port) {
    case 0x00: return GameGearPort0(bus);
    case 0x01: return uint8_t((bus.GgLinkData | bus.GgLinkDirection) & 0x7F);
    case 0x02: return bus.GgLinkDirection;
    case 0x03: return bus.GgSerialOut;
    case 0x04: return bus.GgSerialIn;
    case 0x05: return uint8_t((bus.GgSerialControl & 0xF8) | 0x04);
    default: return bus.Psg->ExactRouting;  // 0x06
    }
}

[[gnu::noinline]] void WriteGameGearRegister(T_INTERCONNECT_CORE& bus, uint8_t port, uint8_t value) {
    switch (port) {
    case 0x01: bus.GgLinkData = uint8_t(value & 0x7F); break;
    case 0x02: bus.GgLinkDirection = value; break;
    case 0x03: bus.GgSerialOut = value; break;  // sent to nobody
    case 0x05: bus.GgSerialControl = uint8_t(value & 0xF8); break;
    case 0x06:
        // Heard from the write's cycle on, as the PSG's own writes are.
        PSG_SetExactRouting(*bus.Psg, value, int32_t(bus.Vdp->CurrentLine * 228 + bus.LineCycle));
        break;
    default: break;  // 0x00 and 0x04 are read only
    }
}

[[gnu::noinline]] uint8_t ReadPortModel(T_INTERCONNECT_CORE& bus, uint8_t port) {
    if (IsGameGearRegister(bus, port)) return ReadGameGearRegister(bus, port);
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
    if (port <= 0x06 && IsGameGearRegister(bus, port)) [[unlikely]] {
        WriteGameGearRegister(bus, port, value);
        return;
    }
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

void Interconnect_SetStart(T_INTERCONNECT_CORE& bus, uint8_t held) { bus.GgStart = held != 0 ? 1 : 0; }
