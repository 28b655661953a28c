; Game Gear window cartridge: a 32 x 32 name table at $3700 (R2 = $FF) whose
; tile at row r, column c is solid background colour (c + 5r) AND 15, so
; that every pixel of the picture says where it is to within a tile, and a
; window off by a pixel or a line shows a boundary out of place. The 16
; colours are 12-bit words of their own. In the 192-line mode the chip reads
; its table at $3800 (R2 AND $0E), which is row 4 on of this one.
; First the 192-line mode: $D000 = $A1 after two frames of it; ten frames
; later the 224-line mode (M1): $D000 = $A2 after two frames.
        include "rom.inc"

phase           equ 0xD000
frames          equ 0xC001

rom_start:
        call rom_init
        xor a
        ld (phase), a
        ld (frames), a
        xor a                       ; CRAM from address 0
        out (VDP_CONTROL), a
        ld a, 0xC0
        out (VDP_CONTROL), a
        ld hl, gw_colours
        ld b, 32
        ld c, VDP_DATA
        otir
        ld de, 0x3700
        call vdp_write_at
        ld d, 0                     ; row
gw_row:
        ld e, 0                     ; column
gw_col:
        ld a, d                     ; c + 5r
        add a, a
        add a, a
        add a, d
        add a, e
        and 15
        add a, SOLID_TILE
        out (VDP_DATA), a
        xor a
        out (VDP_DATA), a
        inc e
        ld a, e
        cp 32
        jr nz, gw_col
        inc d
        ld a, d
        cp 32
        jr nz, gw_row
        ld de, SPRITE_TABLE         ; no sprite on the picture in either mode
        call vdp_write_at
        ld b, 64
        ld a, 0xE0
gw_sprites:
        out (VDP_DATA), a
        djnz gw_sprites
        ld a, 0x60                  ; display, frame interrupt
        call set_mode
        ei
        ld b, 2
        call gw_wait
        ld a, 0xA1
        ld (phase), a
        ld b, 10
        call gw_wait
        ld a, 0x70                  ; display, frame interrupt, M1
        call set_mode
        ld b, 2
        call gw_wait
        ld a, 0xA2
        ld (phase), a
gw_idle:
        halt
        jr gw_idle

; B frames. Destroys A, B, C.
gw_wait:
        ld a, (frames)
        ld c, a
gw_wait_loop:
        halt
        ld a, (frames)
        cp c
        jr z, gw_wait_loop
        djnz gw_wait
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

; Background colours 0-15.
gw_colours:
        dw 0x000, 0xFFF, 0x00F, 0x0F0, 0xF00, 0x0FF, 0xF0F, 0xFF0
        dw 0x888, 0x468, 0x846, 0x684, 0x2AC, 0xC2A, 0xAC2, 0x531

        ds 0x8000 - $, 0xFF
