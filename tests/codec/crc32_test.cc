#include "codec/crc32.h"

#include <gtest/gtest.h>

#include <string_view>

namespace ab {
namespace {

TEST(Crc32Test, MatchesPublishedCheckValues) {
  const struct {
    std::string_view bytes;
    uint32_t crc;
  } cases[] = {
      {"abc", 0x352441C2u},
      {"123456789", 0xCBF43926u},  // the CRC-32 check value
      {"The quick brown fox jumps over the lazy dog", 0x414FA339u},
      {std::string_view("\0", 1), 0xD202EF8Du},  // a zero byte is data, not an end mark
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Crc32(c.bytes.data(), c.bytes.size()), c.crc) << "Crc32(\"" << c.bytes << "\")";
  }
}

TEST(Crc32Test, EmptyInputGivesZero) {
  EXPECT_EQ(Crc32(nullptr, 0), 0u) << "null pointer, no bytes";
  EXPECT_EQ(Crc32("abc", 0), 0u) << "valid pointer, no bytes";
}

}  // namespace
}  // namespace ab
