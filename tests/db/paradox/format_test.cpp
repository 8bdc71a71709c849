// The pieces of the format on their own: calendar, BCD digits, scrambling, headers and
// the choice of character set.

#include <gtest/gtest.h>

#include <random>

#include "db/io/error.h"
#include "db/paradox/crypt.h"
#include "db/paradox/field_codec.h"
#include "db/paradox/table_header.h"
#include "db/paradox/text_codec.h"
#include "db/paradox/value.h"

namespace qv::paradox {
namespace {

TEST(ParadoxFormat, CalendarCountsDaysFromFirstOfJanuaryYearOne) {
  EXPECT_EQ(dayNumberFromCivil(1, 1, 1), 1);
  EXPECT_EQ(dayNumberFromCivil(100, 1, 1), 36160);
  EXPECT_EQ(dayNumberFromCivil(1996, 5, 4), 728783);
  EXPECT_EQ(dayNumberFromCivil(1899, 12, 30), 693594);
  for (int64_t d = -800000; d < 3'700'000; d += 7919) {
    const CivilDate c = civilFromDayNumber(d);
    ASSERT_EQ(dayNumberFromCivil(c.year, c.month, c.day), d);
  }
  const CivilDate leap = civilFromDayNumber(dayNumberFromCivil(2000, 2, 29));
  EXPECT_EQ(leap.month, 2u);
  EXPECT_EQ(leap.day, 29u);
}

TEST(ParadoxFormat, BcdKeepsEveryStoredDigitBothWays) {
  Transcoder t("UTF-8", "CP1252");
  for (int decimals : {0, 2, 6, 32}) {
    FieldDef f;
    f.type = FieldType::kBcd;
    f.sizeByte = static_cast<uint8_t>(decimals);
    f.width = 17;
    for (std::string digits : {"0", "1", "-1", "123456.789", "-0.5", "99999999999999999999999999"}) {
      const auto dot = digits.find('.');
      const int have = dot == std::string::npos ? 0 : static_cast<int>(digits.size() - dot - 1);
      const int whole = static_cast<int>((dot == std::string::npos ? digits.size() : dot) - (digits[0] == '-'));
      if (have > decimals || whole > 32 - decimals) continue;
      Value v;
      v.kind = Value::Kind::kBcd;
      v.text = digits;
      uint8_t bytes[17];
      encodeField(f, v, t, bytes);
      std::string expected = digits;
      if (decimals > 0) {
        if (dot == std::string::npos) expected += ".";
        expected.append(static_cast<size_t>(decimals - have), '0');
      }
      EXPECT_EQ(bcdToText(bytes), expected) << digits << " with " << decimals << " decimals";
    }
  }
  FieldDef f;
  f.type = FieldType::kBcd;
  f.sizeByte = 2;
  f.width = 17;
  Value v;
  v.kind = Value::Kind::kBcd;
  v.text = "1.234";
  uint8_t bytes[17];
  EXPECT_THROW(encodeField(f, v, t, bytes), DbError) << "more decimals than the field holds";
}

TEST(ParadoxFormat, ScramblingIsUndoneExactly) {
  std::mt19937 rng(7);
  std::vector<uint8_t> plain(4096);
  for (auto& b : plain) b = static_cast<uint8_t>(rng());
  for (uint32_t key : {0x0A25E09Au, 0x12345678u, 0xFFFFFFFFu}) {
    std::vector<uint8_t> data = plain;
    encryptDataBlock(data.data(), data.size(), key, 3);
    EXPECT_NE(data, plain);
    decryptDataBlock(data.data(), data.size(), key, 3);
    EXPECT_EQ(data, plain);
    encryptBlobChunks(data.data(), data.size(), key);
    decryptBlobChunks(data.data(), data.size(), key);
    EXPECT_EQ(data, plain);
  }
}

TEST(ParadoxFormat, HeaderSurvivesEncodeAndDecode) {
  TableHeader h;
  h.versionId = kVersion5;
  h.codePage = 1252;
  h.sortOrderName = "ANSIINTL";
  h.tableName = "orders.db";
  h.headerSize = 2048;
  h.blockSize = 4096;
  h.encryption = 0x0A25E09A;
  uint32_t offset = 0;
  for (auto [type, size, name] :
       {std::tuple{FieldType::kAlpha, 20, "Name"}, {FieldType::kBcd, 4, "Amount"}, {FieldType::kMemo, 30, "Note"}}) {
    FieldDef f;
    f.type = type;
    f.sizeByte = static_cast<uint8_t>(size);
    f.width = type == FieldType::kBcd ? 17u : static_cast<uint32_t>(size);
    f.offset = offset;
    f.name = name;
    offset += f.width;
    h.fields.push_back(f);
  }
  h.recordSize = static_cast<uint16_t>(offset);
  const auto bytes = h.encode();
  const TableHeader back = TableHeader::decode(bytes.data(), bytes.size(), "x.db");
  EXPECT_EQ(back.versionText(), "5.x");
  EXPECT_EQ(back.codePage, 1252);
  EXPECT_EQ(back.sortOrderName, "ANSIINTL");
  EXPECT_EQ(back.tableName, "orders.db");
  EXPECT_EQ(back.encryption, 0x0A25E09Au);
  ASSERT_EQ(back.fields.size(), 3u);
  EXPECT_EQ(back.fields[1].decimals(), 4);
  EXPECT_EQ(back.fields[2].offset, 37u);
  EXPECT_EQ(back.fields[2].name, "Note");
}

TEST(ParadoxFormat, TranscoderConvertsBothWays) {
  Transcoder d("CP437", "UTF-8");
  std::string out;
  d.convert("\x81\x9b", 2, out);
  EXPECT_EQ(out, "\xC3\xBC\xC2\xA2");
  Transcoder bad("UTF-8", "CP1252");
  bad.convert(
      "a\xFF"
      "b",
      3, out);
  EXPECT_EQ(out, "a?b");
}

}  // namespace
}  // namespace qv::paradox
