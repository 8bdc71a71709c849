// Writing: new databases, tables of every column type with rows of every size class,
// tables added to Access-made databases and dropped again, many tables, passwords --
// each checked through mdb-reader and mdbtools.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "db/io/error.h"
#include "db/jet/checker.h"
#include "support/column_def.h"
#include "db/jet/database.h"
#include "db/jet/database_impl.h"
#include "db/jet/storage/date.h"
#include "db/jet/reader_oracle.h"
#include "support/temp_dir.h"
#include "support/testdata.h"

namespace qv::jet {
namespace {

std::string joined(const std::vector<std::string>& v) {
  std::string out;
  for (const auto& x : v) out += x + "\n";
  return out;
}

std::vector<ColumnDef> everyType() {
  std::vector<ColumnDef> cols = {column("Nummer", ColumnType::kLong),       column("Text Größe", ColumnType::kText, 40),
                                 column("Long Text", ColumnType::kMemo),    column("OLE Object", ColumnType::kOle),
                                 column("Byte", ColumnType::kByte),         column("Integer", ColumnType::kInteger),
                                 column("Long", ColumnType::kLong),         column("Single", ColumnType::kSingle),
                                 column("Double", ColumnType::kDouble),     column("Decimal", ColumnType::kNumeric),
                                 column("Currency", ColumnType::kCurrency), column("Date Time", ColumnType::kDateTime),
                                 column("Yes No", ColumnType::kBoolean),    column("GUID", ColumnType::kGuid),
                                 column("Binary", ColumnType::kBinary, 16)};
  cols[0].autoIncrement = true;
  cols[9].precision = 18;
  cols[9].scale = 4;
  return cols;
}

// Row i of the test table: every size class of long values, NULLs, Unicode and empty
// texts, extremes of every number type.
std::vector<Value> everyTypeRow(int i) {
  static const size_t kLongSizes[] = {64, 65, 3816, 3817, 100000};
  // Long Text by characters: inline or not once compressed, the longest compressed form
  // (4,096 bytes, longer than a row) and one character more (plain UCS-2).
  static const size_t kMemoSizes[] = {62, 63, 4094, 4095, 100000};
  std::vector<Value> v(15);
  v[0] = Value::null();  // AutoNumber
  switch (i % 5) {
    case 0: v[1] = Value::text(""); break;
    case 1: v[1] = Value::text("Zeile " + std::to_string(i) + " äöü €"); break;
    case 2: v[1] = Value::text("日本語 " + std::to_string(i)); break;
    case 3: v[1] = Value::text(std::string(40, static_cast<char>('a' + i % 26))); break;
    default: v[1] = Value::null(); break;
  }
  bool big = i % 97 < 10;
  size_t memoSize = big ? kMemoSizes[i % 5] : static_cast<size_t>(i % 70);
  std::string memo;
  for (size_t k = 0; k < memoSize; ++k) memo += static_cast<char>('A' + (k + static_cast<size_t>(i)) % 26);
  if (i % 11 == 3) memo = "Ünïcödé ✓ " + memo;
  v[2] = i % 13 == 0 ? Value::null() : Value::text(memo);
  size_t oleSize = big ? kLongSizes[(i + 2) % 5] : static_cast<size_t>(i % 90);
  std::string ole(oleSize, '\0');
  for (size_t k = 0; k < oleSize; ++k) ole[k] = static_cast<char>((k * 7 + static_cast<size_t>(i)) & 0xFF);
  v[3] = i % 17 == 0 ? Value::null() : Value::binary(ole);
  v[4] = Value::integer(i % 256);
  v[5] = Value::integer(i % 2 ? -32768 + i % 1000 : 32767 - i % 1000);
  v[6] = i % 19 == 0 ? Value::null() : Value::integer(i % 2 ? -2147483647 - 1 + i : 2147483647 - i);
  v[7] = Value::real(static_cast<double>(static_cast<float>(i * 1.25f - 3.5f)));
  v[8] = Value::real(i / 7.0 - 1e6);
  v[9] = Value::decimal((i % 2 ? "-" : "") + std::to_string(i * 1234567LL) + "." +
                        std::to_string(1000 + i % 9000).substr(0, 4));
  v[10] = Value::currency((i % 2 ? -1 : 1) * static_cast<int64_t>(i) * 123456789LL);
  v[11] = Value::dateTime(oleDateFromParts({1990 + i % 60, 1 + i % 12, 1 + i % 28, i % 24, i % 60, i % 60, i % 1000}));
  v[12] = Value::boolean(i % 3 == 0);
  std::string guid(16, '\0');
  for (int k = 0; k < 16; ++k) guid[static_cast<size_t>(k)] = static_cast<char>(k * 16 + i % 16);
  v[13] = i % 23 == 0 ? Value::null() : Value::guid(guid);
  v[14] = i % 29 == 0 ? Value::null() : Value::binary(std::string(static_cast<size_t>(i % 17), 'x'));
  return v;
}

// Row by row, or in runs of 97 rows through insertRows().
void fill(Table& t, int rows, bool inRuns = false) {
  if (!inRuns) {
    for (int i = 0; i < rows; ++i) t.insert(everyTypeRow(i));
    return;
  }
  std::vector<Value> run;
  for (int i = 0; i < rows; ++i) {
    std::vector<Value> row = everyTypeRow(i);
    run.insert(run.end(), row.begin(), row.end());
    if ((i + 1) % 97 == 0 || i + 1 == rows) {
      t.insertRows(run);
      run.clear();
    }
  }
}

TEST(JetWrite, EveryTypeInEveryNewFormatReadsBackInBothReaders) {
  QV_REQUIRE_TOOL(test::mdbReaderAvailable(), "node with mdb-reader");
  QV_REQUIRE_TOOL(test::mdbtoolsAvailable(), "mdbtools");
  test::TempDir dir;
  for (Format f : {Format::kJet4, Format::kAce12, Format::kAce14, Format::kAce16, Format::kAce17}) {
    std::string path =
        dir.file("every" + std::to_string(static_cast<int>(f)) + (f == Format::kJet4 ? ".mdb" : ".accdb"));
    SCOPED_TRACE(path);
    {
      auto db = createDatabase(path, f);
      Table& t = db->createTable("Alle Typen ß", everyType());
      fill(t, 10000, f == Format::kJet4 || f == Format::kAce14);
      EXPECT_EQ(t.rowCount(), 10000);
      db->close();
    }
    auto db = openDatabase(path, {});
    EXPECT_EQ(db->format(), f);
    Table* t = db->table("ALLE TYPEN ß");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->rowCount(), 10000);
    // Our own reading first: every value as written, AutoNumbers 1..n.
    auto cursor = t->scan();
    std::vector<Value> row;
    int i = 0;
    while (cursor->next(row)) {
      std::vector<Value> expect = everyTypeRow(i);
      ASSERT_EQ(row[0].i, i + 1);
      for (size_t c = 1; c < row.size(); ++c) {
        ASSERT_EQ(row[c].kind == Value::Kind::kNull, expect[c].isNull()) << "row " << i << " col " << c;
        if (expect[c].kind == Value::Kind::kText || expect[c].kind == Value::Kind::kBinary) {
          ASSERT_EQ(row[c].s, expect[c].s);
        }
      }
      ++i;
    }
    EXPECT_EQ(i, 10000);
    EXPECT_EQ(test::compareWithMdbReader(path, *db, {"Alle Typen ß"}), "");
    EXPECT_EQ(test::mdbtoolsCount(path, "Alle Typen ß"), 10000);
    std::vector<std::string> csv = test::mdbtoolsExport(path, "Alle Typen ß");
    ASSERT_GE(csv.size(), 2u);
    EXPECT_EQ(csv[2].substr(0, csv[2].find(',') + 1), "2,");
    EXPECT_NE(csv[2].find("\"Zeile 1 äöü €\""), std::string::npos) << csv[2].substr(0, 80);
  }
}

TEST(JetWrite, TableAddedToAccessDatabasesLeavesTheRestAsItWas) {
  QV_REQUIRE_TESTDATA();
  QV_REQUIRE_TOOL(test::mdbReaderAvailable(), "node with mdb-reader");
  QV_REQUIRE_TOOL(test::mdbtoolsAvailable(), "mdbtools");
  test::TempDir dir;
  int done = 0;
  for (const std::string& original : test::corpusFiles("access", {".mdb", ".accdb"})) {
    OpenOptions probe;
    probe.readOnly = true;
    if (original.find("with-password") != std::string::npos) probe.password = "password";
    if (original.find("ucanaccess/password.mdb") != std::string::npos) probe.password = "ucanaccess";
    std::vector<std::string> before;
    bool jet3 = false;
    try {
      auto db = openDatabase(original, probe);
      jet3 = db->format() == Format::kJet3;
      for (const CatalogEntry& e : db->catalog())
        if (e.kind == ObjectKind::kUserTable) before.push_back(e.name);
    } catch (const DbError&) {
      continue;  // encrypted (encryption_test.cpp writes to those)
    }
    SCOPED_TRACE(original);
    std::string path = dir.file("copy" + std::filesystem::path(original).extension().string());
    std::filesystem::remove(path);
    test::copyFile(original, path);
    OpenOptions options;
    options.password = probe.password;
    if (jet3) {
      // Access 97 files are read, never changed: a clear refusal, the file as it was.
      const std::string bytes = test::fileBytes(path);
      auto db = openDatabase(path, options);
      try {
        db->createTable("Quorvane Neu", {column("A", ColumnType::kLong)});
        ADD_FAILURE() << "wrote to an Access 97 database";
      } catch (const DbError& e) {
        EXPECT_NE(std::string(e.what()).find("'" + path + "' is an Access 97 (Jet 3) database"), std::string::npos)
            << e.what();
      }
      if (!before.empty()) {
        EXPECT_THROW(db->dropTable(before.front()), DbError);
      }
      db->close();
      EXPECT_EQ(test::fileBytes(path), bytes);
      continue;
    }
    {
      auto db = openDatabase(path, options);
      fill(db->createTable("Quorvane Neu", everyType()), 150, done % 2 == 1);
      db->close();
    }
    std::vector<std::string> after = before;
    after.push_back("Quorvane Neu");
    std::sort(after.begin(), after.end());
    std::vector<std::string> listed = test::mdbtoolsTables(path);
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, after);
    {
      auto db = openDatabase(path, options);
      std::vector<std::string> plain;
      for (const std::string& t : before) {
        Table* table = db->table(t);
        ASSERT_NE(table, nullptr);
        if (std::all_of(table->columns().begin(), table->columns().end(),
                        [](const ColumnDef& c) { return static_cast<uint8_t>(c.type) <= 0x10; }))
          plain.push_back(t);
      }
      plain.push_back("Quorvane Neu");
      EXPECT_EQ(test::compareWithMdbReader(path, *db, plain, options.password), "");
      EXPECT_EQ(test::mdbtoolsCount(path, "Quorvane Neu"), 150);
      db->dropTable("Quorvane Neu");
      db->close();
    }
    listed = test::mdbtoolsTables(path);
    std::sort(listed.begin(), listed.end());
    std::vector<std::string> sortedBefore = before;
    std::sort(sortedBefore.begin(), sortedBefore.end());
    EXPECT_EQ(listed, sortedBefore);
    auto db = openDatabase(path, options);
    EXPECT_EQ(db->table("Quorvane Neu"), nullptr);
    ++done;
  }
  EXPECT_GT(done, 80);
}

