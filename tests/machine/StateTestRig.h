// A console for saved-state tests, started as the headless runner starts it
// (BIOS, then the cartridge), driven frame by frame, with the pads, Pause and
// the frame's sound applied as the runner does.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "Console.h"

struct TStateRig {
    TConsole machine;
    uint64_t soundHash = 0xcbf29ce484222325ULL;

    // An empty ROM path runs the BIOS alone.
    explicit TStateRig(const std::string& rom, uint8_t biosType = 1, uint8_t frameskip = 0) {
        machine.SetBiosType(biosType);
        if (rom.empty())
            machine.RemoveCartridge();
        else
            machine.LoadCartridge(rom);
        machine.SetFrameskip(frameskip);
    }

    static uint64_t Hash(const uint8_t* data, std::size_t size, uint64_t hash = 0xcbf29ce484222325ULL) {
        for (std::size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 0x100000001b3ULL;
        return hash;
    }

    // One frame with the given pads and Pause. `pads` holds twelve bits:
    // player 1's Left, Right, Up, Down, Button 1, Button 2 (bits 0-5), then
    // player 2's (bits 6-11).
    void Frame(uint32_t pads = 0, bool pause = false) {
        static constexpr uint8_t kOrder[6] = {PAD_LEFT, PAD_RIGHT, PAD_UP, PAD_DOWN, PAD_BUTTON1, PAD_BUTTON2};
        uint8_t p1 = 0, p2 = 0;
        for (int i = 0; i < 6; ++i) {
            if ((pads >> i) & 1) p1 |= kOrder[i];
            if ((pads >> (i + 6)) & 1) p2 |= kOrder[i];
        }
        machine.SetPads(p1, p2);
        if (pause) machine.PressPause();
        machine.RunFrame();
        const std::span<const uint8_t> samples = machine.RenderFrameSamples();
        soundHash = Hash(samples.data(), samples.size(), soundHash);
    }
    void Frames(int count, uint32_t pads = 0, bool pause = false) {
        for (int i = 0; i < count; ++i) Frame(pads, pause);
    }

    uint64_t PictureHash() const {
        return Hash(machine.FramePixels(), CONSOLE_FRAME_IMAGE_SIZE - CONSOLE_FRAME_PIXEL_OFFSET);
    }
    std::vector<uint8_t> Save() const {
        std::vector<uint8_t> state;
        machine.SaveState(state);
        return state;
    }
};
