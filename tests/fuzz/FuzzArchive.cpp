// Any bytes read as a cartridge archive: the first byte chooses how the file
// is named (.zip, .7z or .gz), the rest is the file. The reader must either
// give an image no larger than a cartridge and its copier header, or refuse
// with a message naming the file; its limits (nothing unpacked past 64 MB,
// no link's content read) keep every input within the fuzzer's time and
// memory limits.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "FuzzTempFolder.h"
#include "RomFiles.h"
#include "Z80EM.h"

namespace {

constexpr std::size_t kImageLimit = Z80_ROM_SIZE + 512;

struct TArchiveFiles {
    TFuzzTempFolder folder;
    const std::string paths[3] = {folder.File("game.zip"), folder.File("game.7z"), folder.File("game.sms.gz")};
};

// Removed with its folder when the process ends.
TArchiveFiles& Files() {
    static TArchiveFiles files;
    return files;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string& path = Files().paths[data[0] % 3];
    if (!FuzzWriteFile(path, data + 1, size - 1)) std::abort();
    try {
        const TArchiveImage image = SMS_ReadArchiveImage(path);
        if (image.Data.size() > kImageLimit) std::abort();
    } catch (const Z80_RomError& error) {
        // A refusal names the file.
        if (std::string(error.what()).find("\"" + path + "\"") == std::string::npos) {
            std::fprintf(stderr, "a refusal without the file's name: %s\n", error.what());
            std::abort();
        }
    }
    return 0;
}
