// PNG, WAV and whole-file writers, and FNV-1a.
#include "ImageFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "RegularFiles.h"

namespace {

uint32_t ReadLe32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }

void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v >> 24));
    out.push_back(uint8_t(v >> 16));
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}

void PutLe32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

uint32_t Crc32(const uint8_t* data, std::size_t size, uint32_t crc = 0) {
    static uint32_t table[256];
    static bool ready = false;
    if (!ready) {
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
        ready = true;
    }
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void PutChunk(std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& body) {
    PutBe32(out, static_cast<uint32_t>(body.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), body.begin(), body.end());
    PutBe32(out, Crc32(&out[start], out.size() - start));
}

// A zlib stream of stored (uncompressed) deflate blocks.
std::vector<uint8_t> ZlibStored(const std::vector<uint8_t>& raw) {
    std::vector<uint8_t> z{0x78, 0x01};
    std::size_t pos = 0;
    do {
        const std::size_t n = std::min<std::size_t>(65535, raw.size() - pos);
        const bool last = pos + n == raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back(uint8_t(n));
        z.push_back(uint8_t(n >> 8));
        z.push_back(uint8_t(~n));
        z.push_back(uint8_t(~n >> 8));
        z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + n);
        pos += n;
    } while (pos < raw.size());
    uint32_t a = 1, b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    PutBe32(z, (b << 16) | a);
    return z;
}

}  // namespace

uint64_t Fnv1a64(const uint8_t* data, std::size_t size, uint64_t hash) {
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= data[i];
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

std::FILE* OpenOutputFile(const std::string& path, std::string& reason) {
    const int fd = SMS_CreateRegularFile(path, reason);
    std::FILE* file = fd >= 0 ? ::fdopen(fd, "wb") : nullptr;
    if (fd >= 0 && file == nullptr) {
        reason = std::strerror(errno);
        ::close(fd);
    }
    return file;
}

bool WriteWholeFile(const std::string& path, const uint8_t* data, std::size_t size, std::string& error) {
    std::string reason;
    std::FILE* f = OpenOutputFile(path, reason);
    if (f == nullptr) {
        error = path + ": " + reason;
        return false;
    }
    const bool ok = std::fwrite(data, 1, size, f) == size;
    const int saved = errno;
    if (std::fclose(f) != 0 || !ok) {
        error = path + ": " + std::strerror(ok ? errno : saved);
        return false;
    }
    return true;
}

bool WritePngFromBmp(const std::string& path, const uint8_t* bmp, std::size_t size, std::string& error) {
    if (size < 54 || bmp[0] != 'B' || bmp[1] != 'M' || ReadLe32(bmp + 14) < 40 || (bmp[28] | (bmp[29] << 8)) != 8) {
        error = path + ": the frame image is not an 8-bit bitmap";
        return false;
    }
    const uint32_t width = ReadLe32(bmp + 18);
    const int32_t rawHeight = static_cast<int32_t>(ReadLe32(bmp + 22));
    const bool bottomUp = rawHeight > 0;
    const uint32_t height = static_cast<uint32_t>(bottomUp ? rawHeight : -static_cast<int64_t>(rawHeight));
    const uint32_t paletteOffset = 14 + ReadLe32(bmp + 14);
    const uint32_t pixelOffset = ReadLe32(bmp + 10);
    const uint32_t stride = (width + 3) & ~3u;
    if (width == 0 || height == 0 || width > 4096 || height > 4096 || paletteOffset + 1024 > size ||
        pixelOffset + uint64_t(stride) * height > size) {
        error = path + ": the frame image is truncated";
        return false;
    }

    std::vector<uint8_t> header;
    PutBe32(header, width);
    PutBe32(header, height);
    header.insert(header.end(), {8, 3, 0, 0, 0});  // 8-bit palette indexes
    std::vector<uint8_t> palette;
    for (int i = 0; i < 256; ++i) {
        const uint8_t* quad = bmp + paletteOffset + 4 * i;  // blue, green, red, reserved
        palette.insert(palette.end(), {quad[2], quad[1], quad[0]});
    }
    std::vector<uint8_t> raw;
    raw.reserve((width + 1) * height);
    for (uint32_t y = 0; y < height; ++y) {
        const uint32_t row = bottomUp ? height - 1 - y : y;
        const uint8_t* src = bmp + pixelOffset + std::size_t(row) * stride;
        raw.push_back(0);  // filter: none
        raw.insert(raw.end(), src, src + width);
    }

    std::vector<uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    PutChunk(png, "IHDR", header);
    PutChunk(png, "PLTE", palette);
    PutChunk(png, "IDAT", ZlibStored(raw));
    PutChunk(png, "IEND", {});
    return WriteWholeFile(path, png.data(), png.size(), error);
}

TWavWriter::~TWavWriter() {
    if (file_ != nullptr) std::fclose(file_);
}

bool TWavWriter::Open(const std::string& path, uint32_t sampleRate, std::string& error) {
    return OpenFormat(path, sampleRate, 1, 8, error);
}

bool TWavWriter::OpenStereo16(const std::string& path, uint32_t sampleRate, std::string& error) {
    return OpenFormat(path, sampleRate, 2, 16, error);
}

bool TWavWriter::OpenFormat(const std::string& path, uint32_t sampleRate, uint16_t channels, uint16_t bits,
                            std::string& error) {
    path_ = path;
    std::string reason;
    file_ = OpenOutputFile(path, reason);
    if (file_ == nullptr) {
        error = path + ": " + reason;
        return false;
    }
    uint8_t h[44] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,
                     1, 0};  // PCM
    const uint32_t blockAlign = channels * bits / 8u;
    h[22] = uint8_t(channels);
    PutLe32(h + 24, sampleRate);
    PutLe32(h + 28, sampleRate * blockAlign);  // bytes per second
    h[32] = uint8_t(blockAlign);
    h[34] = uint8_t(bits);
    std::memcpy(h + 36, "data", 4);
    failed_ = std::fwrite(h, 1, sizeof h, file_) != sizeof h;
    return true;
}

