// Output files of the headless runner: the frame image as PNG (written here
// with stored deflate blocks, no compression library), the PSG's samples as
// a WAV file, and the FNV-1a hash used for golden comparisons.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

constexpr uint64_t FNV1A_OFFSET_BASIS = 0xcbf29ce484222325ULL;

// FNV-1a 64-bit, continued from `hash` (start with FNV1A_OFFSET_BASIS).
uint64_t Fnv1a64(const uint8_t* data, std::size_t size, uint64_t hash = FNV1A_OFFSET_BASIS);

// Writes the 8-bit palette BMP `bmp` (as the VDP exports it) as an 8-bit
// palette PNG of the same pixels. False with `error` set on failure.
bool WritePngFromBmp(const std::string& path, const uint8_t* bmp, std::size_t size, std::string& error);

// Opens an output file to be written from the start, as "wb" does; only a
// regular file (created when missing) is opened, and never waits: a FIFO, a
// device or a folder gives nullptr with the reason in plain words in
// `reason`, as any other failure does.
std::FILE* OpenOutputFile(const std::string& path, std::string& reason);

// Writes `size` bytes unchanged.
bool WriteWholeFile(const std::string& path, const uint8_t* data, std::size_t size, std::string& error);

// A PCM WAV file written block by block: 8-bit mono (the default model's
// sound) or 16-bit stereo (the hardware models'); the sizes in its header
// are filled in by Close.
class TWavWriter {
public:
    ~TWavWriter();
    bool Open(const std::string& path, uint32_t sampleRate, std::string& error);
    bool OpenStereo16(const std::string& path, uint32_t sampleRate, std::string& error);
    bool Write(const uint8_t* samples, std::size_t count);
    // Interleaved left, right pairs: `count` values (twice the pairs).
    bool Write16(const int16_t* samples, std::size_t count);
    bool Close(std::string& error);

private:
    bool OpenFormat(const std::string& path, uint32_t sampleRate, uint16_t channels, uint16_t bits,
                    std::string& error);
    std::FILE* file_ = nullptr;
    std::string path_;
    uint32_t dataBytes_ = 0;
    bool failed_ = false;
};
