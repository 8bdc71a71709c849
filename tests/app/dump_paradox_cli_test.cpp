// quorvane-cli dump-paradox: the JSON lines of a table, and a clear failure for a file
// that is not one.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/testdata.h"

namespace qv {
namespace {

std::vector<std::string> dumpLines(const std::string& table, int* status) {
  std::string out;
  *status = test::runCommand(std::string(QV_BINARY_DIR) + "/src/app/quorvane-cli dump-paradox '" + test::testdataDir() +
                                 "/paradox/" + table + "' 2>&1",
                             &out);
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(DumpParadox, PrintsHeaderFieldsAndRecordsAsJsonLines) {
  QV_REQUIRE_TESTDATA();
  int status = -1;
  auto lines = dumpLines("celebithil-Rparadox/TypSammlung.DB", &status);
  ASSERT_EQ(status, 0);
  ASSERT_EQ(lines.size(), 1u + 14u + 5u);
  EXPECT_EQ(lines[0],
            R"({"table": "TYPSAMMLUNG", "version": "7.x", "records": 5, "codepage": 1252, "encrypted": false})");
  EXPECT_EQ(lines[3], R"({"field": "Währung", "type": "Money", "size": 8, "ado": 5})");
  EXPECT_EQ(lines[6], R"({"field": "BCD", "type": "BCD", "size": 6, "ado": 5})");
  EXPECT_EQ(lines[14], R"({"field": "Bytes", "type": "Bytes", "size": 255, "ado": 128})");
  EXPECT_EQ(
      lines[19],
      R"(["Zweite Zeile", -40, -40, -40, -40, "-40.000000", "1999-09-09", "11:11:11.000", "2003-06-10T11:11:11.000", null, true, 2, null, null])");
  EXPECT_EQ(
      lines[17],
      R"(["Fünfter Datensatz", 1.34, 13.002, null, null, "13.123457", "-0001-12-31", "01:10:12.000", "-0001-12-31T01:00:00.000", "Dies ist eine Memo im 'Fünften Datensat'", null, 5, null, null])");

  lines = dumpLines("leonhad-paradoxdriver/fields/graphic.db", &status);
  ASSERT_EQ(status, 0);
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[4].substr(0, 30), R"([1, {"len": 20078, "sha256": ")");

  lines = dumpLines("leonhad-paradoxdriver/encrypt/encrypted.db", &status);
  EXPECT_EQ(lines[0], R"({"table": "ENCRYPTED", "version": "5.x", "records": 4, "codepage": 850, "encrypted": true})");
  EXPECT_EQ(lines.back(), R"([4, "Last one"])");
}

TEST(DumpParadox, FailsWithTheFileNameForANonTable) {
  QV_REQUIRE_TESTDATA();
  int status = -1;
  const auto lines = dumpLines("bio-guoda-preston/not-a.DB", &status);
  EXPECT_NE(status, 0);
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines[0].find("not-a.DB"), std::string::npos) << lines[0];
}

}  // namespace
}  // namespace qv
