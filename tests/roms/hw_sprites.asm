; Sprite cartridge for the hardware models: the eight-sprite line buffer,
; the overflow and collision flags and the zoom. Each scene stays for two
; frames; the status byte the frame interrupt read at the end of the second
; goes to $C010 + scene:
;   0: nine 8x8 sprites on lines 16-23, x = 8 + 24k         INT, OVR ($C0)
;   1: the ninth moved off the line: eight                   INT ($80)
;   2: sprite 1 moved over sprite 0 by four pixels            INT, COL ($A0)
;   3: sprite 1 right beside sprite 0, touching               INT ($80)
;   4: zoom on; eight sprites on lines 40-55 at x = 32k and
;      nine on lines 100-115 at x = 24k                       INT, OVR ($C0)
; The last scene stays on the screen, and $D000 = $A5. Sprite k of a group
; shows solid colour k + 1 (white, grey, yellow, green, red, blue, cyan,
; magenta, orange).
        include "rom.inc"

done            equ 0xD000
frames          equ 0xC001
status          equ 0xC002
result_ptr      equ 0xC004
results         equ 0xC010

rom_start:
        call rom_init
        xor a
        ld (done), a
        xor a
        ld (frames), a
        ld hl, results
        ld (result_ptr), hl
        ; scene 0
        xor a
        ld b, 9
        ld c, 15
        ld d, 8
        ld e, 24
        call hs_group
        ld a, 9
        call hs_end
        ld a, 0x60                  ; display, frame interrupt
        call set_mode
        ei
        call hs_record
        ; scene 1
        ld a, 8
        ld c, 0xE0
        call hs_set_y
        call hs_record
        ; scene 2
        ld a, 1
        ld c, 12
        call hs_set_x
        call hs_record
        ; scene 3
        ld a, 1
        ld c, 16
        call hs_set_x
        call hs_record
        ; scene 4
        xor a
        ld b, 8
        ld c, 39
        ld d, 0
        ld e, 32
        call hs_group
        ld a, 8
        ld b, 9
        ld c, 99
        ld d, 0
        ld e, 24
        call hs_group
        ld a, 17
        call hs_end
        ld a, 0x61                  ; display, frame interrupt, zoom
        call set_mode
        call hs_record
        ld a, 0xA5
        ld (done), a
hs_idle:
        halt
        jr hs_idle

; B sprites from number A on: y C, x from D in steps of E, tiles (solid
; colours) 1, 2, ... Destroys A, B, D, H, L.
hs_group:
        ld h, a
        ld l, SOLID_TILE + 1
hs_group_loop:
        push de
        ld e, h
        ld d, SPRITE_TABLE >> 8
        call vdp_write_at
        ld a, c
        out (VDP_DATA), a
        ld a, h
        add a, a
        add a, 128
        ld e, a
        call vdp_write_at
        pop de
        ld a, d
        out (VDP_DATA), a
        ld a, l
        out (VDP_DATA), a
        ld a, d
        add a, e
        ld d, a
        inc h
        inc l
        djnz hs_group_loop
        ret

; Sprite A's y = $D0: the list end in the 192-line mode.
hs_end:
        ld c, 0xD0
; Sprite A's y = C.
hs_set_y:
        push de
        ld e, a
        ld d, SPRITE_TABLE >> 8
        call vdp_write_at
        ld a, c
        out (VDP_DATA), a
        pop de
        ret

; Sprite A's x = C.
hs_set_x:
        push de
        add a, a
        add a, 128
        ld e, a
        ld d, SPRITE_TABLE >> 8
        call vdp_write_at
        ld a, c
        out (VDP_DATA), a
        pop de
        ret

; Two frames, then the last status byte into the next result.
hs_record:
        call hs_wait_frame
        call hs_wait_frame
        ld hl, (result_ptr)
        ld a, (status)
        ld (hl), a
        inc hl
        ld (result_ptr), hl
        ret

hs_wait_frame:
        ld a, (frames)
        ld b, a
hs_wait_loop:
        halt
        ld a, (frames)
        cp b
        jr z, hs_wait_loop
        ret

irq_handler:
        push af
        in a, (VDP_CONTROL)
        ld (status), a
        ld a, (frames)
        inc a
        ld (frames), a
        pop af
        ei
        reti
nmi_handler:
        retn

        ds 0x8000 - $, 0xFF
