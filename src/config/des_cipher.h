#pragma once
// The cipher of the database password kept in Config.xml: single DES (FIPS PUB 46-3) in
// electronic codebook mode over the zero-padded text, written as upper-case hexadecimal.
//
// Every operation works on its own buffers and round keys and keeps no state between calls, so
// any of them may run on any thread. Texts are GBK bytes; lengths count bytes. Failures throw
// ab::Exception (bad lengths) or ab::ConvertError (a pair that is not hexadecimal), declared in
// platform/error.h.

#include <cstddef>
#include <string>
#include <string_view>

namespace ab {

// The one key the system encrypts and decrypts the stored password with.
inline constexpr char kCredentialKey[] = "Kelvitor";

// Encrypts `clear` under `key` and returns 16 upper-case hex digits per 8-byte block.
//
// `clear` ends at its first zero byte, if any. It is zero-filled to a whole number of blocks; an
// empty text still gives one block and a text of exactly 8, 16, ... bytes gets no extra block.
// The 8 bytes of `key` are the DES key; its parity bits are ignored.
// Throws Exception "DES_EncryptHex Pass Lenght Error" when `key` is not exactly 8 bytes long.
[[nodiscard]] std::string DES_EncryptHex(const std::string& clear, const std::string& key);

// Inverse of DES_EncryptHex: decrypts the hex text `hex` (upper or lower case digits) under `key`
// and returns the decrypted bytes up to, not including, the first zero byte. An empty `hex`
// gives the empty text.
//
// Throws, checked in this order:
//  - Exception "DES_EncryptHex Pass Lenght Error" when `key` is not exactly 8 bytes long;
//  - Exception "DES_EncryptHex Data Lenght Error" when the length of `hex` is not a multiple of
//    16, whatever characters it holds;
//  - ConvertError as Hex2Bin does for a pair that is not hexadecimal.
[[nodiscard]] std::string DES_DecryptHex(const std::string& hex, const std::string& key);

// Returns the length(hex) / 2 bytes that the pairs of `hex` stand for, in order; each pair is
// read as a hexadecimal number, most significant digit first, in either letter case.
//
// Throws Exception "Hex2Bin Data Length Error" when the length of `hex` is odd, and ConvertError
// "'$XY' is not a valid integer value" for the first pair XY that is not two hex digits.
[[nodiscard]] std::string Hex2Bin(std::string_view hex);

// Returns two upper-case hex digits per byte of bytes[0, count), in order. Never throws.
[[nodiscard]] std::string Bin2Hex(const unsigned char* bytes, size_t count);

// Runs one 8-byte block `in` through DES and writes the result to `out` (which may be `in`).
// `mode` 0, 'E' or 'e' encrypts; any other value decrypts.
//
// The first 8 bytes of `key` are the DES key, a shorter key being filled up with zero bytes; the
// parity bits are ignored. The 16 round keys are made afresh on every call. Never throws.
void DES_CryptBlock(const unsigned char in[8], unsigned char out[8], const std::string& key,
                    char mode);

}  // namespace ab
