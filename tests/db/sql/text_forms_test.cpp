// Numbers and dates in text: exact reading, rounding, and the date forms Jet reads; and
// where a statement's bytes stop being UTF-8.

#include <gtest/gtest.h>

#include <random>

#include "db/jet/storage/date.h"
#include "db/sql/date_text.h"
#include "db/sql/number_text.h"
#include "db/sql/text_utils.h"

namespace qv::sql {
namespace {

std::string scaled(std::string_view text, int scale, size_t maxDigits = 40) {
  DecimalNumber n;
  EXPECT_TRUE(parseDecimal(text, true, n)) << text;
  std::string out;
  if (!scaledDigits(n, scale, maxDigits, out)) return "overflow";
  return (n.negative && !out.empty() ? "-" : "") + out;
}

TEST(NumberText, ReadsAndRoundsExactly) {
  EXPECT_EQ(scaled("123.456", 2), "12346");
  EXPECT_EQ(scaled("0.125", 2), "12");  // half to even
  EXPECT_EQ(scaled("0.135", 2), "14");
  EXPECT_EQ(scaled("0.1250001", 2), "13");
  EXPECT_EQ(scaled("2.5", 0), "2");
  EXPECT_EQ(scaled("3.5", 0), "4");
  EXPECT_EQ(scaled("-0.5", 0), "");
  EXPECT_EQ(scaled("9.999", 2), "1000");
  EXPECT_EQ(scaled("1.5e3", 0), "1500");
  EXPECT_EQ(scaled(".5e1", 0), "5");
  EXPECT_EQ(scaled("  +007.10  ", 1), "71");
  EXPECT_EQ(scaled("0.0000", 4), "");
  EXPECT_EQ(scaled("1e30", 0, 20), "overflow");
  EXPECT_EQ(scaled("1e-99999", 4), "");
  EXPECT_EQ(scaled("12345678901234567890123456789012345678901234567890", 0, 60),
            "12345678901234567890123456789012345678900000000000");

  DecimalNumber n;
  for (std::string_view bad : {"", "-", ".", "1e", "1e+", "1.2.3", "12a", "0x10", "1 2", "--1"}) {
    EXPECT_FALSE(parseDecimal(bad, true, n)) << bad;
  }
  int64_t v = 0;
  ASSERT_TRUE(parseDecimal("-9223372036854775808", false, n));
  EXPECT_TRUE(scaledInteger(n, 0, INT64_MIN, INT64_MAX, v));
  EXPECT_EQ(v, INT64_MIN);
  ASSERT_TRUE(parseDecimal("9223372036854775808", false, n));
  EXPECT_FALSE(scaledInteger(n, 0, INT64_MIN, INT64_MAX, v));
  ASSERT_TRUE(parseDecimal("32767.4", false, n));
  EXPECT_TRUE(scaledInteger(n, 0, INT16_MIN, INT16_MAX, v));
  ASSERT_TRUE(parseDecimal("32767.5", false, n));
  EXPECT_FALSE(scaledInteger(n, 0, INT16_MIN, INT16_MAX, v));
}

TEST(NumberText, FormatsLikeJet) {
  auto text = [](std::string_view literal) {
    DecimalNumber n;
    EXPECT_TRUE(parseDecimal(literal, false, n));
    double d = 0;
    std::string_view body = literal;
    if (!body.empty() && body[0] == '-') body.remove_prefix(1);
    EXPECT_TRUE(toDouble(n, body, d));
    std::string out;
    formatNumberText(n, d, out);
    return out;
  };
  EXPECT_EQ(text("42"), "42");
  EXPECT_EQ(text("-0042"), "-42");
  EXPECT_EQ(text("-0"), "0");
  EXPECT_EQ(text("12345678901234567890"), "12345678901234567890");
  EXPECT_EQ(text("1.50"), "1.5");
  EXPECT_EQ(text("0.0001"), "0.0001");
  EXPECT_EQ(text("0.00001"), "1E-05");
  EXPECT_EQ(text("1e15"), "1E+15");
  EXPECT_EQ(text("0.1e1"), "1");
  EXPECT_EQ(text("3.14159265358979323846"), "3.14159265358979");
}

double date(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  jet::DateParts p;
  p.year = y;
  p.month = mo;
  p.day = d;
  p.hour = h;
  p.minute = mi;
  p.second = s;
  return jet::oleDateFromParts(p);
}

TEST(DateText, ReadsTheFormsJetReads) {
  struct Case {
    const char* text;
    double expected;
  } cases[] = {
      {"01/03/2021", date(2021, 1, 3)},
      {"01/03/2021 14:05:09", date(2021, 1, 3, 14, 5, 9)},
      {"1/3/21", date(2021, 1, 3)},
      {"1/3/30", date(1930, 1, 3)},
      {"13/01/2021", date(2021, 1, 13)},  // day first when the month cannot be 13
      {"2021-01-03", date(2021, 1, 3)},
      {"2021-01-03T14:05:09", date(2021, 1, 3, 14, 5, 9)},
      {"1.3.2021", date(2021, 1, 3)},
      {"3 Jan 2021", date(2021, 1, 3)},
      {"January 3, 2021 2:05 PM", date(2021, 1, 3, 14, 5)},
      {"10:30", date(1899, 12, 30, 10, 30)},
      {"12:00:01 AM", date(1899, 12, 30, 0, 0, 1)},
      {"  2/29/2020  ", date(2020, 2, 29)},
      {"12/31/9999 23:59:59", date(9999, 12, 31, 23, 59, 59)},
      {"1/1/100", date(100, 1, 1)},
      {"1/1/1800", date(1800, 1, 1)},
  };
  for (const auto& c : cases) {
    double d = 0;
    ASSERT_TRUE(parseDateText(c.text, d)) << c.text;
    EXPECT_DOUBLE_EQ(d, c.expected) << c.text;
  }
  for (const char* bad : {"", "abc", "2/30/2021", "13/13/2021", "1/2", "25:00", "10:61", "1/1/10000", "0/1/2021",
                          "1/1/2021 10:00 XM", "13:00 PM", "1//2021", "hello 1/1/2021", "1/1/2021 1/1/2021", "3.5"}) {
    double d = 0;
    EXPECT_FALSE(parseDateText(bad, d)) << bad;
  }
}

TEST(DateText, WritesGeneralDates) {
  std::string s;
  formatDateText(date(2021, 1, 3), s);
  EXPECT_EQ(s, "1/3/2021");
  formatDateText(date(2021, 1, 3, 14, 5, 9), s);
  EXPECT_EQ(s, "1/3/2021 2:05:09 PM");
  formatDateText(date(1899, 12, 30, 0, 30), s);
  EXPECT_EQ(s, "12:30:00 AM");
  formatDateText(date(1899, 12, 30), s);
  EXPECT_EQ(s, "12/30/1899");
}

TEST(Utf8Check, FindsTheFirstByteThatIsNoCharacter) {
  const size_t ok = std::string_view::npos;
  // Runs of two-byte letters between ASCII, and the other lengths.
  EXPECT_EQ(findInvalidUtf8("\xD0\x9C\xD0\xB8\xD1\x80 \xD0\xB8 caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"), ok);
  EXPECT_EQ(findInvalidUtf8("\xD0\x9C\xD0"), 2u) << "a lead byte at the end";
  EXPECT_EQ(findInvalidUtf8("\xD0\x9C\xD0\xD0\x9C"), 2u) << "a lead byte where a continuation belongs";
  EXPECT_EQ(findInvalidUtf8("\xD0\x9C\xD0"
                            "A"),
            2u);
  EXPECT_EQ(findInvalidUtf8("\xD0\x9C\xC0\x80"), 2u) << "an overlong form of NUL";
  EXPECT_EQ(findInvalidUtf8("\xD0\x9C\xC1\xBF"), 2u) << "an overlong form of DEL";
  EXPECT_EQ(findInvalidUtf8("\xD0\x9C\x80"), 2u) << "a continuation byte alone";
  EXPECT_EQ(findInvalidUtf8("\xD0\x9C\xED\xA0\x80"), 2u) << "a surrogate";
  EXPECT_EQ(findInvalidUtf8("\xD0\x9C\xF4\x90\x80\x80"), 2u) << "beyond U+10FFFF";
  EXPECT_EQ(findInvalidUtf8("abcdefgh\xD0\x9C\xFF"), 10u);
}

// Where the first malformed sequence starts, one sequence at a time as the standard
// defines them (npos when there is none).
size_t firstMalformed(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    size_t length = c < 0x80                 ? 1
                    : c >= 0xC2 && c <= 0xDF ? 2
                    : c >= 0xE0 && c <= 0xEF ? 3
                    : c >= 0xF0 && c <= 0xF4 ? 4
                                             : 0;
    if (length == 0 || i + length > s.size()) return i;
    uint32_t cp = length == 1 ? c : c & (0xFFu >> (length + 1));
    for (size_t k = 1; k < length; ++k) {
      const auto d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) return i;
      cp = (cp << 6) | (d & 0x3Fu);
    }
    const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < least[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return i;
    i += length;
  }
  return std::string_view::npos;
}

TEST(Utf8Check, AgreesWithASequenceBySequenceCheckWhereverTheFaultFalls) {
  // Texts of letters of every length and malformed pieces, long enough to span several
  // 16-byte blocks, with a fault (or none) at every offset: the bulk check must give the
  // same offset as the plain one.
  const char* const valid[] = {
      "a", "word ", "\xC3\xA9", "\xD0\x9C\xD0\xB8\xD1\x80", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\r\n"};
  const char* const faults[] = {"\x80",         "\xC0\x80", "\xC1\xBF",     "\xD0",
                                "\xD0\x41",     "\xE2\x82", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                                "\xF8\x80\x80", "\xFF",     "\xE0\x80\x80", "\xF0\x80\x80\x80"};
  std::mt19937 rng(8);
  for (int trial = 0; trial < 4000; ++trial) {
    std::string text;
    const size_t length = rng() % 70;
    while (text.size() < length) text += valid[rng() % std::size(valid)];
    if (trial % 5 != 0) text.insert(rng() % (text.size() + 1), faults[rng() % std::size(faults)]);
    EXPECT_EQ(findInvalidUtf8(text), firstMalformed(text)) << testing::PrintToString(text);
  }
}

}  // namespace
}  // namespace qv::sql
