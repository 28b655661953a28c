// Interconnect: the console's I/O bus.
//
// Decodes the Z80's 8-bit I/O port numbers onto the VDP, the PSG, the two
// joypad port bytes, the memory control register and the I/O control
// register, and passes the VDP's interrupt line to the CPU's run loop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct T_VDP_CORE;
struct T_PSG_CORE;

// Zero-filled on creation; Interconnect_Init gives the start values.
struct T_INTERCONNECT_CORE {
    T_VDP_CORE* Vdp;        // not owned
    T_PSG_CORE* Psg;        // not owned
    uint8_t PortA;          // port 0xDC: P1 pad, P2 up/down; 0 = pressed
    uint8_t PortB;          // port 0xDD: P2 rest, reset button, output levels
    uint8_t MemoryControl;  // port 0x3E: bit 3 = 1 maps the cartridge, not the BIOS
    // The model, set by the machine before a reset and kept through resets:
    // the VDP model's number (0 the default model's decoding, 1 the first
    // Master System, 2 the Master System II) and the region (1 = Japanese:
    // the TH lines do not read back their output levels).
    uint8_t Model;
    uint8_t Japanese;
    // The CPU cycle within the current line (0-227), kept by the hardware
    // models' run loop before each instruction, for the H counter's latch.
    uint32_t LineCycle;
    // The hardware models' I/O control register (port 0x3F as last written):
    // the TH and TR pins' directions and output levels, read back through
    // ports 0xDC and 0xDD when reads of those ports are made (the default
    // model folds them into PortB at the write instead).
    uint8_t IoControl;
    // The Game Gear's own registers on ports 0x00-0x05 (bus.Model 3; the
    // stereo register 0x06 is the PSG's ExactRouting). Start is the button
    // as the frame sees it (1 = held), read in port 0x00's bit 7 with the
    // region (Japanese) beside it. The link port's registers keep what the
    // program wrote, with no cable attached: nothing ever arrives.
    uint8_t GgStart;
    uint8_t GgLinkData;       // 0x01: the EXT port's seven data lines as written
    uint8_t GgLinkDirection;  // 0x02: 1 = the line is an input (bit 7: the EXT port's NMI enable)
    uint8_t GgSerialOut;      // 0x03: the serial byte to send
    uint8_t GgSerialIn;       // 0x04: the serial byte received
    uint8_t GgSerialControl;  // 0x05: bits 7-3 as written (speed, link enable)
};

void Interconnect_Init(T_INTERCONNECT_CORE& bus, T_VDP_CORE& vdp, T_PSG_CORE& psg);
uint8_t Interconnect_ReadPort(T_INTERCONNECT_CORE& bus, uint8_t port);
void Interconnect_WritePort(T_INTERCONNECT_CORE& bus, uint8_t port, uint8_t value);
uint8_t Interconnect_GetInterruptLine(const T_INTERCONNECT_CORE& bus);
uint8_t Interconnect_GetMemoryControl(const T_INTERCONNECT_CORE& bus);
// The reset button, seen pressed by the next read of port 0xDD (bit 4). The
// Master System II has no button: there it does nothing.
void Interconnect_PressReset(T_INTERCONNECT_CORE& bus);

// Saved states. The bus's part is INTERCONNECT_STATE_SIZE bytes: port A,
// port B (with the reset button's bit and the TH output levels) and the
// memory control register. Any byte is a value these registers can hold, so
// validation checks only the length.
constexpr std::size_t INTERCONNECT_STATE_SIZE = 3;
void Interconnect_SaveState(const T_INTERCONNECT_CORE& bus, uint8_t* out /* INTERCONNECT_STATE_SIZE bytes */);
bool Interconnect_ValidateState(const T_INTERCONNECT_CORE& bus, const uint8_t* data, std::size_t size,
                                std::string& reason);
void Interconnect_LoadState(T_INTERCONNECT_CORE& bus, const uint8_t* data /* validated */);

// The hardware models' part of a state, beside the one above: the I/O
// control register. Any byte is a value it can hold.
constexpr std::size_t INTERCONNECT_MODEL_STATE_SIZE = 1;
void Interconnect_SaveModelState(const T_INTERCONNECT_CORE& bus, uint8_t* out /* INTERCONNECT_MODEL_STATE_SIZE bytes */);
bool Interconnect_ValidateModelState(const T_INTERCONNECT_CORE& bus, const uint8_t* data, std::size_t size,
                                     std::string& reason);
void Interconnect_LoadModelState(T_INTERCONNECT_CORE& bus, const uint8_t* data /* validated */);

// The Game Gear's Start button for the frames to come (1 = held): a bit of
// port 0x00, never an NMI.
void Interconnect_SetStart(T_INTERCONNECT_CORE& bus, uint8_t held);

// The Game Gear's part of a state, beside the two above: ports 0x00-0x05 as
// the registers hold them (0x00: Start and the region as read). Validation
// checks the length and the bits no write can set.
constexpr std::size_t INTERCONNECT_GAME_GEAR_STATE_SIZE = 6;
void Interconnect_SaveGameGearState(const T_INTERCONNECT_CORE& bus, uint8_t* out);
bool Interconnect_ValidateGameGearState(const T_INTERCONNECT_CORE& bus, const uint8_t* data, std::size_t size,
                                        std::string& reason);
void Interconnect_LoadGameGearState(T_INTERCONNECT_CORE& bus, const uint8_t* data /* validated */);

// Controller bits, called once per frame per button by the input step.
void Interconnect_PressP1Up(T_INTERCONNECT_CORE& bus);
void Interconnect_ReleaseP1Up(T_INTERCONNECT_CORE& bus);
void Interconnect_PressP1Down(T_INTERCONNECT_CORE& bus);
void Interconnect_ReleaseP1Down(T_INTERCONNECT_CORE& bus);
void Interconnect_PressP1Left(T_INTERCONNECT_CORE& bus);
void Interconnect_ReleaseP1Left(T_INTERCONNECT_CORE& bus);
void Interconnect_PressP1Right(T_INTERCONNECT_CORE& bus);
void Interconnect_ReleaseP1Right(T_INTERCONNECT_CORE& bus);
void Interconnect_PressP1Button1(T_INTERCONNECT_CORE& bus);
void Interconnect_ReleaseP1Button1(T_INTERCONNECT_CORE& bus);
void Interconnect_PressP1Button2(T_INTERCONNECT_CORE& bus);
void Interconnect_ReleaseP1Button2(T_INTERCONNECT_CORE& bus);
void Interconnect_PressP2Up(T_INTERCONNECT_CORE& bus);
void Interconnect_ReleaseP2Up(T_INTERCONNECT_CORE& bus);
void Interconnect_PressP2Down(T_INTERCONNECT_CORE& bus);
void Interconnect_ReleaseP2Down(T_INTERCONNECT_CORE& bus);
void Interconnect_PressP2Left(T_INTERCONNECT_CORE& bus);
void Interconnect_ReleaseP2Left(T_INTERCONNECT_CORE& bus);
void Interconnect_PressP2Right(T_INTERCONNECT_CORE& bus);
void Interconnect_ReleaseP2Right(T_INTERCONNECT_CORE& bus);
void Interconnect_PressP2Button1(T_INTERCONNECT_CORE& bus);
void Interconnect_ReleaseP2Button1(T_INTERCONNECT_CORE& bus);
void Interconnect_PressP2Button2(T_INTERCONNECT_CORE& bus);
void Interconnect_ReleaseP2Button2(T_INTERCONNECT_CORE& bus);
