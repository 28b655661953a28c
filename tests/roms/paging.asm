; Paging cartridge, bank 0 of a 128 KB image (banks 1-7 come from
; paging_bank.asm). Every bank carries its number at offset 0x3FF0 and the
; number's complement at 0x3FF1. For banks 2-7 the cartridge selects the
; bank through 0xFFFF (window 0x8000-0xBFFF), through 0xFFFE (window
; 0x4000-0x7FFF) and through 0xFFFF again with the bank number + 8, which
; the 8-bank image reduces to the same bank. One text row per bank shows
; the three bytes read; row 20 has bit n set when bank n read right through
; 0xFFFF (both times), row 22 when it read right through 0xFFFE; expected
; 0x00FC for both.
        include "rom.inc"

mask_slot2      equ 0xC000
mask_slot1      equ 0xC001
mask_wrap       equ 0xC002
bank            equ 0xC003

rom_start:
        call rom_init
        ld hl, pg_title
        call print_title
        xor a
        ld (mask_slot2), a
        ld (mask_slot1), a
        ld (mask_wrap), a
        ld a, 2
        ld (bank), a
pg_bank:
        ; text row 4 + bank: "BANK n  xx xx xx"
        ld a, (bank)
        add a, 4
        ld l, a
        ld h, 0
        add hl, hl
        add hl, hl
        add hl, hl
        add hl, hl
        add hl, hl
        add hl, hl
        ld de, NAME_TABLE + 2 * 2
        add hl, de
        ex de, hl
        push de
        ld hl, pg_bank_text
        ld c, 0
        call print
        ld a, (bank)
        call print_hex8
        pop de
        ld hl, 10 * 2
        add hl, de
        ex de, hl
        call vdp_write_at

        ld a, (bank)
        ld (0xFFFF), a
        ld hl, 0xBFF0
        call pg_check
        ld hl, mask_slot2
        call c, pg_mark
        ld a, (bank)
        ld (0xFFFE), a
        ld hl, 0x7FF0
        call pg_check
        ld hl, mask_slot1
        call c, pg_mark
        ld a, (bank)
        add a, 8
        ld (0xFFFF), a
        ld hl, 0xBFF0
        call pg_check
        ld hl, mask_wrap
        call c, pg_mark

        ld a, (bank)
        inc a
        ld (bank), a
        cp 8
        jr nz, pg_bank

        ; Back to the power-on layout.
        ld a, 1
        ld (0xFFFE), a
        inc a
        ld (0xFFFF), a
        ; through 0xFFFF a bank counts when both of its reads were right
        ld a, (mask_wrap)
        ld b, a
        ld a, (mask_slot2)
        and b
        ld (mask_slot2), a
        ld l, a
        ld h, 0
        call show_value_a
        ld a, (mask_slot1)
        ld l, a
        ld h, 0
        call show_value_b
        ld a, (mask_slot2)
        ld b, a
        ld a, (mask_slot1)
        and b
        sub 0xFC
        call show_status
        ld a, 0x40
        call set_mode
pg_idle:
        jr pg_idle

; Reads the signature at HL, prints the byte, returns carry set when it is
; the expected bank with its complement. Destroys A, B, HL.
pg_check:
        ld a, (hl)
        push af
        ld c, 0
        call print_hex8
        xor a
        out (VDP_DATA), a
        out (VDP_DATA), a
        pop af
        ld b, a
        ld a, (bank)
        cp b
        jr nz, pg_wrong
        inc hl
        ld a, (hl)
        cpl
        cp b
        jr nz, pg_wrong
        scf
        ret
pg_wrong:
        or a
        ret

; Sets the bank's bit in the byte at HL.
pg_mark:
        call pg_bit
        or (hl)
        ld (hl), a
        ret

; A = 1 << bank.
pg_bit:
        push bc
        ld a, (bank)
        ld b, a
        ld a, 1
        inc b
pg_bit_loop:
        dec b
        jr z, pg_bit_done
        add a, a
        jr pg_bit_loop
pg_bit_done:
        pop bc
        ret

irq_handler:
        ei
        reti
nmi_handler:
        retn

pg_title:
        db "PAGING 128K", 0
pg_bank_text:
        db "BANK ", 0

        ds 0x3FF0 - $, 0xFF
        db 0, 0xFF
        ds 0x4000 - $, 0xFF
