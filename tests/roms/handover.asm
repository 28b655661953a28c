; Hand-over cartridge: records whether interrupts were disabled when the
; BIOS jumped here, then shows its own picture: 16 vertical stripes of
; the palette's colours (2 tile columns each, rows 4-15), the fixed value
; 0xA5C3 in the cells of row 20, and the status block (green = entered
; with interrupts disabled).
        include "rom.inc"

entry_iff       equ 0xC000

rom_start:
        ld a, i                     ; P/V = IFF2
        ld a, 0
        jp po, ho_disabled
        ld a, 1
ho_disabled:
        ld (entry_iff), a
        call rom_init
        ld hl, ho_title
        call print_title
        ld de, NAME_TABLE + 4 * 64
        call vdp_write_at
        ld d, 12
ho_row:
        ld e, 0
ho_col:
        ld a, e
        srl a
        add a, SOLID_TILE
        out (VDP_DATA), a
        xor a
        out (VDP_DATA), a
        inc e
        ld a, e
        cp 32
        jr nz, ho_col
        dec d
        jr nz, ho_row
        ld hl, 0xA5C3
        call show_value_a
        ld a, (entry_iff)
        call show_status
        ld a, 0x40
        call set_mode
ho_idle:
        jr ho_idle

irq_handler:
        ei
        reti
nmi_handler:
        retn

ho_title:
        db "HANDOVER", 0

        ds 0x8000 - $, 0xFF