bool TWavWriter::Write(const uint8_t* samples, std::size_t count) {
    if (file_ == nullptr) return false;
    if (std::fwrite(samples, 1, count, file_) != count) failed_ = true;
    dataBytes_ += static_cast<uint32_t>(count);
    return !failed_;
}

bool TWavWriter::Write16(const int16_t* samples, std::size_t count) {
    if (file_ == nullptr) return false;
    uint8_t bytes[512];
    for (std::size_t at = 0; at < count;) {
        const std::size_t n = std::min<std::size_t>(count - at, sizeof bytes / 2);
        for (std::size_t i = 0; i < n; ++i) {
            const uint16_t v = static_cast<uint16_t>(samples[at + i]);
            bytes[2 * i] = uint8_t(v);
            bytes[2 * i + 1] = uint8_t(v >> 8);
        }
        if (std::fwrite(bytes, 1, 2 * n, file_) != 2 * n) failed_ = true;
        dataBytes_ += static_cast<uint32_t>(2 * n);
        at += n;
    }
    return !failed_;
}

bool TWavWriter::Close(std::string& error) {
    if (file_ == nullptr) return true;
    uint8_t size[4];
    const uint32_t pad = dataBytes_ & 1;  // RIFF chunks are padded to an even length
    PutLe32(size, 36 + dataBytes_ + pad);
    if (std::fseek(file_, 4, SEEK_SET) != 0 || std::fwrite(size, 1, 4, file_) != 4) failed_ = true;
    PutLe32(size, dataBytes_);
    if (std::fseek(file_, 40, SEEK_SET) != 0 || std::fwrite(size, 1, 4, file_) != 4) failed_ = true;
    if (pad != 0 && (std::fseek(file_, 0, SEEK_END) != 0 || std::fputc(0, file_) == EOF)) failed_ = true;
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    if (failed_) error = path_ + ": the sound file could not be written";
    return !failed_;
}
