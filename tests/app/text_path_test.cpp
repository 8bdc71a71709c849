// Text from Paradox to Access through quorvane-cli, byte for byte: tables in code pages
// 1252 and 1251 with apostrophes, CR LF inside memos, a byte the code page does not
// define, names of 40 characters and memos long enough to be stored uncompressed go
// through `convert` and through `convert --sql` and `exec` from standard input; the
// database must hold exactly the texts that were written into the tables.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "db/jet/database.h"
#include "db/paradox/table_writer.h"
#include "support/temp_dir.h"
#include "support/testdata.h"

namespace qv {
namespace {

using test::shellQuote;

std::string cli() { return std::string(QV_BINARY_DIR) + "/src/app/quorvane-cli"; }

// A byte the table's code page leaves undefined is written where "~~" stands; the reader
// makes it U+FFFD.
constexpr char kMarker[] = "~~";
const std::string kReplacement = "\xEF\xBF\xBD";

struct Sample {
  std::string name;  // Alpha(40)
  std::string note;  // Memo
};

// Replaces the first byte of each "~~" in the file by `undefined` and the second by "x".
void patchMarkers(const std::string& path, char undefined) {
  std::string bytes = test::fileBytes(path);
  for (size_t at = bytes.find(kMarker); at != std::string::npos; at = bytes.find(kMarker, at + 2)) {
    bytes[at] = undefined;
    bytes[at + 1] = 'x';
  }
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// What the reader must deliver for a text written with markers.
std::string expected(std::string text) {
  for (size_t at = text.find(kMarker); at != std::string::npos; at = text.find(kMarker, at))
    text.replace(at, 2, kReplacement + "x");
  return text;
}

void writeTable(const std::string& path, const std::vector<Sample>& rows, uint16_t codePage,
                const std::string& driver) {
  using namespace paradox;
  WriterOptions options;
  options.codePage = codePage;
  options.sortOrderName = driver;
  TableWriter w(path, {{"Name", FieldType::kAlpha, 40}, {"Qty", FieldType::kLong, 0}, {"Note", FieldType::kMemo, 11}},
                options);
  for (size_t i = 0; i < rows.size(); ++i) {
    std::vector<Value> row(3);
    row[0] = {Value::Kind::kText, 0, 0, rows[i].name};
    row[1] = {Value::Kind::kInteger, static_cast<int64_t>(i), 0, {}};
    row[2] = {rows[i].note.empty() ? Value::Kind::kNull : Value::Kind::kText, 0, 0, rows[i].note};
    w.append(row);
  }
  w.finish();
}

// Name and Note of every row of table T, ordered by Qty.
std::vector<Sample> accessRows(const std::string& database, const std::string& table) {
  jet::OpenOptions options;
  options.readOnly = true;
  auto db = jet::openDatabase(database, options);
  jet::Table* t = db->table(table);
  EXPECT_NE(t, nullptr);
  std::vector<Sample> out;
  if (!t) return out;
  auto rows = t->scan();
  std::vector<jet::Value> v;
  while (rows->next(v)) {
    const size_t at = static_cast<size_t>(v[1].i);
    if (out.size() <= at) out.resize(at + 1);
    out[at] = {v[0].s, v[2].isNull() ? std::string() : v[2].s};
  }
  return out;
}

std::string repeat(const std::string& s, size_t times) {
  std::string out;
  for (size_t i = 0; i < times; ++i) out += s;
  return out;
}

struct CodePageCase {
  uint16_t codePage;
  const char* driver;
  char undefinedByte;
  std::vector<Sample> rows;
};

std::vector<CodePageCase> cases() {
  const std::string latinMemo = "He said 'it''s fine'.\r\nNext line: caf\xC3\xA9 \xE2\x82\xAC 100\r\n";
  const std::string cyrillicMemo =
      "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 'O''Brien'\r\n\xD1\x91\xD0\x81 \xE2\x84\x96 7\r\n";
  return {
      {1252,
       "ANSIINTL",
       '\x81',
       {{"O'Brien & Sons, 40 characters long.....", latinMemo},
        {"na\xC3\xAFve r\xC3\xA9sum\xC3\xA9 ~~ \xE2\x82\xAC", "~~ at the start, and " + repeat(latinMemo, 40)},
        {"12,5", "'"},
        {"plain", ""},
        {"  ' leading blanks and apostrophe", repeat("x", 5000) + "~~"}}},
      {1251,
       "ancyrr",
       '\x98',
       {{"\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0 'O'Brien' \xD1\x91", cyrillicMemo},
        {"~~ \xD0\x9A\xD0\xB8\xD0\xB5\xD0\xB2", repeat(cyrillicMemo, 30) + "~~"},
        {"\xE2\x84\x96 1", "\xD0\xAF"}}},
  };
}

TEST(TextPath, TextsReachTheDatabaseByteForByte) {
  for (const CodePageCase& c : cases()) {
    SCOPED_TRACE("code page " + std::to_string(c.codePage));
    test::TempDir dir;
    const std::string folder = dir.file("px");
    ASSERT_EQ(std::system(("mkdir -p " + shellQuote(folder)).c_str()), 0);
    writeTable(folder + "/T.DB", c.rows, c.codePage, c.driver);
    patchMarkers(folder + "/T.DB", c.undefinedByte);
    patchMarkers(folder + "/T.MB", c.undefinedByte);

    // Directly, and through a script run from standard input.
    const std::string direct = dir.file("direct.mdb"), scripted = dir.file("scripted.mdb"), script = dir.file("t.sql");
    std::string out;
    ASSERT_EQ(test::runCommand(
                  cli() + " convert " + shellQuote(folder) + " " + shellQuote(direct) + " --create mdb 2>&1", &out),
              0)
        << out;
    ASSERT_EQ(test::runCommand(cli() + " convert " + shellQuote(folder) + " " + shellQuote(scripted) +
                                   " --create mdb --sql " + shellQuote(script) + " 2>&1",
                               &out),
              0)
        << out;
    ASSERT_EQ(test::runCommand(cli() + " exec " + shellQuote(scripted) + " < " + shellQuote(script) + " 2>&1", &out), 0)
        << out;

    for (const std::string& database : {direct, scripted}) {
      SCOPED_TRACE(database);
      const std::vector<Sample> got = accessRows(database, "T");
      ASSERT_EQ(got.size(), c.rows.size());
      for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].name, expected(c.rows[i].name)) << "row " << i;
        EXPECT_EQ(got[i].note, expected(c.rows[i].note)) << "row " << i;
      }
    }
  }
}

