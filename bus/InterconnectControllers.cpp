// The controller bits of the two joypad port bytes (0 = pressed) and the
// console's reset button, set by the per-frame input step and the "Game
// Reset" command.
#include "Interconnect.h"

namespace {

inline void Press(uint8_t& port, uint8_t bit) { port = uint8_t(port & ~(1u << bit)); }
inline void Release(uint8_t& port, uint8_t bit) { port = uint8_t(port | (1u << bit)); }

}  // namespace

// Released by the next read of port B, not by a procedure of its own. Only
// the first Master System (model 1) and the default model have the button.
void Interconnect_PressReset(T_INTERCONNECT_CORE& bus) {
    if (bus.Model >= 2) return;
    Press(bus.PortB, 4);
}

void Interconnect_PressP1Up(T_INTERCONNECT_CORE& bus) { Press(bus.PortA, 0); }
void Interconnect_ReleaseP1Up(T_INTERCONNECT_CORE& bus) { Release(bus.PortA, 0); }
void Interconnect_PressP1Down(T_INTERCONNECT_CORE& bus) { Press(bus.PortA, 1); }
void Interconnect_ReleaseP1Down(T_INTERCONNECT_CORE& bus) { Release(bus.PortA, 1); }
void Interconnect_PressP1Left(T_INTERCONNECT_CORE& bus) { Press(bus.PortA, 2); }
void Interconnect_ReleaseP1Left(T_INTERCONNECT_CORE& bus) { Release(bus.PortA, 2); }
void Interconnect_PressP1Right(T_INTERCONNECT_CORE& bus) { Press(bus.PortA, 3); }
void Interconnect_ReleaseP1Right(T_INTERCONNECT_CORE& bus) { Release(bus.PortA, 3); }
void Interconnect_PressP1Button1(T_INTERCONNECT_CORE& bus) { Press(bus.PortA, 4); }
void Interconnect_ReleaseP1Button1(T_INTERCONNECT_CORE& bus) { Release(bus.PortA, 4); }
void Interconnect_PressP1Button2(T_INTERCONNECT_CORE& bus) { Press(bus.PortA, 5); }
void Interconnect_ReleaseP1Button2(T_INTERCONNECT_CORE& bus) { Release(bus.PortA, 5); }
void Interconnect_PressP2Up(T_INTERCONNECT_CORE& bus) { Press(bus.PortA, 6); }
void Interconnect_ReleaseP2Up(T_INTERCONNECT_CORE& bus) { Release(bus.PortA, 6); }
void Interconnect_PressP2Down(T_INTERCONNECT_CORE& bus) { Press(bus.PortA, 7); }
void Interconnect_ReleaseP2Down(T_INTERCONNECT_CORE& bus) { Release(bus.PortA, 7); }
void Interconnect_PressP2Left(T_INTERCONNECT_CORE& bus) { Press(bus.PortB, 0); }
void Interconnect_ReleaseP2Left(T_INTERCONNECT_CORE& bus) { Release(bus.PortB, 0); }
void Interconnect_PressP2Right(T_INTERCONNECT_CORE& bus) { Press(bus.PortB, 1); }
void Interconnect_ReleaseP2Right(T_INTERCONNECT_CORE& bus) { Release(bus.PortB, 1); }
void Interconnect_PressP2Button1(T_INTERCONNECT_CORE& bus) { Press(bus.PortB, 2); }
void Interconnect_ReleaseP2Button1(T_INTERCONNECT_CORE& bus) { Release(bus.PortB, 2); }
void Interconnect_PressP2Button2(T_INTERCONNECT_CORE& bus) { Press(bus.PortB, 3); }
void Interconnect_ReleaseP2Button2(T_INTERCONNECT_CORE& bus) { Release(bus.PortB, 3); }
