; Reset-button cartridge: reads port 0xDD over and over (thousands of
; times a frame) and counts the reads that see the reset button pressed
; (bit 4 = 0); the count is shown as text and in the cells of row 20,
; redrawn after every frame interrupt.
        include "rom.inc"

press_count     equ 0xC000
frame_flag      equ 0xC002

rom_start:
        call rom_init
        ld hl, rs_title
        call print_title
        ld hl, 0
        ld (press_count), hl
        xor a
        ld (frame_flag), a
        ld a, 0x60
        call set_mode
        ei
rs_loop:
        in a, (0xDD)
        bit 4, a
        jr nz, rs_released
        ld hl, (press_count)
        inc hl
        ld (press_count), hl
rs_released:
        ld a, (frame_flag)
        or a
        jr z, rs_loop
        xor a
        ld (frame_flag), a
        ld hl, (press_count)
        push hl
        call show_value_a
        pop hl
        NAME_AT 4, 1
        call print_hex16_at
        jr rs_loop

irq_handler:
        push af
        in a, (VDP_CONTROL)
        ld a, 1
        ld (frame_flag), a
        pop af
        ei
        reti
nmi_handler:
        retn

rs_title:
        db "RESET PRESSES", 0

        ds 0x8000 - $, 0xFF
