#include <gtest/gtest.h>

#include <sstream>

#include "app/cli/script_reader.h"

namespace qv::cli {
namespace {

std::vector<std::pair<long, std::string>> readAll(const std::string& text) {
  std::istringstream in(text);
  ScriptReader reader(in);
  std::vector<std::pair<long, std::string>> out;
  std::string s;
  long line = 0;
  while (reader.next(&s, &line)) out.emplace_back(line, s);
  return out;
}

TEST(ScriptReader, LineBreaksInsideLiteralsBelongToTheStatement) {
  auto got = readAll(
      "CREATE TABLE `T` ([A] TEXT);\r\n"
      "INSERT INTO `T` VALUES ('first\r\nsecond', 'it''s');\n"
      "\n"
      "INSERT INTO `O'Brien [x]` VALUES ('a\n\nb');\n"
      "DROP TABLE [T\n2];");
  ASSERT_EQ(got.size(), 5u);
  EXPECT_EQ(got[0], (std::pair<long, std::string>{1, "CREATE TABLE `T` ([A] TEXT);"}));
  EXPECT_EQ(got[1], (std::pair<long, std::string>{2, "INSERT INTO `T` VALUES ('first\r\nsecond', 'it''s');"}));
  EXPECT_EQ(got[2], (std::pair<long, std::string>{4, ""}));
  EXPECT_EQ(got[3], (std::pair<long, std::string>{5, "INSERT INTO `O'Brien [x]` VALUES ('a\n\nb');"}));
  EXPECT_EQ(got[4], (std::pair<long, std::string>{8, "DROP TABLE [T\n2];"}));
}

TEST(ScriptReader, AnUnclosedQuoteRunsToTheEnd) {
  auto got = readAll("INSERT INTO `T` VALUES ('open\nstill open\n");
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].second, "INSERT INTO `T` VALUES ('open\nstill open");
  EXPECT_TRUE(readAll("").empty());
}

}  // namespace
}  // namespace qv::cli
