; Tiravel open BIOS, American / Brazilian console (BIOS type 1): blue
; splash with a warm title and a rising major chime.
        include "bios.inc"

REGION_COL      equ 6
BALL_PRESSED_COLOUR equ 0x33        ; magenta

region_text:
        db "AMERICAN / BRAZILIAN", 0

; CRAM: background palette (0 screen, 1 text, 2-5 title shades, 6 bars),
; then the sprite palette (17 second text colour, 18 ball).
region_palette:
        db 0x10, 0x3F, 0x0F, 0x0B, 0x07, 0x03, 0x38, 0x00
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00
        db 0x10, 0x2F, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00

; Tone periods (110250 / period Hz) and lengths in frames: C5 E5 G5 C6.
chime:
        dw 214
        db 10
        dw 170
        db 10
        dw 143
        db 10
        dw 107
        db 18
        dw 0

        ds 0x2000 - $, 0xFF
