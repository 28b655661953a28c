; Tiravel demo cartridge, banks 0 and 1: the program.
;
; Title screen (the name in large letters, the number of starts kept in
; battery RAM, "PRESS BUTTON 1"), then a scene: a tiled background that
; scrolls both ways under a still status bar, one 8 x 16 sprite per player,
; music with drums. Pause (NMI) freezes the scene, the reset button returns
; to the title.
;
; The status bar. The VDP reads the horizontal scroll afresh for every line,
; but takes the vertical scroll once per frame, at line 0, for all lines. So
; the bar is held still two ways:
;   - horizontally by a line interrupt: register 10 = 15 raises it on line
;     15, whose handler sets the horizontal scroll for lines 16 on; the frame
;     interrupt sets it back to 0 for lines 0-15 of the next frame;
;   - vertically by keeping register 9 a multiple of 8 and moving the bar in
;     the name table: in the vertical blank that moves register 9 by a tile
;     row, the bar is copied onto the two rows that now reach the top of the
;     screen and the rows it leaves get their background back. The pixel
;     steps in between come from the background tiles themselves: each of
;     the 8 tiles is redrawn moved up by 0-7 lines, completed by the top
;     lines of the tile below it (the map gives every tile one fixed tile
;     below, see graphics.asm), so only the background moves.
;
; CHECKSUM is predefined on the command line: the sum of the image's bytes
; outside the header, computed by the build.

        include "demo.inc"
        include "../bios/video_defs.inc"

STACK_TOP       equ 0xDFF0

; Tiles: the character set from 0, the title's large letters, the
; background, the sprite shapes (8 x 16 sprites use even pairs).
BIG_TILE        equ 80
BG_TILE         equ 128
P1_TILE         equ 192
P2_TILE         equ 208

BAR_HIGH        equ 0x08            ; name-table high byte: sprite palette
PAUSE_COL       equ 25
SPEED           equ 2
MIN_X           equ 8
MAX_X           equ 240
MIN_Y           equ 16              ; below the status bar
MAX_Y           equ 176
VSTEP_FRAMES    equ 2               ; frames per line of vertical scroll
ROWS            equ 28

; Variables in system RAM.
vblank          equ 0xC000          ; set by the frame interrupt
paused          equ 0xC001          ; toggled by the NMI
pause_shown     equ 0xC002
hscroll         equ 0xC003          ; register 8 below the bar
vrow            equ 0xC004          ; top name-table row, 0-27
vrow_shown      equ 0xC005          ; the row register 9 and the bar show
vtimer          equ 0xC006
bar_dirty       equ 0xC007
p1x             equ 0xC008
p1y             equ 0xC009
p2x             equ 0xC00A
p2y             equ 0xC00B
p1shape         equ 0xC00C
p2shape         equ 0xC00D
p1colour        equ 0xC00E
p2colour        equ 0xC00F
pad_a           equ 0xC010          ; port 0xDC, 1 = pressed
pad_b           equ 0xC011          ; port 0xDD, 1 = pressed
new_a           equ 0xC012          ; pressed this frame
new_b           equ 0xC013
starts          equ 0xC014          ; 2 bytes
order_ptr       equ 0xC016          ; 2 bytes
pat_ptr         equ 0xC018          ; 2 bytes
step_left       equ 0xC01A
step_timer      equ 0xC01B
ch_age          equ 0xC01C          ; 3 bytes: frames since each tone's note
drum_att        equ 0xC01F
drum_decay      equ 0xC020
sfx_timer       equ 0xC021
sfx_period      equ 0xC022          ; 2 bytes
sfx_delta       equ 0xC024          ; 2 bytes
vfine           equ 0xC026          ; vertical scroll within the tile row, 0-7
vfine_shown     equ 0xC027          ; the one the background tiles show
bar_buf         equ 0xC040          ; 128 bytes: the bar's two name-table rows
tile_buf        equ 0xC100          ; 256 bytes: the 8 background tiles

