; Television standard cartridge: tells a PAL console from an NTSC one as
; PAL-only games do, by counting the lines of a frame: polling the V
; counter from one line 0 to the next, it counts 262 changes on NTSC and
; 313 on PAL. The count is kept at 0xC000; the
; status block is green when the console is PAL (the cartridge "needs" PAL)
; and red on NTSC, and the screen names the standard. It then counts frames
; at 0xC002 from its frame interrupt, shown in row 22, so that a front end's
; frame rate can be watched.
        include "rom.inc"

line_count      equ 0xC000
frame_count     equ 0xC002
VDP_VCOUNTER    equ 0x7E

rom_start:
        call rom_init
        ld hl, tv_title
        call print_title
        ld hl, 0
        ld (frame_count), hl
        ld a, 0x40                  ; display on, no frame interrupt yet
        call set_mode
        call count_lines
        ld (line_count), hl
        push hl
        call show_value_a
        pop hl
        ld de, 313
        or a
        sbc hl, de
        ld hl, tv_ntsc
        jr nz, tv_show
        ld hl, tv_pal
tv_show:
        push af
        NAME_AT 6, 1
        ld c, 0
        call print
        pop af
        ld a, 0
        jr z, tv_status
        inc a
tv_status:
        call show_status
        ld a, 0x60                  ; display on, frame interrupt
        call set_mode
        ei
tv_loop:
        halt
        ld hl, (frame_count)
        call show_value_b
        jr tv_loop

; HL = the lines of a frame: from the start of line 0 (the only line whose
; V counter reads 0 in the 192-line mode of either standard), the V
; counter's changes until it reads 0 again. One pass of the loop takes far
; less than a line (228 cycles), and one port read a pass leaves no race
; with the line's end.
count_lines:
        in a, (VDP_VCOUNTER)
        or a
        jr z, count_lines
cl_wait:
        in a, (VDP_VCOUNTER)
        or a
        jr nz, cl_wait
        ld hl, 0
        ld b, a
cl_loop:
        in a, (VDP_VCOUNTER)
        cp b
        jr z, cl_loop
        ld b, a
        inc hl
        or a
        jr nz, cl_loop
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

tv_title:
        db "TV STANDARD", 0
tv_pal:
        db "PAL CONSOLE: 50 HZ ", 0
tv_ntsc:
        db "NTSC CONSOLE: THIS GAME NEEDS PAL", 0

        ds 0x8000 - $, 0xFF
