// The console's chips, for the machine layer's own units (the frame loop's
// thread, the debugger, the state code). Nothing above the machine layer
// includes this header: front ends use TConsole's interface.
#pragma once

#include <memory>

#include "Console.h"
#include "Interconnect.h"
#include "SNDEM.h"
#include "VDPEM.h"
#include "Z80EM.h"

struct TConsole::TChips {
    std::unique_ptr<T_VDP_CORE> Vdp;
    std::unique_ptr<T_Z80_CPU_CORE> Cpu;
    std::unique_ptr<T_PSG_CORE> Psg;
    std::unique_ptr<T_INTERCONNECT_CORE> Bus;
    T_PSG_SAMPLE_BLOCK Samples{};  // the last frame's sound
};

struct TConsoleChips {
    static T_Z80_CPU_CORE& Cpu(TConsole& console) { return *console.chips_->Cpu; }
    static const T_Z80_CPU_CORE& Cpu(const TConsole& console) { return *console.chips_->Cpu; }
    static T_VDP_CORE& Vdp(TConsole& console) { return *console.chips_->Vdp; }
    static const T_VDP_CORE& Vdp(const TConsole& console) { return *console.chips_->Vdp; }
    static T_PSG_CORE& Psg(TConsole& console) { return *console.chips_->Psg; }
    static const T_PSG_CORE& Psg(const TConsole& console) { return *console.chips_->Psg; }
    static T_INTERCONNECT_CORE& Bus(TConsole& console) { return *console.chips_->Bus; }
    static const T_INTERCONNECT_CORE& Bus(const TConsole& console) { return *console.chips_->Bus; }
};

// The CPU's registers as the console's inspection gives them.
TCpuRegisters Console_CpuRegisters(const T_Z80_CPU_CORE& cpu);
