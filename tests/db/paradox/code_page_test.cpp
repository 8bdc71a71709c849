// Which code page a table's text is read in: the header's, the language driver's, the
// one the user forces, or the DOS code page of the user's locale for a table that says
// none; and what the reader says about text it cannot read in that code page.

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "db/paradox/code_page.h"
#include "db/paradox/table_reader.h"
#include "db/paradox/table_writer.h"
#include "support/temp_dir.h"
#include "support/testdata.h"

namespace qv::paradox {
namespace {

TableCharset choose(unsigned version, unsigned codePage, const std::string& driver, unsigned fallback = 437,
                    unsigned forced = 0) {
  TextOptions o;
  o.fallbackCodePage = fallback;
  o.forcedCodePage = forced;
  return chooseTableCharset(version, codePage, driver, o);
}

TEST(ParadoxCodePage, HeaderThenDriverThenTheLocalesDosPage) {
  // 3.x tables have no code page: the locale's DOS page decides.
  EXPECT_EQ(choose(kVersion35, 0, "", 866).charset, "CP866");
  EXPECT_EQ(choose(kVersion30, 0, "", 437).charset, "CP437");
  // So does a later table whose header leaves it 0 with a driver made for any DOS page.
  EXPECT_EQ(choose(kVersion4, 0, "ascii", 850).charset, "CP850");
  EXPECT_EQ(choose(kVersion4, 0, "intl", 866).charset, "CP866");
  // A code page in the header wins over the locale.
  EXPECT_EQ(choose(kVersion4, 866, "ascii", 850).charset, "CP866");
  EXPECT_EQ(choose(kVersion5, 850, "ascii", 866).codePage, 850u);
  // Windows drivers write Windows text even when the header names the DOS page.
  EXPECT_EQ(choose(kVersion7, 437, "ANSIINTL", 866).charset, "CP1252");
  EXPECT_EQ(choose(kVersion7, 866, "ancyrr").charset, "CP1251");
  EXPECT_EQ(choose(kVersion7, 936, "china").charset, "CP936");

  // Where the header has none, a driver made for one code page names it.
  EXPECT_EQ(choose(kVersion4, 0, "BLROM800", 866).charset, "HP-ROMAN8");
  EXPECT_EQ(choose(kVersion4, 0, "cyrr").charset, "CP866");
  EXPECT_EQ(choose(kVersion4, 0, "nordan").charset, "CP865");
  EXPECT_EQ(choose(kVersion4, 0, "intl850", 866).charset, "CP850");
  EXPECT_EQ(choose(kVersion5, 0, "DB866RU0").charset, "CP866");
  EXPECT_EQ(choose(kVersion5, 0, "hun852dc").charset, "CP852");
  EXPECT_EQ(choose(kVersion7, 0, "ancyrr", 850).charset, "CP1251");
  EXPECT_EQ(choose(kVersion7, 0, "DBWINUS0", 866).charset, "CP1252");

  // The forced code page wins over everything (a header that names the wrong one).
  EXPECT_EQ(choose(kVersion7, 936, "china", 437, 1251).charset, "CP1251");
  EXPECT_EQ(choose(kVersion7, 437, "ANSIINTL", 437, 866).charset, "CP866") << "forced is taken as it stands";
  EXPECT_TRUE(choose(kVersion7, 936, "china", 437, 1251).problem.empty());
}

TEST(ParadoxCodePage, CodePagesThisSystemCannotConvertAreSaidAndReplaced) {
  TableCharset c = choose(kVersion5, 64000, "ascii", 850);
  EXPECT_EQ(c.charset, "CP850") << "the header's unknown page falls back on the locale's";
  EXPECT_NE(c.problem.find("64000"), std::string::npos) << c.problem;
  // A locale whose DOS page iconv lacks (Arabic: 720) falls back on 437, and says so.
  c = choose(kVersion35, 0, "", 720);
  EXPECT_EQ(c.charset, "CP437");
  EXPECT_NE(c.problem.find("720"), std::string::npos) << c.problem;

  EXPECT_EQ(charsetOfCodePage(1251), "CP1251");
  EXPECT_EQ(charsetOfCodePage(65001), "UTF-8");
  EXPECT_EQ(charsetOfCodePage(20866), "KOI8-R");
  EXPECT_EQ(charsetOfCodePage(28595), "ISO-8859-5");
  EXPECT_EQ(charsetOfCodePage(0), "");
  EXPECT_EQ(charsetOfCodePage(99999), "");
  EXPECT_EQ(charsetOfCodePage(64000), "");
}

std::vector<std::string> fieldNames(TableReader& r) {
  std::vector<std::string> out;
  for (size_t i = 0; i < r.header().fields.size(); ++i) out.push_back(r.fieldName(i));
  return out;
}

// of.db is a Russian 3.5 table (no code page in its header); of_cp866.db is the same
// table saved again by a later version, which wrote 866 into the header.
TEST(ParadoxCodePage, RussianTableWithoutCodePageReadsAsCyrillicInARussianLocale) {
  QV_REQUIRE_TESTDATA();
  const std::string dir = test::testdataDir() + "/paradox/celebithil-Rparadox/";
  TextOptions russian;
  russian.fallbackCodePage = 866;
  TableReader of(dir + "of.db", io::defaultEnv(), russian);
  TableReader saved(dir + "of_cp866.db");
  EXPECT_EQ(of.codePage(), 866u);
  const auto names = fieldNames(of);
  EXPECT_EQ(names[0], "Инвентарный номер");
  EXPECT_EQ(names, fieldNames(saved));
  std::vector<Value> a, b;
  size_t rows = 0;
  while (of.next(a)) {
    ASSERT_TRUE(saved.next(b));
    ASSERT_EQ(a, b) << "record " << rows + 1;
    ++rows;
  }
  EXPECT_EQ(rows, 2197u);
  EXPECT_TRUE(of.textNotices().empty());

  // In a US locale the same bytes are DOS 437 text, as before.
  TableReader us(dir + "of.db");
  EXPECT_EQ(us.codePage(), 437u);
  EXPECT_EQ(fieldNames(us)[0], "ê¡óÑ¡Γáα¡δ⌐ ¡«¼Ñα");
  // The forced code page reads it right whatever the locale.
  TextOptions forced;
  forced.forcedCodePage = 866;
  TableReader fixed(dir + "of.db", io::defaultEnv(), forced);
  EXPECT_EQ(fieldNames(fixed)[0], "Инвентарный номер");
}

// NOTE1251.DB's header says 936 (Chinese) but its memos are Russian in 1251.
TEST(ParadoxCodePage, WrongHeaderIsNamedAndAForcedCodePageMendsIt) {
  QV_REQUIRE_TESTDATA();
  const std::string path = test::testdataDir() + "/paradox/leonhad-paradoxdriver/db/NOTE1251.DB";
  std::vector<Value> row;
  {
    TableReader r(path);
    while (r.next(row)) {
    }
    const auto notices = r.textNotices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find(path), std::string::npos) << notices[0];
    EXPECT_NE(notices[0].find("code page 936"), std::string::npos) << notices[0];
    EXPECT_NE(notices[0].find("field 'Note' of record 1"), std::string::npos) << notices[0];
  }
  TextOptions o;
  o.forcedCodePage = 1251;
  TableReader r(path, io::defaultEnv(), o);
  ASSERT_TRUE(r.next(row));
  EXPECT_EQ(row[1].text.rfind("При разработке", 0), 0u) << row[1].text;
  while (r.next(row)) {
  }
  EXPECT_TRUE(r.textNotices().empty());
}

void patchCodePage(const std::string& path, uint16_t codePage) {
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(0x6A);
  const char bytes[2] = {static_cast<char>(codePage & 0xFF), static_cast<char>(codePage >> 8)};
  f.write(bytes, 2);
}

Value text(const std::string& s) {
  Value v;
  v.kind = Value::Kind::kText;
  v.text = s;
  return v;
}

// A table written in 1252 whose header is then made to say 1253, where the byte of "ª"
// is no character; and one whose header names a code page iconv does not have.
TEST(ParadoxCodePage, TextThatIsNotValidInItsCodePageIsKeptVisibleAndNamed) {
  test::TempDir dir;
  const std::string path = dir.file("GREEK.DB");
  {
    TableWriter w(path, {{"Name", FieldType::kAlpha, 20}, {"Note", FieldType::kMemo, 11}});
    w.append({text("No \xC2\xAA 5"), text("plain")});
    w.append({text("ok"), text("a memo longer than its leader: \xC2\xAA")});
    w.finish();
  }
  patchCodePage(path, 1253);
  {
    TableReader r(path);
    EXPECT_EQ(r.charset(), "CP1253");
    std::vector<Value> row;
    ASSERT_TRUE(r.next(row));
    EXPECT_EQ(row[0].text, "No \xEF\xBF\xBD 5") << "the byte is marked where it was, not dropped";
    ASSERT_TRUE(r.next(row));
    EXPECT_EQ(row[1].text, "a memo longer than its leader: \xEF\xBF\xBD");
    const auto notices = r.textNotices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find(path), std::string::npos) << notices[0];
    EXPECT_NE(notices[0].find("2 texts are not valid in code page 1253"), std::string::npos) << notices[0];
    EXPECT_NE(notices[0].find("field 'Name' of record 1"), std::string::npos) << notices[0];
  }

  // A code page iconv does not have: the Windows driver's own page is taken instead.
  patchCodePage(path, 64000);
  TextOptions o;
  o.fallbackCodePage = 850;
  TableReader r(path, io::defaultEnv(), o);
  EXPECT_EQ(r.charset(), "CP1252");
  std::vector<Value> row;
  ASSERT_TRUE(r.next(row));
  EXPECT_EQ(row[0].text, "No \xC2\xAA 5");
  const auto notices = r.textNotices();
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_NE(notices[0].find(path), std::string::npos) << notices[0];
  EXPECT_NE(notices[0].find("64000"), std::string::npos) << notices[0];
  EXPECT_NE(notices[0].find("read in code page 1252"), std::string::npos) << notices[0];
}

}  // namespace
}  // namespace qv::paradox
