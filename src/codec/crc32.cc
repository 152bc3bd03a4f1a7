#include "codec/crc32.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

namespace ab {

uint32_t Crc32(const void* bytes, size_t n) {
  // zlib takes the length as uInt, which is narrower than size_t on 64-bit targets.
  constexpr size_t kMaxChunk = std::numeric_limits<uInt>::max();
  const auto* data = static_cast<const Bytef*>(bytes);
  uLong crc = crc32(0L, Z_NULL, 0);
  while (n > 0) {
    const size_t chunk = std::min(n, kMaxChunk);
    crc = crc32(crc, data, static_cast<uInt>(chunk));
    data += chunk;
    n -= chunk;
  }
  return static_cast<uint32_t>(crc);
}

}  // namespace ab
