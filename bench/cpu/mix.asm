; Instruction mix for the CPU benchmark: the kind of work a game's main loop
; does each frame. Pad read, object movement through IX records, a block
; copy, a checksum through calls, bytes sent to the VDP's data port, bit
; tests, a shift-and-add multiply, a block search and some stack traffic.
; It never enables interrupts and runs forever.

objects  equ 0C000h             ; 16 records of y, x, dy, dx
shadow   equ 0C040h             ; copy of the records
pad      equ 0C080h
checksum equ 0C082h
counter  equ 0C084h
product  equ 0C086h

        org 0
        di
        im 1
        ld sp, 0DFF0h
        ld hl, start_objects    ; objects start from a table in ROM
        ld de, objects
        ld bc, 64
        ldir

frame:
        in a, (0DCh)            ; controller port
        ld (pad), a

        ld ix, objects          ; move every object by its speed
        ld b, 16
move:
        ld a, (ix+0)
        add a, (ix+2)
        ld (ix+0), a
        ld a, (ix+1)
        add a, (ix+3)
        ld (ix+1), a
        cp 0F0h
        jr c, inside
        ld a, (ix+3)            ; bounce at the right edge
        neg
        ld (ix+3), a
inside:
        ld de, 4
        add ix, de
        djnz move

        ld hl, objects          ; shadow copy
        ld de, shadow
        ld bc, 64
        ldir

        ld hl, shadow           ; 16-bit checksum of half of it
        ld de, 0
        ld b, 32
sum:
        call add_byte
        djnz sum
        ld (checksum), de

        ld hl, shadow           ; 32 bytes to the VDP
        ld c, 0BEh
        ld b, 32
send:
        ld a, (hl)
        out (c), a
        inc hl
        dec b
        jr nz, send

        ld a, (pad)             ; count the set bits of the pad byte
        ld c, 8
bits:
        rrca
        jr nc, clear
        ld hl, counter
        inc (hl)
clear:
        dec c
        jr nz, bits

        ld a, (counter)         ; product = counter * 37
        ld e, a
        ld d, 0
        ld hl, 0
        ld a, 37
        ld b, 8
multiply:
        add hl, hl
        rla
        jr nc, no_add
        add hl, de
no_add:
        djnz multiply
        ld (product), hl

        ld hl, shadow           ; find the first zero byte
        ld bc, 64
        xor a
        cpir
        push hl
        push bc
        exx
        pop bc
        pop hl
        exx
        ex de, hl
        jp frame

add_byte:
        ld a, (hl)
        add a, e
        ld e, a
        jr nc, no_carry
        inc d
no_carry:
        inc hl
        ret

start_objects:
        db 10, 20, 1, 2,    30, 40, 2, 3,    50, 60, 3, 1,    70, 80, 1, 5
        db 90, 100, 2, 2,   110, 120, 1, 3,  130, 140, 4, 1,  150, 160, 1, 1
        db 15, 25, 3, 4,    35, 45, 1, 6,    55, 65, 2, 7,    75, 85, 5, 1
        db 95, 105, 1, 2,   115, 125, 2, 3,  135, 145, 3, 2,  155, 165, 1, 4
