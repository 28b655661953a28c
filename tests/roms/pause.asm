; Pause cartridge: counts NMIs (the Pause button) and shows the count as
; text and in the cells of row 20, redrawn every frame.
        include "rom.inc"

nmi_count       equ 0xC000

rom_start:
        call rom_init
        ld hl, pa_title
        call print_title
        ld hl, 0
        ld (nmi_count), hl
        ld a, 0x60
        call set_mode
        ei
pa_loop:
        halt
        ld hl, (nmi_count)
        push hl
        call show_value_a
        pop hl
        NAME_AT 4, 1
        call print_hex16_at
        jr pa_loop

irq_handler:
        push af
        in a, (VDP_CONTROL)
        pop af
        ei
        reti
; Only counts: the NMI may come between the two bytes of a VDP pair.
nmi_handler:
        push hl
        ld hl, (nmi_count)
        inc hl
        ld (nmi_count), hl
        pop hl
        retn

pa_title:
        db "PAUSE NMI COUNT", 0

        ds 0x8000 - $, 0xFF
