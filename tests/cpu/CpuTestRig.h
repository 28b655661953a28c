// A CPU wired to a real bus, VDP and PSG, as the machine wires them, for the
// tests of the memory map, the files and the run loop.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>

#include "Interconnect.h"
#include "SNDEM.h"
#include "VDPEM.h"
#include "Z80EM.h"

struct CpuTestRig {
    std::unique_ptr<T_Z80_CPU_CORE> cpu = std::make_unique<T_Z80_CPU_CORE>();
    std::unique_ptr<T_VDP_CORE> vdp = std::make_unique<T_VDP_CORE>();
    std::unique_ptr<T_PSG_CORE> psg = std::make_unique<T_PSG_CORE>();
    T_INTERCONNECT_CORE bus{};

    CpuTestRig() {
        Interconnect_Init(bus, *vdp, *psg);
        Z80_Reset(*cpu, bus);
    }

    void MapCartridge() { Interconnect_WritePort(bus, 0x3E, 0x08); }

    // Places code in the ROM area (slots 0-2 map straight onto it after a
    // reset) and points PC at it.
    void Program(uint16_t at, std::initializer_list<uint8_t> bytes) {
        cpu->PC = at;
        for (uint8_t b : bytes) cpu->Rom[at++] = b;
    }
};
