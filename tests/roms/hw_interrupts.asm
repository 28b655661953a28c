; Interrupt-position cartridge for the hardware models: the line interrupt
; every 10 lines (R10 = 9) and the frame interrupt, both enabled; the
; handler keeps the V counter and the status byte of each interrupt, pairs
; from $C100 on, 256 of them, then sets $D000 = $A5. At the fifth frame
; interrupt it asks for the 224-line mode (M1, with M4 and M2 in R0), which
; the 315-5124 shows as 192 lines.
        include "rom.inc"

done            equ 0xD000
frames          equ 0xC001
pointer         equ 0xC002
BUFFER          equ 0xC100
BUFFER_END      equ 0xC300

rom_start:
        call rom_init
        ld hl, BUFFER
        ld (pointer), hl
        xor a
        ld (frames), a
        ld (done), a
        ld b, 10
        ld c, 9
        call vdp_set_register
        ld b, 0
        ld c, 0x16                  ; M4, M2, line interrupt
        call vdp_set_register
        ld a, 0x60                  ; display, frame interrupt
        call set_mode
        ei
hi_idle:
        halt
        jr hi_idle

irq_handler:
        push af
        push bc
        push hl
        in a, (0x7E)
        ld b, a
        in a, (VDP_CONTROL)
        ld c, a
        ld hl, (pointer)
        ld a, h
        cp BUFFER_END >> 8
        jr z, hi_full
        ld (hl), b
        inc hl
        ld (hl), c
        inc hl
        ld (pointer), hl
        jr hi_frame
hi_full:
        ld a, 0xA5
        ld (done), a
hi_frame:
        bit 7, c
        jr z, hi_out
        ld a, (frames)
        inc a
        ld (frames), a
        cp 5
        jr nz, hi_out
        ld a, 0x70                  ; display, frame interrupt, M1
        out (VDP_CONTROL), a
        ld a, 0x81
        out (VDP_CONTROL), a
hi_out:
        pop hl
        pop bc
        pop af
        ei
        reti
nmi_handler:
        retn

        ds 0x8000 - $, 0xFF
