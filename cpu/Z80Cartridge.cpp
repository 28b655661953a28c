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

    // A copier put a 512-byte header in front of the image: the file is then
    // 512 bytes over a multiple of a kilobyte. Any other size is the image
    // itself, whole kilobytes or not (small homebrew images and trimmed
    // dumps are not kilobyte multiples, and none of them has a header).
    std::size_t start = 0;
    if (size < kHeaderSize)
        Reject(path, "it is only " + std::to_string(size) + " bytes long, too short to be a cartridge image", entry);
    if (size % 1024 == kHeaderSize) {
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
    // A partial last bank is a bank: its code past the last whole bank must
    // be reachable through the paging, the rest of the bank reading zeros.
    cpu.RomBankCount = static_cast<uint8_t>((size + Z80_BANK_SIZE - 1) / Z80_BANK_SIZE);
    cpu.CartRamDirty = 0;
    cpu.RomSize = static_cast<uint32_t>(size);
    cpu.RomHash = Z80_HashImage(cpu.Rom, size);
}

TZ80Mapper Z80_DetectMapper(const T_Z80_CPU_CORE& cpu) {
    // The Codemasters header: banks covered by the checksum (0x7FE0), the
    // build date (0x7FE1-0x7FE5), the checksum (0x7FE6), 0x10000 minus the
    // checksum (0x7FE8) and six zeros (0x7FEA-0x7FEF). Sega's games keep
    // code or data there, which passes both tests only by a rare accident.
    if (cpu.RomSize < 0x8000) return Z80_MAPPER_SEGA;
    const uint8_t* header = cpu.Rom + 0x7FE0;
    const uint32_t checksum = header[6] | (header[7] << 8);
    const uint32_t complement = header[8] | (header[9] << 8);
    if (checksum + complement != 0x10000) return Z80_MAPPER_SEGA;
    for (int i = 10; i < 16; ++i)
        if (header[i] != 0) return Z80_MAPPER_SEGA;
    return Z80_MAPPER_CODEMASTERS;
}

void Z80_SetMapper(T_Z80_CPU_CORE& cpu, TZ80Mapper mapper) {
    cpu.Mapper = mapper;
    Z80_ResetPaging(cpu);
}

uint64_t Z80_HashImage(const uint8_t* data, std::size_t size) {
    uint64_t hash = 0xcbf29ce484222325ULL;
    for (std::size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 0x100000001b3ULL;
    return hash;
}

