; Region detection as games make it: both TH pins made outputs and driven
; high (0xF5 to port 0x3F), port 0xDD's bits 7-6 read; driven low (0x55),
; read again; every pin back to an input (0xFF). An export console reads
; its own levels back (11, then 00); anything else is a Japanese console.
;   0xC000  bits 7-6 of 0xDD with TH high
;   0xC001  the same with TH low
;   0xC002  the verdict: 1 export, 2 Japanese
        include "hardware.inc"

start:
        ld a, 0xF5
        out (0x3F), a
        in a, (0xDD)
        and 0xC0
        ld (0xC000), a
        ld a, 0x55
        out (0x3F), a
        in a, (0xDD)
        and 0xC0
        ld (0xC001), a
        ld a, 0xFF
        out (0x3F), a
        ld a, (0xC000)
        cp 0xC0
        jr nz, rg_japan
        ld a, (0xC001)
        or a
        jr nz, rg_japan
        ld a, 1
        jr rg_store
rg_japan:
        ld a, 2
rg_store:
        ld (0xC002), a
        jp finish

        ds 0x2000 - $, 0xFF         ; an 8 KB cartridge
