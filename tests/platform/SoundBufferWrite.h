// Writing bytes into a sound output buffer through Lock and Unlock, as the
// presentation step does: the tests of the virtual and the SDL buffers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "SoundOutputBuffer.h"

inline void Write(TSoundOutputBuffer& buffer, uint32_t offset, const std::vector<uint8_t>& bytes) {
    TSoundLockRegions regions;
    ASSERT_TRUE(buffer.Lock(offset, static_cast<uint32_t>(bytes.size()), regions));
    for (uint32_t i = 0; i < regions.Size1; ++i) regions.Region1[i] = bytes[i];
    for (uint32_t i = 0; i < regions.Size2; ++i) regions.Region2[i] = bytes[regions.Size1 + i];
    buffer.Unlock(regions);
}
