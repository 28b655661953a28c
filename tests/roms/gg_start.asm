; The Game Gear's Start button and region on port 0x00, read once a frame
; in the frame interrupt. Start raises no NMI on the handheld: the NMI
; vector counts any that comes. No BIOS runs before it (none is installed),
; so it starts at once at 0x0000.
;   0xC000  port 0x00 as last read
;   0xC001  frames whose read saw Start held (bit 7 clear), up to 255
;   0xC002  NMIs taken
;   0xC003  frames counted (wraps)
;   0xC004  port 0x00 as read before the first frame
        org 0x0000
        di
        im 1
        ld sp, 0xDFF0
        jp start

        ds 0x0038 - $, 0xFF
        jp frame

        ds 0x0066 - $, 0xFF
        push af
        ld a, (0xC002)
        inc a
        ld (0xC002), a
        pop af
        retn

start:
        ld hl, 0xC000
        ld b, 16
        xor a
gs_clear:
        ld (hl), a
        inc hl
        djnz gs_clear
        in a, (0x00)
        ld (0xC004), a
        ld a, 0xA0                  ; register 1: the frame interrupt on, the display off
        out (0xBF), a
        ld a, 0x81
        out (0xBF), a
        ei
gs_wait:
        halt
        jr gs_wait

frame:
        push af
        in a, (0xBF)                ; acknowledges the interrupt
        in a, (0x00)
        ld (0xC000), a
        bit 7, a
        jr nz, gs_released
        ld a, (0xC001)
        inc a
        jr z, gs_released           ; stays at 255
        ld (0xC001), a
gs_released:
        ld a, (0xC003)
        inc a
        ld (0xC003), a
        pop af
        ei
        ret

        ds 0x1FF0 - $, 0xFF
        ; The header where the BIOS looks in an 8 KB image: region code 7
        ; (Game Gear, international), size code 0xA (8 KB).
        defb "TMR SEGA"
        defb 0xFF, 0xFF             ; reserved
        defb 0x00, 0x00             ; checksum (not checked)
        defb 0x00, 0x00, 0x00       ; product code, version
        defb 0x7A
