; Sample playback: a 1 kHz sine played through the attenuation of tone
; channel 1, held high with period 1, the way homebrew plays samples. A
; timed loop writes one of 16 steps every 224 CPU cycles (15,980 writes a
; second, 3,579,545 / (16 x 224) = 998.8 Hz), for ever, interrupts off.
; The steps are sin(2 pi k / 16) through the attenuation table: the
; attenuation whose level 10^(-v/10) lies nearest (s + 1) / 2.
        include "hardware.inc"

start:
        ld hl, ps_silence
        ld b, 4
        ld c, 0x7F
        otir
        ld a, 0x81              ; tone 1 period: low bits 1 ...
        out (0x7F), a
        xor a                   ; ... high bits 0
        out (0x7F), a
        ld hl, ps_sine
; 7 + 11 + 4 + 4 + 4 + 7 + (13 x 14 - 5) + 10 = 224 cycles a write.
ps_loop:
        ld a, (hl)
        out (0x7F), a
        inc l                   ; the table is 256 bytes, aligned: it wraps
        nop
        nop
        ld b, 14
ps_delay:
        djnz ps_delay
        jp ps_loop

ps_silence:
        db 0x9F, 0xBF, 0xDF, 0xFF

        ds 0x0100 - ($ & 0xFF), 0xFF
ps_sine:
        rept 16
        db 0x93, 0x92, 0x91, 0x90, 0x90, 0x90, 0x91, 0x92, 0x93, 0x95, 0x98, 0x9E, 0x9F, 0x9E, 0x98, 0x95
        endm

        ds 0x8000 - $, 0xFF
