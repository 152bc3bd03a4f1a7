#include "config/des_cipher.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "platform/error.h"

namespace ab {
namespace {

// Tables of FIPS PUB 46-3. Bit positions count from 1 at the most significant bit of the input,
// as the standard numbers them, so each table reads exactly as printed there.

// clang-format off
constexpr std::array<uint8_t, 64> kInitialPermutation = {
    58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
    62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
    57, 49, 41, 33, 25, 17, 9,  1, 59, 51, 43, 35, 27, 19, 11, 3,
    61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7,
};

constexpr std::array<uint8_t, 64> kFinalPermutation = {
    40, 8, 48, 16, 56, 24, 64, 32, 39, 7, 47, 15, 55, 23, 63, 31,
    38, 6, 46, 14, 54, 22, 62, 30, 37, 5, 45, 13, 53, 21, 61, 29,
    36, 4, 44, 12, 52, 20, 60, 28, 35, 3, 43, 11, 51, 19, 59, 27,
    34, 2, 42, 10, 50, 18, 58, 26, 33, 1, 41, 9,  49, 17, 57, 25,
};

constexpr std::array<uint8_t, 48> kExpansion = {
    32, 1,  2,  3,  4,  5,  4,  5,  6,  7,  8,  9,  8,  9,  10, 11,
    12, 13, 12, 13, 14, 15, 16, 17, 16, 17, 18, 19, 20, 21, 20, 21,
    22, 23, 24, 25, 24, 25, 26, 27, 28, 29, 28, 29, 30, 31, 32, 1,
};

constexpr std::array<uint8_t, 32> kPermutationP = {
    16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
    2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25,
};

constexpr std::array<uint8_t, 56> kPermutedChoice1 = {
    57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18,
    10, 2,  59, 51, 43, 35, 27, 19, 11, 3,  60, 52, 44, 36,
    63, 55, 47, 39, 31, 23, 15, 7,  62, 54, 46, 38, 30, 22,
    14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4,
};

constexpr std::array<uint8_t, 48> kPermutedChoice2 = {
    14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
    26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
    51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32,
};
// clang-format on

constexpr std::array<uint8_t, 16> kLeftShifts = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

// kSBoxes[box][row][column]; the row is the outer bit pair of the 6-bit input, the column its
// middle four bits.
constexpr uint8_t kSBoxes[8][4][16] = {
    {{14, 4, 13, 1, 2, 15, 11, 8, 3, 10, 6, 12, 5, 9, 0, 7},
     {0, 15, 7, 4, 14, 2, 13, 1, 10, 6, 12, 11, 9, 5, 3, 8},
     {4, 1, 14, 8, 13, 6, 2, 11, 15, 12, 9, 7, 3, 10, 5, 0},
     {15, 12, 8, 2, 4, 9, 1, 7, 5, 11, 3, 14, 10, 0, 6, 13}},
    {{15, 1, 8, 14, 6, 11, 3, 4, 9, 7, 2, 13, 12, 0, 5, 10},
     {3, 13, 4, 7, 15, 2, 8, 14, 12, 0, 1, 10, 6, 9, 11, 5},
     {0, 14, 7, 11, 10, 4, 13, 1, 5, 8, 12, 6, 9, 3, 2, 15},
     {13, 8, 10, 1, 3, 15, 4, 2, 11, 6, 7, 12, 0, 5, 14, 9}},
    {{10, 0, 9, 14, 6, 3, 15, 5, 1, 13, 12, 7, 11, 4, 2, 8},
     {13, 7, 0, 9, 3, 4, 6, 10, 2, 8, 5, 14, 12, 11, 15, 1},
     {13, 6, 4, 9, 8, 15, 3, 0, 11, 1, 2, 12, 5, 10, 14, 7},
     {1, 10, 13, 0, 6, 9, 8, 7, 4, 15, 14, 3, 11, 5, 2, 12}},
    {{7, 13, 14, 3, 0, 6, 9, 10, 1, 2, 8, 5, 11, 12, 4, 15},
     {13, 8, 11, 5, 6, 15, 0, 3, 4, 7, 2, 12, 1, 10, 14, 9},
     {10, 6, 9, 0, 12, 11, 7, 13, 15, 1, 3, 14, 5, 2, 8, 4},
     {3, 15, 0, 6, 10, 1, 13, 8, 9, 4, 5, 11, 12, 7, 2, 14}},
    {{2, 12, 4, 1, 7, 10, 11, 6, 8, 5, 3, 15, 13, 0, 14, 9},
     {14, 11, 2, 12, 4, 7, 13, 1, 5, 0, 15, 10, 3, 9, 8, 6},
     {4, 2, 1, 11, 10, 13, 7, 8, 15, 9, 12, 5, 6, 3, 0, 14},
     {11, 8, 12, 7, 1, 14, 2, 13, 6, 15, 0, 9, 10, 4, 5, 3}},
    {{12, 1, 10, 15, 9, 2, 6, 8, 0, 13, 3, 4, 14, 7, 5, 11},
     {10, 15, 4, 2, 7, 12, 9, 5, 6, 1, 13, 14, 0, 11, 3, 8},
     {9, 14, 15, 5, 2, 8, 12, 3, 7, 0, 4, 10, 1, 13, 11, 6},
     {4, 3, 2, 12, 9, 5, 15, 10, 11, 14, 1, 7, 6, 0, 8, 13}},
    {{4, 11, 2, 14, 15, 0, 8, 13, 3, 12, 9, 7, 5, 10, 6, 1},
     {13, 0, 11, 7, 4, 9, 1, 10, 14, 3, 5, 12, 2, 15, 8, 6},
     {1, 4, 11, 13, 12, 3, 7, 14, 10, 15, 6, 8, 0, 5, 9, 2},
     {6, 11, 13, 8, 1, 4, 10, 7, 9, 5, 0, 15, 14, 2, 3, 12}},
    {{13, 2, 8, 4, 6, 15, 11, 1, 10, 9, 3, 14, 5, 0, 12, 7},
     {1, 15, 13, 8, 10, 3, 7, 4, 12, 5, 6, 11, 0, 14, 9, 2},
     {7, 11, 4, 1, 9, 12, 14, 2, 0, 6, 10, 13, 15, 3, 5, 8},
     {2, 1, 14, 7, 4, 10, 8, 13, 15, 12, 9, 0, 3, 5, 6, 11}},
};

constexpr size_t kBlockSize = 8;
constexpr uint64_t kHalfKeyMask = (uint64_t{1} << 28) - 1;

// Output bit i of the result is bit table[i] of the `in_width`-bit value `in`.
template <size_t N>
uint64_t Permute(uint64_t in, int in_width, const std::array<uint8_t, N>& table) {
  uint64_t out = 0;
  for (uint8_t position : table) {
    out = (out << 1) | ((in >> (in_width - position)) & 1);
  }
  return out;
}

uint64_t RotateHalfKeyLeft(uint64_t half, int count) {
  return ((half << count) | (half >> (28 - count))) & kHalfKeyMask;
}

std::array<uint64_t, 16> MakeRoundKeys(uint64_t key) {
  const uint64_t cd = Permute(key, 64, kPermutedChoice1);
  uint64_t c = cd >> 28;
  uint64_t d = cd & kHalfKeyMask;
  std::array<uint64_t, 16> round_keys{};
  for (size_t round = 0; round < round_keys.size(); ++round) {
    c = RotateHalfKeyLeft(c, kLeftShifts[round]);
    d = RotateHalfKeyLeft(d, kLeftShifts[round]);
    round_keys[round] = Permute((c << 28) | d, 56, kPermutedChoice2);
  }
  return round_keys;
}

// The cipher function f(R, K) of the standard.
uint32_t Feistel(uint32_t right, uint64_t round_key) {
  const uint64_t mixed = Permute(right, 32, kExpansion) ^ round_key;
  uint64_t substituted = 0;
  for (int box = 0; box < 8; ++box) {
    const unsigned six = (mixed >> (42 - 6 * box)) & 0x3F;
    const unsigned row = ((six >> 4) & 0x2) | (six & 0x1);
    const unsigned column = (six >> 1) & 0xF;
    substituted = (substituted << 4) | kSBoxes[box][row][column];
  }
  return static_cast<uint32_t>(Permute(substituted, 32, kPermutationP));
}

uint64_t LoadBigEndian(const unsigned char* bytes) {
  uint64_t value = 0;
  for (size_t i = 0; i < kBlockSize; ++i) {
    value = (value << 8) | bytes[i];
  }
  return value;
}

void StoreBigEndian(uint64_t value, unsigned char* bytes) {
  for (size_t i = kBlockSize; i-- > 0;) {
    bytes[i] = static_cast<unsigned char>(value & 0xFF);
    value >>= 8;
  }
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  return -1;
}

void CheckKeyLength(const std::string& key) {
  if (key.size() != kBlockSize) {
    throw Exception("DES_EncryptHex Pass Lenght Error");
  }
}

}  // namespace

std::string DES_EncryptHex(const std::string& clear, const std::string& key) {
  CheckKeyLength(key);
  const size_t length = std::strlen(clear.c_str());
  const size_t blocks = length == 0 ? 1 : (length + kBlockSize - 1) / kBlockSize;
  std::string buffer(blocks * kBlockSize, '\0');
  clear.copy(buffer.data(), length);
  auto* bytes = reinterpret_cast<unsigned char*>(buffer.data());
  for (size_t offset = 0; offset < buffer.size(); offset += kBlockSize) {
    DES_CryptBlock(bytes + offset, bytes + offset, key, 'E');
  }
  return Bin2Hex(bytes, buffer.size());
}

std::string DES_DecryptHex(const std::string& hex, const std::string& key) {
  CheckKeyLength(key);
  if (hex.size() % (2 * kBlockSize) != 0) {
    throw Exception("DES_EncryptHex Data Lenght Error");
  }
  std::string buffer = Hex2Bin(hex);
  auto* bytes = reinterpret_cast<unsigned char*>(buffer.data());
  for (size_t offset = 0; offset < buffer.size(); offset += kBlockSize) {
    DES_CryptBlock(bytes + offset, bytes + offset, key, 'D');
  }
  return buffer.substr(0, buffer.find('\0'));
}

std::string Hex2Bin(std::string_view hex) {
  if (hex.size() % 2 != 0) {
    throw Exception("Hex2Bin Data Length Error");
  }
  std::string bytes;
  bytes.reserve(hex.size() / 2);
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int high = HexDigitValue(hex[i]);
    const int low = HexDigitValue(hex[i + 1]);
    if (high < 0 || low < 0) {
      throw ConvertError("'$" + std::string(hex.substr(i, 2)) + "' is not a valid integer value");
    }
    bytes.push_back(static_cast<char>((high << 4) | low));
  }
  return bytes;
}

