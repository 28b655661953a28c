// Test fixture for VDPEM: a freshly reset chip and helpers that build scenes
// through the ports, the way a program would.
#pragma once

#include "VDPEM.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>

using Line = std::array<uint8_t, 256>;

class VdpTest : public ::testing::Test {
protected:
    std::unique_ptr<T_VDP_CORE> holder = std::make_unique<T_VDP_CORE>(); // zero-filled
    T_VDP_CORE& vdp = *holder;

    void SetUp() override { VDP_Reset(vdp); }

    void Control(uint8_t first, uint8_t second)
    {
        VDP_WriteControl(vdp, first);
        VDP_WriteControl(vdp, second);
    }
    void Reg(uint8_t index, uint8_t value) { Control(value, 0x80 | index); }
    void VramAt(uint16_t address) { Control(address & 0xFF, 0x40 | (address >> 8)); }
    void Poke(uint16_t address, std::initializer_list<uint8_t> bytes)
    {
        VramAt(address);
        for (uint8_t b : bytes)
            VDP_WriteData(vdp, b);
    }
    void Cram(uint8_t index, uint8_t value)
    {
        Control(index, 0xC0);
        VDP_WriteData(vdp, value);
    }

    // Tile n from 8 rows of 8 hex digits, leftmost pixel first.
    void Tile(uint16_t n, const std::array<std::string, 8>& rows)
    {
        VramAt(n * 32);
        for (const std::string& row : rows)
            for (int plane = 0; plane < 4; ++plane) {
                uint8_t bits = 0;
                for (int k = 0; k < 8; ++k)
                    bits |= ((std::stoi(row.substr(k, 1), nullptr, 16) >> plane) & 1) << (7 - k);
                VDP_WriteData(vdp, bits);
            }
    }
    void SolidTile(uint16_t n, char digit)
    {
        std::array<std::string, 8> rows;
        rows.fill(std::string(8, digit));
        Tile(n, rows);
    }
    void Name(uint32_t row, uint32_t column, uint16_t entry)
    {
        Poke(0x3800 + row * 64 + column * 2, {uint8_t(entry), uint8_t(entry >> 8)});
    }
    void Sprite(uint8_t s, uint8_t y, uint8_t x, uint8_t pattern)
    {
        Poke(0x3F00 + s, {y});
        Poke(0x3F80 + 2 * s, {x, pattern});
    }
    void DisplayOn(uint8_t extraR1 = 0) { Reg(1, 0x40 | extraR1); }
    void Frame(uint8_t draw = 1)
    {
        for (uint32_t l = 0; l < VDP_LINES_PER_FRAME; ++l)
            VDP_RunLine(vdp, l, draw);
    }
    Line Screen(uint32_t line) const
    {
        Line out;
        const uint8_t* row = vdp.FrameImage + VDP_FRAME_PIXEL_OFFSET + (191 - line) * 256;
        std::copy(row, row + 256, out.begin());
        return out;
    }
    static Line Filled(uint8_t value)
    {
        Line l;
        l.fill(value);
        return l;
    }
};
