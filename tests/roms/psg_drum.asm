; Sample playback of a recorded sound: a bar of drums (kick, snare, kick,
; hi-hat; 0.7 s) made by drum/make_drum.py and encoded there through the
; attenuation table, played once through tone channel 1 held high (period
; 1) at one byte every 447 CPU cycles (8,008 a second). The last byte's
; level then stays (a drop to silence would be a click of its own).
; drum/drum_source.raw is the waveform before encoding, for the tests.
        include "hardware.inc"

start:
        ld hl, pd_silence
        ld b, 4
        ld c, 0x7F
        otir
        ld a, 0x81              ; tone 1 period: low bits 1 ...
        out (0x7F), a
        xor a                   ; ... high bits 0
        out (0x7F), a
        ; The silent level of the encoding first (attenuation 3, the level
        ; nearest one half), and a pause of about half a second, so that the step up
        ; to it has died away in the output's DC blocker before the bar.
        ld a, 0x93
        out (0x7F), a
        ld de, 0
pd_settle:
        dec de
        ld a, d
        or e
        jr nz, pd_settle
        ld hl, drum_samples
        ld de, DRUM_LENGTH
; 7 + 11 + 6 + 6 + 7 + 7 + (13 x 30 - 5) + 4 + 4 + 10 = 447 cycles a sample.
pd_loop:
        ld a, (hl)
        out (0x7F), a
        inc hl
        dec de
        ld c, 0
        ld b, 30
pd_delay:
        djnz pd_delay
        ld a, d
        or e
        jp nz, pd_loop
        jp finish

pd_silence:
        db 0x9F, 0xBF, 0xDF, 0xFF

        include "psg_drum_data.inc"

        ds 0x8000 - $, 0xFF
