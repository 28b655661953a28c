; Bank 2 of the demo cartridge: the scene's background tiles, the map they
; repeat in, and the players' sprite shapes.
        include "demo.inc"

        org BANK_WINDOW
        dw bg_tiles
        dw bg_map
        dw shapes
        dw bg_next

; Background tiles: a foreground and a background colour index (of the
; background palette), then 8 rows of 1 bit per pixel, bit 7 leftmost.
bg_tiles:
        ; 0: grass
        db 3, 2
        db 00000000b, 00100010b, 00000000b, 10001000b, 00000000b, 00100010b, 00000000b, 10001000b
        ; 1: bricks
        db 6, 7
        db 11111111b, 00010000b, 00010000b, 00010000b, 11111111b, 00000001b, 00000001b, 00000001b
        ; 2: water
        db 11, 5
        db 00000000b, 01100000b, 10010001b, 00001110b, 00000000b, 00000110b, 00001001b, 11110000b
        ; 3: diamond
        db 8, 4
        db 00011000b, 00111100b, 01111110b, 11111111b, 01111110b, 00111100b, 00011000b, 00000000b
        ; 4: chequer
        db 10, 9
        db 11110000b, 11110000b, 11110000b, 11110000b, 00001111b, 00001111b, 00001111b, 00001111b
        ; 5: star
        db 1, 4
        db 00000000b, 00010000b, 00010000b, 01111100b, 00010000b, 00010000b, 00000000b, 00000000b
        ; 6: stripes
        db 13, 4
        db 10000001b, 11000000b, 01100000b, 00110000b, 00011000b, 00001100b, 00000110b, 00000011b
        ; 7: ring
        db 8, 2
        db 00111100b, 01000010b, 10000001b, 10000001b, 10000001b, 10000001b, 01000010b, 00111100b

; Tile numbers (0-7 above) of a 4-row by 8-column block that repeats over the
; 32 x 28 plane: 32 columns hold it four times, 28 rows seven times. Every
; column runs down one of two cycles, grass, bricks, water, chequer or
; diamond, star, stripes, ring, so each tile always has the same tile below
; it (bg_next): the program scrolls the background by fractions of a tile
; vertically by redrawing each tile with its lower neighbour's top rows.
bg_map:
        db 0, 0, 0, 1, 6, 6, 6, 7
        db 1, 1, 1, 2, 7, 7, 7, 3
        db 2, 2, 2, 4, 3, 3, 3, 5
        db 4, 4, 4, 0, 5, 5, 5, 6

; The tile below each tile in bg_map.
bg_next:
        db 1, 2, 4, 5, 0, 6, 7, 3

; Sprite shapes, 8 x 16: ship, runner, diamond, heart.
shapes:
        db 00011000b, 00011000b, 00111100b, 00111100b, 01111110b, 01011010b, 11111111b, 11111111b
        db 11011011b, 11111111b, 01111110b, 00111100b, 00100100b, 01100110b, 11000011b, 10000001b

        db 00111000b, 00111000b, 00111000b, 00010000b, 01111100b, 10111010b, 10111010b, 10111010b
        db 00111000b, 00101000b, 00101000b, 00101000b, 00101000b, 00101000b, 01101100b, 01101100b

        db 00011000b, 00011000b, 00111100b, 00111100b, 01111110b, 01111110b, 11111111b, 11111111b
        db 11111111b, 11111111b, 01111110b, 01111110b, 00111100b, 00111100b, 00011000b, 00011000b

        db 00000000b, 01100110b, 11111111b, 11111111b, 11111111b, 11111111b, 11111111b, 01111110b
        db 01111110b, 00111100b, 00111100b, 00011000b, 00011000b, 00000000b, 00000000b, 00000000b

        ds BANK_WINDOW + 0x4000 - $, 0xFF
