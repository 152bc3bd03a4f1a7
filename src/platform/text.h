#pragma once
// Text inside the system is GBK bytes in std::string. Literals in the source are UTF-8 and are
// converted once with gbk(); the human edges (terminal, log, Qt) convert back with utf8().
//
// The conversions follow the rules the membership system's programs use for texts stored in the
// database and in Config.xml:
//  - whole numbers: optional leading blanks, an optional sign, decimal digits, or a hexadecimal
//    form introduced by "$", "x", "X", "0x" or "0X"; nothing may follow; 32-bit range;
//  - booleans: a number (non-zero is true), else "True"/"False" in any letter case;
//  - reals: decimal notation with "." as decimal separator, optional exponent; written in general
//    format with up to 15 significant digits.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ab {

// UTF-8 -> GBK. Characters GBK cannot hold become "?". Never throws.
std::string gbk(std::string_view utf8);
// GBK -> UTF-8. Invalid byte sequences become U+FFFD. Never throws.
std::string utf8(std::string_view gbk_text);
// Converts between two iconv encodings; returns nullopt when the text is not valid in `from`.
std::optional<std::string> ConvertEncoding(std::string_view text, const char* from, const char* to);
// True when every byte sequence of `text` is valid UTF-8.
bool IsValidUtf8(std::string_view text);

// ASCII-only case mapping: GBK trail bytes may fall in the ASCII letter range, so a byte that
// follows a lead byte (0x81-0xFE) is never changed.
std::string LowerCase(std::string_view text);
std::string UpperCase(std::string_view text);
bool SameText(std::string_view a, std::string_view b);
// Removes leading and trailing bytes <= 0x20.
std::string Trim(std::string_view text);

std::optional<int32_t> TryStrToInt(std::string_view text);
// Throws ConvertError "'<text>' is not a valid integer value".
int32_t StrToInt(std::string_view text);
int32_t StrToIntDef(std::string_view text, int32_t def);
std::optional<int64_t> TryStrToInt64(std::string_view text);

std::optional<double> TryStrToFloat(std::string_view text);
// Throws ConvertError "'<text>' is not a valid floating point value".
double StrToFloat(std::string_view text);
// General format, up to 15 significant digits, no thousands separators; whole numbers without a
// decimal part; scientific ("1E20", "1.5E-7") for very large or small magnitudes.
std::string FloatToStr(double value);

std::optional<bool> TryStrToBool(std::string_view text);
// Throws ConvertError "'<text>' is not a valid boolean value".
bool StrToBool(std::string_view text);
// "True" or "False".
std::string BoolToStr(bool value);

std::string IntToStr(int64_t value);

}  // namespace ab
