// Z80EM: the cartridge image, checked and loaded from bytes. Reading files
// is the machine layer's: the CPU only ever sees the image in memory.
#include <cstring>
#include <string>

#include "Z80EM.h"

namespace {

constexpr std::size_t kHeaderSize = 512;

// The file as the messages name it: its path, and where the image is one
// file inside it (an archive's member), that member's name too.
std::string Named(const std::string& path, const std::string& entry) {
    const std::string file = "\"" + path + "\"";
    return entry.empty() ? file : file + " (the image \"" + entry + "\" inside it)";
}

[[noreturn]] void Reject(const std::string& path, const std::string& reason, const std::string& entry = {}) {
    throw Z80_RomError("Cannot load the ROM file " + Named(path, entry) + ": " + reason + ".");
}

}  // namespace

void Z80_LoadRomImage(T_Z80_CPU_CORE& cpu, const uint8_t* data, std::size_t size, const std::string& path,
                      const std::string& entry) {
    if (size == 0) Reject(path, "the file is empty", entry);

    // Images are whole kilobytes; a size that is not comes from a copier
    // that put a 512-byte header in front of the image.
    std::size_t start = 0;
    if (size % 1024 != 0) {
        if (size < kHeaderSize)
            Reject(path, "it is only " + std::to_string(size) + " bytes long, too short to be a cartridge image",
                   entry);
        start = kHeaderSize;
        size -= kHeaderSize;
        if (size == 0) Reject(path, "it holds a 512-byte header and no image", entry);
    }
    if (size > Z80_ROM_SIZE)
        Reject(path, "the image is larger than the 1 MB (1048576 bytes) a cartridge can hold", entry);

    std::memcpy(cpu.Rom, data + start, size);
    // Nothing of an earlier, larger game may stay visible in a partial last
    // bank, and a new game starts with blank cartridge RAM unless its own
    // battery file is loaded afterwards.
    std::memset(cpu.Rom + size, 0, Z80_ROM_SIZE - size);
    std::memset(cpu.CartRam, 0, sizeof cpu.CartRam);
    const std::size_t banks = size / Z80_BANK_SIZE;
    cpu.RomBankCount = static_cast<uint8_t>(banks == 0 ? 1 : banks);
    cpu.CartRamDirty = 0;
    cpu.RomSize = static_cast<uint32_t>(size);
    cpu.RomHash = Z80_HashImage(cpu.Rom, size);
}

uint64_t Z80_HashImage(const uint8_t* data, std::size_t size) {
    uint64_t hash = 0xcbf29ce484222325ULL;
    for (std::size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 0x100000001b3ULL;
    return hash;
}