; Battery RAM: "TRVD", then the number of starts (16 bits).
CART_MAGIC      equ BANK_WINDOW
CART_STARTS     equ BANK_WINDOW + 4

        org 0x0000
        di
        im 1
        ld sp, STACK_TOP
        jp boot

        ds 0x0038 - $, 0xFF
        jp irq_handler

        ds 0x0066 - $, 0xFF
        jp nmi_handler

; The paging registers as a reset leaves them (banks 0, 1, 2, cartridge RAM
; off), whatever the BIOS did before handing over.
boot:
        xor a
        ld (RAM_SELECT), a
        ld (0xFFFD), a
        inc a
        ld (0xFFFE), a
        inc a
        ld (SLOT2_SELECT), a
        call count_start
        ; fall through

; ---------------------------------------------------------------- title

title:
        di
        ld sp, STACK_TOP
        call video_init
        call big_letters
        ld c, 0
        NAME_AT 6, 7
        ld hl, txt_subtitle
        call print
        NAME_AT 10, 9
        ld hl, txt_press
        call print
        NAME_AT 14, 10
        ld hl, txt_starts
        call print
        ld hl, (starts)
        call print_dec16
        ld c, 0
        NAME_AT 18, 4
        ld hl, txt_help1
        call print
        NAME_AT 19, 4
        ld hl, txt_help2
        call print
        NAME_AT 21, 4
        ld hl, txt_help3
        call print
        ld b, 1
        ld c, 0x60                  ; display, frame interrupt
        call vdp_set_register
        in a, (VDP_CONTROL)
        ld a, 0xFF
        ld (pad_a), a
        ld (pad_b), a
        ei
title_loop:
        call wait_frame
        call read_pads
        ld a, (pad_b)
        bit 4, a
        jp nz, title
        ld a, (new_a)
        bit 4, a
        jp nz, scene
        jr title_loop

; Large letters of "TIRAVEL": each glyph of the character set doubled in
; both directions into four tiles, yellow above and orange below.
big_letters:
        ld de, BIG_TILE * 32
        call vdp_write_at
        ld hl, txt_name
bl_char:
        ld a, (hl)
        or a
        jr z, bl_names
        push hl
        sub ' '
        ld l, a
        ld h, 0
        add hl, hl
        add hl, hl
        add hl, hl
        ld de, font_ascii
        add hl, de
        ld c, 8
        ld b, 0
        call big_tile
        ld b, 1
        call big_tile
        ld de, 4
        add hl, de
        ld c, 15
        ld b, 0
        call big_tile
        ld b, 1
        call big_tile
        pop hl
        inc hl
        jr bl_char
bl_names:
        ld a, BIG_TILE
        NAME_AT 2, 9
        call bl_row
        ld a, BIG_TILE + 2
        NAME_AT 3, 9
bl_row:
        push af
        call vdp_write_at
        pop af
        ld b, 7
bl_cell:
        out (VDP_DATA), a
        push af
        xor a
        out (VDP_DATA), a
        pop af
        inc a
        out (VDP_DATA), a
        push af
        xor a
        out (VDP_DATA), a
        pop af
        add a, 3
        djnz bl_cell
        ret

; One tile from 4 glyph rows at HL: B = 0 the left half (high nibble),
; 1 the right half; colour index C. Keeps BC and HL.
big_tile:
        push hl
        ld e, 4
bt_row:
        ld a, (hl)
        bit 0, b
        jr nz, bt_low
        rrca
        rrca
        rrca
        rrca
bt_low:
        and 0x0F
        push hl
        ld hl, double_bits
        add a, l
        ld l, a
        jr nc, bt_table
        inc h
bt_table:
        ld d, (hl)
        pop hl
        ld a, d
        call vdp_plane_row
        ld a, d
        call vdp_plane_row
        inc hl
        dec e
        jr nz, bt_row
        pop hl
        ret

