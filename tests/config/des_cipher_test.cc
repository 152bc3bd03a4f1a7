#include "config/des_cipher.h"

#include <gtest/gtest.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"

namespace ab {
namespace {

// Reference DES-ECB from OpenSSL. OpenSSL 3 keeps DES in its legacy provider only; the default
// provider is loaded next to it because loading any provider explicitly disables the implicit one.
class OpenSslDes {
 public:
  OpenSslDes() {
    legacy_ = OSSL_PROVIDER_load(nullptr, "legacy");
    default_ = OSSL_PROVIDER_load(nullptr, "default");
    if (legacy_ == nullptr) {
      error_ =
          "OpenSSL's legacy provider could not be loaded (is ossl-modules/legacy.so "
          "installed?): " +
          LastOpenSslError();
      return;
    }
    cipher_ = EVP_CIPHER_fetch(nullptr, "DES-ECB", "provider=legacy");
    if (cipher_ == nullptr) {
      error_ = "OpenSSL has no DES-ECB: " + LastOpenSslError();
    }
  }
  ~OpenSslDes() {
    EVP_CIPHER_free(cipher_);
    if (default_ != nullptr) {
      OSSL_PROVIDER_unload(default_);
    }
    if (legacy_ != nullptr) {
      OSSL_PROVIDER_unload(legacy_);
    }
  }
  OpenSslDes(const OpenSslDes&) = delete;
  OpenSslDes& operator=(const OpenSslDes&) = delete;

  // Empty when DES-ECB is usable, else why not.
  const std::string& error() const { return error_; }

  // ECB without padding over `data` (a whole number of blocks) under the 8-byte `key`.
  std::string Crypt(std::string_view key, std::string_view data, bool encrypt) const {
    if (cipher_ == nullptr) {
      throw std::runtime_error(error_);
    }
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                        &EVP_CIPHER_CTX_free);
    std::string out(data.size() + 8, '\0');
    int written = 0;
    int final_written = 0;
    auto* out_bytes = reinterpret_cast<unsigned char*>(out.data());
    if (ctx == nullptr ||
        EVP_CipherInit_ex2(ctx.get(), cipher_, reinterpret_cast<const unsigned char*>(key.data()),
                           nullptr, encrypt ? 1 : 0, nullptr) != 1 ||
        EVP_CIPHER_CTX_set_padding(ctx.get(), 0) != 1 ||
        EVP_CipherUpdate(ctx.get(), out_bytes, &written,
                         reinterpret_cast<const unsigned char*>(data.data()),
                         static_cast<int>(data.size())) != 1 ||
        EVP_CipherFinal_ex(ctx.get(), out_bytes + written, &final_written) != 1) {
      throw std::runtime_error("OpenSSL DES-ECB failed: " + LastOpenSslError());
    }
    out.resize(static_cast<size_t>(written) + static_cast<size_t>(final_written));
    return out;
  }

 private:
  static std::string LastOpenSslError() {
    char text[256] = "no OpenSSL error queued";
    if (const unsigned long code = ERR_get_error(); code != 0) {
      ERR_error_string_n(code, text, sizeof text);
    }
    return text;
  }

