// Private to VDPEM: the bit tricks that turn four plane bytes into eight
// colour indexes, shared by the default model's renderer and the hardware
// models' one.
#pragma once

#include "VDPInternal.h"

#include <bit>
#include <cstring>

namespace vdp_decode {

// Bit selectors for spreading a plane byte over the 8 bytes of a word:
// with kBitBInByteB, byte b of the word takes bit b of the plane (out[] order
// of the decoders, rightmost pixel first); with kBitBInByte7MinusB, byte b
// takes bit 7 - b (screen order, leftmost pixel first).
constexpr uint64_t kBitBInByteB = 0x8040201008040201ULL;
constexpr uint64_t kBitBInByte7MinusB = 0x0102040810204080ULL;

// One plane byte spread over 8 bytes, each 0 or 1, in the order `select`
// gives.
inline uint64_t SpreadPlane(uint8_t plane, uint64_t select)
{
    const uint64_t r = (plane * 0x0101010101010101ULL) & select;
    // Each byte now holds 0 or a single bit; adding 0x7F moves it to bit 7
    // without a carry into the next byte.
    return ((r + 0x7F7F7F7F7F7F7F7FULL) >> 7) & 0x0101010101010101ULL;
}

// Four plane bytes combined into eight colour indexes 0-15, one per byte.
inline uint64_t DecodePlanes(const uint8_t* planes, uint64_t select)
{
    return SpreadPlane(planes[0], select) | (SpreadPlane(planes[1], select) << 1) |
           (SpreadPlane(planes[2], select) << 2) | (SpreadPlane(planes[3], select) << 3);
}

// Byte b of the word (bits 8b to 8b+7) goes to out[b].
inline void StoreRow(uint64_t row, uint8_t out[8])
{
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(out, &row, 8);
    } else {
        for (int b = 0; b < 8; ++b)
            out[b] = static_cast<uint8_t>(row >> (8 * b));
    }
}

// The plane bytes of the tile row that a name-table entry shows on plane line y.
inline const uint8_t* TileRowPlanes(const T_VDP_CORE& vdp, uint16_t entry, uint32_t y)
{
    const uint32_t tile = entry & 0x1FF;
    const uint32_t r = (entry & 0x0400) ? ((7 - y) & 7) : (y & 7); // vertical flip
    return vdp.VRAM + tile * 32 + r * 4;
}

// A horizontal flip sends bit b to out[7 - b], the same as choosing the
// other bit order.
inline bool FlippedX(uint16_t entry)
{
    return (entry & 0x0200) != 0;
}

} // namespace vdp_decode
