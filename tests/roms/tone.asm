; Tone cartridge: tone channel 1 at period 0x0FE and full volume (about
; 110250 / 254 = 434 Hz), the other channels silent, for ever.
        include "rom.inc"

rom_start:
        call rom_init
        ld hl, tn_title
        call print_title
        ld hl, 0x0FE
        xor a
        call psg_tone
        ld c, 0
        xor a
        call psg_attenuation
        ld a, 0x40
        call set_mode
tn_idle:
        jr tn_idle

irq_handler:
        ei
        reti
nmi_handler:
        retn

tn_title:
        db "TONE PERIOD 0FE", 0

        ds 0x8000 - $, 0xFF
