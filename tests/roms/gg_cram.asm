; Game Gear CRAM cartridge: 32 colour words of %----BBBB GGGGRRRR written a
; byte at a time through the data port (code 3), then these writes through
; the latch:
;   - $0A = $34 (even: the latch), $0B = $0C: entry 5 = $0C34;
;   - $0D = $05, $0F = $0A (odd, no even write between): entries 6 and 7
;     take the latch again, $0534 and $0A34;
;   - $00 = $9B, $21 = $01: entry $10 = $019B only (the odd address picks
;     the word, not the even one before it);
;   - $7E = $5A, $7F = $0F, $80 = $C3, $81 = $0F: the address counts CRAM
;     modulo 64, so entries 31 and 0 become $0F5A and $0FC3.
; The screen shows every entry: tile columns 6-21 (the Game Gear's window
; starts at column 6) show background colours 0-15 and columns 22-25 colours
; 0-3 again, on rows 0-11 from the background palette and on rows 12-27
; from the sprite palette (entries 16-31). $D000 = $A5 once all is written.
        include "rom.inc"

done            equ 0xD000

rom_start:
        call rom_init
        xor a
        ld (done), a
        ld de, NAME_TABLE
        call vdp_write_at
        ld d, 0                     ; row
gc_row:
        ld e, 0                     ; column
gc_col:
        ld a, e
        sub 6
        and 15
        add a, SOLID_TILE
        out (VDP_DATA), a
        ld a, d
        cp 12
        ld a, 0
        jr c, gc_low
        ld a, 0x08                  ; the sprite palette
gc_low:
        out (VDP_DATA), a
        inc e
        ld a, e
        cp 32
        jr nz, gc_col
        inc d
        ld a, d
        cp 28
        jr nz, gc_row

        xor a                       ; CRAM from address 0
        out (VDP_CONTROL), a
        ld a, 0xC0
        out (VDP_CONTROL), a
        ld hl, gc_colours
        ld b, 64
        ld c, VDP_DATA
        otir

        ld hl, gc_writes
gc_write:
        ld e, (hl)
        inc hl
        ld d, (hl)
        inc hl
        ld a, d
        cp 0xFF
        jr z, gc_shown
        ld a, e
        out (VDP_CONTROL), a
        ld a, d
        out (VDP_CONTROL), a
        ld a, (hl)
        inc hl
        out (VDP_DATA), a
        jr gc_write

gc_shown:
        ld a, 0x40                  ; display on
        call set_mode
        ld a, 0xA5
        ld (done), a
gc_idle:
        jr gc_idle

; The 32 words, low byte first.
gc_colours:
        dw 0x013, 0xC6A, 0x1B1, 0x208, 0x25F, 0x8A6, 0x3FD, 0xE44
        dw 0x49B, 0x4E2, 0x539, 0xA80, 0x6D7, 0x02E, 0x775, 0x6CC
        dw 0x8F3, 0xCEA, 0x9D1, 0x2C8, 0xABF, 0x8A6, 0xB9D, 0xE84
        dw 0xC7B, 0x462, 0xD59, 0xA40, 0xE37, 0x02E, 0xF15, 0x60C

; CRAM address (with code 3 in bits 15-14), byte; $FF high byte ends.
gc_writes:
        dw 0xC00A
        db 0x34
        dw 0xC00B
        db 0x0C
        dw 0xC00D
        db 0x05
        dw 0xC00F
        db 0x0A
        dw 0xC000
        db 0x9B
        dw 0xC021
        db 0x01
        dw 0xC07E
        db 0x5A
        dw 0xC07F
        db 0x0F
        dw 0xC080
        db 0xC3
        dw 0xC081
        db 0x0F
        dw 0xFFFF

irq_handler:
        ei
        reti
nmi_handler:
        retn

        ds 0x8000 - $, 0xFF
