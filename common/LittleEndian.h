// Little-endian fields at fixed widths, for every file format of the program
// (saved states, the frame image's bitmap headers, the rewind's runs): a
// file never depends on the host's byte order or the compiler's layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

inline void LE_Put16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void LE_Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
inline void LE_Put64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = uint8_t(v >> (8 * i));
}
inline uint16_t LE_Get16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t LE_Get32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint64_t LE_Get64(const uint8_t* p) { return uint64_t(LE_Get32(p)) | uint64_t(LE_Get32(p + 4)) << 32; }

// A cursor writing fields one after another.
struct TLeWriter {
    uint8_t* P;
    void U8(uint8_t v) { *P++ = v; }
    void U16(uint16_t v) {
        LE_Put16(P, v);
        P += 2;
    }
    void U32(uint32_t v) {
        LE_Put32(P, v);
        P += 4;
    }
    void Bytes(const uint8_t* src, std::size_t n) {
        std::memcpy(P, src, n);
        P += n;
    }
};

// A cursor reading fields one after another (the caller checked the length).
struct TLeReader {
    const uint8_t* P;
    uint8_t U8() { return *P++; }
    uint16_t U16() {
        const uint16_t v = LE_Get16(P);
        P += 2;
        return v;
    }
    uint32_t U32() {
        const uint32_t v = LE_Get32(P);
        P += 4;
        return v;
    }
    void Bytes(uint8_t* dst, std::size_t n) {
        std::memcpy(dst, P, n);
        P += n;
    }
};
