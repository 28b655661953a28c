; One data bank of the paging cartridge: BANK (given on the assembler's
; command line) at offset 0x3FF0 and its complement at 0x3FF1, the rest a
; fill byte that differs from bank to bank.
        org 0x0000
        ds 0x3FF0, BANK * 0x11
        db BANK, BANK XOR 0xFF
        ds 0x4000 - $, BANK * 0x11