// Enough tables that the catalogue's indexes split into several levels, in a database of
// ours (2010 sort order) and in one Access made (legacy sort order): both readers list
// and read every table, the check finds the indexes sound, and dropping tables takes
// their entries out again.
TEST(JetWrite, ThreeHundredTablesAreListedAndReadByBothReaders) {
  QV_REQUIRE_TOOL(test::mdbReaderAvailable(), "node with mdb-reader");
  QV_REQUIRE_TOOL(test::mdbtoolsAvailable(), "mdbtools");
  test::TempDir dir;
  std::vector<std::string> paths{dir.file("many.accdb")};
  if (!test::testdataDir().empty()) {
    paths.push_back(dir.file("access-made.mdb"));
    test::copyFile(test::testdataDir() + "/access/jackcess/V2003/testV2003.mdb", paths.back());
  } else if (test::underCi()) {
    FAIL() << "the test corpus ../shared/testdata is missing";
  }
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    std::vector<std::string> before;
    if (std::filesystem::exists(path)) before = test::mdbtoolsTables(path);
    std::vector<std::string> names;
    {
      auto db = std::filesystem::exists(path) ? openDatabase(path, {}) : createDatabase(path, Format::kAce14);
      for (int i = 0; i < 300; ++i) {
        names.push_back("Tabelle " + std::to_string(i) + (i % 3 == 0 ? " é" : "") + (i % 7 == 0 ? " Straße-Ost" : ""));
        Table& t =
            db->createTable(names.back(), {column("Wert", ColumnType::kLong), column("Name", ColumnType::kText, 30)});
        t.insert(std::vector<Value>{Value::integer(i), Value::text(names.back().substr(0, 30))});
      }
      db->close();
    }
    EXPECT_EQ(joined(checkDatabase(path)), "");
    std::vector<std::string> listed = test::mdbtoolsTables(path);
    std::vector<std::string> expect = names;
    expect.insert(expect.end(), before.begin(), before.end());
    std::sort(listed.begin(), listed.end());
    std::sort(expect.begin(), expect.end());
    EXPECT_EQ(listed, expect);
    {
      auto db = openDatabase(path, {});
      EXPECT_EQ(test::compareWithMdbReader(path, *db, names), "");
      EXPECT_THROW(db->createTable("TABELLE 7 straße-ost", {column("X", ColumnType::kLong)}), DbError);
      // The catalogue's (ParentId, Name) index and the permissions' index grew past one
      // page: their roots are nodes now (the Id index of 300 rows still fits one leaf).
      auto& d = dynamic_cast<DatabaseImpl&>(*db);
      int nodes = 0;
      for (const std::string& system : {std::string("MSysObjects"), std::string("MSysACEs")})
        for (const auto& ri : dynamic_cast<TableImpl&>(*db->table(system)).def().realIndexes)
          if (d.pager().read(ri.firstPage)[0] == 0x03) ++nodes;
      EXPECT_EQ(nodes, 2);
      for (int i = 0; i < 300; i += 2) db->dropTable(names[static_cast<size_t>(i)]);
      db->close();
    }
    EXPECT_EQ(joined(checkDatabase(path)), "");
    auto db = openDatabase(path, {});
    for (int i = 0; i < 300; ++i) EXPECT_EQ(db->table(names[static_cast<size_t>(i)]) == nullptr, i % 2 == 0) << i;
    db->close();
    listed = test::mdbtoolsTables(path);
    EXPECT_EQ(listed.size(), before.size() + 150);
  }
}