  OSSL_PROVIDER* legacy_ = nullptr;
  OSSL_PROVIDER* default_ = nullptr;
  EVP_CIPHER* cipher_ = nullptr;
  std::string error_;
};

const OpenSslDes& Reference() {
  static const OpenSslDes des;
  return des;
}

std::string Hex(std::string_view bytes) {
  return Bin2Hex(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

// Runs DES_CryptBlock over one block given in hex, with the key given in hex; returns hex.
std::string CryptBlockHex(std::string_view key_hex, std::string_view block_hex, char mode) {
  const std::string key = Hex2Bin(key_hex);
  const std::string block = Hex2Bin(block_hex);
  unsigned char out[8] = {};
  DES_CryptBlock(reinterpret_cast<const unsigned char*>(block.data()), out, key, mode);
  return Bin2Hex(out, sizeof out);
}

// What `action` throws, as "ConvertError: <message>" or "Exception: <message>", else
// "<no exception>" or "<other exception>".
template <typename Action>
std::string ErrorOf(Action action) {
  try {
    action();
  } catch (const ConvertError& e) {
    return "ConvertError: " + e.message();
  } catch (const Exception& e) {
    return "Exception: " + e.message();
  } catch (...) {
    return "<other exception>";
  }
  return "<no exception>";
}

std::string RandomBytes(std::mt19937_64& random, size_t count, unsigned char lowest) {
  std::uniform_int_distribution<int> byte(lowest, 255);
  std::string bytes(count, '\0');
  for (char& c : bytes) {
    c = static_cast<char>(byte(random));
  }
  return bytes;
}

struct KnownAnswer {
  const char* source;
  const char* key;
  const char* plain;
  const char* cipher;
};

constexpr KnownAnswer kKnownAnswers[] = {
    {"Grabbe, DES illustrated", "133457799BBCDFF1", "0123456789ABCDEF", "85E813540F0AB405"},
    {"Grabbe, DES illustrated", "0E329232EA6D0D73", "8787878787878787", "0000000000000000"},
    {"FIPS 81 ECB block 1", "0123456789ABCDEF", "4E6F772069732074", "3FA40E8A984D4815"},
    {"FIPS 81 ECB block 2", "0123456789ABCDEF", "68652074696D6520", "6A271787AB8883F9"},
    {"FIPS 81 ECB block 3", "0123456789ABCDEF", "666F7220616C6C20", "893D51EC4B563B53"},
    {"SP 800-17 variable plaintext", "0101010101010101", "8000000000000000", "95F8A5E5DD31D900"},
    {"SP 800-17 variable key", "8001010101010101", "0000000000000000", "95A8D72813DAA94D"},
    {"SP 800-17 substitution table", "7CA110454A1A6E57", "01A1D6D039776742", "690F5B0D9A26939B"},
};

TEST(DesCryptBlockTest, EncryptsPublishedVectors) {
  for (const KnownAnswer& v : kKnownAnswers) {
    EXPECT_EQ(CryptBlockHex(v.key, v.plain, 'E'), v.cipher)
        << v.source << ": key " << v.key << ", plaintext " << v.plain;
  }
}

TEST(DesCryptBlockTest, DecryptsPublishedVectors) {
  for (const KnownAnswer& v : kKnownAnswers) {
    EXPECT_EQ(CryptBlockHex(v.key, v.cipher, 'D'), v.plain)
        << v.source << ": key " << v.key << ", ciphertext " << v.cipher;
  }
}

TEST(DesCryptBlockTest, EncryptsForModeZeroOrEAndDecryptsForAnyOtherMode) {
  const KnownAnswer& v = kKnownAnswers[0];
  struct Case {
    char mode;
    bool encrypts;
  };
  const Case cases[] = {{0, true},    {'E', true}, {'e', true},  {'D', false},   {'d', false},
                        {'X', false}, {1, false},  {'0', false}, {'\xC5', false}};
  for (const Case& c : cases) {
    if (c.encrypts) {
      EXPECT_EQ(CryptBlockHex(v.key, v.plain, c.mode), v.cipher)
          << "mode " << int{c.mode} << " should encrypt";
    } else {
      EXPECT_EQ(CryptBlockHex(v.key, v.cipher, c.mode), v.plain)
          << "mode " << int{c.mode} << " should decrypt";
    }
  }
}

TEST(DesCryptBlockTest, IgnoresKeyParityBits) {
  for (const KnownAnswer& v : kKnownAnswers) {
    std::string key = Hex2Bin(v.key);
    for (char& c : key) {
      c = static_cast<char>(c ^ 0x01);
    }
    EXPECT_EQ(CryptBlockHex(Hex(key), v.plain, 'E'), v.cipher)
        << v.source << ": key " << v.key << " with every parity bit flipped";
  }
}

TEST(DesCryptBlockTest, MayWriteOverItsInput) {
  for (const KnownAnswer& v : kKnownAnswers) {
    std::string block = Hex2Bin(v.plain);
    auto* bytes = reinterpret_cast<unsigned char*>(block.data());
    DES_CryptBlock(bytes, bytes, Hex2Bin(v.key), 'E');
    EXPECT_EQ(Hex(block), v.cipher) << v.source << ": encrypting in place";
    DES_CryptBlock(bytes, bytes, Hex2Bin(v.key), 'D');
    EXPECT_EQ(Hex(block), v.plain) << v.source << ": decrypting in place";
  }
}

TEST(DesCryptBlockTest, AgreesWithOpenSslInBothDirections) {
  ASSERT_EQ(Reference().error(), "");
  std::vector<std::pair<std::string, std::string>> cases = {
      // Weak, semi-weak and extreme keys exercise the key schedule's corners.
      {"0101010101010101", "0000000000000000"}, {"FEFEFEFEFEFEFEFE", "FFFFFFFFFFFFFFFF"},
      {"1F1F1F1F0E0E0E0E", "0123456789ABCDEF"}, {"E0E0E0E0F1F1F1F1", "FEDCBA9876543210"},
      {"01FE01FE01FE01FE", "5555555555555555"}, {"0000000000000000", "AAAAAAAAAAAAAAAA"},
      {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF"}, {Hex(kCredentialKey), "0000000000000000"},
  };
  std::mt19937_64 random(20240601);
  for (int i = 0; i < 256; ++i) {
    cases.emplace_back(Hex(RandomBytes(random, 8, 0)), Hex(RandomBytes(random, 8, 0)));
  }
  for (const auto& [key_hex, block_hex] : cases) {
    const std::string key = Hex2Bin(key_hex);
    const std::string block = Hex2Bin(block_hex);
    EXPECT_EQ(CryptBlockHex(key_hex, block_hex, 'E'), Hex(Reference().Crypt(key, block, true)))
        << "encrypting " << block_hex << " under key " << key_hex;
    EXPECT_EQ(CryptBlockHex(key_hex, block_hex, 'D'), Hex(Reference().Crypt(key, block, false)))
        << "decrypting " << block_hex << " under key " << key_hex;
  }
}

TEST(DesEncryptHexTest, WritesSixteenDigitsPerStartedBlockAndOneBlockForEmptyText) {
  struct Case {
    size_t length;
    size_t digits;
  };
  const Case cases[] = {{0, 16}, {1, 16}, {7, 16}, {8, 16}, {9, 32}, {16, 32}, {17, 48}, {40, 80}};
  for (const Case& c : cases) {
    const std::string clear(c.length, 'p');
    EXPECT_EQ(DES_EncryptHex(clear, kCredentialKey).size(), c.digits)
        << "clear text of " << c.length << " bytes";
  }
}

TEST(DesEncryptHexTest, AgreesWithOpenSslOverTheZeroFilledText) {
  ASSERT_EQ(Reference().error(), "");
  const std::string texts[] = {"",
                               "a",
                               "root",
                               "12345678",
                               "123456789",
                               "\xD6\xD0\xCE\xC4",
                               "p@ss w0rd \xC3\xDC\xC2\xEB!",
                               std::string(33, '\xFF')};
  const std::string keys[] = {kCredentialKey, "12345678", "\xC3\xDC\xC2\xEB\xD6\xD0\xCE\xC4"};
  for (const std::string& key : keys) {
    for (const std::string& text : texts) {
      std::string filled = text.empty() ? std::string(8, '\0') : text;
      filled.resize((filled.size() + 7) / 8 * 8, '\0');
      EXPECT_EQ(DES_EncryptHex(text, key), Hex(Reference().Crypt(key, filled, true)))
          << "text " << Hex(text) << " under key " << Hex(key);
    }
  }
}

TEST(DesEncryptHexTest, TreatsAZeroByteAsTheEndOfTheClearText) {
  const std::string cases[][2] = {
      {std::string("ab\0cd", 5), "ab"},
      {std::string("12345678\0tail", 13), "12345678"},
      {std::string("\0x", 2), ""},
  };
  for (const auto& [text, prefix] : cases) {
    EXPECT_EQ(DES_EncryptHex(text, kCredentialKey), DES_EncryptHex(prefix, kCredentialKey))
        << "text " << Hex(text) << " should encrypt as " << Hex(prefix);
  }
}

TEST(DesEncryptHexTest, RoundTripsThroughDecryptHexForAnyTextWithoutZeroBytes) {
  std::vector<std::string> texts = {"",
                                    "a",
                                    "root",
                                    "12345678",
                                    "1234567890abcdef",
                                    "123456789",
                                    "\xD6\xD0\xCE\xC4",
                                    "\xD6\xD0\xCE\xC4\xC3\xDC\xC2\xEB",
                                    "pass \xC3\xDC\xC2\xEB word"};
  std::string every_byte;
  for (int b = 1; b < 256; ++b) {
    every_byte.push_back(static_cast<char>(b));
  }
  texts.push_back(every_byte);
  std::mt19937_64 random(7);
  for (size_t length = 0; length < 40; ++length) {
    texts.push_back(RandomBytes(random, length, 1));
  }

  const std::string keys[] = {kCredentialKey, "00000000", "\xFF\xFE\xFD\xFC\x01\x02\x03\x04"};
  for (const std::string& key : keys) {
    for (const std::string& text : texts) {
      const std::string hex = DES_EncryptHex(text, key);
      EXPECT_EQ(DES_DecryptHex(hex, key), text)
          << "text " << Hex(text) << " under key " << Hex(key) << " encrypted to " << hex;
    }
  }
}

TEST(DesDecryptHexTest, AcceptsLowerCaseDigits) {
  const std::string texts[] = {"root", "12345678", "\xD6\xD0\xCE\xC4", "longer password text"};
  for (const std::string& text : texts) {
    const std::string upper = DES_EncryptHex(text, kCredentialKey);
    std::string lower = upper;
    for (char& c : lower) {
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    EXPECT_EQ(DES_DecryptHex(lower, kCredentialKey), DES_DecryptHex(upper, kCredentialKey))
        << "lower-case " << lower;
    EXPECT_EQ(DES_DecryptHex(lower, kCredentialKey), text) << "lower-case " << lower;
  }
}

TEST(DesDecryptHexTest, EndsTheTextAtTheFirstZeroByteOfAnyBlock) {
  ASSERT_EQ(Reference().error(), "");
  const std::string cases[][2] = {
      {std::string(8, '\0'), ""},
      {std::string("ab\0cdefg", 8), "ab"},
      {std::string("abcdefgh\0ijklmno", 16), "abcdefgh"},
      {std::string("abcdefghijk\0mnop", 16), "abcdefghijk"},
      {std::string("abcdefghijklmnop", 16), "abcdefghijklmnop"},
  };
  for (const auto& [decrypted, text] : cases) {
    const std::string hex = Hex(Reference().Crypt(kCredentialKey, decrypted, true));
    EXPECT_EQ(DES_DecryptHex(hex, kCredentialKey), text)
        << "cipher text " << hex << " of " << Hex(decrypted);
  }
  EXPECT_EQ(DES_DecryptHex("", kCredentialKey), "") << "empty hex text";
}

TEST(DesCipherErrorTest, KeyNotEightBytesLongFailsInBothDirections) {
  const std::string valid_hex = DES_EncryptHex("root", kCredentialKey);
  const std::string keys[] = {"", "Kelvito", "Kelvitor1", "KelvitorKelvitor"};
  for (const std::string& key : keys) {
    EXPECT_EQ(ErrorOf([&] { (void)DES_EncryptHex("root", key); }),
              "Exception: DES_EncryptHex Pass Lenght Error")
        << "encrypting with a key of " << key.size() << " bytes";
    EXPECT_EQ(ErrorOf([&] { (void)DES_DecryptHex(valid_hex, key); }),
              "Exception: DES_EncryptHex Pass Lenght Error")
        << "decrypting with a key of " << key.size() << " bytes";
    EXPECT_EQ(ErrorOf([&] { (void)DES_DecryptHex("XYZ", key); }),
              "Exception: DES_EncryptHex Pass Lenght Error")
        << "the key must be checked before the hex text, key of " << key.size() << " bytes";
  }
}

TEST(DesDecryptHexTest, RejectsLengthNotAMultipleOfSixteenBeforeReadingDigits) {
  const std::string texts[] = {"0123456789ABCDE",
                               "0123456789ABCDEF0",
                               "ZZZZZZZZZZZZZZZ",
                               "GGGGGGGGGGGGGGGGG",
                               "0123456789ABCDEF01",
                               "0",
                               "0123456789ABCDEFXYZXYZXYZXYZXYZ"};
  for (const std::string& text : texts) {
    EXPECT_EQ(ErrorOf([&] { (void)DES_DecryptHex(text, kCredentialKey); }),
              "Exception: DES_EncryptHex Data Lenght Error")
        << "hex text \"" << text << "\" of " << text.size() << " characters";
  }
}

TEST(DesDecryptHexTest, RaisesConvertErrorForANonHexDigit) {
  struct Case {
    std::string hex;
    std::string error;
  };
  const Case cases[] = {
      {"G123456789ABCDEF", "ConvertError: '$G1' is not a valid integer value"},
      {"0123456789ABCDEz", "ConvertError: '$Ez' is not a valid integer value"},
      {"0123 56789ABCDEF", "ConvertError: '$ 5' is not a valid integer value"},
      {"0123456789ABCDEF0123456789ABCD-1", "ConvertError: '$-1' is not a valid integer value"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorOf([&] { (void)DES_DecryptHex(c.hex, kCredentialKey); }), c.error)
        << "hex text \"" << c.hex << "\"";
  }
}

TEST(Hex2BinTest, ReadsEveryPairAsAByteInEitherLetterCase) {
  for (int b = 0; b < 256; ++b) {
    char upper[3];
    char lower[3];
    std::snprintf(upper, sizeof upper, "%02X", b);
    std::snprintf(lower, sizeof lower, "%02x", b);
    EXPECT_EQ(Hex2Bin(upper), std::string(1, static_cast<char>(b))) << "pair " << upper;
    EXPECT_EQ(Hex2Bin(lower), std::string(1, static_cast<char>(b))) << "pair " << lower;
  }
  std::mt19937_64 random(11);
  const std::string bytes = RandomBytes(random, 64, 0);
  EXPECT_EQ(Hex2Bin(Hex(bytes)), bytes) << "pairs must be stored in order: " << Hex(bytes);
  EXPECT_EQ(Hex2Bin(""), "") << "empty hex text";
}

TEST(Hex2BinTest, OddLengthFails) {
  const std::string texts[] = {"0", "ABC", "G", "0123456789ABCDEF0"};
  for (const std::string& text : texts) {
    EXPECT_EQ(ErrorOf([&] { (void)Hex2Bin(text); }), "Exception: Hex2Bin Data Length Error")
        << "hex text \"" << text << "\"";
  }
}

TEST(Hex2BinTest, PairThatIsNotHexRaisesConvertErrorNamingThePair) {
  struct Case {
    std::string hex;
    std::string error;
  };
  const Case cases[] = {
      {"0G", "ConvertError: '$0G' is not a valid integer value"},
      {"00g0", "ConvertError: '$g0' is not a valid integer value"},
      {"AB 1", "ConvertError: '$ 1' is not a valid integer value"},
      {"+1", "ConvertError: '$+1' is not a valid integer value"},
      {"0x", "ConvertError: '$0x' is not a valid integer value"},
      {"\xD6\xD0", "ConvertError: '$\xD6\xD0' is not a valid integer value"},
      {"ZZ0G", "ConvertError: '$ZZ' is not a valid integer value"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorOf([&] { (void)Hex2Bin(c.hex); }), c.error) << "hex text \"" << c.hex << "\"";
  }
}

TEST(Bin2HexTest, WritesTwoUpperCaseDigitsPerByteInOrder) {
  std::vector<unsigned char> bytes;
  std::string expected;
  for (int b = 255; b >= 0; --b) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02X", b);
    bytes.push_back(static_cast<unsigned char>(b));
    expected += pair;
  }
  EXPECT_EQ(Bin2Hex(bytes.data(), bytes.size()), expected);
  EXPECT_EQ(Bin2Hex(bytes.data(), 0), "") << "no bytes";
}

}  // namespace
}  // namespace ab
