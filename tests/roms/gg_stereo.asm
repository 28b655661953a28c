; The Game Gear's stereo register, port 0x06 (bit 4 + n: channel n on the
; left, bit n: on the right). Tone 1 plays 1 kHz (period 112 at 3.58 MHz)
; and tone 2 plays 250 Hz (period 447), both loud; then 0x06 sends tone 1
; to the left alone and tone 2 to the right alone, and the noise nowhere.
; The headphone sides then each carry one note.
        org 0x0000
        di
        im 1
        ld sp, 0xDFF0
        jp start

        ds 0x0038 - $, 0xFF
        ei
        reti

        ds 0x0066 - $, 0xFF
        retn

start:
        ld hl, gt_writes
        ld b, gt_writes_end - gt_writes
        ld c, 0x7F
        otir
        ld a, 0x12                  ; left: tone 1; right: tone 2
        out (0x06), a
        ld a, 0x01                  ; a marker: the routing is in place
        ld (0xC000), a
gt_wait:
        jr gt_wait

gt_writes:
        defb 0x80 | (112 & 0x0F), 112 >> 4         ; tone 1 period 112
        defb 0xA0 | (447 & 0x0F), 447 >> 4         ; tone 2 period 447
        defb 0x90, 0xB0                            ; tones 1 and 2 at full volume
        defb 0xDF, 0xFF                            ; tone 3 and the noise silent
gt_writes_end:

        ds 0x1FF0 - $, 0xFF
        defb "TMR SEGA"
        defb 0xFF, 0xFF
        defb 0x00, 0x00
        defb 0x00, 0x00, 0x00
        defb 0x6A                   ; Game Gear export, 8 KB
