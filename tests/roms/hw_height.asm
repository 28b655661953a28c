; Tall-mode cartridge for the hardware models: a 32 x 32 name table at $3700
; (R2 = $FF) whose row r shows solid colour r AND 15 in every column, and
; every sprite at y = $E0 (in the tall modes $D0 ends nothing). First the
; 224-line mode (M1, with M4 and M2 in R0): $D000 = $A1 after two frames of
; it; ten frames later the 240-line mode (M3): $D000 = $A2 after two frames.
; The 315-5124 shows 192 lines in both, from its own table at $3800, which
; is row 4 on of this one.
        include "rom.inc"

phase           equ 0xD000
frames          equ 0xC001

rom_start:
        call rom_init
        xor a
        ld (phase), a
        ld (frames), a
        ld de, 0x3700
        call vdp_write_at
        ld d, 0                     ; row
ht_row:
        ld e, 32                    ; columns to go
ht_col:
        ld a, d
        and 15
        add a, SOLID_TILE
        out (VDP_DATA), a
        xor a
        out (VDP_DATA), a
        dec e
        jr nz, ht_col
        inc d
        ld a, d
        cp 32
        jr nz, ht_row
        ld de, SPRITE_TABLE
        call vdp_write_at
        ld b, 64
        ld a, 0xE0
ht_sprites:
        out (VDP_DATA), a
        djnz ht_sprites
        ld a, 0x70                  ; display, frame interrupt, M1
        call set_mode
        ei
        ld b, 2
        call ht_wait
        ld a, 0xA1
        ld (phase), a
        ld b, 10
        call ht_wait
        ld a, 0x68                  ; display, frame interrupt, M3
        call set_mode
        ld b, 2
        call ht_wait
        ld a, 0xA2
        ld (phase), a
ht_idle:
        halt
        jr ht_idle

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

        ds 0x8000 - $, 0xFF
