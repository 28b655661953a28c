; Bank 3 of the demo cartridge: the music. A count-in bar of drums, then four
; bars in A minor (Am, F, C, G) that loop: a melody on tone 1, a bass line on
; tone 2, broken chords on tone 3, and kick, snare and hi-hat on the noise
; channel. A pattern is one bar of 16 steps; each step holds a note number
; per tone channel (0 = nothing new, REST = silence) and a drum (0 none,
; 1 kick, 2 snare, 3 hi-hat).
        include "demo.inc"

        org BANK_WINDOW
        dw period_table
        dw song_order
        dw song_loop

song_order:
        dw pattern_intro
song_loop:
        dw pattern_am, pattern_f, pattern_c, pattern_g
        dw pattern_am, pattern_f, pattern_c, pattern_g
        dw 0

; Tone periods, chromatic from A2 (index 1): PSG clock / (32 x frequency).
period_table:
        dw 0
        dw 1017   ; A2
        dw 960   ; A#2
        dw 906   ; B2
        dw 855   ; C3
        dw 807   ; C#3
        dw 762   ; D3
        dw 719   ; D#3
        dw 679   ; E3
        dw 641   ; F3
        dw 605   ; F#3
        dw 571   ; G3
        dw 539   ; G#3
        dw 508   ; A3
        dw 480   ; A#3
        dw 453   ; B3
        dw 428   ; C4
        dw 404   ; C#4
        dw 381   ; D4
        dw 360   ; D#4
        dw 339   ; E4
        dw 320   ; F4
        dw 302   ; F#4
        dw 285   ; G4
        dw 269   ; G#4
        dw 254   ; A4
        dw 240   ; A#4
        dw 226   ; B4
        dw 214   ; C5
        dw 202   ; C#5
        dw 190   ; D5
        dw 180   ; D#5
        dw 170   ; E5
        dw 160   ; F5
        dw 151   ; F#5
        dw 143   ; G5
        dw 135   ; G#5
        dw 127   ; A5
        dw 120   ; A#5
        dw 113   ; B5
        dw 107   ; C6

; Note numbers for the patterns: N_<name><octave>, S for sharp.
N_A2 equ 1
N_AS2 equ 2
N_B2 equ 3
N_C3 equ 4
N_CS3 equ 5
N_D3 equ 6
N_DS3 equ 7
N_E3 equ 8
N_F3 equ 9
N_FS3 equ 10
N_G3 equ 11
N_GS3 equ 12
N_A3 equ 13
N_AS3 equ 14
N_B3 equ 15
N_C4 equ 16
N_CS4 equ 17
N_D4 equ 18
N_DS4 equ 19
N_E4 equ 20
N_F4 equ 21
N_FS4 equ 22
N_G4 equ 23
N_GS4 equ 24
N_A4 equ 25
N_AS4 equ 26
N_B4 equ 27
N_C5 equ 28
N_CS5 equ 29
N_D5 equ 30
N_DS5 equ 31
N_E5 equ 32
N_F5 equ 33
N_FS5 equ 34
N_G5 equ 35
N_GS5 equ 36
N_A5 equ 37
N_AS5 equ 38
N_B5 equ 39
N_C6 equ 40

; The count-in: one bar of drums alone.
pattern_intro:
        db 0, 0, 0, 1
        db 0, 0, 0, 0
        db 0, 0, 0, 3
        db 0, 0, 0, 0
        db 0, 0, 0, 2
        db 0, 0, 0, 0
        db 0, 0, 0, 3
        db 0, 0, 0, 0
        db 0, 0, 0, 1
        db 0, 0, 0, 0
        db 0, 0, 0, 3
        db 0, 0, 0, 1
        db 0, 0, 0, 2
        db 0, 0, 0, 0
        db 0, 0, 0, 3
        db 0, 0, 0, 3

pattern_am:
        db N_E5, N_A3, N_A4, 1
        db 0, 0, 0, 0
        db 0, 0, N_C5, 3
        db N_D5, N_A3, 0, 0
        db N_C5, 0, N_E5, 2
        db 0, 0, 0, 0
        db N_A4, N_E3, N_A4, 3
        db 0, 0, 0, 0
        db N_C5, N_A3, N_C5, 1
        db 0, 0, 0, 0
        db N_D5, N_A2, N_E5, 3
        db 0, 0, 0, 1
        db N_E5, N_A3, N_A4, 2
        db 0, 0, 0, 0
        db 0, N_E3, N_C5, 3
        db 0, 0, 0, 3

pattern_f:
        db N_F5, N_F3, N_F4, 1
        db 0, 0, 0, 0
        db N_E5, 0, N_A4, 3
        db 0, N_F3, 0, 0
        db N_C5, 0, N_C5, 2
        db 0, 0, 0, 0
        db N_A4, N_C4, N_F4, 3
        db 0, 0, 0, 0
        db 0, N_F3, N_A4, 1
        db 0, 0, 0, 0
        db N_C5, N_F3, N_C5, 3
        db 0, 0, 0, 1
        db N_A4, N_F3, N_F4, 2
        db 0, 0, 0, 0
        db 0, N_C4, N_A4, 3
        db 0, 0, 0, 3

pattern_c:
        db N_G5, N_C3, N_C4, 1
        db 0, 0, 0, 0
        db 0, 0, N_E4, 3
        db N_E5, N_C3, 0, 0
        db 0, 0, N_G4, 2
        db 0, 0, 0, 0
        db N_C5, N_G3, N_C4, 3
        db 0, 0, 0, 0
        db N_D5, N_C3, N_E4, 1
        db 0, 0, 0, 0
        db N_E5, N_C4, N_G4, 3
        db 0, 0, 0, 1
        db N_G5, N_C3, N_C4, 2
        db 0, 0, 0, 0
        db 0, N_G3, N_E4, 3
        db 0, 0, 0, 3

pattern_g:
        db N_D5, N_G3, N_G4, 1
        db 0, 0, 0, 0
        db 0, 0, N_B4, 3
        db 0, N_G3, 0, 0
        db N_B4, 0, N_D5, 2
        db 0, 0, 0, 0
        db N_G4, N_D4, N_G4, 3
        db 0, 0, 0, 0
        db N_A4, N_G3, N_B4, 1
        db 0, 0, 0, 0
        db N_B4, N_G3, N_D5, 3
        db 0, 0, 0, 1
        db N_D5, N_G3, N_G4, 2
        db 0, 0, 0, 0
        db N_C5, N_D4, N_B4, 3
        db N_B4, 0, 0, 3

        ds BANK_WINDOW + 0x4000 - $, 0xFF
