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
#include "GameFiles.h"

namespace {

constexpr std::size_t kRamSize = 32768;  // the cartridge's two 16 KB banks

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
    // Owned by statics, so that the folder goes when the process ends.
    static const TFuzzTempFolder folder;
    static std::vector<uint8_t> ramBuffer(kRamSize);
    uint8_t* ram = ramBuffer.data();
    static const std::string loadPath = folder.File("GAME.RAM");
    static const std::string savePath = folder.File("saves/GAME.RAM");

    if (!FuzzWriteFile(loadPath, data, size)) std::abort();
    std::memset(ram, 0, kRamSize);
    std::string error;
    if (!SMS_ReadBatteryFile(loadPath, ram, kRamSize, error)) {
        std::fprintf(stderr, "load failed: %s\n", error.c_str());
        std::abort();  // a regular file just written is always readable
    }
    const std::size_t kept = std::min(size, kRamSize);
    if (std::memcmp(ram, data, kept) != 0) std::abort();
    for (std::size_t i = kept; i < kRamSize; ++i)
        if (ram[i] != 0) std::abort();  // a short file leaves the rest blank

    if (!SMS_WriteBatteryFile(savePath, ram, kRamSize, error)) {
        std::fprintf(stderr, "save failed: %s\n", error.c_str());
        std::abort();
    }
    static uint8_t saved[kRamSize + 1];
    const std::size_t savedSize = ReadBack(savePath, saved, sizeof saved);
    if (savedSize != kRamSize || std::memcmp(saved, ram, savedSize) != 0) std::abort();
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(savePath).parent_path()))
        ++files;
    if (files != 1) std::abort();  // a temporary file was left behind
    return 0;
}
