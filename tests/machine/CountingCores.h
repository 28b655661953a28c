// Counting stand-ins for the four cores and the game's files, linked in place
// of the real ones so that the machine's frame loop and commands can be
// observed call by call (no file is ever touched).
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
    int SavesWritten = 0;   // battery files written (the console writes only used RAM)
    std::string LastSavePath;
    std::string FailSavesWith;  // non-empty: saves fail with this message
    uint32_t Exports = 0;
    uint32_t PadWrites = 0;  // controller press/release calls
};

extern TCoreLog CoreLog;
void ResetCoreLog();
