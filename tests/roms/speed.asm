; Game-speed cartridge: counts frame interrupts. The count is kept in
; cartridge RAM at 0x8000 (low byte first), so a battery file holds it
; exactly at the end of a run whichever frames were drawn, and it is shown
; as text and in the cells of row 20.
        include "rom.inc"

CART_RAM        equ 0x8000

rom_start:
        call rom_init
        ld hl, sp_title
        call print_title
        ld a, 0x08
        ld (0xFFFC), a
        ld hl, 0
        ld (CART_RAM), hl
        ld a, 0x60
        call set_mode
        ei
sp_loop:
        halt
        ld hl, (CART_RAM)
        push hl
        call show_value_a
        pop hl
        NAME_AT 4, 1
        call print_hex16_at
        jr sp_loop

irq_handler:
        push af
        push hl
        in a, (VDP_CONTROL)
        ld hl, (CART_RAM)
        inc hl
        ld (CART_RAM), hl
        pop hl
        pop af
        ei
        reti
nmi_handler:
        retn

sp_title:
        db "FRAME INTERRUPTS", 0

        ds 0x8000 - $, 0xFF
