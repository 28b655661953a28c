; Codemasters mapper cartridge, bank 0 of a 128 KB image (banks 1-7 come
; from mapper_bank.asm; bank 1 holds the Codemasters header at 0x7FE0). It
; pages every bank through each register and keeps what it reads:
;   0xC000+n  byte 0xBFF0 with bank n written to 0x8000 (slot 2)
;   0xC008+n  byte 0x7FF0 with bank n written to 0x4000 (slot 1)
;   0xC010+n  byte 0x03F0 with bank n written to 0x0000 (slot 0: the
;             first kilobyte is paged too)
;   0xC018+n  byte 0x3FF0 the same way
;   0xC030    0x5A written to and read from 0xA000 with the cartridge RAM
;             on (0x83 written to 0x4000: RAM on, slot 1 bank 3), slot 2
;             at bank 5
;   0xC031    byte 0x9FF0 then (the slot's lower half keeps bank 5's ROM)
;   0xC032    byte 0x7FF0 then (slot 1 at bank 3)
;   0xC033    byte 0xA000 after 0x01 is written to 0x4000 (RAM off again)
; Slot 0 is paged by a routine copied to RAM, since paging it moves the
; code that runs. Registers are write-only: nothing is read back.
        include "hardware.inc"

start:
        ld hl, 0xC000
        ld b, 0
cm_slot2:
        ld a, b
        ld (0x8000), a
        ld a, (0xBFF0)
        ld (hl), a
        inc hl
        inc b
        ld a, b
        cp 8
        jr nz, cm_slot2
        ld b, 0
cm_slot1:
        ld a, b
        ld (0x4000), a
        ld a, (0x7FF0)
        ld (hl), a
        inc hl
        inc b
        ld a, b
        cp 8
        jr nz, cm_slot1
        ld a, 1
        ld (0x4000), a

        ld hl, cm_ram_routine
        ld de, 0xC100
        ld bc, cm_ram_routine_end - cm_ram_routine
        ldir
        call 0xC100

        ld a, 5
        ld (0x8000), a
        ld a, 0x83
        ld (0x4000), a
        ld a, 0x5A
        ld (0xA000), a
        ld a, (0xA000)
        ld (0xC030), a
        ld a, (0x9FF0)
        ld (0xC031), a
        ld a, (0x7FF0)
        ld (0xC032), a
        ld a, 0x01
        ld (0x4000), a
        ld a, (0xA000)
        ld (0xC033), a
        jp finish

; Runs from RAM (relative jumps only): slot 0 at banks 0-7 in turn, then
; back at bank 0.
cm_ram_routine:
        ld hl, 0xC010
        ld de, 0xC018
        ld b, 0
cm_slot0:
        ld a, b
        ld (0x0000), a
        ld a, (0x03F0)
        ld (hl), a
        ld a, (0x3FF0)
        ld (de), a
        inc hl
        inc de
        inc b
        ld a, b
        cp 8
        jr nz, cm_slot0
        xor a
        ld (0x0000), a
        ret
cm_ram_routine_end:

        ds 0x3FF0 - $, 0xFF
        db 0x00, 0xFF
        ds 0x4000 - $, 0xFF
