; Line-interrupt cartridge: a split screen. Every tile column c shows
; solid colour index c AND 15 on all rows. Register 10 = 95 raises the line
; interrupt on line 95 (and 191); its handler sets the horizontal scroll to
; 36, so lines from 96 on are shifted 36 pixels right, and the frame
; interrupt sets it back to 0 for the top of the next frame.
        include "rom.inc"

SPLIT_SCROLL    equ 36

rom_start:
        call rom_init
        ld de, NAME_TABLE
        call vdp_write_at
        ld d, 28
li_row:
        ld e, 0
li_col:
        ld a, e
        and 15
        add a, SOLID_TILE
        out (VDP_DATA), a
        xor a
        out (VDP_DATA), a
        inc e
        ld a, e
        cp 32
        jr nz, li_col
        dec d
        jr nz, li_row
        ld b, 10
        ld c, 95
        call vdp_set_register
        ld b, 0
        ld c, 0x16                  ; line interrupt enable
        call vdp_set_register
        ld a, 0x60
        call set_mode
        ei
li_idle:
        halt
        jr li_idle

; The status byte tells the two apart: bit 7 is the frame interrupt.
irq_handler:
        push af
        in a, (VDP_CONTROL)
        rlca
        ld a, SPLIT_SCROLL
        jr nc, li_scroll
        xor a
li_scroll:
        out (VDP_CONTROL), a
        ld a, 0x88
        out (VDP_CONTROL), a
        pop af
        ei
        reti
nmi_handler:
        retn

        ds 0x8000 - $, 0xFF
