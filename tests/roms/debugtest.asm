; Debugger cartridge: instructions at fixed addresses for the breakpoint and
; stepping tests, and a first part that depends on nothing but itself (no
; waiting on the VDP, interrupts off) for the golden trace.
;
;   0x1000  the first part: 64 rounds of a mix of instruction groups, about
;           1,700 instructions, then on to 0x1100
;   0x1100  CALL dbg_double            (a step over stops at 0x1103)
;   0x1103  LD A,#5A
;   0x1105  LD (#C100),A               the memory write
;   0x1108  LD A,(#C101)               the memory read
;   0x110B  LD A,#9F
;   0x110D  OUT (#7F),A                the port write (PSG: channel 0 silent)
;   0x110F  IN A,(#DC)                 the port read (pad 1)
;   0x1111  XOR A
;   0x1112  CALL NZ,dbg_double         not taken (a step over stops at 0x1115)
;   0x1115  LD HL,#1000 / LD DE,#C200 / LD BC,#0010
;   0x111E  LDIR                       16 transfers (a step over stops at 0x1120)
;   0x1120  the VDP set up for a line interrupt every 64 lines and the frame
;           interrupt, then EI
;   0x1140  HALT / JR 0x1140           the idle loop
;   0x1143  the interrupt handler (from 0x0038): reads the status, counts
;           the interrupts in 0xC000 (the store at 0x114A)
        include "rom.inc"

DBG_WRITE       equ 0xC100
DBG_READ        equ 0xC101
DBG_COPY        equ 0xC200
DBG_COUNT       equ 0xC000
DBG_MIXED       equ 0xC010

rom_start:
        jp dbg_main

        ds 0x1000 - $, 0xFF
dbg_main:
        ld ix, DBG_MIXED
        ld iy, dbg_table
        exx
        ld bc, 0x1234
        ld de, 0x5678
        ld hl, 0x9ABC
        exx
        ld b, 64
dbg_warm:
        push bc
        ld a, b
        call dbg_mix
        ld (ix+0), a
        inc ix
        pop bc
        djnz dbg_warm
        jp dbg_points

; A in, A out, through the ALU, the shifts, the alternate registers and
; the index registers.
dbg_mix:
        ld c, a
        add a, (iy+1)
        rlca
        xor c
        ex af, af'
        ld a, c
        neg
        ex af, af'
        exx
        add hl, de
        ld a, h
        exx
        bit 3, a
        jr z, dbg_mix_even
        set 7, a
dbg_mix_even:
        srl a
        rl c
        sbc a, c
        daa
        cpl
        ret

dbg_table:
        db 0x11, 0x22, 0x33, 0x44

dbg_double:
        add a, a
        ret

        ds 0x1100 - $, 0xFF
dbg_points:
        call dbg_double
        ld a, 0x5A
        ld (DBG_WRITE), a
        ld a, (DBG_READ)
        ld a, 0x9F
        out (0x7F), a
        in a, (0xDC)
        xor a
        call nz, dbg_double
        ld hl, dbg_main
        ld de, DBG_COPY
        ld bc, 16
        ldir
        call vdp_sync
        ld b, 10
        ld c, 63
        call vdp_set_register
        ld b, 0
        ld c, 0x16                  ; line interrupt on
        call vdp_set_register
        ld a, 0x60                  ; display and frame interrupt on
        call set_mode
        ei
        jp dbg_idle

        ds 0x1140 - $, 0xFF
dbg_idle:
        halt
        jr dbg_idle

irq_handler:
        push af
        in a, (VDP_CONTROL)
        ld a, (DBG_COUNT)
        inc a
        ld (DBG_COUNT), a
        pop af
        ei
        reti
nmi_handler:
        retn

        ds 0x8000 - $, 0xFF
