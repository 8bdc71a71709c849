// Decoding table text: the byte table made for single-byte code pages must give exactly
// what iconv gives for whole texts, for every byte, at every position relative to the
// eight-byte steps of the ASCII scan; bytes a code page leaves undefined become U+FFFD;
// code pages that are not single-byte (or combine characters) still go through iconv.

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

#include "db/paradox/text_codec.h"

namespace qv::paradox {
namespace {

// iconv over the whole text; "" when it meets a byte it cannot convert.
std::string iconvWhole(const std::string& charset, const std::string& bytes) {
  iconv_t cd = iconv_open("UTF-8", charset.c_str());
  std::string out(bytes.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size(), outLeft = out.size();
  char* dst = out.data();
  const size_t r = iconv(cd, &in, &inLeft, &dst, &outLeft);
  iconv(cd, nullptr, nullptr, &dst, &outLeft);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1)) return {};
  out.resize(out.size() - outLeft);
  return out;
}

TEST(TextDecoding, ByteTableAgreesWithIconvOnEverySingleBytePage) {
  for (const char* charset : {"CP437", "CP850", "CP852", "CP865", "CP866", "CP1250", "CP1251", "CP1252", "CP1253",
                              "CP1254", "CP1256", "CP1257", "HP-ROMAN8"}) {
    SCOPED_TRACE(charset);
    Transcoder t(charset, "UTF-8");
    EXPECT_TRUE(t.byteTable());
    std::string all;  // every defined byte, with ASCII runs of every length between them
    for (int b = 1; b < 256; ++b) {
      const std::string one(1, static_cast<char>(b));
      if (iconvWhole(charset, one).empty()) {
        std::string got;
        t.convert(one.data(), one.size(), got);
        EXPECT_EQ(got, "\xEF\xBF\xBD") << "undefined byte " << b;
        continue;
      }
      all += one + std::string(static_cast<size_t>(b % 11), 'a');
    }
    std::string got;
    t.convert(all.data(), all.size(), got);
    EXPECT_EQ(got, iconvWhole(charset, all));
    // Appending keeps what was there.
    std::string appended = "head:";
    t.append(all.data(), all.size(), appended);
    EXPECT_EQ(appended, "head:" + got);
  }
}

TEST(TextDecoding, KnownCharactersAndUndefinedBytes) {
  Transcoder cp1251("CP1251", "UTF-8"), cp1252("CP1252", "UTF-8"), cp437("CP437", "UTF-8");
  std::string out;
  cp1251.convert("\xC0\xFF\x88\xB9", 4, out);
  EXPECT_EQ(out, "\xD0\x90\xD1\x8F\xE2\x82\xAC\xE2\x84\x96");  // А я € №
  cp1251.convert(
      "ab\x98"
      "cd",
      5, out);
  EXPECT_EQ(out,
            "ab\xEF\xBF\xBD"
            "cd");  // 0x98 is not a character of 1251
  cp1252.convert("O'Brien \x80\x81\r\n\xE9", 13, out);
  EXPECT_EQ(out, "O'Brien \xE2\x82\xAC\xEF\xBF\xBD\r\n\xC3\xA9");
  cp437.convert("\x80\xDB", 2, out);
  EXPECT_EQ(out, "\xC3\x87\xE2\x96\x88");  // Ç █
  cp437.convert("", 0, out);
  EXPECT_EQ(out, "");
}

TEST(TextDecoding, MultiByteAndCombiningPagesStayWithIconv) {
  Transcoder japanese("CP932", "UTF-8");
  EXPECT_FALSE(japanese.byteTable());
  std::string out;
  japanese.convert("\x83\x8F x", 4, out);
  EXPECT_EQ(out, "\xE3\x83\xAF x");  // ワ
  // 1258 and 1255 compose a letter with the accent or point after it.
  for (const char* charset : {"CP1258", "CP1255"}) {
    Transcoder combining(charset, "UTF-8");
    EXPECT_FALSE(combining.byteTable()) << charset;
    const std::string text = "Vi\xEA\xEC t \xE0\xC8";
    combining.convert(text.data(), text.size(), out);
    EXPECT_EQ(out, iconvWhole(charset, text)) << charset;
  }
}

}  // namespace
}  // namespace qv::paradox
