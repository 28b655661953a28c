// The model a cartridge file asks for, read before the start. Kept apart from
// the ROM and archive readers so that a program which only reads cartridge
// files (the archive fuzz target) does not pull in the console and its chips.
#include "RomFiles.h"

#include <exception>

#include "Console.h"
#include "GameFiles.h"

TConsoleModel SMS_CartridgeModel(const std::string& path, TConsoleModel chosen) {
    try {
        if (SMS_IsArchive(path)) {
            const TArchiveImage image = SMS_ReadArchiveImage(path);
            return Console_ModelForCartridge(image.Entry, image.Data, chosen);
        }
        const std::vector<uint8_t> data = SMS_ReadRomFile(path);
        return Console_ModelForCartridge(path, data, chosen);
    } catch (const std::exception&) {
        return chosen;
    }
}
