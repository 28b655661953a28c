; A 48 KB cartridge for a board without a mapper. Each 16 KB part carries
; its number at 0x3FF0 of the part. The code (all of it in the fixed first
; kilobyte) writes what a RAM clear reaching 0xFFFD-0xFFFF would, 2, 2 and
; 0, then keeps the three numbers it reads at 0x3FF0, 0x7FF0 and 0xBFF0
; in 0xC000-0xC002: 0, 1, 2 without a mapper (the image as it stands);
; 2, 2, 0 with the Sega mapper, which takes those writes for paging.
        include "hardware.inc"

start:
        ld a, 2
        ld (0xFFFD), a
        ld (0xFFFE), a
        xor a
        ld (0xFFFF), a
        ld a, (0x3FF0)
        ld (0xC000), a
        ld a, (0x7FF0)
        ld (0xC001), a
        ld a, (0xBFF0)
        ld (0xC002), a
        jp finish

        ds 0x3FF0 - $, 0xFF
        db 0x00
        ds 0x7FF0 - $, 0xFF
        db 0x01
        ds 0xBFF0 - $, 0xFF
        db 0x02
        ds 0xC000 - $, 0xFF