TEST(JetWrite, DroppedTablesPagesAreReused) {
  test::TempDir dir;
  std::string path = dir.file("reuse.mdb");
  auto db = createDatabase(path, Format::kJet4);
  fill(db->createTable("Eins", everyType()), 400);
  auto size1 = std::filesystem::file_size(path);
  db->dropTable("eins");
  EXPECT_EQ(db->table("Eins"), nullptr);
  fill(db->createTable("Zwei", everyType()), 400);
  auto size2 = std::filesystem::file_size(path);
  EXPECT_LE(size2, size1 + 4096 * 4);
  EXPECT_THROW(db->dropTable("Eins"), DbError);
  db->close();
}

TEST(JetWrite, BadValuesAndDefinitionsAreRejectedWithoutHarm) {
  test::TempDir dir;
  auto db = createDatabase(dir.file("bad.accdb"), Format::kAce12);
  Table& t = db->createTable(
      "T", {column("B", ColumnType::kByte), column("S", ColumnType::kText, 3), column("D", ColumnType::kNumeric)});
  EXPECT_THROW(t.insert(std::vector<Value>{Value::integer(256), Value::null(), Value::null()}), DbError);
  EXPECT_THROW(t.insert(std::vector<Value>{Value::null(), Value::text("four"), Value::null()}), DbError);
  EXPECT_THROW(t.insert(std::vector<Value>{Value::null(), Value::null(), Value::decimal("1234567890123456789")}),
               DbError);
  EXPECT_THROW(t.insert(std::vector<Value>{Value::null()}), DbError);
  t.insert(std::vector<Value>{Value::integer(255), Value::text("äöü"), Value::decimal("-123456789012345678")});
  EXPECT_EQ(t.rowCount(), 1);
  EXPECT_THROW(db->createTable("", {column("A", ColumnType::kLong)}), DbError);
  EXPECT_THROW(db->createTable("X", {column("A", ColumnType::kLong), column("a", ColumnType::kLong)}), DbError);
  EXPECT_THROW(db->createTable("X", {column("A", ColumnType::kText, 256)}), DbError);
  EXPECT_THROW(db->createTable("X.Y", {column("A", ColumnType::kLong)}), DbError);
  auto cursor = t.scan();
  std::vector<Value> row;
  ASSERT_TRUE(cursor->next(row));
  EXPECT_EQ(row[1].s, "äöü");
  EXPECT_EQ(row[2].s, "-123456789012345678");
  EXPECT_FALSE(cursor->next(row));
}

TEST(JetWrite, NewJet4DatabaseWithPassword) {
  test::TempDir dir;
  std::string path = dir.file("secret.mdb");
  OpenOptions options;
  options.password = "Geheim ä";
  createDatabase(path, Format::kJet4, options)->close();
  try {
    openDatabase(path, {});
    FAIL() << "opened without the password";
  } catch (const DbError& e) {
    EXPECT_EQ(std::string(e.what()), "Not a valid password.");
  }
  auto db = openDatabase(path, options);
  db->createTable("T", {column("A", ColumnType::kLong)});
  db->close();
  if (test::mdbtoolsAvailable()) {
    EXPECT_EQ(test::mdbtoolsTables(path), std::vector<std::string>{"T"});
  }
  OpenOptions tooLong;
  tooLong.password = std::string(21, 'x');
  EXPECT_THROW(createDatabase(dir.file("long.mdb"), Format::kJet4, tooLong), DbError);
}

}  // namespace
}  // namespace qv::jet