// Characters outside the Basic Multilingual Plane (surrogate pairs in Access) and texts
// of every storage form go in through exec and come back unchanged.
TEST(TextPath, ExecKeepsCharactersOutsideTheBasicPlane) {
  test::TempDir dir;
  const std::string database = dir.file("t.mdb");
  std::string out;
  ASSERT_EQ(test::runCommand(cli() + " create " + shellQuote(database) + " 2>&1", &out), 0) << out;
  const std::vector<std::string> texts = {"\xF0\x9F\x98\x80 smile", "caf\xC3\xA9", "\xD0\xAF and \xF0\x90\x8D\x88",
                                          repeat("\xF0\x9F\x8E\xB5", 600), "it's"};
  std::string script = "CREATE TABLE `U` ([N] INT,[S] TEXT,[L] TEXT(20));\n";
  for (size_t i = 0; i < texts.size(); ++i) {
    std::string quoted;
    for (char ch : texts[i]) quoted += ch == '\'' ? std::string("''") : std::string(1, ch);
    const std::string shortText = texts[i].size() <= 16 ? "'" + quoted + "'" : "NULL";
    script += "INSERT INTO `U` VALUES (" + std::to_string(i) + ", '" + quoted + "', " + shortText + ");\n";
  }
  std::ofstream(dir.file("u.sql"), std::ios::binary) << script;
  ASSERT_EQ(
      test::runCommand(cli() + " exec " + shellQuote(database) + " < " + shellQuote(dir.file("u.sql")) + " 2>&1", &out),
      0)
      << out;
  jet::OpenOptions options;
  options.readOnly = true;
  auto db = jet::openDatabase(database, options);
  jet::Table* t = db->table("U");
  ASSERT_NE(t, nullptr);
  auto rows = t->scan();
  std::vector<jet::Value> v;
  size_t seen = 0;
  while (rows->next(v)) {
    const size_t i = static_cast<size_t>(v[0].i);
    ASSERT_LT(i, texts.size());
    EXPECT_EQ(v[1].s, texts[i]);
    if (texts[i].size() <= 16) {
      EXPECT_EQ(v[2].s, texts[i]);
    }
    ++seen;
  }
  EXPECT_EQ(seen, texts.size());
}

// convert --sql writes the script while the run goes (it is not held whole): every
// statement arrives, across the pieces it is written in, and a file that cannot be
// written is reported and the run fails.
TEST(TextPath, ScriptIsWrittenAsTheRunGoes) {
  test::TempDir dir;
  const std::string folder = dir.file("px");
  ASSERT_EQ(std::system(("mkdir -p " + shellQuote(folder)).c_str()), 0);
  std::vector<Sample> rows;
  for (int i = 0; i < 12000; ++i)
    rows.push_back({"name " + std::to_string(i), std::string(static_cast<size_t>(90 + i % 50), 'm') + "'"});
  writeTable(folder + "/T.DB", rows, 1252, "ANSIINTL");
  const std::string script = dir.file("t.sql");
  std::string out;
  ASSERT_EQ(test::runCommand(cli() + " convert " + shellQuote(folder) + " " + shellQuote(dir.file("t.mdb")) +
                                 " --create mdb --sql " + shellQuote(script) + " 2>&1",
                             &out),
            0)
      << out;
  EXPECT_NE(out.find("Script: 12001 statements written"), std::string::npos) << out;
  const std::string text = test::fileBytes(script);
  ASSERT_GT(text.size(), size_t{1} << 20) << "more than one piece";
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 12001);
  EXPECT_EQ(text.substr(0, 13), "CREATE TABLE ");
  const std::string last =
      "INSERT INTO `T` VALUES ('name 11999', 11999, '" + std::string(90 + 11999 % 50, 'm') + "''');\n";
  EXPECT_EQ(text.substr(text.size() - last.size()), last);

  EXPECT_EQ(test::runCommand(cli() + " convert " + shellQuote(folder) + " " + shellQuote(dir.file("u.mdb")) +
                                 " --create mdb --sql " + shellQuote(dir.file("no/such/folder/t.sql")) + " 2>&1",
                             &out),
            1);
  EXPECT_NE(out.find("Cannot write"), std::string::npos) << out;
  EXPECT_NE(out.find("No script"), std::string::npos) << out;
}

}  // namespace
}  // namespace qv
