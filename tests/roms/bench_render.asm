; Rendering benchmark cartridge: display on, the whole background scrolled
; both ways by a new amount every frame, 64 sprites of 8x16 spread over the
; screen and moved every frame, and a name table whose entries mix
; horizontal and vertical flips, both palettes and the priority bit over
; all 32 columns.
        include "rom.inc"

frames          equ 0xC000

rom_start:
        call rom_init
        ; name table: tile (column * 3 + row) AND 63 plus flags cycling
        ; through flip/palette/priority combinations
        ld de, NAME_TABLE
        call vdp_write_at
        ld d, 0                     ; row
br_row:
        ld e, 0                     ; column
br_col:
        ld a, e
        add a, e
        add a, e
        add a, d
        and 63
        add a, 33                   ; glyphs and solid tiles
        out (VDP_DATA), a
        ld a, e
        add a, d
        and 0x0F
        rlca                        ; bits 9-12 of the entry
        out (VDP_DATA), a
        inc e
        ld a, e
        cp 32
        jr nz, br_col
        inc d
        ld a, d
        cp 28
        jr nz, br_row
        ld hl, 0
        ld (frames), hl
        call br_sprites
        ld a, 0x62                  ; display, frame interrupt, 8x16 sprites
        call set_mode
        ei
br_idle:
        halt
        jr br_idle

; Scroll registers and the sprite table for frame (frames).
br_sprites:
        ld a, (frames)
        ld c, a
        ld b, 8
        call vdp_set_register
        ld a, (frames)
        srl a
        ld c, a
        ld b, 9
        call vdp_set_register
        ld de, SPRITE_TABLE
        call vdp_write_at
        ld b, 0                     ; sprite number
br_y:
        ld a, b
        add a, a
        add a, a
        add a, b                    ; 5s
        ld c, a
        ld a, (frames)
        add a, c
        and 0x7F
        add a, 24                   ; 24-151: never 0xD0
        out (VDP_DATA), a
        inc b
        ld a, b
        cp 64
        jr nz, br_y
        ld de, SPRITE_TABLE + 128
        call vdp_write_at
        ld b, 0
br_x:
        ld a, b
        add a, a
        add a, a                    ; 4s
        ld c, a
        ld a, (frames)
        add a, a
        add a, c
        out (VDP_DATA), a
        ld a, b
        and 7
        add a, a
        add a, SOLID_TILE           ; even: 8x16 pairs of solid tiles
        out (VDP_DATA), a
        inc b
        ld a, b
        cp 64
        jr nz, br_x
        ret

irq_handler:
        push af
        push bc
        push de
        push hl
        in a, (VDP_CONTROL)
        ld hl, (frames)
        inc hl
        ld (frames), hl
        call br_sprites
        pop hl
        pop de
        pop bc
        pop af
        ei
        reti
nmi_handler:
        retn

        ds 0x8000 - $, 0xFF
