// The VDP's sizes and the frame image's layout, apart from the chip itself:
// read-outs and front ends that size their buffers need them, not the chip.
#pragma once

#include <cstddef>

constexpr std::size_t VDP_REGISTER_COUNT = 11;
constexpr std::size_t VDP_VRAM_SIZE = 16384;
constexpr std::size_t VDP_CRAM_SIZE = 32;
constexpr std::size_t VDP_SCREEN_WIDTH = 256;
constexpr std::size_t VDP_SCREEN_HEIGHT = 192;
constexpr std::size_t VDP_LINES_PER_FRAME = 262;

// Layout of the frame image (a Windows bitmap file with a 40-byte header).
constexpr std::size_t VDP_FRAME_IMAGE_SIZE = 50230;
constexpr std::size_t VDP_FRAME_PALETTE_OFFSET = 54;
constexpr std::size_t VDP_FRAME_PIXEL_OFFSET = 1078;

// The hardware models' picture is 192, 224 or 240 lines high, as the mode
// has it; their frame image needs room for the tallest. The default model's
// image stays VDP_FRAME_IMAGE_SIZE bytes.
constexpr std::size_t VDP_MAX_SCREEN_HEIGHT = 240;
constexpr std::size_t VDP_MAX_FRAME_IMAGE_SIZE = VDP_FRAME_PIXEL_OFFSET + VDP_SCREEN_WIDTH * VDP_MAX_SCREEN_HEIGHT;
constexpr std::size_t VDP_PAL_LINES_PER_FRAME = 313;

// The Game Gear: 32 colour words of 12 bits (64 bytes of CRAM), and the
// window of the picture its screen shows.
constexpr std::size_t VDP_GG_CRAM_WORDS = 32;
constexpr std::size_t VDP_GG_WINDOW_WIDTH = 160;
constexpr std::size_t VDP_GG_WINDOW_HEIGHT = 144;
constexpr std::size_t VDP_GG_WINDOW_LEFT = 48;
