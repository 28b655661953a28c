; Korean mapper cartridge, bank 0 of a 128 KB image (banks 1-7 come from
; mapper_bank.asm, without a Codemasters header). What it reads:
;   0xC000+n  byte 0xBFF0 with bank n written to 0xA000 (slot 2)
;   0xC010    byte 0xBFF0 after bank 3 at 0xA000, then 6 written to 0xFFFF
;   0xC011    byte 0x7FF0 after 6 written to 0xFFFE
; With the Korean mapper the Sega registers do nothing (3 and 1 read);
; with the Sega mapper 0xA000 does nothing instead.
        include "hardware.inc"

start:
        ld hl, 0xC000
        ld b, 0
kr_slot2:
        ld a, b
        ld (0xA000), a
        ld a, (0xBFF0)
        ld (hl), a
        inc hl
        inc b
        ld a, b
        cp 8
        jr nz, kr_slot2
        ld a, 3
        ld (0xA000), a
        ld a, 6
        ld (0xFFFF), a
        ld a, (0xBFF0)
        ld (0xC010), a
        ld a, 6
        ld (0xFFFE), a
        ld a, (0x7FF0)
        ld (0xC011), a
        jp finish

        ds 0x3FF0 - $, 0xFF
        db 0x00, 0xFF
        ds 0x4000 - $, 0xFF
