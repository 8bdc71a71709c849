// The conversions a literal goes through on its way into a column.

#include <gtest/gtest.h>

#include "db/jet/storage/date.h"
#include "db/sql/literal_conversion.h"
#include "db/sql/parser.h"

namespace qv::sql {
namespace {

using jet::ColumnType;
using Kind = jet::Value::Kind;

jet::ColumnDef column(ColumnType type, int length = 255) {
  jet::ColumnDef c;
  c.name = "F";
  c.type = type;
  c.length = length;
  return c;
}

// The value the literal (as written in a VALUES list) becomes in the column.
jet::Value convert(const std::string& literal, const jet::ColumnDef& c) {
  static std::string sql;  // the statement must outlive the parsed literal
  sql = "INSERT INTO t VALUES (" + literal + ")";
  Statement s;
  parseStatement(sql, s);
  jet::Value v;
  v.s = "left over from an earlier value";
  convertLiteral(sql, s.values.at(0), c, v);
  return v;
}

std::string failure(const std::string& literal, const jet::ColumnDef& c) {
  try {
    convert(literal, c);
  } catch (const DbError& e) {
    EXPECT_EQ(e.number(), kErrSql);
    return e.what();
  }
  return "";
}

double date(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  jet::DateParts p{y, mo, d, h, mi, s, 0};
  return jet::oleDateFromParts(p);
}

TEST(Conversion, IntoTextColumns) {
  const auto memo = column(ColumnType::kMemo);
  EXPECT_EQ(convert("'O''Brien'", memo).s, "O'Brien");
  EXPECT_EQ(convert("'line one\r\nline \"two\"'", memo).s, "line one\r\nline \"two\"");
  EXPECT_EQ(convert("\"say \"\"hi\"\"\"", memo).s, "say \"hi\"");
  EXPECT_EQ(convert("'01/03/2021'", memo).s, "01/03/2021");  // a text column keeps the text
  EXPECT_EQ(convert("''", memo).kind, Kind::kText);
  EXPECT_EQ(convert("007", memo).s, "7");
  EXPECT_EQ(convert("-1.50", memo).s, "-1.5");
  EXPECT_EQ(convert("TRUE", memo).s, "True");
  EXPECT_EQ(convert("#2021-01-03 14:05#", memo).s, "1/3/2021 2:05:00 PM");
  EXPECT_EQ(convert("NULL", memo).kind, Kind::kNull);

  const auto text5 = column(ColumnType::kText, 5);
  EXPECT_EQ(convert("'Käsé!'", text5).s, "Käsé!");  // five characters, seven bytes
  EXPECT_EQ(failure("'123456'", text5),
            "SQL error: The field is too small to accept the amount of data you attempted to add: 6 characters for "
            "column 'F' "
            "(TEXT(5)) at character 23.");
  EXPECT_NE(failure("123456", text5).find("too small"), std::string::npos);
}

TEST(Conversion, IntoNumberColumns) {
  const auto lng = column(ColumnType::kLong);
  EXPECT_EQ(convert("-2147483648", lng).i, INT32_MIN);
  EXPECT_EQ(convert("' 42 '", lng).i, 42);
  EXPECT_EQ(convert("2.5", lng).i, 2);
  EXPECT_EQ(convert("1e3", lng).i, 1000);
  EXPECT_EQ(convert("TRUE", lng).i, -1);
  EXPECT_EQ(convert("- -5", lng).i, 5);
  EXPECT_EQ(failure("2147483648", lng),
            "SQL error: Overflow: the value '2147483648' is out of range for column 'F' (LONG) at character 23.");
  EXPECT_EQ(failure("'12abc'", lng),
            "SQL error: Data type mismatch: '12abc' is not a number for column 'F' (LONG) at character 23.");
  EXPECT_EQ(convert("255", column(ColumnType::kByte)).i, 255);
  EXPECT_NE(failure("-1", column(ColumnType::kByte)).find("Overflow"), std::string::npos);
  EXPECT_NE(failure("32768", column(ColumnType::kInteger)).find("Overflow"), std::string::npos);

  const auto dbl = column(ColumnType::kDouble);
  EXPECT_EQ(convert("3.25", dbl).d, 3.25);
  EXPECT_EQ(convert("-1.5E-3", dbl).d, -0.0015);
  EXPECT_EQ(convert("'  6.02e23 '", dbl).d, 6.02e23);
  EXPECT_EQ(convert("0.1", dbl).d, 0.1);
  EXPECT_EQ(convert("1e-400", dbl).d, 0.0);
  EXPECT_NE(failure("1e400", dbl).find("Overflow"), std::string::npos);
  EXPECT_EQ(convert("#1/1/1900#", dbl).d, 2.0);
  EXPECT_EQ(convert("0.1", column(ColumnType::kSingle)).d, static_cast<double>(0.1f));
  EXPECT_NE(failure("1e39", column(ColumnType::kSingle)).find("Overflow"), std::string::npos);

  const auto money = column(ColumnType::kCurrency);
  EXPECT_EQ(convert("12.34565", money).i, 123456);  // to ten-thousandths, half to even
  EXPECT_EQ(convert("-922337203685477.5808", money).i, INT64_MIN);

  auto dec = column(ColumnType::kNumeric);
  dec.precision = 6;
  dec.scale = 2;
  EXPECT_EQ(convert("1234.567", dec).s, "1234.57");
  EXPECT_EQ(convert("-0.004", dec).s, "0.00");
  EXPECT_EQ(convert("-0.05", dec).s, "-0.05");
  EXPECT_EQ(convert("7", dec).s, "7.00");
  EXPECT_EQ(convert("'12345678901234567890e-16'", dec).s, "1234.57");
  EXPECT_NE(failure("12345.1", dec).find("Overflow"), std::string::npos);
  EXPECT_EQ(convert("3.7", column(ColumnType::kNumeric)).s, "4");  // DECIMAL(18,0)
}

TEST(Conversion, IntoOtherColumns) {
  const auto dt = column(ColumnType::kDateTime);
  EXPECT_EQ(convert("'01/03/2021 14:05:09'", dt).d, date(2021, 1, 3, 14, 5, 9));
  EXPECT_EQ(convert("#12/30/1899 10:30#", dt).d, date(1899, 12, 30, 10, 30));
  EXPECT_EQ(convert("2", dt).d, 2.0);
  EXPECT_EQ(
      failure("'31/31/2021'", dt),
      "SQL error: Data type mismatch: '31/31/2021' is not a date or time for column 'F' (DATETIME) at character 23.");
  EXPECT_EQ(failure("#2/30/2021#", dt),
            "SQL error: Syntax error in date '#2/30/2021#' at character 23: not a date or time.");

  const auto ole = column(ColumnType::kOle);
  jet::Value bytes = convert("'0x00FFa0'", ole);
  EXPECT_EQ(bytes.kind, Kind::kBinary);
  EXPECT_EQ(bytes.s, std::string("\x00\xff\xa0", 3));
  EXPECT_EQ(convert("'0x'", ole).s, "");
  EXPECT_EQ(convert("'0x0'", ole).s, std::string("0\0x\0"
                                                 "0\0",
                                                 6));                   // odd digit count: characters
  EXPECT_EQ(convert("'0xZZ'", ole).s, std::string("0\0x\0Z\0Z\0", 8));  // not hex: characters
  EXPECT_EQ(convert("'é'", ole).s, std::string("\xe9\0", 2));           // UTF-16LE
  EXPECT_EQ(convert("NULL", ole).kind, Kind::kNull);
  EXPECT_NE(failure("12", ole).find("Data type mismatch"), std::string::npos);
  EXPECT_NE(failure("'0x000102'", column(ColumnType::kBinary, 2)).find("3 bytes"), std::string::npos);

  const auto yes = column(ColumnType::kBoolean);
  EXPECT_TRUE(convert("-1", yes).b);
  EXPECT_FALSE(convert("0", yes).b);
  EXPECT_TRUE(convert("'yes'", yes).b);
  EXPECT_FALSE(convert("'False'", yes).b);
  EXPECT_EQ(convert("NULL", yes).kind, Kind::kBoolean);  // Yes/No cannot hold Null
  EXPECT_NE(failure("'maybe'", yes).find("is not a Yes/No value"), std::string::npos);

  jet::Value g = convert("'{00112233-4455-6677-8899-AABBCCDDEEFF}'", column(ColumnType::kGuid));
  EXPECT_EQ(g.s, std::string("\x33\x22\x11\x00\x55\x44\x77\x66\x88\x99\xaa\xbb\xcc\xdd\xee\xff", 16));
  EXPECT_NE(failure("'{0011}'", column(ColumnType::kGuid)).find("is not a GUID"), std::string::npos);

  auto required = column(ColumnType::kLong);
  required.notNull = true;
  EXPECT_EQ(failure("NULL", required),
            "SQL error: The column 'F' cannot contain a Null value (it is NOT NULL) at character 23.");
}

}  // namespace
}  // namespace qv::sql
