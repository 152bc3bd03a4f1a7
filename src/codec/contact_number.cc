#include "codec/contact_number.h"

#include <cstddef>

#include "codec/base64.h"
#include "diag/operator_context.h"

namespace ab {
namespace {

bool Unchanged(const std::string& text) {
  return !contactNumberEncoding || text.empty() || text == "0";
}

bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

// The low eight bits of `value` as a two's-complement number.
int Signed8(int value) {
  value &= 0xFF;
  return value < 0x80 ? value : value - 0x100;
}

}  // namespace

std::string DecodeName(const std::string& text) {
  if (Unchanged(text)) {
    return text;
  }
  std::string decoded = Base64Decode(text);
  const size_t zero = decoded.find('\0');
  if (zero != std::string::npos) {
    decoded.resize(zero);
  }
  return decoded;
}

std::string DecodeContactNumber(const std::string& text) {
  constexpr size_t kTail = 7;
  if (Unchanged(text) || text.size() < kTail) {
    return text;
  }

  const size_t base = text.size() - kTail;
  // Byte values (c) and digit values (d) of the stored text, both read as signed 8-bit numbers
  // as the programs that write members compute them; a byte from 0x80 up counts as negative.
  int c[kTail];
  int d[kTail];
  for (size_t i = 0; i < kTail; ++i) {
    const int byte = static_cast<unsigned char>(text[base + i]);
    c[i] = Signed8(byte);
    d[i] = Signed8(byte - '0');
  }
  const int r[kTail] = {
      0,  // p0 is never changed
      d[1] - d[0] + 293,
      d[2] - c[1] - d[0] + 297,
      d[3] - c[1] - c[2] - d[0] + 294,
      d[4] - c[3] - c[2] - c[1] + 298,
      d[5] - c[3] - c[4] - c[1] + 291,
      d[6] - c[5] - c[4] - c[2] + 296,
  };

  std::string result = text;
  for (size_t i = 1; i < kTail; ++i) {
    if (IsDigit(text[base + i])) {
      result[base + i] = static_cast<char>('0' + r[i] % 10);
    }
  }
  return result;
}

}  // namespace ab
