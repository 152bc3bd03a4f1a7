#include "codec/base64.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace ab {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr size_t kGroupsPerLine = 19;  // 76 characters

constexpr int8_t kSkip = -1;
constexpr int8_t kPad = -2;

constexpr std::array<int8_t, 256> MakeDecodeTable() {
  std::array<int8_t, 256> table{};
  for (auto& entry : table) {
    entry = kSkip;
  }
  for (int value = 0; value < 64; ++value) {
    table[static_cast<unsigned char>(kAlphabet[value])] = static_cast<int8_t>(value);
  }
  table['='] = kPad;
  return table;
}

constexpr std::array<int8_t, 256> kDecodeTable = MakeDecodeTable();

}  // namespace

size_t Base64::EncodedSize(size_t n) {
  const size_t k = 4 * ((n + 2) / 3);
  return k + 2 * (k / 76) + 1;
}

size_t Base64::Encode(const void* bytes, size_t n, char* buffer) {
  std::memset(buffer, 0, EncodedSize(n));
  const auto* in = static_cast<const unsigned char*>(bytes);
  char* out = buffer;

  size_t full_groups = 0;
  for (; n >= 3; in += 3, n -= 3) {
    const uint32_t v = (uint32_t{in[0]} << 16) | (uint32_t{in[1]} << 8) | in[2];
    *out++ = kAlphabet[(v >> 18) & 0x3F];
    *out++ = kAlphabet[(v >> 12) & 0x3F];
    *out++ = kAlphabet[(v >> 6) & 0x3F];
    *out++ = kAlphabet[v & 0x3F];
    if (++full_groups % kGroupsPerLine == 0) {
      *out++ = '\r';
      *out++ = '\n';
    }
  }
  if (n > 0) {
    const uint32_t v = (uint32_t{in[0]} << 16) | (n == 2 ? uint32_t{in[1]} << 8 : 0);
    *out++ = kAlphabet[(v >> 18) & 0x3F];
    *out++ = kAlphabet[(v >> 12) & 0x3F];
    *out++ = n == 2 ? kAlphabet[(v >> 6) & 0x3F] : '=';
    *out++ = '=';
  }
  return static_cast<size_t>(out - buffer);
}

size_t Base64::DecodedSize(std::string_view text) {
  const size_t size = 3 * (text.size() / 4);
  size_t padding = 0;
  if (!text.empty() && text.back() == '=') {
    padding = text.size() >= 2 && text[text.size() - 2] == '=' ? 2 : 1;
  }
  return size > padding ? size - padding : 0;
}

size_t Base64::Decode(std::string_view text, void* buffer) {
  auto* out = static_cast<unsigned char*>(buffer);
  const size_t capacity = DecodedSize(text);
  size_t written = 0;

  std::array<int8_t, 4> group{};
  size_t filled = 0;
  for (const char ch : text) {
    const int8_t value = kDecodeTable[static_cast<unsigned char>(ch)];
    if (value == kSkip) {
      continue;
    }
    group[filled++] = value;
    if (filled < 4) {
      continue;
    }
    filled = 0;

    uint32_t v = 0;
    for (const int8_t sextet : group) {
      v = (v << 6) | static_cast<uint32_t>(sextet == kPad ? 0 : sextet);
    }
    const size_t count = group[3] != kPad ? 3 : group[2] == kPad ? 1 : 2;
    const unsigned char decoded[3] = {static_cast<unsigned char>(v >> 16),
                                      static_cast<unsigned char>(v >> 8),
                                      static_cast<unsigned char>(v)};
    for (size_t i = 0; i < count && written < capacity; ++i) {
      out[written++] = decoded[i];
    }
  }
  return written;
}

std::string Base64Encode(std::string_view bytes) {
  std::string buffer(Base64::EncodedSize(bytes.size()), '\0');
  buffer.resize(Base64::Encode(bytes.data(), bytes.size(), buffer.data()));
  return buffer;
}

std::string Base64Decode(std::string_view text) {
  std::string buffer(Base64::DecodedSize(text), '\0');
  buffer.resize(Base64::Decode(text, buffer.data()));
  return buffer;
}

}  // namespace ab
