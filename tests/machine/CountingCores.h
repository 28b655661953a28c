// Counting stand-ins for the four cores, linked in place of the real ones so
// that the machine's frame loop and commands can be observed call by call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TCoreCall {
    char Kind;       // 'V' VDP line, 'C' CPU cycles
    uint32_t Value;  // line number or cycle budget
    uint8_t Draw;    // for 'V'
};

struct TCoreLog {
    std::vector<TCoreCall> Calls;
    int VdpResets = 0;
    int CpuResets = 0;
    int PsgResets = 0;
    int BusInits = 0;
    int Saves = 0;          // Z80_SaveBatteryRam calls
    int SavesWritten = 0;   // of which found the RAM dirty
    std::string LastSavePath;
    std::string FailSavesWith;  // non-empty: saves fail with this message
    uint32_t Exports = 0;
    uint32_t PadWrites = 0;  // controller press/release calls
};

extern TCoreLog CoreLog;
void ResetCoreLog();
