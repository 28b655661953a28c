// A battery file of any length loaded into the cartridge RAM and saved
// again through the temporary-file-and-rename path. The save must hold the
// whole 32 KB, start with the file's bytes, and leave no temporary behind.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "FuzzTempFolder.h"
#include "Z80EM.h"

namespace {

// Reads the file back into `bytes` (one byte more than a save holds, to see
// a longer file); returns the number of bytes read.
std::size_t ReadBack(const std::string& path, uint8_t* bytes, std::size_t capacity) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return 0;
    const std::size_t n = std::fread(bytes, 1, capacity, file);
    std::fclose(file);
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static auto* folder = new TFuzzTempFolder();
    static auto* cpu = new T_Z80_CPU_CORE();
    static const std::string loadPath = folder->File("GAME.RAM");
    static const std::string savePath = folder->File("saves/GAME.RAM");

    if (!FuzzWriteFile(loadPath, data, size)) std::abort();
    std::memset(cpu->CartRam, 0, sizeof cpu->CartRam);
    Z80_LoadBatteryRam(*cpu, loadPath);
    const std::size_t kept = std::min(size, sizeof cpu->CartRam);
    if (std::memcmp(cpu->CartRam, data, kept) != 0) std::abort();
    for (std::size_t i = kept; i < sizeof cpu->CartRam; ++i)
        if (cpu->CartRam[i] != 0) std::abort();  // a short file leaves the rest blank

    cpu->CartRamDirty = 1;  // as after a game's write
    std::string error;
    if (!Z80_SaveBatteryRam(*cpu, savePath, &error)) {
        std::fprintf(stderr, "save failed: %s\n", error.c_str());
        std::abort();
    }
    static uint8_t saved[Z80_CART_RAM_SIZE + 1];
    const std::size_t savedSize = ReadBack(savePath, saved, sizeof saved);
    if (savedSize != sizeof cpu->CartRam || std::memcmp(saved, cpu->CartRam, savedSize) != 0) std::abort();
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(savePath).parent_path()))
        ++files;
    if (files != 1) std::abort();  // a temporary file was left behind
    return 0;
}
