#include "platform/text.h"

#include <iconv.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/error.h"

namespace ab {
namespace {

class Iconv {
 public:
  Iconv(const char* from, const char* to)
      : cd_(iconv_open(to, from)), from_utf8_(std::strcmp(from, "UTF-8") == 0) {}
  ~Iconv() {
    if (ok()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts `in`; an invalid or unconvertible sequence is written as `replacement` and its first
  // byte skipped, or fails the conversion when `replacement` is null.
  bool Convert(std::string_view in, std::string& out, const char* replacement) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    size_t src_left = in.size();
    char buf[4096];
    while (src_left > 0) {
      char* dst = buf;
      size_t dst_left = sizeof buf;
      size_t r = iconv(cd_, &src, &src_left, &dst, &dst_left);
      out.append(buf, static_cast<size_t>(dst - buf));
      if (r != static_cast<size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      if (replacement == nullptr) return false;
      out.append(replacement);
      size_t skip = from_utf8_ ? Utf8SequenceLength(static_cast<unsigned char>(*src)) : 1;
      if (skip > src_left) skip = src_left;
      src += skip;
      src_left -= skip;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    char* dst = buf;
    size_t dst_left = sizeof buf;
    iconv(cd_, nullptr, nullptr, &dst, &dst_left);
    out.append(buf, static_cast<size_t>(dst - buf));
    return true;
  }

 private:
  // An unconvertible UTF-8 character is replaced whole, not byte by byte.
  static size_t Utf8SequenceLength(unsigned char lead) {
    return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  }

  iconv_t cd_;
  bool from_utf8_;
};

std::string ConvertOrReplace(std::string_view text, const char* from, const char* to,
                             const char* replacement) {
  std::string out;
  bool ascii = true;
  for (unsigned char c : text) {
    if (c >= 0x80) {
      ascii = false;
      break;
    }
  }
  if (ascii) return std::string(text);
  Iconv cv(from, to);
  if (!cv.ok()) return std::string(text);
  out.reserve(text.size() * 3 / 2);
  cv.Convert(text, out, replacement);
  return out;
}

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 0x20; }

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

}  // namespace

std::string gbk(std::string_view utf8_text) {
  return ConvertOrReplace(utf8_text, "UTF-8", "GBK", "?");
}

std::string utf8(std::string_view gbk_text) {
  return ConvertOrReplace(gbk_text, "GBK", "UTF-8", "\xEF\xBF\xBD");
}

std::optional<std::string> ConvertEncoding(std::string_view text, const char* from,
                                           const char* to) {
  Iconv cv(from, to);
  if (!cv.ok()) return std::nullopt;
  std::string out;
  if (!cv.Convert(text, out, nullptr)) return std::nullopt;
  return out;
}

bool IsValidUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    size_t follow;
    if (c < 0x80) {
      follow = 0;
    } else if (c >= 0xC2 && c <= 0xDF) {
      follow = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      follow = 2;
    } else if (c >= 0xF0 && c <= 0xF4) {
      follow = 3;
    } else {
      return false;
    }
    if (i + follow >= text.size() && follow > 0) return false;
    for (size_t k = 1; k <= follow; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += follow + 1;
  }
  return true;
}

namespace {
template <typename F>
std::string MapAscii(std::string_view text, F f) {
  std::string out(text);
  for (size_t i = 0; i < out.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(out[i]);
    if (c >= 0x81 && c <= 0xFE && i + 1 < out.size()) {
      ++i;  // GBK double-byte character: leave both bytes alone.
      continue;
    }
    out[i] = static_cast<char>(f(c));
  }
  return out;
}
}  // namespace

std::string LowerCase(std::string_view text) {
  return MapAscii(text, [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; });
}

std::string UpperCase(std::string_view text) {
  return MapAscii(text, [](unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; });
}

bool SameText(std::string_view a, std::string_view b) { return LowerCase(a) == LowerCase(b); }

std::string Trim(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  return std::string(text.substr(b, e - b));
}

std::optional<int64_t> TryStrToInt64(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i < text.size() && (text[i] == 'x' || text[i] == 'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= text.size()) return std::nullopt;
  uint64_t value = 0;
  const char* first = text.data() + i;
  const char* last = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(first, last, value, base);
  if (ec != std::errc() || ptr != last) return std::nullopt;
  if (value > static_cast<uint64_t>(INT64_MAX)) return std::nullopt;
  int64_t v = static_cast<int64_t>(value);
  return negative ? -v : v;
}

std::optional<int32_t> TryStrToInt(std::string_view text) {
  auto v = TryStrToInt64(text);
  if (!v) return std::nullopt;
  bool hex = text.find_first_of("$xX") != std::string_view::npos;
  if (hex && *v >= 0 && *v <= 0xFFFFFFFFLL) {
    // A hexadecimal text fills all 32 bits: $FFFFFFFF is -1.
    return static_cast<int32_t>(static_cast<uint32_t>(*v));
  }
  if (*v < INT32_MIN || *v > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(*v);
}

int32_t StrToInt(std::string_view text) {
  auto v = TryStrToInt(text);
  if (!v) throw ConvertError(Quoted(text) + " is not a valid integer value");
  return *v;
}

int32_t StrToIntDef(std::string_view text, int32_t def) { return TryStrToInt(text).value_or(def); }

std::optional<double> TryStrToFloat(std::string_view text) {
  std::string t = Trim(text);
  size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
    negative = t[i] == '-';
    ++i;
  }
  size_t start = i;
  size_t digits = 0;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    size_t j = i + 1;
    if (j < t.size() && (t[j] == '+' || t[j] == '-')) ++j;
    size_t exp_digits = 0;
    while (j < t.size() && t[j] >= '0' && t[j] <= '9') ++j, ++exp_digits;
    if (exp_digits == 0) return std::nullopt;
    i = j;
  }
  if (i != t.size()) return std::nullopt;
  std::string body = t.substr(start);
  if (body[0] == '.') body.insert(body.begin(), '0');
  double value = 0;
  auto [ptr, ec] = std::from_chars(body.data(), body.data() + body.size(), value);
  if (ec == std::errc::result_out_of_range) return std::nullopt;
  if (ec != std::errc() || ptr != body.data() + body.size()) return std::nullopt;
  return negative ? -value : value;
}

double StrToFloat(std::string_view text) {
  auto v = TryStrToFloat(text);
  if (!v) throw ConvertError(Quoted(text) + " is not a valid floating point value");
  return *v;
}

std::string FloatToStr(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  if (value == 0) return "0";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14e", value);
  // buf: [-]d.ddddddddddddddde[+-]XX
  std::string s(buf);
  bool negative = s[0] == '-';
  if (negative) s.erase(0, 1);
  size_t epos = s.find('e');
  std::string digits = s.substr(0, 1) + s.substr(2, epos - 2);
  int exponent = std::atoi(s.c_str() + epos + 1) + 1;  // value = 0.digits * 10^exponent
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  std::string out = negative ? "-" : "";
  if (exponent > 15 || exponent < -3) {
    out += digits[0];
    if (digits.size() > 1) out += "." + digits.substr(1);
    out += "E" + std::to_string(exponent - 1);
    return out;
  }
  if (exponent <= 0) {
    out += "0." + std::string(static_cast<size_t>(-exponent), '0') + digits;
    return out;
  }
  if (static_cast<size_t>(exponent) >= digits.size()) {
    out += digits + std::string(static_cast<size_t>(exponent) - digits.size(), '0');
    return out;
  }
  out += digits.substr(0, static_cast<size_t>(exponent)) + "." +
         digits.substr(static_cast<size_t>(exponent));
  return out;
}

std::optional<bool> TryStrToBool(std::string_view text) {
  if (auto number = TryStrToFloat(text)) return *number != 0;
  if (SameText(text, "true")) return true;
  if (SameText(text, "false")) return false;
  return std::nullopt;
}

bool StrToBool(std::string_view text) {
  auto v = TryStrToBool(text);
  if (!v) throw ConvertError(Quoted(text) + " is not a valid boolean value");
  return *v;
}

std::string BoolToStr(bool value) { return value ? "True" : "False"; }

std::string IntToStr(int64_t value) { return std::to_string(value); }

}  // namespace ab
