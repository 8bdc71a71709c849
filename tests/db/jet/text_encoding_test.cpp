// The stored form of texts, made straight from UTF-8: compressed (FF FE, one byte a
// character in U+0001..U+00FF, two-byte runs between 00 switches) when allowed and it
// saves room, UTF-16LE otherwise (surrogate pairs outside the Basic Plane); and decoding
// gives the text back.

#include <gtest/gtest.h>

#include <algorithm>
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

std::string storedWithin(std::string_view utf8, size_t maxCompressed) {
  std::vector<uint8_t> out;
  std::u16string scratch;
  appendUcs2Text(utf8, true, out, scratch, maxCompressed);
  return std::string(out.begin(), out.end());
}

TEST(TextEncoding, CompressedWhenEveryCharacterFitsOneByteOrTwoByteRunsSaveRoom) {
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
  // Two-byte runs between one-byte ones, each switch a 00 byte; one-byte mode comes back
  // for a run of three, or of two that ends the text.
  EXPECT_EQ(stored("12345678\xE2\x82\xAC", true), std::string("\xFF\xFE"
                                                              "12345678\0\xAC\x20",
                                                              13));
  EXPECT_EQ(stored("\xE2\x82\xAC 5 net", true), std::string("\xFF\xFE\0\xAC\x20\0 5 net", 12));
  EXPECT_EQ(stored("price \xE2\x82\xAC\xE2\x82\xAC ab", true),
            std::string("\xFF\xFEprice \0\xAC\x20\xAC\x20\0 ab", 17));
  EXPECT_EQ(stored("price \xE2\x82\xAC"
                   "ab\xE2\x82\xAC"
                   "cd",
                   true),
            std::string("\xFF\xFEprice \0\xAC\x20\x61\0\x62\0\xAC\x20\0cd", 20));
  // A single blank between two-byte letters stays in the two-byte run.
  EXPECT_EQ(stored("abc \xD0\xAF \xD0\xAF abc", true), std::string("\xFF\xFE"
                                                                   "abc \0\x2F\x04\x20\0\x2F\x04\0 abc",
                                                                   18));
  // Plain: compressing saves nothing (Cyrillic), a unit whose low byte is 0 would read as
  // a switch (U+0100, the low half of a surrogate pair), a NUL, nothing at all.
  for (const std::string& t :
       {std::string("\xD0\xAF"), std::string("\xD0\x9C\xD0\xB8\xD1\x80 \xD0\xB8 \xD0\xB4\xD0\xBE\xD0\xBC"),
        std::string("long text \xC4\x80 long text"), std::string("a\xF0\x9F\x98\x80z"), std::string("a\0b", 3),
        std::string()}) {
    EXPECT_EQ(stored(t, true), utf16le(t)) << t;
  }
  EXPECT_EQ(stored("\xF0\x9F\x98\x80", true), std::string("\x3D\xD8\x00\xDE", 4)) << "a surrogate pair";
  // The longest compressed form allowed (Long Text: 4,096 bytes), and one byte more.
  EXPECT_EQ(storedWithin(std::string(4094, 'x'), 4096), "\xFF\xFE" + std::string(4094, 'x'));
  EXPECT_EQ(storedWithin(std::string(4095, 'x'), 4096), utf16le(std::string(4095, 'x')));
  // The switches count: 4,000 + 1 + 2 + 1 + 90 bytes after FF FE is the most.
  EXPECT_EQ(storedWithin(std::string(4000, 'x') + "\xE2\x82\xAC" + std::string(90, 'y'), 4096).size(), 4096u);
  EXPECT_EQ(storedWithin(std::string(4000, 'x') + "\xE2\x82\xAC" + std::string(91, 'y'), 4096).size(), 8184u);
}

// The stored form is made eight bytes at a time over ASCII: texts pieced together from
// ASCII runs that cross those eight-byte steps, NULs, one- to four-byte characters and
// broken sequences read back as the plain form does, compressed or not.
TEST(TextEncoding, BulkEncodingAgreesWithCharacterByCharacterOnAnyBytes) {
  const std::vector<std::string> pieces = {"a",
                                           "Hello, w",
                                           "12345678",
                                           std::string(1, '\0'),
                                           "\xC3\xA9",
                                           "\xC2\x80",
                                           "\xD0\xAF",
                                           "\xD0\x9C\xD0\xB8\xD1\x80\xD0\xB0",
                                           "\xD0\x80",
                                           "\xC4\x80",
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
    const std::string plain = utf16le(t);
    ASSERT_EQ(stored(t, false), plain) << testing::PrintToString(t);
    const std::string s = stored(t, true);
    const auto decoded = [](const std::string& b) {
      return decodeUcs2Text(reinterpret_cast<const uint8_t*>(b.data()), b.size());
    };
    ASSERT_EQ(decoded(s), decoded(plain)) << testing::PrintToString(t);
    // Well-formed one-byte texts: one byte a character, nothing else.
    bool oneByte = !t.empty() && utf16ToUtf8(units) == t;
    for (char16_t u : units) oneByte = oneByte && u != 0 && u <= 0xFF;
    if (oneByte) {
      std::string want = "\xFF\xFE";
      for (char16_t u : units) want += static_cast<char>(u);
      ASSERT_EQ(s, want) << testing::PrintToString(t);
      continue;
    }
    // Otherwise compressed only when smaller, and never with a unit a switch would hide.
    const bool twoByteRuns = std::any_of(units.begin(), units.end(), [](char16_t u) { return u > 0xFF; });
    if (s != plain && twoByteRuns) {
      ASSERT_LT(s.size(), plain.size()) << testing::PrintToString(t);
    }
    for (char16_t u : units) {
      if ((u & 0xFF) == 0) {
        ASSERT_EQ(s, plain) << testing::PrintToString(t);
      }
    }
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
