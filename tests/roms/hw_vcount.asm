; V counter cartridge for the hardware models: reads port $7E over and over
; and keeps each new value, one a line, for 330 lines (more than a PAL
; frame) in each of the three mode-4 heights the mode bits ask for: R1 = $00
; (192 lines), M1 (224) and M3 (240), with M4 and M2 set in R0. The values go
; to $C100, $C300 and $C500; $D000 = $A5 when all three are in. The display
; stays off, which the counter does not mind. Interrupts stay disabled: a
; poll takes 27 cycles, well inside a line's 228.
        include "rom.inc"

done            equ 0xD000
VC_COUNT        equ 330

rom_start:
        call rom_init
        xor a
        ld (done), a
        ld c, 0x00
        ld hl, 0xC100
        call vc_height
        ld c, 0x10
        ld hl, 0xC300
        call vc_height
        ld c, 0x08
        ld hl, 0xC500
        call vc_height
        ld a, 0xA5
        ld (done), a
vc_idle:
        jr vc_idle

; R1 = C, then the counter's next VC_COUNT values (from the first change
; after the write) from HL on.
vc_height:
        ld b, 1
        call vdp_set_register
        ld de, VC_COUNT
        in a, (0x7E)
        ld b, a
vc_first:
        in a, (0x7E)
        cp b
        jr z, vc_first
vc_store:
        ld (hl), a
        inc hl
        ld b, a
        dec de
        ld a, d
        or e
        ret z
vc_poll:
        in a, (0x7E)
        cp b
        jr z, vc_poll
        jr vc_store

irq_handler:
        ei
        reti
nmi_handler:
        retn

        ds 0x8000 - $, 0xFF
