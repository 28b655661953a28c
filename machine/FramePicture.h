// The frame image as true-colour pixels: the VDP exports an 8-bit palette
// bitmap (bottom-up rows, a 256-entry BGRx palette); front ends that take
// RGB pixels turn it into 256 x 192 words of 0x00RRGGBB, top row first.
// Toolkit-free; shared by the libretro core and the headless runner.
#pragma once

#include <cstddef>
#include <cstdint>

#include "VDPEM.h"

constexpr std::size_t SMS_PICTURE_WIDTH = VDP_SCREEN_WIDTH;
constexpr std::size_t SMS_PICTURE_HEIGHT = VDP_SCREEN_HEIGHT;
constexpr std::size_t SMS_PICTURE_PIXELS = SMS_PICTURE_WIDTH * SMS_PICTURE_HEIGHT;

// `image` is one exported frame image (VDP_FRAME_IMAGE_SIZE bytes); `pixels`
// receives SMS_PICTURE_PIXELS words, row after row from the top, each
// 0x00RRGGBB taken from the image's own palette.
void SMS_FrameToXrgb8888(const uint8_t* image, uint32_t* pixels);
