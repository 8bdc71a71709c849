// Tables our writer makes read back exactly through our reader: every field type, blobs
// in the leader, in shared and in single .mb blocks, Null everywhere, scrambled tables.

#include <gtest/gtest.h>

#include <random>

#include "db/io/error.h"
#include "support/fault_env.h"
#include "db/paradox/table_reader.h"
#include "db/paradox/table_writer.h"
#include "support/temp_dir.h"
#include "writer_samples.h"

namespace qv::paradox {
namespace {

std::vector<std::vector<Value>> readBack(const std::string& path) {
  TableReader r(path);
  std::vector<std::vector<Value>> rows;
  std::vector<Value> row;
  while (r.next(row)) rows.push_back(row);
  EXPECT_EQ(r.recordCount(), rows.size());
  return rows;
}

TEST(ParadoxWriter, EveryTypeReadsBackExactly) {
  for (uint32_t key : {0u, 0x0A25E09Au}) {
    for (uint32_t blockSize : {1024u, 4096u, 32768u}) {
      SCOPED_TRACE("key " + std::to_string(key) + " block " + std::to_string(blockSize));
      test::TempDir dir;
      const auto rows = test::sampleRows(300, 11);
      WriterOptions options;
      options.encryption = key;
      options.blockSize = blockSize;
      TableWriter w(dir.file("all.db"), test::sampleFields(), options);
      for (const auto& row : rows) w.append(row);
      w.finish();
      TableReader r(dir.file("all.db"));
      EXPECT_EQ(r.encrypted(), key != 0);
      EXPECT_EQ(r.header().fields.size(), test::sampleFields().size());
      EXPECT_EQ(r.header().fields[0].name, "Name");
      const auto back = readBack(dir.file("all.db"));
      ASSERT_EQ(back.size(), rows.size());
      for (size_t i = 0; i < rows.size(); ++i)
        for (size_t j = 0; j < rows[i].size(); ++j)
          ASSERT_EQ(back[i][j], rows[i][j]) << "record " << i << " field " << j;
    }
  }
}

TEST(ParadoxWriter, TextIsStoredInTheTablesCodePage) {
  test::TempDir dir;
  WriterOptions options;
  options.versionId = kVersion4;
  options.codePage = 866;
  options.sortOrderName = "cyrr";
  TableWriter w(dir.file("ru.db"),
                {{"\xD0\x98\xD0\xBC\xD1\x8F", FieldType::kAlpha, 20}, {"Memo", FieldType::kMemo, 11}}, options);
  Value name, memo;
  name.kind = memo.kind = Value::Kind::kText;
  name.text = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";  // Привет
  memo.text = std::string(3000, 'x') + name.text;
  w.append({name, memo});
  w.finish();
  TableReader r(dir.file("ru.db"));
  EXPECT_EQ(r.charset(), "CP866");
  EXPECT_EQ(r.header().versionText(), "4.x");
  EXPECT_EQ(r.header().fields[0].name, "\x88\xAC\xEF") << "the field name is stored in code page 866";
  std::vector<Value> row;
  ASSERT_TRUE(r.next(row));
  EXPECT_EQ(row[0], name);
  EXPECT_EQ(row[1], memo);
}

TEST(ParadoxWriter, UnsuitableValuesAndFullDisksAreReported) {
  test::TempDir dir;
  TableWriter w(dir.file("t.db"), {{"A", FieldType::kAlpha, 3}, {"S", FieldType::kShort, 0}});
  Value longText, small, big;
  longText.kind = Value::Kind::kText;
  longText.text = "abcd";
  small.kind = big.kind = Value::Kind::kInteger;
  big.integer = 70000;
  EXPECT_THROW(w.append({longText, small}), DbError);
  EXPECT_THROW(w.append({Value(), big}), DbError);
  EXPECT_THROW(w.append({Value()}), DbError);
  EXPECT_THROW(TableWriter(dir.file("u.db"), {{"X", FieldType::kAlpha, 0}}), DbError);

  io::FaultEnv faults(io::posixEnv());
  faults.arm(2, io::Fault::kDiskFull);
  try {
    TableWriter f(dir.file("full.db"), {{"A", FieldType::kAlpha, 200}}, WriterOptions{}, faults);
    Value v;
    v.kind = Value::Kind::kText;
    v.text = "some text";
    for (int i = 0; i < 200; ++i) f.append({v});
    f.finish();
    FAIL() << "the full disk must be reported";
  } catch (const DbError& e) {
    EXPECT_EQ(e.number(), kErrDiskFull);
    EXPECT_NE(std::string(e.what()).find("full.db"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace qv::paradox
