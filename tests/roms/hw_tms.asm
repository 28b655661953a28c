; TMS9918-mode cartridge for the hardware models: Graphics I, then Graphics
; II, in the fixed TMS palette; the backdrop (R7) is dark blue (4).
;
; Graphics I ($D000 = $A1 after two frames of it, for ten frames more):
; names at $3800, colours at $2000, patterns and sprite patterns at $0000,
; sprite attributes at $3F00.
; Pattern 1 has the left half of every row set, pattern 2 every pixel; the
; colour byte of patterns 0-7 is white on transparent ($F0). Row 2 holds
; name 1 in every column: lines 16-23 show white in the left half of each
; cell, the backdrop in the right. Sprite 0: y $3F (lines 64-71), x $40,
; pattern 2, light red (9); sprite 1 ends the list.
;
; Graphics II ($D000 = $A2 after two frames of it): patterns at $0000 (R4 = 3),
; colours at $2000 (R3 = $FF), every name its column number. Third 0: every
; pattern row $F0, colours $9C (light red on dark green) but row 7 $B1
; (light yellow on black); third 1: rows $0F, colours $3E (light green on
; grey); third 2: rows $FF, colours $D1 (magenta on black). The sprite
; stays; its pattern is now third 0's ($F0 rows).
        include "rom.inc"

phase           equ 0xD000
frames          equ 0xC001

rom_start:
        call rom_init
        xor a
        ld (phase), a
        ld (frames), a
        call vdp_clear_vram
        ld hl, tms_graphics1
        call vdp_write_registers
        ; patterns 1 and 2
        ld de, 0x0008
        ld bc, 8
        ld a, 0xF0
        call ht_fill
        ld de, 0x0010
        ld bc, 8
        ld a, 0xFF
        call ht_fill
        ; colours of patterns 0-7
        ld de, 0x2000
        ld bc, 1
        ld a, 0xF0
        call ht_fill
        ; row 2 of names
        ld de, 0x3800 + 64
        ld bc, 32
        ld a, 1
        call ht_fill
        ; the sprite and the list end
        ld de, 0x3F00
        call vdp_write_at
        ld hl, tms_sprite
        ld b, 5
tt_sprite:
        ld a, (hl)
        out (VDP_DATA), a
        inc hl
        djnz tt_sprite
        ld a, 0x60                  ; display, frame interrupt
        call set_mode
        ei
        ld b, 2
        call ht_wait
        ld a, 0xA1
        ld (phase), a
        ld b, 10
        call ht_wait

        ; Graphics II, set up with the display off
        ld a, 0x20
        call set_mode
        ld b, 0
        ld c, 0x02
        call vdp_set_register
        ld b, 3
        ld c, 0xFF
        call vdp_set_register
        ld b, 4
        ld c, 0x03
        call vdp_set_register
        ld de, 0x0000
        ld bc, 0x0800
        ld a, 0xF0
        call ht_fill
        ld de, 0x0800
        ld bc, 0x0800
        ld a, 0x0F
        call ht_fill
        ld de, 0x1000
        ld bc, 0x0800
        ld a, 0xFF
        call ht_fill
        ld de, 0x2000
        call vdp_write_at
        ld c, 0                     ; 256 patterns of third 0
tt_colours:
        ld b, 7
        ld a, 0x9C
tt_row:
        out (VDP_DATA), a
        djnz tt_row
        ld a, 0xB1
        out (VDP_DATA), a
        dec c
        jr nz, tt_colours
        ld de, 0x2800
        ld bc, 0x0800
        ld a, 0x3E
        call ht_fill
        ld de, 0x3000
        ld bc, 0x0800
        ld a, 0xD1
        call ht_fill
        ld de, 0x3800
        call vdp_write_at
        ld bc, 768
        ld e, 0
tt_names:
        ld a, e
        and 31
        out (VDP_DATA), a
        inc e
        dec bc
        ld a, b
        or c
        jr nz, tt_names
        ld a, 0x60
        call set_mode
        ld b, 2
        call ht_wait
        ld a, 0xA2
        ld (phase), a
tt_idle:
        halt
        jr tt_idle

; Fills BC bytes from DE with A. Destroys A, B, C, H.
ht_fill:
        ld h, a
        call vdp_write_at
ht_fill_loop:
        ld a, h
        out (VDP_DATA), a
        dec bc
        ld a, b
        or c
        jr nz, ht_fill_loop
        ret

; B frames. Destroys A, B, C.
ht_wait:
        ld a, (frames)
        ld c, a
ht_wait_loop:
        halt
        ld a, (frames)
        cp c
        jr z, ht_wait_loop
        djnz ht_wait
        ret

irq_handler:
        push af
        in a, (VDP_CONTROL)
        ld a, (frames)
        inc a
        ld (frames), a
        pop af
        ei
        reti
nmi_handler:
        retn

; Registers 0-10 of Graphics I: display off until set_mode.
tms_graphics1:
        db 0x00, 0x00, 0x0E, 0x80, 0x00, 0x7E, 0x00, 0x04, 0x00, 0x00, 0xFF
tms_sprite:
        db 0x3F, 0x40, 0x02, 0x09, 0xD0

        ds 0x8000 - $, 0xFF
