// Z80EM: storage for the BIOS images (the two Master System ones, the Game Gear's). They start blank; the machine
// copies the built-in images (or the player's own dumps) in before the first
// start.
#include "Z80EM.h"

uint8_t Z80_BiosImages[2][Z80_BIOS_SIZE];
uint8_t Z80_GameGearBios[Z80_GAME_GEAR_BIOS_SIZE];
