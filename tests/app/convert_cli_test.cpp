// The conversion end to end through quorvane-cli: Paradox folders of the corpus go in, an
// Access database comes out, and an independent reader (mdb-reader) must find in it
// exactly what the generated statements say, row by row and value by value.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "app/cli/script_reader.h"
#include "support/temp_dir.h"
#include "support/testdata.h"

namespace qv::cli {
namespace {

using test::shellQuote;

namespace fs = std::filesystem;

std::string cli() { return std::string(QV_BINARY_DIR) + "/src/app/quorvane-cli"; }

int run(const std::string& command, std::string* out) { return test::runCommand(command + " 2>&1", out); }

// One literal of a generated INSERT statement.
struct Literal {
  enum Kind { kNull, kNumber, kText } kind = kNull;
  std::string text;
};

// The literals of "INSERT INTO `T` VALUES (a, 'b', NULL);".
std::vector<Literal> literalsOf(const std::string& statement, std::string* table) {
  size_t open = statement.find('`');
  size_t close = statement.find('`', open + 1);
  *table = statement.substr(open + 1, close - open - 1);
  size_t i = statement.find("VALUES (", close) + 8;
  std::vector<Literal> out;
  while (i < statement.size()) {
    while (i < statement.size() && (statement[i] == ' ' || statement[i] == ',')) ++i;
    if (statement.compare(i, 2, ");") == 0) break;
    Literal lit;
    if (statement[i] == '\'') {
      lit.kind = Literal::kText;
      ++i;
      for (;;) {
        if (statement[i] == '\'' && i + 1 < statement.size() && statement[i + 1] == '\'') {
          lit.text += '\'';
          i += 2;
        } else if (statement[i] == '\'') {
          ++i;
          break;
        } else {
          lit.text += statement[i++];
        }
      }
    } else {
      size_t end = statement.find_first_of(",)", i);
      lit.text = statement.substr(i, end - i);
      lit.kind = lit.text == "NULL" ? Literal::kNull : Literal::kNumber;
      i = end;
    }
    out.push_back(lit);
  }
  return out;
}

struct Script {
  std::vector<std::string> tables;  // in CREATE order
  std::map<std::string, std::vector<std::vector<Literal>>> rows;
};

Script readScript(const std::string& path) {
  Script s;
  std::ifstream in(path);
  ScriptReader reader(in);
  std::string statement;
  long line = 0;
  while (reader.next(&statement, &line)) {
    if (statement.rfind("CREATE TABLE `", 0) == 0) {
      s.tables.push_back(statement.substr(14, statement.find('`', 14) - 14));
    } else if (statement.rfind("INSERT INTO `", 0) == 0) {
      std::string table;
      auto lits = literalsOf(statement, &table);
      s.rows[table].push_back(std::move(lits));
    }
  }
  return s;
}

// What mdb-reader finds in the database.
QJsonObject dumpDatabase(const std::string& db) {
  std::string out;
  int status =
      test::runCommand("node " + shellQuote(test::nodeToolsDir() + "/mdb_dump.mjs") + " " + shellQuote(db), &out);
  EXPECT_EQ(status, 0) << out;
  return QJsonDocument::fromJson(QByteArray::fromStdString(out)).object();
}

// Compares one stored value with the literal the statement gave for it.
void expectValue(const Literal& lit, const QJsonValue& got, const std::string& where) {
  if (lit.kind == Literal::kNull) {
    EXPECT_TRUE(got.isNull()) << where;
    return;
  }
  if (lit.kind == Literal::kNumber) {
    double want = std::stod(lit.text);
    double have = got.isString() ? got.toString().toDouble() : got.toDouble();
    EXPECT_TRUE(have == want || std::fabs(have - want) <= 1e-12 * std::fabs(want)) << where << ": " << lit.text;
    return;
  }
  if (got.isObject()) {  // binary: the literal is 0x followed by the bytes
    EXPECT_EQ("0x" + got.toObject().value("hex").toString().toStdString(), lit.text) << where;
    return;
  }
  EXPECT_EQ(got.toString().toStdString(), lit.text) << where;
}

class ConvertCli : public ::testing::Test {
 protected:
  void SetUp() override {
    QV_REQUIRE_TESTDATA();
    QV_REQUIRE_TOOL(!test::nodeToolsDir().empty(), "mdb-reader (tests/js)");
  }
};

// Every folder of the corpus converts into a new database that holds exactly what the
// statements say; every table of the folder and its sub-folders is there.
TEST_F(ConvertCli, CorpusFoldersArriveWholeInANewDatabase) {
  const std::string root = test::testdataDir() + "/paradox/";
  for (const char* folder :
       {"celebithil-Rparadox", "bio-guoda-preston", "leonhad-paradoxdriver/db", "leonhad-paradoxdriver/fields",
        "leonhad-paradoxdriver/areas", "leonhad-paradoxdriver/encrypt", "ademkocamaz-lazarus-paradox/Build",
        "MedilinkPS-Paradox-Reader", "celebithil-Paradox.pm", "teverett-paradoxReader/examples"}) {
    SCOPED_TRACE(folder);
    test::TempDir dir;
    const std::string db = dir.file("out.mdb"), sql = dir.file("script.sql");
    std::string out;
    run(cli() + " convert " + shellQuote(root + folder) + " " + shellQuote(dir.file("preview.mdb")) +
            " --create mdb --overwrite no --sql " + shellQuote(sql),
        &out);
    Script script = readScript(sql);
    ASSERT_FALSE(script.tables.empty()) << out;
    int status = run(
        cli() + " convert " + shellQuote(root + folder) + " " + shellQuote(db) + " --create mdb --overwrite no", &out);
    QJsonObject dump = dumpDatabase(db);
    QJsonObject data = dump.value("data").toObject();
    for (const std::string& table : script.tables) {
      // A table the reader rejects (not-a.DB, a missing memo file) is named in an error
      // line; every other one must arrive whole.
      if (out.find("error: table " + table + " ") != std::string::npos ||
          out.find("error: table " + table + ",") != std::string::npos) {
        continue;
      }
      QJsonObject t = data.value(QString::fromStdString(table)).toObject();
      ASSERT_FALSE(t.isEmpty()) << table << " is missing\n" << out;
      QJsonArray rows = t.value("rows").toArray();
      const auto& want = script.rows[table];
      ASSERT_EQ(static_cast<size_t>(rows.size()), want.size()) << table;
      for (size_t r = 0; r < want.size(); ++r) {
        QJsonArray got = rows.at(static_cast<qsizetype>(r)).toArray();
        ASSERT_EQ(static_cast<size_t>(got.size()), want[r].size()) << table << " row " << r;
        for (size_t c = 0; c < want[r].size(); ++c) {
          expectValue(want[r][c], got.at(static_cast<qsizetype>(c)),
                      table + " row " + std::to_string(r) + " column " + std::to_string(c));
        }
      }
    }
    // A folder whose tables all read cleanly converts without a failure.
    if (out.find("error:") == std::string::npos) {
      EXPECT_EQ(status, 0) << out;
    }
  }
}

// Bad tables are reported by file name; the good ones still convert, and the exit status
// says something failed.
TEST_F(ConvertCli, BadTablesAreNamedAndTheRestConverts) {
  test::TempDir dir;
  const std::string px = dir.file("px");
  fs::create_directories(px + "/sub");
  const std::string corpus = test::testdataDir() + "/paradox/";
  fs::copy_file(corpus + "leonhad-paradoxdriver/db/CONTACTS.DB", px + "/CONTACTS.DB");
  fs::copy_file(corpus + "celebithil-Rparadox/mushrooms.db", px + "/sub/mushrooms.db");
  fs::copy_file(corpus + "celebithil-Rparadox/mushrooms.mb", px + "/sub/mushrooms.mb");
  // A damaged table: the first 3000 bytes of a real one.
  {
    std::ifstream in(corpus + "leonhad-paradoxdriver/db/ORDERS.DB", std::ios::binary);
    std::string bytes(3000, '\0');
    in.read(bytes.data(), 3000);
    std::ofstream(px + "/BROKEN.DB", std::ios::binary) << bytes;
  }
  // Not a Paradox table at all.
  std::ofstream(px + "/notes.db", std::ios::binary) << std::string("SQLite format 3\0", 16) << std::string(4080, 'x');
  // A table whose memo file is missing.
  fs::copy_file(corpus + "teverett-paradoxReader/examples/MEMBRE.DB", px + "/MEMBRE.DB");

  std::string out;
  int status =
      run(cli() + " convert " + shellQuote(px) + " " + shellQuote(dir.file("out.accdb")) + " --create accdb", &out);
  EXPECT_NE(status, 0) << out;
  for (const char* name : {"BROKEN.DB", "notes.db", "MEMBRE"})
    EXPECT_NE(out.find(name), std::string::npos) << name << "\n" << out;
  QJsonObject data = dumpDatabase(dir.file("out.accdb")).value("data").toObject();
  EXPECT_EQ(data.value("CONTACTS").toObject().value("rows").toArray().size(), 55);
  EXPECT_EQ(data.value("MUSHROOMS").toObject().value("rows").toArray().size(), 5);
}

// A file named .db that is no Paradox table: every step that reads it fails and says so,
// the failed end-of-rows test counts as "no rows", and no INSERT is made for it.
TEST_F(ConvertCli, ATableThatCannotBeReadGetsNoRows) {
  test::TempDir dir;
  const std::string px = dir.file("px");
  fs::create_directories(px);
  fs::copy_file(test::testdataDir() + "/paradox/bio-guoda-preston/not-a.DB", px + "/not-a.DB");
  const std::string sql = dir.file("script.sql");
  std::string out;
  EXPECT_EQ(run(cli() + " convert " + shellQuote(px) + " " + shellQuote(dir.file("a.mdb")) + " --create mdb --sql " +
                    shellQuote(sql),
                &out),
            1);
  std::ifstream in(sql);
  const std::string script((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(script.find("CREATE TABLE `NOT-A`"), std::string::npos) << script;
  EXPECT_EQ(script.find("INSERT"), std::string::npos) << script;

  out.clear();
  EXPECT_EQ(run(cli() + " convert " + shellQuote(px) + " " + shellQuote(dir.file("b.mdb")) + " --create mdb", &out), 1);
  std::vector<int> steps;
  static const QRegularExpression summaryLine(QStringLiteral("^  NOT-A, step (\\d+): "),
                                              QRegularExpression::MultilineOption);
  for (auto it = summaryLine.globalMatch(QString::fromStdString(out)); it.hasNext();)
    steps.push_back(it.next().captured(1).toInt());
  EXPECT_EQ(steps, (std::vector<int>{176, 184, 190, 192, 194, 302, 306, 412})) << out;
  EXPECT_NE(out.find("Rows written: 0"), std::string::npos) << out;
}

// An Access 97 database is refused once, up front, with the reason; the file stays as it was.
TEST_F(ConvertCli, AnAccess97DatabaseIsRefusedUpFront) {
  test::TempDir dir;
  const std::string px = dir.file("px");
  fs::create_directories(px);
  fs::copy_file(test::testdataDir() + "/paradox/leonhad-paradoxdriver/db/CONTACTS.DB", px + "/CONTACTS.DB");
  const std::string db = dir.file("old.mdb");
  fs::copy_file(test::testdataDir() + "/access/jackcess/V1997/testV1997.mdb", db);
  const std::string before = test::fileBytes(db);
  std::string out;
  EXPECT_EQ(run(cli() + " convert " + shellQuote(px) + " " + shellQuote(db), &out), 1);
  EXPECT_NE(out.find("'" + db + "' is an Access 97 (Jet 3) database, which this program reads but does not change: "),
            std::string::npos)
      << out;
  EXPECT_EQ(out.find("CONTACTS"), std::string::npos) << "the run started: " << out;
  EXPECT_EQ(test::fileBytes(db), before);
}

TEST(ConvertCliUsage, WrongArgumentsGiveUsageAndStatus2) {
  std::string out;
  EXPECT_EQ(run(cli() + " convert", &out), 2);
  EXPECT_NE(out.find("Usage:"), std::string::npos);
  EXPECT_EQ(run(cli() + " convert a b --overwrite maybe", &out), 2);
  EXPECT_EQ(run(cli() + " convert /nonexistent-folder x.mdb", &out), 1);
}

}  // namespace
}  // namespace qv::cli
