; One data bank of the mapper cartridges (mapper_codemasters, mapper_korean):
; BANK (given on the assembler's command line) at offset 0x3FF0 and its
; complement at 0x3FF1, BANK + 0x40 at offset 0x03F0 (inside the first
; kilobyte, for the Codemasters slot 0 check), the rest a fill byte that
; differs from bank to bank. With CODEMASTERS = 1, bank 1 carries a
; Codemasters header at 0x3FE0 (0x7FE0 of the image): 8 banks, a build
; date, the checksum 0x1234 and its complement 0xEDCC, six zeros.
FILL    equ BANK * 0x11 + 1

        org 0x0000
        ds 0x03F0, FILL
        db BANK + 0x40
        ds 0x3FE0 - $, FILL
        if CODEMASTERS
        if BANK = 1
        db 8, 24, 12, 0x93, 12, 30
        dw 0x1234, 0xEDCC
        ds 6, 0
        else
        ds 16, FILL
        endif
        else
        ds 16, FILL
        endif
        db BANK, BANK XOR 0xFF
        ds 0x4000 - $, FILL
