#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <limits>

#include "engine/row_literal.h"

namespace qv::engine {
namespace {

using ado::Value;

QString row(const LocaleRules& rules, const std::vector<bool>& numeric, const std::vector<Value>& values,
            const QString& table = QStringLiteral("STOCK")) {
  InsertBuilder b(rules);
  b.begin(table, &numeric);
  for (size_t k = 0; k < values.size(); ++k) b.appendValue(static_cast<int>(k), values[k]);
  const std::string_view statement = b.finish();
  return QString::fromUtf8(statement.data(), static_cast<qsizetype>(statement.size()));
}

TEST(RowLiteral, WorkedExamples) {
  LocaleRules en(QLocale(QStringLiteral("en_US")));
  std::vector<bool> numeric{true, false, false};
  EXPECT_EQ(row(en, numeric, {Value::integer(7), Value::text("O'Brien"), Value::dateTime(QDate(2021, 1, 3))}),
            QStringLiteral("INSERT INTO `STOCK` VALUES (7, 'O''Brien', '01/03/2021');"));
  EXPECT_EQ(row(en, numeric, {Value::integer(7), Value::null(), Value::dateTime(QDate(2021, 1, 3), QTime(14, 5, 9))}),
            QStringLiteral("INSERT INTO `STOCK` VALUES (7,NULL, '01/03/2021 14:05:09');"));
}

TEST(RowLiteral, NullsEmptyTextsAndTheOpeningParenthesis) {
  LocaleRules en(QLocale(QStringLiteral("en_US")));
  // A first value that is Null keeps the "(" so the row is not lost.
  EXPECT_EQ(row(en, {true, false}, {Value::null(), Value::text("")}),
            QStringLiteral("INSERT INTO `STOCK` VALUES (NULL,NULL);"));
  EXPECT_EQ(row(en, {false, false}, {Value::text(""), Value::text("x")}),
            QStringLiteral("INSERT INTO `STOCK` VALUES (NULL, 'x');"));
  // Blanks are not empty.
  EXPECT_EQ(row(en, {false}, {Value::text("   ")}), QStringLiteral("INSERT INTO `STOCK` VALUES ('   ');"));
  // Non-finite numbers are written NULL rather than as a broken literal.
  EXPECT_EQ(row(en, {true, true, true},
                {Value::real(std::nan("")), Value::real(std::numeric_limits<double>::infinity()),
                 Value::real(-std::numeric_limits<double>::infinity())}),
            QStringLiteral("INSERT INTO `STOCK` VALUES (NULL,NULL,NULL);"));
}

TEST(RowLiteral, ADateBeforeTheYearOneIsWrittenNull) {
  // Such a date has no mm/dd/yyyy form; the year 1 itself has.
  LocaleRules en(QLocale(QStringLiteral("en_US")));
  EXPECT_EQ(row(en, {true, false, false},
                {Value::integer(1), Value::dateTime(QDate(-2, 12, 31)), Value::dateTime(QDate(1, 1, 1))}),
            QStringLiteral("INSERT INTO `STOCK` VALUES (1,NULL, '01/01/0001');"));
  EXPECT_EQ(row(en, {false}, {Value::dateTime(QDate(-1, 6, 1), QTime(10, 30))}),
            QStringLiteral("INSERT INTO `STOCK` VALUES (NULL);"));
}

TEST(RowLiteral, NumericPathUnderEachLocale) {
  for (const char* name : {"en_US", "de_DE", "fr_FR", "C"}) {
    SCOPED_TRACE(name);
    LocaleRules rules{QLocale(QLatin1String(name))};
    std::vector<bool> numeric(8, true);
    EXPECT_EQ(row(rules, numeric,
                  {Value::real(3.25), Value::real(-1234567.5), Value::real(1e20), Value::real(-2.5e-9),
                   Value::boolean(true), Value::boolean(false), Value::decimal("-12.3400"), Value::integer(-42)}),
              QStringLiteral("INSERT INTO `STOCK` VALUES (3.25, -1234567.5, 1E+20, -2.5E-09, 1, 0, -12.3400, -42);"));
    // Doubles keep every bit: the shortest text that reads back as the same double.
    EXPECT_EQ(row(rules, {true}, {Value::real(0.1 + 0.2)}),
              QStringLiteral("INSERT INTO `STOCK` VALUES (0.30000000000000004);"));
  }
}

TEST(RowLiteral, TextPathsDifferOnlyInTheCommaOfNumbers) {
  LocaleRules de(QLocale(QStringLiteral("de_DE")));
  // With numeric fields, a text field's "3,25" keeps its comma.
  EXPECT_EQ(row(de, {true, false}, {Value::integer(1), Value::text("3,25")}),
            QStringLiteral("INSERT INTO `STOCK` VALUES (1, '3,25');"));
  // Without numeric fields it becomes a point.
  EXPECT_EQ(row(de, {false}, {Value::text("3,25")}), QStringLiteral("INSERT INTO `STOCK` VALUES ('3.25');"));
  // A numeric field whose text is 3,25 is written 3.25; a text that is no number stays as it is.
  EXPECT_EQ(row(de, {true, true}, {Value::text("3,25"), Value::text("abc")}),
            QStringLiteral("INSERT INTO `STOCK` VALUES (3.25, abc);"));
  // "True"/"False" texts in a numeric field are 1/0; case matters.
  EXPECT_EQ(row(de, {true, true, true}, {Value::text("True"), Value::text("False"), Value::text("true")}),
            QStringLiteral("INSERT INTO `STOCK` VALUES (1, 0, true);"));
}

TEST(RowLiteral, DatesAndTimesReadBackTheSameInEveryLocale) {
  for (const char* name : {"en_US", "de_DE", "fr_FR", "C", "ko_KR", "hu_HU", "sv_SE"}) {
    SCOPED_TRACE(name);
    LocaleRules rules{QLocale(QLatin1String(name))};
    std::vector<bool> none(4, false);
    EXPECT_EQ(
        row(rules, none,
            {Value::dateTime(QDate(2021, 1, 3)), Value::dateTime(QDate(1850, 7, 14), QTime(23, 59, 58)),
             Value::timeOnly(QTime(10, 30)), Value::dateTime(QDate(1, 1, 1))}),
        QStringLiteral(
            "INSERT INTO `STOCK` VALUES ('01/03/2021', '07/14/1850 23:59:58', '12/30/1899 10:30:00', '01/01/0001');"));
    // The value text of a date reads back as the same date (two-digit years would not).
    QString text = rules.valueText(Value::dateTime(QDate(2021, 12, 31), QTime(8, 0, 1)));
    auto back = rules.readsAsDateTime(text);
    ASSERT_TRUE(back.has_value()) << text.toStdString();
    EXPECT_EQ(back->year, 2021);
    EXPECT_EQ(back->month, 12);
    EXPECT_EQ(back->day, 31);
    EXPECT_EQ(back->hour * 3600 + back->minute * 60 + back->second, 8 * 3600 + 1);
  }
}

TEST(RowLiteral, TextsThatReadAsDatesAreRewritten) {
  LocaleRules en(QLocale(QStringLiteral("en_US")));
  LocaleRules de(QLocale(QStringLiteral("de_DE")));
  std::vector<bool> none(1, false);
  EXPECT_EQ(row(en, none, {Value::text("10:30")}),
            QStringLiteral("INSERT INTO `STOCK` VALUES ('12/30/1899 10:30:00');"));
  EXPECT_EQ(row(en, none, {Value::text("2:05 PM")}),
            QStringLiteral("INSERT INTO `STOCK` VALUES ('12/30/1899 14:05:00');"));
  EXPECT_EQ(row(en, none, {Value::text("1/3/21")}), QStringLiteral("INSERT INTO `STOCK` VALUES ('01/03/2021');"));
  EXPECT_EQ(row(de, none, {Value::text("03.01.2021 7:08")}),
            QStringLiteral("INSERT INTO `STOCK` VALUES ('01/03/2021 07:08:00');"));
  EXPECT_EQ(row(en, none, {Value::text("2021-01-03")}), QStringLiteral("INSERT INTO `STOCK` VALUES ('01/03/2021');"));
  // Not dates: impossible days, numbers, words, a day and month without a year.
  for (const char* t : {"2/30/2021", "1.5", "Main St. 5", "25:00", "12/2021", "O'Brien 1/2/3"}) {
    EXPECT_FALSE(en.readsAsDateTime(QString::fromUtf8(t)).has_value()) << t;
  }
  EXPECT_FALSE(de.readsAsDateTime(QStringLiteral("1.5")).has_value());
}

TEST(RowLiteral, ReadsAsNumberFollowsTheLocaleSeparator) {
  LocaleRules en(QLocale(QStringLiteral("en_US")));
  LocaleRules de(QLocale(QStringLiteral("de_DE")));
  for (const char* t : {"7", "-7", "+3.5", " 12 ", ".5", "1e10", "-2.5E-9"})
    EXPECT_TRUE(en.readsAsNumber(QString::fromUtf8(t))) << t;
  for (const char* t : {"", "-", "1,000", "1.2.3", "e5", "1e", "0x1F", "12a"})
    EXPECT_FALSE(en.readsAsNumber(QString::fromUtf8(t))) << t;
  EXPECT_TRUE(de.readsAsNumber(QStringLiteral("3,25")));
  EXPECT_FALSE(de.readsAsNumber(QStringLiteral("3.25")));
}

TEST(RowLiteral, BinaryValuesTravelAsHex) {
  LocaleRules c{QLocale::c()};
  EXPECT_EQ(row(c, {false}, {Value::bytes(QByteArray("\x00\x01\xff", 3))}),
            QStringLiteral("INSERT INTO `STOCK` VALUES ('0x0001ff');"));
  EXPECT_EQ(c.valueText(Value::bytes(QByteArray())), QStringLiteral("0x"));
}

// Doubles in numeric fields are written straight into the statement; the text must be
// the one the locale's value text gives (its separator made a point), bit for bit.
TEST(RowLiteral, DoublesAreWrittenAsTheirValueText) {
  std::vector<double> values = {0.0,
                                -0.0,
                                1.0,
                                -1.0,
                                0.5,
                                1e-5,
                                9.99999e-6,
                                123456789012345.0,
                                999999999999999.9,
                                1e15,
                                -1e15,
                                0.1 + 0.2,
                                1.0 / 3.0,
                                2.0 / 3.0,
                                5e-324,
                                1.7976931348623157e308};
  uint64_t seed = 88172645463325252ull;
  for (int i = 0; i < 2000; ++i) {
    seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
    const double mantissa = static_cast<double>(seed % 1000000007) / 1000000007.0;
    const int exponent = static_cast<int>((seed >> 40) % 40) - 20;
    values.push_back((seed & 1 ? -1 : 1) * mantissa * std::pow(10.0, exponent));
    // Prices and measures: a few decimals, read from text as a table would hold them,
    // and the doubles just beside them.
    const double decimal = static_cast<double>(static_cast<int64_t>(seed % 2000000000000ull) - 1000000000000) /
                           std::pow(10.0, static_cast<int>((seed >> 20) % 6));
    values.push_back(decimal);
    values.push_back(std::nextafter(decimal, 2e12));
  }
  for (double d : {0.1, 0.3, 2.675, 1234.5678, 999999999.9999, 1e9 - 0.0001, 1e9, 0.0001, 0.00015, 4.35, 8.2})
    values.push_back(d);
  for (const char* name : {"en_US", "de_DE", "fr_FR", "C", "ar_EG"}) {
    SCOPED_TRACE(name);
    LocaleRules rules{QLocale(QLatin1String(name))};
    for (double d : values) {
      QString want = rules.valueText(Value::real(d));
      if (rules.readsAsNumber(want)) want.replace(u',', u'.');
      EXPECT_EQ(row(rules, {true}, {Value::real(d)}),
                QStringLiteral("INSERT INTO `STOCK` VALUES (") + want + QStringLiteral(");"))
          << d;
    }
  }
}

// Texts go into the statement whole, apostrophes doubled, line breaks and characters of
// every plane kept; only texts that may read as numbers or dates meet the locale's rules.
TEST(RowLiteral, TextsGoInWholeWithTheirApostrophesDoubled) {
  LocaleRules en(QLocale(QStringLiteral("en_US")));
  LocaleRules de(QLocale(QStringLiteral("de_DE")));
  const std::vector<bool> none(1, false);
  auto one = [&](const LocaleRules& rules, const std::string& text) {
    return row(rules, none, {Value::text(QString::fromStdString(text))}).toStdString();
  };
  EXPECT_EQ(one(en, "'Tis O'Brien''s\r\nline 2 \xF0\x9F\x98\x80 \xD0\xAF '"),
            "INSERT INTO `STOCK` VALUES ('''Tis O''Brien''''s\r\nline 2 \xF0\x9F\x98\x80 \xD0\xAF ''');");
  EXPECT_EQ(one(en, "1st 'place'"), "INSERT INTO `STOCK` VALUES ('1st ''place''');");
  EXPECT_EQ(one(de, "  3,5"), "INSERT INTO `STOCK` VALUES ('  3.5');");
  EXPECT_EQ(one(de, "\t-1,5"), "INSERT INTO `STOCK` VALUES ('\t-1.5');");
  EXPECT_EQ(one(de, ",5"), "INSERT INTO `STOCK` VALUES ('.5');");
  EXPECT_EQ(one(en, " 10:30"), "INSERT INTO `STOCK` VALUES ('12/30/1899 10:30:00');");
  EXPECT_EQ(one(en, "x 10:30"), "INSERT INTO `STOCK` VALUES ('x 10:30');");
  // A long text with many apostrophes.
  std::string text, want;
  for (int i = 0; i < 500; ++i) {
    text += "it's \xC3\xA9 ";
    want += "it''s \xC3\xA9 ";
  }
  EXPECT_EQ(one(en, text), "INSERT INTO `STOCK` VALUES ('" + want + "');");
  // The table name may hold any character.
  LocaleRules c{QLocale::c()};
  EXPECT_EQ(row(c, none, {Value::text("v")}, QString::fromUtf8("\xD0\xA2\xD0\xB0\xD0\xB1 1")).toStdString(),
            "INSERT INTO `\xD0\xA2\xD0\xB0\xD0\xB1 1` VALUES ('v');");
}

}  // namespace
}  // namespace qv::engine
