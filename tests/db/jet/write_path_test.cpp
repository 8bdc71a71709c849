// The write path: how the pager turns a step's changes into writes (one per group, in
// order, each with the bytes its group left), and how few writes inserts cost.

#include <gtest/gtest.h>

#include <cstring>

#include "support/fault_env.h"
#include "db/jet/checker.h"
#include "support/column_def.h"
#include "db/jet/database.h"
#include "db/jet/file/pager.h"
#include "support/temp_dir.h"

namespace qv::jet {
namespace {

constexpr uint32_t kPage = 4096;

// A file of three zero pages, opened through env.
std::unique_ptr<Pager> threePages(io::Env& env, const std::string& path) {
  {
    auto f = io::posixEnv().open(path, io::OpenMode::kCreateTruncate);
    std::vector<uint8_t> zeros(3 * kPage, 0);
    f->writeAt(0, zeros.data(), zeros.size());
  }
  return std::make_unique<Pager>(env.open(path, io::OpenMode::kReadWrite), layoutFor(Format::kJet4), false);
}

uint8_t byteAt(const std::string& path, uint64_t offset) {
  auto f = io::posixEnv().open(path, io::OpenMode::kRead);
  uint8_t b = 0;
  f->readExact(offset, &b, 1);
  return b;
}

TEST(JetPager, EachGroupIsWrittenWithTheBytesItLeft) {
  test::TempDir dir;
  io::FaultEnv env(io::posixEnv());
  std::string path = dir.file("p.bin");
  auto pager = threePages(env, path);
  // Page 1, then page 2, then page 1 again: three groups. A crash at the second write
  // must leave page 1 as the first group left it, not with the third group's change.
  pager->modify(1, 10, 1)[10] = 'A';
  pager->modify(1, 900, 1)[900] = 'a';  // same group: one write
  pager->modify(2, 0, 1)[0] = 'B';
  pager->modify(1, 10, 1)[10] = 'C';
  env.arm(2, io::Fault::kCrash);
  pager->flush();
  env.disarm();
  EXPECT_EQ(byteAt(path, kPage + 10), 'A');
  EXPECT_EQ(byteAt(path, kPage + 900), 'a');
  EXPECT_EQ(byteAt(path, 2 * kPage), 0);
  // Without a fault the three groups are three writes and the last one wins.
  auto again = threePages(env, path);
  again->modify(1, 10, 1)[10] = 'A';
  again->modify(1, 900, 1)[900] = 'a';
  again->modify(2, 0, 1)[0] = 'B';
  again->modify(1, 10, 1)[10] = 'C';
  again->flush();
  EXPECT_EQ(again->writesMade(), 3u);
  EXPECT_EQ(byteAt(path, kPage + 10), 'C');
  EXPECT_EQ(byteAt(path, 2 * kPage), 'B');
}

// A stand-in for a chained block cipher: each stored byte depends on every byte before
// it in the page, so a change rewrites the page from its block on.
class ChainedCodec final : public PageCodec {
 public:
  void encode(uint32_t, uint8_t* page, size_t n) override {
    for (size_t i = 1; i < n; ++i) page[i] ^= page[i - 1];
  }
  void decode(uint32_t, uint8_t* page, size_t n) override {
    for (size_t i = n; i-- > 1;) page[i] ^= page[i - 1];
  }
  uint32_t chainedBlockSize() const override { return 16; }
};

TEST(JetPager, AChainedCipherPageIsWrittenAsItsGroupLeftIt) {
  test::TempDir dir;
  io::FaultEnv env(io::posixEnv());
  std::string path = dir.file("c.bin");
  auto pager = threePages(env, path);  // zero pages encode as zero pages
  pager->setCodec(std::make_unique<ChainedCodec>());
  pager->modify(1, 10, 1)[10] = 'A';
  pager->modify(2, 0, 1)[0] = 'B';
  pager->modify(1, 2000, 1)[2000] = 'C';  // a later group, further on in the same page
  env.arm(2, io::Fault::kCrash);
  pager->flush();
  env.disarm();
  std::vector<uint8_t> page(kPage);
  io::posixEnv().open(path, io::OpenMode::kRead)->readExact(kPage, page.data(), kPage);
  ChainedCodec().decode(1, page.data(), kPage);
  EXPECT_EQ(page[10], 'A');
  EXPECT_EQ(page[2000], 0) << "the later group's change went out with the first one";
}

TEST(JetPager, ANewPageIsWrittenWholeWhereItWasMadeAndABarrierSplitsAGroup) {
  test::TempDir dir;
  io::FaultEnv env(io::posixEnv());
  std::string path = dir.file("n.bin");
  auto pager = threePages(env, path);
  uint32_t page = pager->append();
  EXPECT_EQ(page, 3u);
  pager->modify(1, 0, 4)[0] = 'L';         // what links to the new page, after it
  pager->modify(page, 100, 1)[100] = 'N';  // filled later: still part of the new page's write
  env.arm(2, io::Fault::kCrash);
  pager->flush();
  env.disarm();
  EXPECT_EQ(byteAt(path, 3 * kPage + 100), 'N');
  EXPECT_EQ(byteAt(path, kPage), 0);

  auto again = threePages(env, path);
  again->modify(2, 0, 1)[0] = 'X';
  again->barrier();
  again->modify(2, 1, 1)[1] = 'Y';
  env.arm(2, io::Fault::kCrash);
  again->flush();
  env.disarm();
  EXPECT_EQ(byteAt(path, 2 * kPage), 'X');
  EXPECT_EQ(byteAt(path, 2 * kPage + 1), 0);
}

TEST(JetWritePath, InsertsCostFewWrites) {
  test::TempDir dir;
  io::FaultEnv env(io::posixEnv());
  std::string path = dir.file("w.mdb");
  {
    auto db = createDatabase(path, Format::kJet4);
    db->createTable("T", {column("N", ColumnType::kLong), column("S", ColumnType::kText, 30)});
    db->close();
  }
  OpenOptions options;
  options.env = &env;
  auto db = openDatabase(path, options);
  Table* t = db->table("T");
  std::vector<Value> row = {Value::integer(0), Value::text("erste Zeile")};
  t->insert(row);  // the table's first data page
  env.arm(0, io::Fault::kNone);
  for (int i = 1; i <= 10; ++i) {
    row[0] = Value::integer(i);
    t->insert(row);
  }
  // A row that fits the current page: the page (row and header together), then the
  // row count.
  EXPECT_EQ(env.writes(), 20u);
  std::vector<Value> run;
  for (int i = 11; i < 5011; ++i) {
    run.push_back(Value::integer(i));
    run.push_back(Value::text("Zeile " + std::to_string(i)));
  }
  env.arm(0, io::Fault::kNone);
  t->insertRows(run);
  // About 150 rows fit a page; each page costs a few writes, not one per row.
  EXPECT_LT(env.writes(), 5000u / 150 * 6);
  EXPECT_EQ(t->rowCount(), 5011);
  db->close();
  EXPECT_TRUE(checkDatabase(path).empty());
  auto reopened = openDatabase(path, {});
  auto cursor = reopened->table("T")->scan();
  std::vector<Value> got;
  int64_t n = 0;
  while (cursor->next(got)) ASSERT_EQ(got[0].i, n++);
  EXPECT_EQ(n, 5011);
}

}  // namespace
}  // namespace qv::jet
