; Battery RAM cartridge: maps cartridge RAM bank 0 at 0x8000 (0xFFFC =
; 0x08), starts a run counter there on first use (marked by "TRV" at
; 0x8001), adds 1 to it on every run and shows the new count: as text and
; in the cells of row 20. The status block is green once the counter was
; read back after its write.
        include "rom.inc"

CART_RAM        equ 0x8000
run_count       equ 0xC000

rom_start:
        call rom_init
        ld hl, bt_title
        call print_title
        ld a, 0x08
        ld (0xFFFC), a
        ld hl, CART_RAM + 1
        ld de, bt_mark
        ld b, 3
bt_compare:
        ld a, (de)
        cp (hl)
        jr nz, bt_fresh
        inc hl
        inc de
        djnz bt_compare
        jr bt_count
bt_fresh:
        xor a
        ld (CART_RAM), a
        ld hl, bt_mark
        ld de, CART_RAM + 1
        ld bc, 3
        ldir
bt_count:
        ld a, (CART_RAM)
        inc a
        ld (CART_RAM), a
        ld (run_count), a
        ld b, a
        ld a, (CART_RAM)
        sub b                       ; 0 when the RAM kept the write
        push af
        xor a
        ld (0xFFFC), a              ; cartridge RAM off again
        pop af
        call show_status
        NAME_AT 4, 1
        ld hl, bt_runs
        ld c, 0
        call print
        ld a, (run_count)
        call print_hex8
        ld a, (run_count)
        ld l, a
        ld h, 0
        call show_value_a
        ld a, 0x40
        call set_mode
bt_idle:
        jr bt_idle

irq_handler:
        ei
        reti
nmi_handler:
        retn

bt_title:
        db "BATTERY RAM", 0
bt_runs:
        db "RUNS ", 0
bt_mark:
        db "TRV"

        ds 0x8000 - $, 0xFF
