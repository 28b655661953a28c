// VDPEM ports and interrupts: reset, the two-byte control protocol, the data
// port with its read-ahead byte, the status byte, the V counter, the line and
// frame interrupts, the per-line entry and the menu's layer switches. The
// hardware models take their own path (VDPModel.cpp) at each entry.
#include "VDPInternal.h"

void VDP_Reset(T_VDP_CORE& vdp)
{
    static constexpr uint8_t startRegisters[VDP_REGISTER_COUNT] = {
        0x00, 0x00, 0x0E, 0x00, 0x00, 0x7E, 0x00, 0x00, 0x00, 0x00, 0x00};
    for (std::size_t i = 0; i < VDP_REGISTER_COUNT; ++i)
        vdp.Registers[i] = startRegisters[i];
    vdp.Address = 0;
    vdp.Code = 0;
    vdp.ReadBuffer = 0;
    vdp.InterruptLine = 0;
    vdp.FrameIntPending = 0;
    vdp.LineIntPending = 0;
    vdp.LineCounter = 0;
    vdp.SecondByte = 0;
    vdp.CurrentLine = 0;
    vdp.FrameHeight = VDP_SCREEN_HEIGHT;
    vdp.HCounter = 0;
    vdp.FifthSprite = 0;
    vdp.SpriteLayerOn = 1;
    vdp.BackgroundLayerOn = 1;
    if (vdp.Model == VDP_MODEL_GAME_GEAR)
        VDP_GameGearResetPalette(vdp);
    VDP_WriteFrameHeaders(vdp);
}

void VDP_WriteControl(T_VDP_CORE& vdp, uint8_t value)
{
    if (vdp.Model != VDP_MODEL_TIRAVEL) {
        VDP_ModelWriteControl(vdp, value);
        return;
    }
    if (vdp.SecondByte == 0) {
        // The first byte replaces the whole address register, high bits too:
        // software always follows it with the second byte.
        vdp.Address = value;
        vdp.SecondByte = 1;
        return;
    }
    vdp.Code = value >> 6;
    if (vdp.Code == 2) {
        // Register write: the data is the first byte, still in the low half
        // of the address register. Indexes 11-15 name no register and are
        // dropped.
        const uint8_t index = value & 0x0F;
        const uint8_t data = static_cast<uint8_t>(vdp.Address & 0xFF);
        if (index < VDP_REGISTER_COUNT) {
            vdp.Registers[index] = data;
            // Changing an enable bit while its flag is pending moves the
            // interrupt output at once.
            if (index == 0 && vdp.LineIntPending == 1)
                vdp.InterruptLine = (data & VDP_R0_LINE_INT) ? 1 : 0;
            if (index == 1 && vdp.FrameIntPending == 1)
                vdp.InterruptLine = (data & VDP_R1_FRAME_INT) ? 1 : 0;
        }
    } else {
        vdp.Address = (vdp.Address + (value & 0x3F) * 256) & VDP_ADDRESS_MASK;
        if (vdp.Code == 0) {
            // VRAM read set-up fetches the first byte ahead of the read.
            vdp.ReadBuffer = vdp.VRAM[vdp.Address];
            vdp.Address = (vdp.Address + 1) & VDP_ADDRESS_MASK;
        }
    }
    vdp.SecondByte = 0;
}

void VDP_WriteData(T_VDP_CORE& vdp, uint8_t value)
{
    if (vdp.Model != VDP_MODEL_TIRAVEL) {
        VDP_ModelWriteData(vdp, value);
        return;
    }
    switch (vdp.Code) {
    case 0:
    case 1:
        vdp.VRAM[vdp.Address & VDP_ADDRESS_MASK] = value;
        vdp.Address = (vdp.Address + 1) & VDP_ADDRESS_MASK;
        break;
    case 3:
        // Only the low five bits select the colour; the whole address moves.
        vdp.CRAM[vdp.Address & 0x1F] = value & 0x3F;
        vdp.Address = (vdp.Address + 1) & VDP_ADDRESS_MASK;
        break;
    default:
        break;
    }
}

uint8_t VDP_ReadData(T_VDP_CORE& vdp)
{
    const uint8_t result = vdp.ReadBuffer;
    vdp.ReadBuffer = vdp.VRAM[vdp.Address & VDP_ADDRESS_MASK];
    vdp.SecondByte = 0;
    vdp.Address = (vdp.Address + 1) & VDP_ADDRESS_MASK;
    return result;
}

uint8_t VDP_ReadStatus(T_VDP_CORE& vdp)
{
    if (vdp.Model != VDP_MODEL_TIRAVEL)
        return VDP_ModelReadStatus(vdp);
    const uint8_t result = static_cast<uint8_t>(
        (vdp.FrameIntPending ? 0x80 : 0) | (vdp.SpriteOverflow ? 0x40 : 0) | (vdp.SpriteCollision ? 0x20 : 0));
    vdp.FrameIntPending = 0;
    vdp.LineIntPending = 0;
    vdp.SpriteOverflow = 0;
    vdp.SpriteCollision = 0;
    vdp.InterruptLine = 0;
    return result;
}

uint8_t VDP_ReadVCounter(const T_VDP_CORE& vdp)
{
    // The counter runs 0x00-0xDA, then jumps back to 0xD5 and counts up to
    // 0xFF over the rest of the 262 lines.
    if (vdp.Model != VDP_MODEL_TIRAVEL)
        return VDP_ModelVCounter(vdp);
    const uint32_t line = vdp.CurrentLine;
    return static_cast<uint8_t>(line <= 0xDA ? line : line - 6);
}

uint8_t VDP_GetInterruptLine(const T_VDP_CORE& vdp)
{
    return vdp.InterruptLine;
}

void VDP_UpdateInterrupts(T_VDP_CORE& vdp)
{
    const uint32_t line = vdp.CurrentLine;
    if (line < VDP_FRAME_INT_LINE) {
        if (vdp.LineCounter == 0) {
            vdp.LineIntPending = 1;
            vdp.LineCounter = vdp.Registers[10];
        } else {
            --vdp.LineCounter;
        }
        if (vdp.LineIntPending == 1 && (vdp.Registers[0] & VDP_R0_LINE_INT))
            vdp.InterruptLine = 1;
    } else if (line < VDP_LINES_PER_FRAME) {
        if (line == VDP_FRAME_INT_LINE)
            vdp.FrameIntPending = 1;
        vdp.LineCounter = vdp.Registers[10];
        if (vdp.FrameIntPending == 1 && (vdp.Registers[1] & VDP_R1_FRAME_INT))
            vdp.InterruptLine = 1;
    }
}

void VDP_RunLine(T_VDP_CORE& vdp, uint32_t line, uint8_t draw)
{
    if (vdp.Model != VDP_MODEL_TIRAVEL) {
        VDP_RunModelLine(vdp, line, draw);
        return;
    }
    vdp.CurrentLine = line;
    VDP_UpdateInterrupts(vdp);
    if (line <= VDP_LAST_DRAWN_LINE && draw != 0)
        VDP_DrawLine(vdp, line);
}

void VDP_SetBackgroundLayer(T_VDP_CORE& vdp, uint8_t on)
{
    vdp.BackgroundLayerOn = on;
}

void VDP_SetSpriteLayer(T_VDP_CORE& vdp, uint8_t on)
{
    vdp.SpriteLayerOn = on;
}
