; H counter cartridge for the hardware models: latches the H counter twice
; through the TH lines, as a program (or a light gun) does, and keeps what
; port $7F reads. Right after the V counter moves on (so both latches fall
; in one line), it drives both TH lines low through port $3F (a falling edge
; latches the count), reads $7F into $C000, and 148 CPU cycles after the
; first latch drives them high again (a rising edge latches too) and reads
; $7F into $C001. 148 cycles are 222 dots, 111 steps of the counter, so the
; second value is 111 steps past the first along $00-$93, $E9-$FF.
; $D000 = $A5 when done. Interrupts stay disabled.
        include "rom.inc"

done            equ 0xD000
first           equ 0xC000
second          equ 0xC001
VDP_VCOUNTER    equ 0x7E
VDP_HCOUNTER    equ 0x7F
IO_CONTROL      equ 0x3F

rom_start:
        call rom_init
        xor a
        ld (done), a
        ld a, 0xF5                  ; both TH lines outputs, driven high
        out (IO_CONTROL), a
        in a, (VDP_VCOUNTER)
        ld b, a
hc_wait:
        in a, (VDP_VCOUNTER)
        cp b
        jr z, hc_wait
        ld a, 0x55                  ; 7 T
        out (IO_CONTROL), a         ; 11 T: TH falls, the first latch
        in a, (VDP_HCOUNTER)        ; 11 T
        ld (first), a               ; 13 T
        inc hl                      ; 6 T
        rept 25
        nop                         ; 25 x 4 T
        endm
        ld a, 0xF5                  ; 7 T: 148 T from the first latch's OUT
        out (IO_CONTROL), a         ; TH rises, the second latch
        in a, (VDP_HCOUNTER)
        ld (second), a
        ld a, 0xFF                  ; every line an input again
        out (IO_CONTROL), a
        ld a, 0xA5
        ld (done), a
hc_idle:
        jr hc_idle

irq_handler:
        ei
        reti

nmi_handler:
        retn

        ds 0x8000 - $, 0xFF
