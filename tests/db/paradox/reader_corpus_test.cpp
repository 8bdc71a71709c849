// The reader on the real tables of the corpus: every table opens and streams its records,
// and known values come out exactly.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <fstream>
#include <string>
#include <vector>

#include "db/io/error.h"
#include "db/paradox/table_reader.h"
#include "support/testdata.h"

namespace qv::paradox {
namespace {

using Rows = std::vector<std::vector<Value>>;

std::string corpus(const std::string& rel) { return test::testdataDir() + "/paradox/" + rel; }

Rows readAll(TableReader& r) {
  Rows rows;
  std::vector<Value> row;
  while (r.next(row)) rows.push_back(row);
  return rows;
}

Rows readAll(const std::string& rel) {
  TableReader r(corpus(rel));
  return readAll(r);
}

std::string text(const Value& v) {
  EXPECT_TRUE(v.kind == Value::Kind::kText || v.kind == Value::Kind::kBcd) << "kind " << static_cast<int>(v.kind);
  return v.text;
}

TEST(ParadoxCorpus, EveryTableStreamsAsManyRecordsAsItsBlocksHold) {
  QV_REQUIRE_TESTDATA();
  int tables = 0;
  for (const auto& path : test::corpusFiles("paradox", {".db"})) {
    SCOPED_TRACE(path);
    if (path.find("not-a.DB") != std::string::npos || path.find("MEMBRE.DB") != std::string::npos) continue;
    TableReader r(path);
    const uint64_t counted = r.recordCount();
    uint64_t delivered = 0;
    std::vector<Value> row;
    while (r.next(row)) {
      ASSERT_EQ(row.size(), r.header().fields.size());
      ++delivered;
    }
    EXPECT_EQ(delivered, counted);
    EXPECT_EQ(counted, r.header().recordCount) << "the corpus tables' headers are up to date";
    r.rewind();
    EXPECT_EQ(readAll(r).size(), delivered) << "rewind starts again";
    ++tables;
  }
  EXPECT_GE(tables, 85);
}

TEST(ParadoxCorpus, EncryptedTablesAndTheirBlobsReadWithoutPassword) {
  QV_REQUIRE_TESTDATA();
  Rows rows = readAll("leonhad-paradoxdriver/encrypt/encrypted.db");
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0][0].integer, 1);
  EXPECT_EQ(text(rows[0][1]), "Value 1");
  EXPECT_EQ(text(rows[3][1]), "Last one");

  rows = readAll("leonhad-paradoxdriver/encrypt/encrypted35.db");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1][0].real, 2.0);
  EXPECT_EQ(text(rows[1][1]), "Test2");

  rows = readAll("leonhad-paradoxdriver/encrypt/encryptedmemo.db");
  ASSERT_EQ(rows.size(), 2u);
  // The memos are two long texts held in scrambled .mb blocks.
  EXPECT_EQ(text(rows[0][0]).rfind(" The PARADOX File Structure", 0), 0u);
  EXPECT_GT(rows[0][0].text.size(), 40000u);
  EXPECT_EQ(text(rows[1][0]).rfind("(This is stale", 0), 0u);
}

TEST(ParadoxCorpus, CollectionTableMatchesItsExpectedRows) {
  QV_REQUIRE_TESTDATA();
  TableReader r(corpus("bio-guoda-preston/COLL.DB"));
  std::ifstream expected(corpus("bio-guoda-preston/COLL.DB.json"));
  ASSERT_TRUE(expected.good());
  std::vector<std::string> names;
  for (const auto& f : r.header().fields) names.push_back(f.name);
  std::string line;
  std::vector<Value> row;
  size_t n = 0;
  while (std::getline(expected, line)) {
    ASSERT_TRUE(r.next(row)) << "row " << n + 1;
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
    for (size_t i = 0; i < names.size(); ++i) {
      const auto want = o.value(QString::fromStdString(names[i]));
      if (want.isUndefined() || want.isNull()) {
        EXPECT_TRUE(row[i].isNull()) << "row " << n + 1 << " field " << names[i];
      } else {
        EXPECT_EQ(row[i].text, want.toString().toStdString()) << "row " << n + 1 << " field " << names[i];
      }
    }
    ++n;
  }
  EXPECT_EQ(n, 358u);
  EXPECT_FALSE(r.next(row));
}

TEST(ParadoxCorpus, NumbersDatesAndTimesAreExact) {
  QV_REQUIRE_TESTDATA();
  Rows bcd = readAll("leonhad-paradoxdriver/fields/bcd.db");
  ASSERT_EQ(bcd.size(), 3u);
  EXPECT_EQ(text(bcd[0][0]), "1.23");
  EXPECT_EQ(text(bcd[0][1]), "1");
  EXPECT_EQ(text(bcd[1][0]), "-1.23");
  EXPECT_EQ(text(bcd[1][1]), "-1");
  EXPECT_EQ(text(bcd[0][2]).substr(0, 8), "0.122999") << "digits kept as stored, up to the first non-digit";
  EXPECT_TRUE(bcd[2][1].isNull());

  Rows dates = readAll("leonhad-paradoxdriver/fields/date7.db");
  ASSERT_EQ(dates.size(), 5u);
  EXPECT_EQ(dates[0][0].kind, Value::Kind::kDate);
  EXPECT_EQ(dates[0][0].integer, dayNumberFromCivil(2018, 1, 1));
  EXPECT_EQ(dates[2][1].integer, (9 * 3600 + 25 * 60 + 25) * 1000);
  EXPECT_TRUE(dates[3][0].isNull());
  EXPECT_TRUE(dates[4][1].isNull());

  Rows ts = readAll("leonhad-paradoxdriver/fields/timestamp.db");
  ASSERT_EQ(ts.size(), 2u);
  EXPECT_TRUE(ts[0][0].isNull());
  EXPECT_EQ(ts[1][0].integer, dayNumberFromCivil(2020, 2, 1) * kMillisPerDay + 3601000);

  Rows logical = readAll("leonhad-paradoxdriver/fields/logical.db");
  ASSERT_EQ(logical.size(), 4u);
  EXPECT_EQ(logical[1][0].kind, Value::Kind::kLogical);
  EXPECT_EQ(logical[1][0].integer, 0);
  EXPECT_EQ(logical[0][0].integer, 1);

  Rows general = readAll("leonhad-paradoxdriver/db/GENERAL.DB");
  EXPECT_EQ(general[2][0].integer, 333333333);
  EXPECT_EQ(general[1][2].real, 150.0);
}

