// A machine for saved-state tests, started as the headless runner starts it
// (BIOS, then the cartridge), driven frame by frame without the thread, with
// the pads, Pause and the frame's sound applied as the runner does.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "SMS.h"
#include "SaveState.h"

class TDirectDispatcher final : public TMainThreadDispatcher {
public:
    void Post(void (*call)(void*), void* context) override { call(context); }
};

struct TStateRig {
    TDirectDispatcher dispatcher;
    TFakeTimers timers;
    TVirtualSoundBuffer sound;
    TSMS machine{dispatcher, timers, sound};
    uint64_t soundHash = 0xcbf29ce484222325ULL;

    // An empty ROM path runs the BIOS alone.
    explicit TStateRig(const std::string& rom, uint8_t biosType = 1, uint8_t frameskip = 0) {
        machine.ClearCoresCreated();
        machine.InitMachine();
        Z80_SetBiosType(*machine.Cpu, biosType);
        machine.StopEmulation();
        if (rom.empty()) {
            Z80_ClearRom(*machine.Cpu);
            machine.MarkReady();
        } else {
            machine.LoadRom(rom);
        }
        machine.SetFrameskip(frameskip);
    }

    static uint64_t Hash(const uint8_t* data, std::size_t size, uint64_t hash = 0xcbf29ce484222325ULL) {
        for (std::size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 0x100000001b3ULL;
        return hash;
    }

    // One frame with the given pads (SMS_PAD_INPUTS bits) and Pause.
    void Frame(uint32_t pads = 0, bool pause = false) {
        bool held[SMS_PAD_INPUTS];
        for (int i = 0; i < SMS_PAD_INPUTS; ++i) held[i] = (pads >> i) & 1;
        SMS_WritePads(*machine.Interconnect, held);
        if (pause) Z80_RaiseNMI(*machine.Cpu);
        machine.RunFrame();
        T_PSG_SAMPLE_BLOCK block{};
        PSG_RenderFrame(*machine.Psg, block);
        soundHash = Hash(block.Samples, static_cast<std::size_t>(machine.SamplesPerFrame), soundHash);
    }
    void Frames(int count, uint32_t pads = 0, bool pause = false) {
        for (int i = 0; i < count; ++i) Frame(pads, pause);
    }

    uint64_t PictureHash() const {
        return Hash(machine.FrameStream.Data + VDP_FRAME_PIXEL_OFFSET, VDP_FRAME_IMAGE_SIZE - VDP_FRAME_PIXEL_OFFSET);
    }
    std::vector<uint8_t> Save() const {
        std::vector<uint8_t> state;
        SMS_SaveState(machine, state);
        return state;
    }
};
