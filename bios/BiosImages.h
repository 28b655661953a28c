// The open BIOS images built from bios/*.asm: Z80 programs of 8192 bytes
// each, entered at 0x0000 with the BIOS mapped. tiravel_bios_american is
// BIOS type 1 ("American / Brazilian"), tiravel_bios_japanese type 0.
#pragma once

extern const unsigned char tiravel_bios_american[];
extern const unsigned char tiravel_bios_japanese[];
extern const unsigned long tiravel_bios_american_size;
extern const unsigned long tiravel_bios_japanese_size;
