; Tiravel open BIOS, Japanese console (BIOS type 0): red splash with a pale
; title and a falling chime.
        include "bios.inc"

REGION_COL      equ 12
BALL_PRESSED_COLOUR equ 0x0C        ; green

region_text:
        db "JAPANESE", 0

; CRAM: background palette (0 screen, 1 text, 2-5 title shades, 6 bars),
; then the sprite palette (17 second text colour, 18 ball).
region_palette:
        db 0x01, 0x3F, 0x3F, 0x3B, 0x37, 0x33, 0x0F, 0x00
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00
        db 0x01, 0x0F, 0x3C, 0x00, 0x00, 0x00, 0x00, 0x00
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00

; Tone periods (110250 / period Hz) and lengths in frames: A5 E5 A5 E6.
chime:
        dw 125
        db 10
        dw 167
        db 10
        dw 125
        db 10
        dw 84
        db 18
        dw 0

        ds 0x2000 - $, 0xFF
