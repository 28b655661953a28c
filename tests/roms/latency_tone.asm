; Sound-latency cartridge: the latency cartridge, whose picture answers
; player 1's button 1 in the frame that reads it, with a tone besides: while
; the button is held, tone channel 1 sounds at full volume (period 0x0FE);
; released, it is silent. A measurement sees both answers of one press.
; Each frame, after the frame interrupt, it reads port 0xDC: while button 1
; is held (bit 4 low) colour 0 of both palettes is white, so the whole
; backdrop turns white; otherwise it is black. A frame counter is printed
; on row 1 so that every frame differs from the one before, which lets a
; measurement count the frames shown between a press and the answer.
        include "rom.inc"

frame_count     equ 0xC000

rom_start:
        call rom_init
        ld hl, la_title
        call print_title
        ld hl, 0
        ld (frame_count), hl
        ld hl, 0x0FE
        xor a
        call psg_tone
        ld c, 15                ; silent until the button is held
        xor a
        call psg_attenuation
        ld a, 0x60
        call set_mode
        ei
la_loop:
        halt
        in a, (0xDC)
        and 0x10
        ld b, 0x00              ; released: black, silent
        ld c, 15
        jr nz, la_colour
        ld b, 0x3F              ; held: white, the tone at full volume
        ld c, 0
la_colour:
        xor a
        call psg_attenuation
        ; Colour 0 of the background palette, then of the sprite palette
        ; (the border's colour).
        ld c, 0x00
        call la_set_colour
        ld c, 0x10
        call la_set_colour
        ld hl, (frame_count)
        NAME_AT 4, 1
        call print_hex16_at
        jr la_loop

; CRAM entry C = B.
la_set_colour:
        ld a, c
        out (VDP_CONTROL), a
        ld a, 0xC0
        out (VDP_CONTROL), a
        ld a, b
        out (VDP_DATA), a
        ret

irq_handler:
        push af
        push hl
        in a, (VDP_CONTROL)
        ld hl, (frame_count)
        inc hl
        ld (frame_count), hl
        pop hl
        pop af
        ei
        reti
nmi_handler:
        retn

la_title:
        db "SOUND LATENCY", 0

        ds 0x8000 - $, 0xFF