std::string Bin2Hex(const unsigned char* bytes, size_t count) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(2 * count);
  for (size_t i = 0; i < count; ++i) {
    hex.push_back(kDigits[bytes[i] >> 4]);
    hex.push_back(kDigits[bytes[i] & 0xF]);
  }
  return hex;
}

void DES_CryptBlock(const unsigned char in[8], unsigned char out[8], const std::string& key,
                    char mode) {
  unsigned char key_bytes[kBlockSize] = {};
  key.copy(reinterpret_cast<char*>(key_bytes), kBlockSize);
  const std::array<uint64_t, 16> round_keys = MakeRoundKeys(LoadBigEndian(key_bytes));
  const bool encrypt = mode == 0 || mode == 'E' || mode == 'e';

  const uint64_t permuted = Permute(LoadBigEndian(in), 64, kInitialPermutation);
  uint32_t left = static_cast<uint32_t>(permuted >> 32);
  uint32_t right = static_cast<uint32_t>(permuted);
  for (size_t round = 0; round < round_keys.size(); ++round) {
    const uint64_t round_key = round_keys[encrypt ? round : round_keys.size() - 1 - round];
    const uint32_t next_right = left ^ Feistel(right, round_key);
    left = right;
    right = next_right;
  }
  // The standard's preoutput is R16 L16: the halves of the last round are not swapped.
  const uint64_t preoutput = (uint64_t{right} << 32) | left;
  StoreBigEndian(Permute(preoutput, 64, kFinalPermutation), out);
}

}  // namespace ab
