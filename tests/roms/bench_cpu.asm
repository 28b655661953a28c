; CPU-bound benchmark cartridge: frame interrupts on, never halts. The main
; loop mixes block copies in RAM (LDIR), 8-bit arithmetic, 16-bit adds and
; shifts, indexed loads and stores, and calls; each pass adds 1 to a 16-bit
; counter that the frame interrupt shows in the cells of row 20.
        include "rom.inc"

passes          equ 0xC000
frames          equ 0xC002
buffer_a        equ 0xC100          ; 512 bytes
buffer_b        equ 0xC300          ; 512 bytes

rom_start:
        call rom_init
        ld hl, bc_title
        call print_title
        ld hl, 0
        ld (passes), hl
        ld (frames), hl
        ld hl, buffer_a
        ld b, 0
bc_fill:
        ld (hl), b
        inc hl
        ld (hl), b
        inc hl
        djnz bc_fill
        ld a, 0x60
        call set_mode
        ei
bc_loop:
        ; block copies both ways
        ld hl, buffer_a
        ld de, buffer_b
        ld bc, 512
        ldir
        ld hl, buffer_b + 1
        ld de, buffer_a
        ld bc, 511
        ldir
        ; 8-bit checksum with rotates and logic
        ld hl, buffer_a
        ld b, 0
        xor a
        ld c, a
bc_sum:
        add a, (hl)
        rlca
        xor c
        ld c, a
        inc hl
        djnz bc_sum
        ; 16-bit multiply-accumulate by shifts and adds
        ld de, 0x1234
        ld hl, 0
        ld b, 16
bc_mul:
        add hl, hl
        rl c
        jr nc, bc_mul_skip
        add hl, de
bc_mul_skip:
        djnz bc_mul
        ; indexed accesses
        ld ix, buffer_b
        ld b, 64
bc_index:
        ld a, (ix + 0)
        add a, (ix + 1)
        ld (ix + 2), a
        inc ix
        djnz bc_index
        call bc_leaf
        ld hl, (passes)
        inc hl
        ld (passes), hl
        jr bc_loop

bc_leaf:
        push hl
        push de
        ex de, hl
        sbc hl, de
        pop de
        pop hl
        ret

irq_handler:
        push af
        push bc
        push de
        push hl
        in a, (VDP_CONTROL)
        ld hl, (frames)
        inc hl
        ld (frames), hl
        ld hl, (passes)
        call show_value_a
        pop hl
        pop de
        pop bc
        pop af
        ei
        reti
nmi_handler:
        retn

bc_title:
        db "CPU BENCHMARK", 0

        ds 0x8000 - $, 0xFF
