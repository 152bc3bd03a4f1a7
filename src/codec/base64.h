#pragma once
// Base64 with the standard RFC 4648 alphabet and "=" padding, broken into MIME (RFC 2045) lines.
// The encoded form is what the membership system's programs store for member names, so the line
// breaking below is kept exactly as they write it, quirks included.

#include <cstddef>
#include <string>
#include <string_view>

namespace ab {

// A codec without state: every member is static, any instance serves. Thread-safe.
class Base64 {
 public:
  // Buffer size Encode needs for n bytes, terminating zero included: with k = 4 * ceil(n / 3)
  // encoded characters, k + 2 * floor(k / 76) + 1. When the last group is partial and the full
  // groups are a multiple of 19, Encode writes two bytes fewer than this (the surplus stays zero).
  static size_t EncodedSize(size_t n);

  // Writes the encoding of `n` bytes at `bytes` into `buffer`, which must hold at least
  // EncodedSize(n) bytes; all of them are written, the ones after the encoding are zero.
  // Each full group of three bytes becomes four characters; CR LF follows every 19th full group
  // (also the last one when nothing follows it); a final group of one or two bytes becomes four
  // characters ending in "==" or "=", with no CR LF after it.
  // Returns the number of characters written before the terminating zero.
  static size_t Encode(const void* bytes, size_t n, char* buffer);

  // Upper bound of what Decode writes for `text`: 3 * floor(L / 4) for a text of L bytes, minus 1
  // when it ends in exactly one "=", minus 2 when it ends in "==". Line breaks and other bytes
  // Decode skips are counted in L, so the bound is exact only for text without them.
  // 0 for the empty text and for texts too short to hold a group ("=", "==", ...).
  static size_t DecodedSize(std::string_view text);

  // Decodes `text` into `buffer`, which must hold at least DecodedSize(text) bytes, and returns
  // the number of bytes written. Every byte that is neither an alphabet character nor "=" (line
  // breaks, blanks, bytes from 0x80 up) is skipped; the rest is taken in groups of four. A group
  // whose fourth character is "=" yields two bytes, or one byte when its third is "=" too;
  // otherwise it yields three. An "=" elsewhere in a group counts as the value 0.
  // Malformed text never makes Decode read or write out of bounds:
  //  - significant characters after the last complete group of four are ignored;
  //  - the output is cut at DecodedSize(text) bytes (reachable only when "=" stands where no
  //    encoder puts it, e.g. "AAAA=").
  // Never fails.
  static size_t Decode(std::string_view text, void* buffer);
};

// Base64::Encode into a string, without the terminating zero.
std::string Base64Encode(std::string_view bytes);
// Base64::Decode into a string holding exactly the decoded bytes (zeros included).
std::string Base64Decode(std::string_view text);

}  // namespace ab
