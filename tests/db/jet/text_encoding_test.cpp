// The stored form of texts, made straight from UTF-8: compressed (FF FE and one byte a
// character) exactly when allowed and every character is in U+0001..U+00FF, UTF-16LE
// otherwise (surrogate pairs outside the Basic Plane); and decoding gives the text back.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "db/jet/base/text.h"

namespace qv::jet {
namespace {

std::string stored(std::string_view utf8, bool allowCompression) {
  std::vector<uint8_t> out = {'h'};  // something before: the text is appended
  std::u16string scratch;
  appendUcs2Text(utf8, allowCompression, out, scratch);
  EXPECT_EQ(out.front(), 'h');
  return std::string(out.begin() + 1, out.end());
}

std::string utf16le(std::string_view utf8) {
  std::string out;
  for (char16_t u : utf8ToUtf16(utf8)) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
  }
  return out;
}

TEST(TextEncoding, CompressedExactlyWhenEveryCharacterFitsOneByte) {
  const std::string longAscii = std::string(37, 'a') + "'" + std::string(29, 'z');
  // Texts whose characters all lie in U+0001..U+00FF, ASCII runs of odd lengths included.
  for (const std::string& t : {std::string("x"), longAscii, std::string("caf\xC3\xA9 na\xC3\xAFve \xC3\xBF\xC2\x80"),
                               std::string("12345678\xC3\xA9"
                                           "12345678")}) {
    std::string want = "\xFF\xFE";
    for (char16_t u : utf8ToUtf16(t)) want += static_cast<char>(u);
    EXPECT_EQ(stored(t, true), want) << t;
    EXPECT_EQ(stored(t, false), utf16le(t)) << t;
  }
  // Texts that cannot be compressed: a character above U+00FF, outside the Basic Plane,
  // a NUL, or nothing at all.
  for (const std::string& t : {std::string("12345678\xE2\x82\xAC"), std::string("\xD0\xAF"),
                               std::string("a\xF0\x9F\x98\x80z"), std::string("a\0b", 3), std::string()}) {
    EXPECT_EQ(stored(t, true), utf16le(t)) << t;
  }
  EXPECT_EQ(stored("\xF0\x9F\x98\x80", true), std::string("\x3D\xD8\x00\xDE", 4)) << "a surrogate pair";
}

// The stored form is made eight bytes at a time over ASCII: texts pieced together from
// ASCII runs that cross those eight-byte steps, NULs, one- to four-byte characters and
// broken sequences get the form a character-by-character reading gives them.
TEST(TextEncoding, BulkEncodingAgreesWithCharacterByCharacterOnAnyBytes) {
  const std::vector<std::string> pieces = {"a",
                                           "Hello, w",
                                           "12345678",
                                           std::string(1, '\0'),
                                           "\xC3\xA9",
                                           "\xC2\x80",
                                           "\xD0\xAF",
                                           "\xE2\x82\xAC",
                                           "\xF0\x9F\x98\x80",
                                           "\x80",
                                           "\xC3",
                                           "\xFF",
                                           "\xC3"
                                           "A",
                                           "\xE2\x82",
                                           "'",
                                           "\r\n"};
  std::mt19937 rng(16);
  for (int n = 0; n < 20000; ++n) {
    std::string t;
    for (size_t k = rng() % 12; k > 0; --k) t += pieces[rng() % pieces.size()];
    const std::u16string units = utf8ToUtf16(t);
    // Compressed exactly when the text is well-formed UTF-8 with every character in
    // U+0001..U+00FF; otherwise UTF-16 as the lenient decoding reads it.
    bool compressible = !t.empty() && utf16ToUtf8(units) == t;
    for (char16_t u : units) compressible = compressible && u != 0 && u <= 0xFF;
    std::string want = "\xFF\xFE";
    for (char16_t u : units) want += static_cast<char>(u);
    ASSERT_EQ(stored(t, true), compressible ? want : utf16le(t)) << testing::PrintToString(t);
    ASSERT_EQ(stored(t, false), utf16le(t)) << testing::PrintToString(t);
  }
}

TEST(TextEncoding, StoredTextsDecodeToThemselves) {
  std::string mixed;
  for (int i = 0; i < 300; ++i) mixed += i % 7 ? "word " : "\xD0\xAF\xF0\x9F\x8E\xB5\r\n'";
  for (const std::string& t : {std::string("plain"), std::string("caf\xC3\xA9"), mixed, std::string(3000, 'q')}) {
    for (bool compress : {true, false}) {
      const std::string s = stored(t, compress);
      EXPECT_EQ(decodeUcs2Text(reinterpret_cast<const uint8_t*>(s.data()), s.size()), t);
    }
  }
}

}  // namespace
}  // namespace qv::jet
