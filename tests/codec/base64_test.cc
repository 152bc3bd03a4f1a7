#include "codec/base64.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace ab {
namespace {

std::string Repeat(std::string_view piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) {
    out += piece;
  }
  return out;
}

// Decodes through the class interface into a buffer of exactly DecodedSize(text) bytes followed
// by guard bytes, and fails the test when Decode goes past that size.
std::string DecodeGuarded(std::string_view text) {
  constexpr char kGuard = '\x5A';
  constexpr size_t kGuardBytes = 16;
  const size_t size = Base64::DecodedSize(text);
  std::vector<char> buffer(size + kGuardBytes, kGuard);
  const size_t written = Base64::Decode(text, buffer.data());
  EXPECT_LE(written, size) << "Decode(\"" << text << "\") reported more than DecodedSize";
  for (size_t i = size; i < buffer.size(); ++i) {
    EXPECT_EQ(buffer[i], kGuard) << "Decode(\"" << text << "\") wrote past DecodedSize at " << i;
  }
  return std::string(buffer.data(), std::min(written, size));
}

struct Vector {
  std::string_view bytes;
  std::string_view text;
};

// RFC 4648, section 10.
constexpr Vector kRfc4648[] = {
    {"", ""},
    {"f", "Zg=="},
    {"fo", "Zm8="},
    {"foo", "Zm9v"},
    {"foob", "Zm9vYg=="},
    {"fooba", "Zm9vYmE="},
    {"foobar", "Zm9vYmFy"},
};

TEST(Base64Test, EncodesRfc4648Vectors) {
  for (const auto& v : kRfc4648) {
    EXPECT_EQ(Base64Encode(v.bytes), v.text) << "encoding \"" << v.bytes << "\"";
  }
}

TEST(Base64Test, DecodesRfc4648Vectors) {
  for (const auto& v : kRfc4648) {
    EXPECT_EQ(DecodeGuarded(v.text), v.bytes) << "decoding \"" << v.text << "\"";
    EXPECT_EQ(Base64::DecodedSize(v.text), v.bytes.size()) << "DecodedSize(\"" << v.text << "\")";
  }
}

TEST(Base64Test, EncodedSizeCountsLineBreaksAndTerminatingZero) {
  const struct {
    size_t n;
    size_t size;
  } cases[] = {
      {0, 1},    // just the zero
      {1, 5},    // "Zg==" + zero
      {3, 5},    // one full group
      {57, 79},  // 76 characters, CR LF, zero
      {58, 83},  // 76, CR LF, 4, zero
      {114, 157},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Base64::EncodedSize(c.n), c.size) << "EncodedSize(" << c.n << ")";
  }
}

TEST(Base64Test, BreaksTheLineAfterNineteenFullGroupsEvenWhenNothingFollows) {
  const std::string text = Base64Encode(Repeat("foo", 19));
  EXPECT_EQ(text, Repeat("Zm9v", 19) + "\r\n") << "57 bytes must give 76 characters and CR LF";
}

TEST(Base64Test, PutsNoLineBreakAfterAFinalPartialGroup) {
  EXPECT_EQ(Base64Encode(Repeat("foo", 19) + "f"), Repeat("Zm9v", 19) + "\r\nZg==")
      << "58 bytes must give 76 characters, CR LF and four characters ending in ==";
  EXPECT_EQ(Base64Encode(Repeat("foo", 18) + "fo"), Repeat("Zm9v", 18) + "Zm8=")
      << "56 bytes fill the first line with a partial group, which takes no CR LF";
}

TEST(Base64Test, BreaksEveryLine) {
  EXPECT_EQ(Base64Encode(Repeat("foo", 38)), Repeat(Repeat("Zm9v", 19) + "\r\n", 2));
}