; Each of 4 bits doubled: bit 3 -> bits 7-6 and so on.
double_bits:
        db 0x00, 0x03, 0x0C, 0x0F, 0x30, 0x33, 0x3C, 0x3F
        db 0xC0, 0xC3, 0xCC, 0xCF, 0xF0, 0xF3, 0xFC, 0xFF

; Prints HL as 5 decimal digits at the name-table position set up last.
print_dec16:
        ld bc, -10000
        call pd_digit
        ld bc, -1000
        call pd_digit
        ld bc, -100
        call pd_digit
        ld bc, -10
        call pd_digit
        ld bc, -1
pd_digit:
        ld a, '0' - 1
pd_count:
        inc a
        add hl, bc
        jr c, pd_count
        sbc hl, bc
        call char_tile
        out (VDP_DATA), a
        xor a
        out (VDP_DATA), a
        ret

; Adds one to the number of starts in battery RAM (starting it at 0 when
; the RAM does not hold the demo's mark yet) and keeps a copy in `starts`.
count_start:
        ld a, 0x08
        ld (RAM_SELECT), a
        ld hl, CART_MAGIC
        ld de, cart_mark
        ld b, 4
cs_compare:
        ld a, (de)
        cp (hl)
        jr nz, cs_fresh
        inc hl
        inc de
        djnz cs_compare
        jr cs_bump
cs_fresh:
        ld hl, cart_mark
        ld de, CART_MAGIC
        ld bc, 4
        ldir
        ld hl, 0
        ld (CART_STARTS), hl
cs_bump:
        ld hl, (CART_STARTS)
        inc hl
        ld (CART_STARTS), hl
        ld (starts), hl
        xor a
        ld (RAM_SELECT), a
        ret

; ---------------------------------------------------------------- scene

scene:
        di
        ld sp, STACK_TOP
        call video_init
        ld a, GFX_BANK
        ld (SLOT2_SELECT), a
        call load_bg_tiles
        xor a
        ld (vfine), a
        ld (vfine_shown), a
        call upload_bg_tiles
        ld de, P1_TILE * 32
        ld c, 2
        call load_shapes
        ld de, P2_TILE * 32
        ld c, 3
        call load_shapes
        ld hl, scene_vars
        ld de, paused
        ld bc, scene_vars_end - scene_vars
        ldir
        xor a
draw_rows:
        call restore_row
        inc a
        cp ROWS
        jr nz, draw_rows
        call build_bar
        call write_bar
        call write_sprites
        ld hl, scene_registers
        call vdp_write_registers
        in a, (VDP_CONTROL)
        call music_init
        ld a, 0xFF
        ld (pad_a), a
        ld (pad_b), a
        ei
scene_loop:
        call wait_frame
        di
        call vdp_update
        ei
        call read_pads
        ld a, (pad_b)
        bit 4, a
        jp nz, title
        ld a, (paused)
        or a
        jr nz, scene_loop
        call move_players
        call buttons
        call scroll_step
        call music_tick
        call sfx_tick
        jr scene_loop

; Initial values of paused .. p2colour.
scene_vars:
        db 0, 0, 0, 0, 0, VSTEP_FRAMES, 0
        db 64, 96, 184, 96, 0, 1, 0, 1
scene_vars_end:

; Scene registers: left column blank, line interrupt; display, frame
; interrupt, 8 x 16 sprites; name table 0x3800, sprites 0x3F00, sprite
; patterns from tile 0; backdrop = sprite colour 15 (black); line
; interrupt every 16 lines, the first on line 15.
scene_registers:
        db 0x36, 0x62, 0xFF, 0xFF, 0xFF, 0xFF, 0xFB, 0x0F, 0x00, 0x00, 15

; The 8 background tiles from the graphics bank (paged in), decoded into
; tile_buf: each row's 1 bits in the foreground colour, 0 bits in the
; background colour.
load_bg_tiles:
        ld ix, tile_buf
        ld hl, (GFX_BG_TILES)
        ld b, 8
lbt_tile:
        push bc
        ld d, (hl)                  ; foreground index
        inc hl
        ld e, (hl)                  ; background index
        inc hl
        ld b, 8
lbt_row:
        push bc
        ld c, (hl)
        inc hl
        ld b, 4
        push de
lbt_plane:
        xor a
        rr d
        jr nc, lbt_no_fg
        or c
lbt_no_fg:
        rr e
        jr nc, lbt_no_bg
        push af
        ld a, c
        cpl
        ld c, a
        pop af
        or c
        push af
        ld a, c
        cpl
        ld c, a
        pop af
lbt_no_bg:
        ld (ix + 0), a
        inc ix
        djnz lbt_plane
        pop de
        pop bc
        djnz lbt_row
        pop bc
        djnz lbt_tile
        ret

; Tiles BG_TILE to BG_TILE + 7: the background tiles of tile_buf moved up
; by vfine_shown lines, their last lines taken from the top of the tile that
; lies below them in the map.
upload_bg_tiles:
        ld de, BG_TILE * 32
        call vdp_write_at
        ld a, GFX_BANK
        ld (SLOT2_SELECT), a
        ld a, (vfine_shown)
        add a, a
        add a, a
        ld d, a                     ; bytes taken from the tile below
        ld e, 0                     ; tile
        ld c, VDP_DATA
ubt_tile:
        ld a, e
        call ubt_address
        ld a, l
        add a, d
        ld l, a
        ld a, 32
        sub d
        ld b, a
        otir
        ld a, d
        or a
        jr z, ubt_next
        ld hl, (GFX_BG_NEXT)
        ld a, e
        add a, l
        ld l, a
        jr nc, ubt_below
        inc h
ubt_below:
        ld a, (hl)
        call ubt_address
        ld b, d
        otir
ubt_next:
        inc e
        ld a, e
        cp 8
        jr nz, ubt_tile
        ret
; HL = tile_buf + A x 32 (tile_buf is 256-byte aligned).
ubt_address:
        rrca
        rrca
        rrca
        ld l, a
        ld h, tile_buf / 256
        ret

; The 4 sprite shapes (16 tiles' worth of glyph rows) at VRAM DE in colour
; index C; the graphics bank must be paged in.
load_shapes:
        call vdp_write_at
        ld hl, (GFX_SHAPES)
        ld b, 8
        jp vdp_load_glyphs

; Writes name-table row A (0-27) with the background. Keeps A.
restore_row:
        push af
        ld l, a
        ld h, 0
        add hl, hl
        add hl, hl
        add hl, hl
        add hl, hl
        add hl, hl
        add hl, hl
        ld de, NAME_TABLE
        add hl, de
        ex de, hl
        call vdp_write_at
        pop af
        push af
        and 3
        add a, a
        add a, a
        add a, a
        ld e, a
        ld d, 0
        ld a, GFX_BANK
        ld (SLOT2_SELECT), a
        ld hl, (GFX_BG_MAP)
        add hl, de
        ld b, 4
rr_repeat:
        push bc
        push hl
        ld b, 8
rr_cell:
        ld a, (hl)
        add a, BG_TILE
        out (VDP_DATA), a
        xor a
        out (VDP_DATA), a
        inc hl
        djnz rr_cell
        pop hl
        pop bc
        djnz rr_repeat
        pop af
        ret

; The bar's two rows in RAM: blank cells on the sprite palette's dark blue,
; the title and the buttons' help.
build_bar:
        ld hl, bar_buf
        ld b, 64
bb_blank:
        ld (hl), FONT_TILE
        inc hl
        ld (hl), BAR_HIGH
        inc hl
        djnz bb_blank
        ld hl, txt_bar1
        ld de, bar_buf + 1 * 2
        call bar_text
        ld hl, txt_bar2
        ld de, bar_buf + 64 + 1 * 2
        ; fall through

; Text HL into bar cells from DE.
bar_text:
        ld a, (hl)
        inc hl
        or a
        ret z
        call char_tile
        ld (de), a
        inc de
        ld a, BAR_HIGH
        ld (de), a
        inc de
        jr bar_text

; Copies the bar onto the name-table rows vrow_shown and the one below.
write_bar:
        xor a
        ld (bar_dirty), a
        ld hl, bar_buf
        ld a, (vrow_shown)
        call bar_row
        inc a
        cp ROWS
        jr c, bar_row
        xor a
bar_row:
        push af
        push hl
        ld l, a
        ld h, 0
        add hl, hl
        add hl, hl
        add hl, hl
        add hl, hl
        add hl, hl
        add hl, hl
        ld de, NAME_TABLE
        add hl, de
        ex de, hl
        call vdp_write_at
        pop hl
        ld b, 64
        ld c, VDP_DATA
        otir
        pop af
        ret

; Sprite 0 is player 1, sprite 1 player 2; their colours are sprite palette
; entries 2 and 3.
write_sprites:
        ld de, SPRITE_TABLE
        call vdp_write_at
        ld a, (p1y)
        dec a
        out (VDP_DATA), a
        ld a, (p2y)
        dec a
        out (VDP_DATA), a
        ld a, 0xD0
        out (VDP_DATA), a
        ld de, SPRITE_TABLE + 128
        call vdp_write_at
        ld a, (p1x)
        out (VDP_DATA), a
        ld a, (p1shape)
        add a, a
        add a, P1_TILE
        out (VDP_DATA), a
        ld a, (p2x)
        out (VDP_DATA), a
        ld a, (p2shape)
        add a, a
        add a, P2_TILE
        out (VDP_DATA), a
        ld a, 16 + 2
        call vdp_cram_at
        ld a, (p1colour)
        call ws_colour
        ld a, (p2colour)
ws_colour:
        ld hl, sprite_colours
        add a, l
        ld l, a
        jr nc, ws_out
        inc h
ws_out:
        ld a, (hl)
        out (VDP_DATA), a
        ret

; pink, magenta (the two players' first colours, found nowhere in the
; background), yellow, white, cyan, green, orange, red
sprite_colours:
        db 0x37, 0x33, 0x0F, 0x3F, 0x3C, 0x0C, 0x0B, 0x03

; Vertical blank work, with interrupts off so that the line interrupt's
; register write cannot split an address pair: vertical scroll and the bar's
; rows, the pause sign, the sprites.
vdp_update:
        ld a, (vfine)
        ld hl, vfine_shown
        cp (hl)
        jr z, vu_row
        ld (hl), a
        call upload_bg_tiles
vu_row:
        ld a, (vrow)
        ld hl, vrow_shown
        cp (hl)
        jr z, vu_pause
        ld a, (hl)
        call restore_row
        inc a
        cp ROWS
        jr c, vu_second
        xor a
vu_second:
        call restore_row
        ld a, (vrow)
        ld (vrow_shown), a
        add a, a
        add a, a
        add a, a
        ld c, a
        ld b, 9
        call vdp_set_register
        ld a, 1
        ld (bar_dirty), a
vu_pause:
        ld a, (paused)
        ld hl, pause_shown
        cp (hl)
        jr z, vu_bar
        ld (hl), a
        or a
        ld hl, txt_pause
        jr nz, vu_sign
        ld hl, txt_nopause
        jr vu_sign_put
vu_sign:
        call psg_silence
vu_sign_put:
        ld de, bar_buf + PAUSE_COL * 2
        call bar_text
        ld a, 1
        ld (bar_dirty), a
vu_bar:
        ld a, (bar_dirty)
        or a
        call nz, write_bar
        jp write_sprites

; Reads both pad ports: pad_a/pad_b with 1 = pressed, new_a/new_b the
; buttons pressed since the last read.
read_pads:
        ld hl, pad_a
        in a, (0xDC)
        cpl
        ld b, a
        ld a, (hl)
        cpl
        and b
        ld (new_a), a
        ld (hl), b
        inc hl
        in a, (0xDD)
        cpl
        ld b, a
        ld a, (hl)
        cpl
        and b
        ld (new_b), a
        ld (hl), b
        ret

; Player 1: port 0xDC bits 0-3 (up, down, left, right); player 2: 0xDC
; bits 6-7 (up, down) and 0xDD bits 0-1 (left, right).
move_players:
        ld a, (pad_a)
        and 0x0F
        ld hl, p1x
        call move_one
        ld a, (pad_a)
        rlca
        rlca
        and 3
        ld b, a
        ld a, (pad_b)
        and 3
        add a, a
        add a, a
        or b
        ld hl, p2x
        ; fall through

; A: bit 0 up, 1 down, 2 left, 3 right; HL -> x, then y.
move_one:
        ld c, a
        ld a, (hl)
        bit 2, c
        jr z, mo_right
        sub SPEED
        cp MIN_X
        jr nc, mo_right
        ld a, MIN_X
mo_right:
        bit 3, c
        jr z, mo_x
        add a, SPEED
        cp MAX_X + 1
        jr c, mo_x
        ld a, MAX_X
mo_x:
        ld (hl), a
        inc hl
        ld a, (hl)
        bit 0, c
        jr z, mo_down
        sub SPEED
        cp MIN_Y
        jr nc, mo_down
        ld a, MIN_Y
mo_down:
        bit 1, c
        jr z, mo_y
        add a, SPEED
        cp MAX_Y + 1
        jr c, mo_y
        ld a, MAX_Y
mo_y:
        ld (hl), a
        ret

; Button 1 changes a player's shape, button 2 its colour, each with its own
; sound on tone channel 3.
buttons:
        ld a, (new_a)
        bit 4, a
        jr z, bu_p1b2
        ld hl, p1shape
        call next_of_4
        ld hl, 220
        ld de, -8
        call start_sfx
bu_p1b2:
        ld a, (new_a)
        bit 5, a
        jr z, bu_p2b1
        ld hl, p1colour
        call next_of_8
        ld hl, 400
        ld de, 24
        call start_sfx
bu_p2b1:
        ld a, (new_b)
        bit 2, a
        jr z, bu_p2b2
        ld hl, p2shape
        call next_of_4
        ld hl, 320
        ld de, -12
        call start_sfx
bu_p2b2:
        ld a, (new_b)
        bit 3, a
        ret z
        ld hl, p2colour
        call next_of_8
        ld hl, 160
        ld de, 6
        ; fall through

; Sound effect: tone 3 from period HL, changing by DE each frame, 12 frames.
start_sfx:
        ld (sfx_period), hl
        ld (sfx_delta), de
        ld a, 12
        ld (sfx_timer), a
        ret

next_of_4:
        ld a, (hl)
        inc a
        and 3
        ld (hl), a
        ret
next_of_8:
        ld a, (hl)
        inc a
        and 7
        ld (hl), a
        ret

sfx_tick:
        ld a, (sfx_timer)
        or a
        ret z
        dec a
        ld (sfx_timer), a
        jr nz, st_sound
        ld a, 2
        ld c, 15
        jp psg_attenuation
st_sound:
        ld hl, (sfx_period)
        ld de, (sfx_delta)
        add hl, de
        ld (sfx_period), hl
        ld a, 2
        call psg_tone
        ld c, 1
        jp psg_attenuation

; One pixel a frame to the right, one line every VSTEP_FRAMES upwards.
scroll_step:
        ld hl, hscroll
        inc (hl)
        ld hl, vtimer
        dec (hl)
        ret nz
        ld (hl), VSTEP_FRAMES
        ld a, (vfine)
        inc a
        and 7
        ld (vfine), a
        ret nz
        ld a, (vrow)
        inc a
        cp ROWS
        jr c, ss_row
        xor a
ss_row:
        ld (vrow), a
        ret

; ---------------------------------------------------------------- music

music_init:
        ld a, MUSIC_BANK
        ld (SLOT2_SELECT), a
        ld hl, (MUSIC_ORDER)
        ld (order_ptr), hl
        xor a
        ld (step_left), a
        ld (drum_decay), a
        ld (sfx_timer), a
        inc a
        ld (step_timer), a
        ld a, 63
        ld (ch_age), a
        ld (ch_age + 1), a
        ld (ch_age + 2), a
        ld a, 15
        ld (drum_att), a
        ret

; One frame of music: every STEP_FRAMES frames the next step's notes and
; drum, every frame the volume envelopes (each tone fades one step every 4
; frames; each drum has its own start level and fall).
music_tick:
        ld a, MUSIC_BANK
        ld (SLOT2_SELECT), a
        ld hl, step_timer
        dec (hl)
        jr nz, mt_envelope
        ld (hl), STEP_FRAMES
        ld a, (step_left)
        or a
        jr nz, mt_step
        ld hl, (order_ptr)
mt_order:
        ld e, (hl)
        inc hl
        ld d, (hl)
        inc hl
        ld a, d
        or e
        jr nz, mt_pattern
        ld hl, (MUSIC_LOOP)
        jr mt_order
mt_pattern:
        ld (order_ptr), hl
        ld (pat_ptr), de
        ld a, PATTERN_STEPS
        ld (step_left), a
mt_step:
        ld hl, (pat_ptr)
        ld c, 0
mt_note:
        ld a, (hl)
        inc hl
        or a
        jr z, mt_next
        push hl
        ld hl, ch_age
        ld b, 0
        add hl, bc
        cp REST
        jr nz, mt_play
        ld (hl), 63
        pop hl
        jr mt_next
mt_play:
        ld (hl), 0
        ld l, a
        ld h, 0
        add hl, hl
        ld de, (MUSIC_PERIODS)
        add hl, de
        ld e, (hl)
        inc hl
        ld d, (hl)
        ex de, hl
        ld a, c
        cp 2
        jr nz, mt_tone
        ld a, (sfx_timer)
        or a
        jr nz, mt_tone_done
        ld a, c
mt_tone:
        call psg_tone
mt_tone_done:
        pop hl
mt_next:
        inc c
        ld a, c
        cp 3
        jr nz, mt_note
        ld a, (hl)
        inc hl
        ld (pat_ptr), hl
        or a
        call nz, drum_hit
        ld hl, step_left
        dec (hl)
mt_envelope:
        ld c, 0
        ld hl, ch_age
        ld de, ch_base
me_channel:
        ld a, (hl)
        cp 63
        jr nc, me_level
        inc (hl)
me_level:
        srl a
        srl a
        ex de, hl
        add a, (hl)
        ex de, hl
        cp 16
        jr c, me_clamped
        ld a, 15
me_clamped:
        ld b, a
        ld a, c
        cp 2
        jr nz, me_write
        ld a, (sfx_timer)
        or a
        jr nz, me_skip
me_write:
        push bc
        ld a, c
        ld c, b
        call psg_attenuation
        pop bc
me_skip:
        inc hl
        inc de
        inc c
        ld a, c
        cp 3
        jr nz, me_channel
        ld a, (drum_att)
        ld c, a
        ld a, 3
        call psg_attenuation
        ld a, (drum_decay)
        ld b, a
        ld a, (drum_att)
        add a, b
        cp 15
        jr c, me_drum
        ld a, 15
me_drum:
        ld (drum_att), a
        ret

; Loudest attenuation of the melody, the bass and the chords.
ch_base:
        db 2, 4, 6

; Drum A (1 kick, 2 snare, 3 hi-hat): white noise at a rate, a start
; attenuation and its rise per frame.
drum_hit:
        dec a
        ld l, a
        add a, a
        add a, l
        ld e, a
        ld d, 0
        ld hl, drum_table
        add hl, de
        ld a, (hl)
        out (PSG_PORT), a
        inc hl
        ld a, (hl)
        ld (drum_att), a
        inc hl
        ld a, (hl)
        ld (drum_decay), a
        ret

drum_table:
        db 0xE6, 0, 2
        db 0xE5, 1, 2
        db 0xE4, 3, 4

; ---------------------------------------------------------------- common

; PSG silent; VDP registers with the display off; VRAM cleared; palettes;
; character set; an empty sprite list.
video_init:
        call psg_silence
        call vdp_sync
        ld hl, off_registers
        call vdp_write_registers
        in a, (VDP_CONTROL)
        call vdp_clear_vram
        ld hl, palette
        ld b, 32
        xor a
        call vdp_load_colours
        ld c, 1
        call vdp_load_font
        ld de, SPRITE_TABLE
        call vdp_write_at
        ld a, 0xD0
        out (VDP_DATA), a
        ret

off_registers:
        db 0x06, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFB, 0x0F, 0x00, 0x00, 0xFF

; Background: black, white, dark green, green, dark blue, blue, brown,
; orange, yellow, grey, light grey, cyan, red, purple, dark red, amber.
; Sprites: dark blue (the bar's ground; transparent for sprites), white
; (the bar's text), player 1, player 2, ..., black (the backdrop).
palette:
        db 0x00, 0x3F, 0x04, 0x08, 0x10, 0x30, 0x06, 0x0B
        db 0x0F, 0x15, 0x2A, 0x3C, 0x03, 0x22, 0x02, 0x07
        db 0x10, 0x3F, 0x0F, 0x33, 0x00, 0x00, 0x00, 0x00
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00

; Waits for the next frame interrupt.
wait_frame:
        xor a
        ld (vblank), a
wf_halt:
        halt
        ld a, (vblank)
        or a
        jr z, wf_halt
        ret

; Frame interrupt (status bit 7): no horizontal scroll for the bar at the
; top of the next frame. Line interrupt (line 15, and every 16 lines after
; it): the scene's horizontal scroll from the next line on.
irq_handler:
        push af
        in a, (VDP_CONTROL)
        rlca
        jr c, irq_frame
        ld a, (hscroll)
        out (VDP_CONTROL), a
        ld a, 0x88
        out (VDP_CONTROL), a
        pop af
        ei
        reti
irq_frame:
        xor a
        out (VDP_CONTROL), a
        ld a, 0x88
        out (VDP_CONTROL), a
        ld a, 1
        ld (vblank), a
        pop af
        ei
        reti

; The pause button: each press toggles the pause, which the scene's loop
; shows and obeys.
nmi_handler:
        push af
        ld a, (paused)
        xor 1
        ld (paused), a
        pop af
        retn

txt_name:
        db "TIRAVEL", 0
txt_subtitle:
        db "MASTER SYSTEM DEMO", 0
txt_press:
        db "PRESS BUTTON 1", 0
txt_starts:
        db "STARTS ", 0
txt_help1:
        db "PADS 1 AND 2 MOVE", 0
txt_help2:
        db "BUTTON 1 SHAPE  2 COLOUR", 0
txt_help3:
        db "PAUSE STOPS  RESET RETURNS", 0
txt_bar1:
        db "TIRAVEL DEMO", 0
txt_bar2:
        db "1 SHAPE  2 COLOUR", 0
txt_pause:
        db "PAUSE", 0
txt_nopause:
        db "     ", 0
cart_mark:
        db "TRVD"

        include "../bios/video.inc"
        include "../bios/font.inc"

; ---------------------------------------------------------------- header

        ds 0x7FF0 - $, 0xFF
        db "TMR SEGA"
        db 0x00, 0x00
        dw CHECKSUM
        db 0x00, 0x00               ; product code
        db 0x00                     ; product code high digit, version 0
        db 0x4F                     ; export console, 128 KB checksummed
