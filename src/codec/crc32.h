#pragma once
// CRC-32 as zlib computes it (IEEE 802.3: reflected polynomial 0xEDB88320, initial value all
// ones, final complement).

#include <cstddef>
#include <cstdint>

namespace ab {

// CRC-32 of the `n` bytes at `bytes`; 0 for n == 0 (`bytes` may then be null). Thread-safe.
uint32_t Crc32(const void* bytes, size_t n);

}  // namespace ab