TEST(Base64Test, EncodeZeroFillsTheWholeBuffer) {
  // 56 bytes: EncodedSize reserves room for a CR LF that a final partial group never gets.
  const std::string bytes = Repeat("foo", 18) + "fo";
  std::vector<char> buffer(Base64::EncodedSize(bytes.size()), 'x');
  const size_t written = Base64::Encode(bytes.data(), bytes.size(), buffer.data());
  ASSERT_EQ(written, 76u) << "characters reported by Encode";
  for (size_t i = written; i < buffer.size(); ++i) {
    EXPECT_EQ(buffer[i], '\0') << "byte " << i << " after the encoding was not zeroed";
  }
}

TEST(Base64Test, DecodingIgnoresLineBreaks) {
  const std::string bytes = Repeat("foo", 38) + "fo";
  const std::string text = Base64Encode(bytes);
  ASSERT_NE(text.find("\r\n"), std::string::npos) << "the encoding should hold line breaks";
  std::string unbroken;
  for (const char ch : text) {
    if (ch != '\r' && ch != '\n') {
      unbroken += ch;
    }
  }
  EXPECT_EQ(DecodeGuarded(text), bytes) << "decoding with CR LF";
  EXPECT_EQ(DecodeGuarded(unbroken), bytes) << "decoding without CR LF";
}

TEST(Base64Test, DecodingSkipsEveryByteOutsideTheAlphabet) {
  const std::string_view texts[] = {
      "Zm9vYmFy", "Zm9v\r\nYmFy", " Zm 9v\tYm-Fy.", "Zm9v\x80\xFFYmFy", "\n\nZm9vYmFy\r\n",
  };
  for (const auto text : texts) {
    EXPECT_EQ(Base64Decode(text), "foobar") << "decoding \"" << text << "\"";
  }
}

TEST(Base64Test, RoundTripsAllByteValues) {
  std::string bytes;
  for (int i = 0; i < 256; ++i) {
    bytes += static_cast<char>(i);
  }
  for (size_t n : {bytes.size(), bytes.size() - 1, bytes.size() - 2}) {
    const std::string_view input(bytes.data(), n);
    EXPECT_EQ(Base64Decode(Base64Encode(input)), input)
        << "round trip of the first " << n << " byte values";
  }
}

TEST(Base64Test, DecodedSizeIsExactForASingleLine) {
  for (size_t n : {0, 1, 2, 3, 56, 57, 58}) {
    const std::string text = Base64Encode(std::string(n, 'q'));
    EXPECT_EQ(Base64::DecodedSize(text), n) << "DecodedSize of the encoding of " << n << " bytes";
  }
}

TEST(Base64Test, DecodedSizeCountsLineBreaksAsText) {
  // 114 bytes: two lines of 76 characters and CR LF, 156 bytes of text.
  const std::string text = Base64Encode(std::string(114, 'q'));
  EXPECT_EQ(Base64::DecodedSize(text), 117u) << "3 * floor(156 / 4)";
  EXPECT_EQ(DecodeGuarded(text), std::string(114, 'q')) << "decoding stays within the bound";
}

TEST(Base64Test, MalformedTextStaysWithinDecodedSize) {
  const struct {
    std::string_view text;
    std::string_view bytes;
  } cases[] = {
      {"Zm9vYg", "foo"},  // two characters short of a group: they are ignored
      {"Zm9vY", "foo"},   // one character of a group
      {"Zm9", ""},        // no complete group at all
      {"=", ""},          // shorter than a group
      {"==", ""},
      {"Zm9v=", "fo"},  // the stray "=" makes DecodedSize 2; the output is cut there
      {"Zm9vYmFy====", std::string_view("foobar\0", 7)},  // "====" is a one-byte group of 0
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeGuarded(c.text), c.bytes) << "decoding malformed \"" << c.text << "\"";
  }
}

TEST(Base64Test, DecodedSizeOfTheEmptyTextIsZero) { EXPECT_EQ(Base64::DecodedSize(""), 0u); }

}  // namespace
}  // namespace ab
