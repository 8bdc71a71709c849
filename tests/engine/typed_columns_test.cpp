// The typed conversion's literals and its look at a table's records: every literal reads
// back through the SQL front end to exactly the value it was made from, and the records
// decide which columns need a wider type and which unique keys stand.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "db/jet/storage/date.h"
#include "db/jet/key_probe.h"
#include "db/paradox/table_reader.h"
#include "db/paradox/table_writer.h"
#include "db/sql/literal_conversion.h"
#include "db/sql/parser.h"
#include "engine/typed_columns.h"
#include "engine/typed_survey.h"
#include "support/temp_dir.h"

namespace qv::engine {
namespace {

using paradox::FieldType;
using PV = paradox::Value;

paradox::FieldDef field(FieldType type, uint8_t size = 0) {
  paradox::FieldDef f;
  f.type = type;
  f.sizeByte = size;
  const int fixed = paradox::fixedWidth(type);
  f.width = fixed > 0 ? static_cast<uint32_t>(fixed) : size;
  return f;
}

PV value(PV::Kind kind, int64_t i = 0, double d = 0, std::string s = {}) {
  PV v;
  v.kind = kind;
  v.integer = i;
  v.real = d;
  v.text = std::move(s);
  return v;
}

// The value the SQL front end makes of the literal, read from a whole INSERT statement.
jet::Value readBack(const TypedColumn& c, const std::string& literal) {
  const std::string sql = "INSERT INTO `T` VALUES (" + literal + ")";
  sql::Statement s;
  sql::parseStatement(sql, s);
  EXPECT_EQ(s.values.size(), 1u) << sql;
  jet::Value out;
  sql::convertLiteral(sql, s.values.at(0), c.column, out);
  return out;
}

bool same(const jet::Value& a, const jet::Value& b) {
  return a.kind == b.kind && a.b == b.b && a.i == b.i && (a.d == b.d || (std::isnan(a.d) && std::isnan(b.d))) &&
         a.s == b.s;
}

double ole(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  jet::DateParts p;
  p.year = y, p.month = mo, p.day = d, p.hour = h, p.minute = mi, p.second = s, p.millisecond = ms;
  return jet::oleDateFromParts(p);
}

TEST(TypedColumns, EveryLiteralReadsBackToItsValue) {
  const int64_t day = paradox::dayNumberFromCivil(1994, 3, 14);
  const int64_t ms = ((10 * 60 + 20) * 60 + 30) * 1000 + 123;
  struct Case {
    paradox::FieldDef f;
    PV v;
    jet::Value expect;
  };
  const std::vector<Case> cases = {
      {field(FieldType::kAlpha, 20), value(PV::Kind::kText, 0, 0, "it's \"x\"\nnext; line"),
       jet::Value::text("it's \"x\"\nnext; line")},
      {field(FieldType::kMemo, 11), value(PV::Kind::kText, 0, 0, "Grüße ‘’ 日本"), jet::Value::text("Grüße ‘’ 日本")},
      {field(FieldType::kShort), value(PV::Kind::kInteger, -32767), jet::Value::integer(-32767)},
      {field(FieldType::kLong), value(PV::Kind::kInteger, 2147483647), jet::Value::integer(2147483647)},
      {field(FieldType::kAutoInc), value(PV::Kind::kInteger, 42), jet::Value::integer(42)},
      {field(FieldType::kNumber), value(PV::Kind::kDouble, 0, 0.1), jet::Value::real(0.1)},
      {field(FieldType::kNumber), value(PV::Kind::kDouble, 0, -1e-300), jet::Value::real(-1e-300)},
      {field(FieldType::kNumber), value(PV::Kind::kDouble, 0, 4.9406564584124654e-324),
       jet::Value::real(4.9406564584124654e-324)},
      {field(FieldType::kNumber), value(PV::Kind::kDouble, 0, std::numeric_limits<double>::max()),
       jet::Value::real(std::numeric_limits<double>::max())},
      {field(FieldType::kMoney), value(PV::Kind::kDouble, 0, 134.85000000000002), jet::Value::currency(1348500)},
      {field(FieldType::kMoney), value(PV::Kind::kDouble, 0, -0.0001), jet::Value::currency(-1)},
      {field(FieldType::kBcd, 2), value(PV::Kind::kBcd, 0, 0, "-12345678901234567890.12"),
       jet::Value::decimal("-12345678901234567890.12")},
      {field(FieldType::kBcd, 0), value(PV::Kind::kBcd, 0, 0, "7"), jet::Value::decimal("7")},
      {field(FieldType::kDate), value(PV::Kind::kDate, day), jet::Value::dateTime(ole(1994, 3, 14))},
      {field(FieldType::kDate), value(PV::Kind::kDate, paradox::dayNumberFromCivil(1650, 1, 2)),
       jet::Value::dateTime(ole(1650, 1, 2))},
      {field(FieldType::kTime), value(PV::Kind::kTime, ms), jet::Value::dateTime(ole(1899, 12, 30, 10, 20, 30, 123))},
      {field(FieldType::kTimestamp), value(PV::Kind::kTimestamp, day * paradox::kMillisPerDay + ms),
       jet::Value::dateTime(ole(1994, 3, 14, 10, 20, 30, 123))},
      {field(FieldType::kTimestamp),
       value(PV::Kind::kTimestamp, paradox::dayNumberFromCivil(1800, 6, 1) * paradox::kMillisPerDay + 1000),
       jet::Value::dateTime(ole(1800, 6, 1, 0, 0, 1))},
      {field(FieldType::kLogical), value(PV::Kind::kLogical, 1), jet::Value::boolean(true)},
      {field(FieldType::kLogical), PV{}, jet::Value::boolean(false)},
      {field(FieldType::kBytes, 4), value(PV::Kind::kBytes, 0, 0, std::string("\x00\x01\x7f\xff", 4)),
       jet::Value::binary(std::string("\x00\x01\x7f\xff", 4))},
      {field(FieldType::kGraphic, 10), value(PV::Kind::kBytes, 0, 0, std::string(5000, '\x89')),
       jet::Value::binary(std::string(5000, '\x89'))},
      {field(FieldType::kLong), PV{}, jet::Value::null()},
  };
  for (const Case& c : cases) {
    const TypedColumn col = typedColumn(c.f, "F");
    ASSERT_TRUE(fitsType(col, c.v)) << col.sqlType;
    std::string literal;
    appendLiteral(col, c.v, literal);
    const jet::Value back = readBack(col, literal);
    EXPECT_TRUE(same(back, engineValue(col, c.v))) << col.sqlType << " " << literal;
    EXPECT_TRUE(same(back, c.expect)) << col.sqlType << " " << literal << " read back as kind "
                                      << static_cast<int>(back.kind) << " " << back.d << " " << back.i << " '" << back.s
                                      << "'";
  }
}

TEST(TypedColumns, ValuesTheirTypeCannotHoldMakeTheColumnWider) {
  TypedColumn money = typedColumn(field(FieldType::kMoney), "M");
  EXPECT_FALSE(fitsType(money, value(PV::Kind::kDouble, 0, 3.14158)));
  EXPECT_FALSE(fitsType(money, value(PV::Kind::kDouble, 0, 1e15)));
  EXPECT_FALSE(fitsType(money, value(PV::Kind::kDouble, 0, 0.00001)));
  EXPECT_FALSE(fitsType(money, value(PV::Kind::kDouble, 0, -922337203685477.5)));  // 15 digits round it past the range
  EXPECT_TRUE(fitsType(money, value(PV::Kind::kDouble, 0, -922337203685477.0)));
  demote(money, "x");
  EXPECT_EQ(money.sqlType, "DOUBLE");
  std::string literal;
  appendLiteral(money, value(PV::Kind::kDouble, 0, 3.14158), literal);
  EXPECT_TRUE(same(readBack(money, literal), jet::Value::real(3.14158)));

  TypedColumn bcd = typedColumn(field(FieldType::kBcd, 4), "B");
  EXPECT_TRUE(fitsType(bcd, value(PV::Kind::kBcd, 0, 0, "123456789012345678901234.5678")));
  EXPECT_FALSE(fitsType(bcd, value(PV::Kind::kBcd, 0, 0, "1234567890123456789012345.0000")));
  EXPECT_TRUE(typedColumn(field(FieldType::kBcd, 30), "W").asText);

  TypedColumn date = typedColumn(field(FieldType::kDate), "D");
  EXPECT_FALSE(fitsType(date, value(PV::Kind::kDate, paradox::dayNumberFromCivil(50, 1, 1))));
  demote(date, "x");
  literal.clear();
  appendLiteral(date, value(PV::Kind::kDate, paradox::dayNumberFromCivil(50, 1, 1)), literal);
  EXPECT_TRUE(same(readBack(date, literal), jet::Value::text("0050-01-01")));
}

TEST(TypedSurvey, KeysAreComparedAsAccessComparesThem) {
  test::TempDir dir;
  const std::string path = dir.file("KEYS.DB");
  {
    paradox::TableWriter w(path, {{"Id", FieldType::kLong, 0},
                                  {"Code", FieldType::kAlpha, 10},
                                  {"Price", FieldType::kMoney, 0},
                                  {"Big", FieldType::kBcd, 2}});
    auto rec = [&](int64_t id, const std::string& code, double price, const std::string& big) {
      w.append({id ? value(PV::Kind::kInteger, id) : PV{}, value(PV::Kind::kText, 0, 0, code),
                value(PV::Kind::kDouble, 0, price), value(PV::Kind::kBcd, 0, 0, big)});
    };
    rec(1, "abc", 1.5, "1.00");
    rec(2, "Abd", 2.25, "2.00");
    rec(3, "ABC", 3, "123456789012345678901234567.00");  // "abc" to Access
    rec(0, "xyz", 3.14159, "4.00");                      // no key; five decimals
    w.finish();
  }
  std::vector<TypedColumn> columns;
  paradox::TableReader reader(path);
  for (const auto& f : reader.header().fields) columns.push_back(typedColumn(f, f.name));
  UniqueKey pk{"PrimaryKey", {0}, {{"Id", true}}, true};
  UniqueKey code{"Code", {1}, {{"Code", true}}, false};
  UniqueKey idCode{"IdCode", {0, 1}, {{"Id", true}, {"Code", false}}, false};
  const Survey s = surveyTable(path, "KEYS", columns, {pk, code, idCode}, jet::keyOrderForNew(jet::Format::kJet4));
  EXPECT_FALSE(s.keyKept[0]);
  EXPECT_FALSE(s.keyKept[1]);
  EXPECT_TRUE(s.keyKept[2]);
  std::string notes;
  for (const auto& n : s.notes) notes += n + "\n";
  EXPECT_NE(notes.find("record 4 leaves its key field Id blank"), std::string::npos) << notes;
  EXPECT_NE(notes.find("record 3 repeats the key of record 1 (Code = 'ABC')"), std::string::npos) << notes;
  EXPECT_NE(notes.find("field Price"), std::string::npos) << notes;
  EXPECT_NE(notes.find("field Big"), std::string::npos) << notes;
  EXPECT_EQ(columns[2].sqlType, "DOUBLE");
  EXPECT_TRUE(columns[3].asText);
}

}  // namespace
}  // namespace qv::engine
