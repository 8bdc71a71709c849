// The code page of Paradox text through quorvane-cli, end to end: a table that names no
// code page converted under two locales and with --code-page, an unknown code page
// refused before anything is written, and text that is not valid in its code page
// reported and kept visible in the database (checked with mdbtools' mdb-export).

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "db/jet/reader_oracle.h"
#include "db/paradox/table_writer.h"
#include "support/temp_dir.h"
#include "support/testdata.h"

namespace qv {
namespace {

using test::shellQuote;

std::string cli() { return std::string(QV_BINARY_DIR) + "/src/app/quorvane-cli"; }

// Runs the command line in a locale; standard error goes with standard output.
int runIn(const std::string& locale, const std::string& arguments, std::string* out) {
  return test::runCommand("LC_ALL=" + locale + " LANG=" + locale + " " + cli() + " " + arguments + " 2>&1", out);
}

// The first line of mdb-export's CSV of a table: its column names.
std::string columnsOf(const std::string& database, const std::string& table) {
  const auto lines = test::mdbtoolsExport(database, table);
  return lines.empty() ? std::string() : lines[0];
}

TEST(CodePageCli, TableWithoutCodePageFollowsTheLocaleOrTheCodePageOption) {
  QV_REQUIRE_TESTDATA();
  QV_REQUIRE_TOOL(test::mdbtoolsAvailable(), "mdbtools");
  test::TempDir dir;
  const std::string folder = shellQuote(test::testdataDir() + "/paradox/celebithil-Rparadox");
  std::string out;
  ASSERT_EQ(runIn("ru_RU.UTF-8", "convert " + folder + " " + shellQuote(dir.file("ru.mdb")) + " --create mdb", &out), 0)
      << out;
  ASSERT_EQ(runIn("en_US.UTF-8", "convert " + folder + " " + shellQuote(dir.file("us.mdb")) + " --create mdb", &out), 0)
      << out;
  ASSERT_EQ(
      runIn("en_US.UTF-8",
            "convert " + folder + " " + shellQuote(dir.file("forced.mdb")) + " --create mdb --code-page 866", &out),
      0)
      << out;

  const std::string russian = columnsOf(dir.file("ru.mdb"), "OF");
  EXPECT_EQ(russian.rfind("Инвентарный номер,Группа для переоценки,", 0), 0u) << russian;
  EXPECT_EQ(columnsOf(dir.file("forced.mdb"), "OF"), russian);
  EXPECT_EQ(columnsOf(dir.file("us.mdb"), "OF").rfind("ê¡óÑ¡Γáα¡δ⌐ ¡«¼Ñα,", 0), 0u) << "as DOS 437, as before";
  // The rows too, and the table that names its code page reads the same in all three.
  EXPECT_EQ(test::mdbtoolsExport(dir.file("ru.mdb"), "OF"), test::mdbtoolsExport(dir.file("forced.mdb"), "OF"));
  EXPECT_EQ(test::mdbtoolsExport(dir.file("us.mdb"), "OF_CP866"), test::mdbtoolsExport(dir.file("ru.mdb"), "OF_CP866"));

  // The typed conversion reads its tables as the default one does.
  ASSERT_EQ(runIn("ru_RU.UTF-8",
                  "convert " + folder + " " + shellQuote(dir.file("typed-ru.mdb")) + " --create mdb --typed", &out),
            0)
      << out;
  ASSERT_EQ(runIn("en_US.UTF-8",
                  "convert " + folder + " " + shellQuote(dir.file("typed-forced.mdb")) +
                      " --create mdb --typed --code-page 866",
                  &out),
            0)
      << out;
  EXPECT_EQ(columnsOf(dir.file("typed-ru.mdb"), "OF"), russian);
  EXPECT_EQ(columnsOf(dir.file("typed-forced.mdb"), "OF"), russian);

  // dump-paradox reads as the conversion does.
  ASSERT_EQ(runIn("ru_RU.UTF-8", "dump-paradox " + folder + "/of.db", &out), 0);
  EXPECT_NE(out.find(R"({"field": "Инвентарный номер")"), std::string::npos);
  EXPECT_NE(out.find(R"("codepage": 866)"), std::string::npos);
  ASSERT_EQ(runIn("en_US.UTF-8", "dump-paradox " + folder + "/of.db", &out), 0);
  EXPECT_NE(out.find(R"("codepage": 437)"), std::string::npos);
  ASSERT_EQ(runIn("en_US.UTF-8", "dump-paradox " + folder + "/of.db --code-page 866", &out), 0);
  EXPECT_NE(out.find(R"({"field": "Инвентарный номер")"), std::string::npos);
}

TEST(CodePageCli, UnknownCodePageIsRefusedBeforeAnythingIsWritten) {
  QV_REQUIRE_TESTDATA();
  test::TempDir dir;
  const std::string folder = shellQuote(test::testdataDir() + "/paradox/celebithil-Rparadox");
  for (const char* bad : {"99999", "0", "cyrillic", "64000"}) {
    std::string out;
    EXPECT_EQ(runIn("C", "convert " + folder + " " + shellQuote(dir.file("x.mdb")) + " --create mdb --code-page " + bad,
                    &out),
              2)
        << bad;
    EXPECT_NE(out.find(std::string("--code-page ") + bad + ": not a code page"), std::string::npos) << out;
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.mdb"))) << bad;
    EXPECT_EQ(runIn("C", "dump-paradox " + folder + "/of.db --code-page " + bad, &out), 2) << bad;
  }
}

TEST(CodePageCli, TextNotValidInItsCodePageIsReportedAndKeptVisible) {
  QV_REQUIRE_TOOL(test::mdbtoolsAvailable(), "mdbtools");
  test::TempDir dir;
  std::filesystem::create_directory(dir.file("in"));
  const std::string table = dir.file("in/GREEK.DB");
  {
    paradox::Value v;
    v.kind = paradox::Value::Kind::kText;
    v.text = "No \xC2\xAA 5";  // "ª" is 0xAA in 1252, no character in 1253
    paradox::TableWriter w(table, {{"Name", paradox::FieldType::kAlpha, 20}});
    w.append({v});
    w.finish();
  }
  {
    std::fstream f(table, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(0x6A);
    f.write("\xE5\x04", 2);  // the header now says 1253
  }
  std::string out;
  EXPECT_EQ(
      runIn("C", "convert " + shellQuote(dir.file("in")) + " " + shellQuote(dir.file("out.mdb")) + " --create mdb",
            &out),
      0)
      << out;
  EXPECT_NE(out.find(table + "': 1 text is not valid in code page 1253"), std::string::npos) << out;
  const auto rows = test::mdbtoolsExport(dir.file("out.mdb"), "GREEK");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1], "\"No \xEF\xBF\xBD 5\"");
}

}  // namespace
}  // namespace qv
