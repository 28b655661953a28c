; Control-port cartridge: a lone first byte written to $BF, then one access
; that should end the pair (a status read, a data write, a data read), then
; a whole pair that sets up a VRAM write and a marker byte. On the real VDPs
; each of the three accesses clears the first-byte flag, so the pair lands
; and the marker reaches its address; the default model clears it on data
; reads only (its design). The bytes read back from $3C20, $3C30 and $3C40
; (name-table cells the start-up leaves zero) go to $C010-$C012; $D000 = $A5
; when done.
        include "rom.inc"

done            equ 0xD000
results         equ 0xC010

rom_start:
        call rom_init
        xor a
        ld (done), a
        ; each step starts in step: a data read ends any pair in every model
        ; the lone byte, then a status read
        in a, (VDP_DATA)
        ld a, 0x55
        out (VDP_CONTROL), a
        in a, (VDP_CONTROL)
        ld de, 0x3C20
        ld a, 0xC1
        call hc_pair_and_marker
        ; the lone byte, then a data write
        in a, (VDP_DATA)
        ld a, 0x66
        out (VDP_CONTROL), a
        ld a, 0x77
        out (VDP_DATA), a
        ld de, 0x3C30
        ld a, 0xC2
        call hc_pair_and_marker
        ; the lone byte, then a data read
        in a, (VDP_DATA)
        ld a, 0x66
        out (VDP_CONTROL), a
        in a, (VDP_DATA)
        ld de, 0x3C40
        ld a, 0xC3
        call hc_pair_and_marker
        ; read the three addresses back
        ld hl, results
        ld de, 0x3C20
        call hc_read
        ld de, 0x3C30
        call hc_read
        ld de, 0x3C40
        call hc_read
        ld a, 0xA5
        ld (done), a
hc_idle:
        jr hc_idle

; A VRAM write pair for DE, then byte A.
hc_pair_and_marker:
        ld b, a
        call vdp_write_at
        ld a, b
        out (VDP_DATA), a
        ret

; The byte at DE into (HL), HL + 1. Reads the data port first, which ends
; any pair in every model, so each read-back starts in step.
hc_read:
        in a, (VDP_DATA)
        ld a, e
        out (VDP_CONTROL), a
        ld a, d
        out (VDP_CONTROL), a
        in a, (VDP_DATA)
        ld (hl), a
        inc hl
        ret

irq_handler:
        ei
        reti
nmi_handler:
        retn

        ds 0x8000 - $, 0xFF
