// Z80EM: storage for the two BIOS images. They start blank; the machine
// copies the built-in images (or the player's own dumps) in before the first
// start.
#include "Z80EM.h"

uint8_t Z80_BiosImages[2][Z80_BIOS_SIZE];