TEST(ParadoxCorpus, TextIsDecodedFromTheTablesCodePage) {
  QV_REQUIRE_TESTDATA();
  TableReader typ(corpus("celebithil-Rparadox/TypSammlung.DB"));
  EXPECT_EQ(typ.charset(), "CP1252");
  Rows rows = readAll(typ);
  EXPECT_EQ(text(rows[2][0]), "F\xC3\xBCnfter Datensatz");
  EXPECT_EQ(text(rows[2][9]), "Dies ist eine Memo im 'F\xC3\xBCnften Datensat'");

  TableReader cyr(corpus("celebithil-Rparadox/of_cp866.db"));
  EXPECT_EQ(cyr.charset(), "CP866");
  TableReader old(corpus("celebithil-Rparadox/of.db"));
  EXPECT_EQ(old.charset(), "CP437") << "3.x tables have no code page";
  TableReader roman(corpus("leonhad-paradoxdriver/db/ROMAN8.db"));
  EXPECT_EQ(roman.charset(), "HP-ROMAN8") << "no code page in the header: the language driver decides";
  Rows r8 = readAll(roman);
  EXPECT_EQ(text(r8[0][0]), "\xC5\xA0\xC2\xBD\xC6\x92\xC2\xB6");
  // The same Russian text in the 3.5 table (DOS 437 header) and the 866 one differs;
  // in the 866 table it is Cyrillic.
  Rows cyrRows = readAll(cyr);
  bool sawCyrillic = false;
  for (const auto& row : cyrRows)
    for (const auto& v : row)
      if (v.kind == Value::Kind::kText && v.text.find("\xD0") != std::string::npos) sawCyrillic = true;
  EXPECT_TRUE(sawCyrillic);
}

TEST(ParadoxCorpus, BlobsComeWholeFromEveryKindOfPlace) {
  QV_REQUIRE_TESTDATA();
  Rows g = readAll("leonhad-paradoxdriver/fields/graphic.db");
  ASSERT_EQ(g.size(), 3u);
  EXPECT_EQ(g[0][1].kind, Value::Kind::kBytes);
  EXPECT_EQ(g[0][1].text.size(), 20078u) << "the graphic's own 8-byte prefix is not part of the picture";
  EXPECT_EQ(g[1][1].text.substr(0, 2), "BM");
  EXPECT_EQ(g[2][1].text.size(), 2074678u);

  Rows m = readAll("leonhad-paradoxdriver/fields/memo.db");
  ASSERT_EQ(m.size(), 2u);
  EXPECT_EQ(text(m[1][1]), "01234567890\n") << "a memo held wholly in its leader";
  EXPECT_GT(m[0][1].text.size(), 250u) << "a memo longer than its leader comes from the .mb";

  Rows h = readAll("leonhad-paradoxdriver/db/HERCULES.DB");
  size_t fromBlob = 0;
  for (const auto& row : h)
    if (!row[1].isNull() && row[1].text.size() > 40) ++fromBlob;
  EXPECT_GT(fromBlob, 0u);
}

TEST(ParadoxCorpus, BadFilesGiveErrorsNamingThem) {
  QV_REQUIRE_TESTDATA();
  try {
    TableReader r(corpus("bio-guoda-preston/not-a.DB"));
    FAIL() << "not a table";
  } catch (const DbError& e) {
    EXPECT_NE(std::string(e.what()).find("not-a.DB"), std::string::npos) << e.what();
    EXPECT_EQ(e.number(), kErrFormat);
  }
  try {
    TableReader r(corpus("leonhad-paradoxdriver/db/AREACODE.PX"));
    FAIL() << "an index file is not a table";
  } catch (const DbError& e) {
    EXPECT_NE(std::string(e.what()).find("index"), std::string::npos) << e.what();
  }
  // MEMBRE.DB's blob file is missing: records whose memo fits the leader read, the first
  // one that needs the .mb fails and names it.
  TableReader membre(corpus("teverett-paradoxReader/examples/MEMBRE.DB"));
  std::vector<Value> row;
  try {
    while (membre.next(row)) {
    }
    FAIL() << "the missing blob file must be reported";
  } catch (const DbError& e) {
    EXPECT_NE(std::string(e.what()).find("MEMBRE.MB"), std::string::npos) << e.what();
    EXPECT_EQ(e.number(), kErrNotFound);
  }
}

}  // namespace
}  // namespace qv::paradox
