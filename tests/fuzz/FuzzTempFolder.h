// A private folder for one fuzzing process, removed when the process ends.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

class TFuzzTempFolder {
public:
    TFuzzTempFolder() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/tiravel-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        path_ = pattern;
    }
    ~TFuzzTempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TFuzzTempFolder(const TFuzzTempFolder&) = delete;
    TFuzzTempFolder& operator=(const TFuzzTempFolder&) = delete;

    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Writes the bytes as the whole file; false if that failed.
inline bool FuzzWriteFile(const std::string& path, const uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}
