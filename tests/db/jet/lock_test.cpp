// Two writers: the lock file beside an open database, a second program (here a child
// process) that may read but not write while the first has the database open, and a
// lock file left by a killed program that does not block the next one.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "db/io/error.h"
#include "db/jet/database.h"
#include "db/jet/file/lock_file.h"
#include "support/temp_dir.h"

namespace qv::jet {
namespace {

namespace fs = std::filesystem;

std::vector<ColumnDef> oneColumn() {
  ColumnDef c;
  c.name = "N";
  c.type = ColumnType::kLong;
  return {c};
}

void insertOne(Database& db, int n) {
  Table* t = db.table("T");
  ASSERT_NE(t, nullptr);
  std::vector<Value> row{Value::integer(n)};
  t->insert(row);
}

TEST(JetLock, LockFileNames) {
  EXPECT_EQ(LockFile::pathFor("/d/Kunden.accdb"), "/d/Kunden.laccdb");
  EXPECT_EQ(LockFile::pathFor("/d/Kunden.ACCDB"), "/d/Kunden.laccdb");
  EXPECT_EQ(LockFile::pathFor("/d/Kunden.mdb"), "/d/Kunden.ldb");
  EXPECT_EQ(LockFile::pathFor("/d/Kunden"), "/d/Kunden.ldb");
  EXPECT_EQ(LockFile::pathFor("/d.x/.hidden"), "/d.x/.hidden.ldb");
}

TEST(JetLock, LockFileLivesWhileOpenForWriting) {
  test::TempDir dir;
  for (const char* name : {"a.mdb", "b.accdb"}) {
    std::string path = dir.file(name);
    std::string lock = LockFile::pathFor(path);
    auto db = createDatabase(path, std::string(name).ends_with(".mdb") ? Format::kJet4 : Format::kAce12);
    EXPECT_TRUE(fs::exists(lock)) << lock;
    EXPECT_EQ(fs::file_size(lock), 64u);
    db->createTable("T", oneColumn());
    db->close();
    EXPECT_FALSE(fs::exists(lock));
    db.reset();

    db = openDatabase(path, {});
    EXPECT_TRUE(fs::exists(lock));
    db.reset();  // destroyed without close(): the lock file goes too
    EXPECT_FALSE(fs::exists(lock));

    OpenOptions ro;
    ro.readOnly = true;
    db = openDatabase(path, ro);
    EXPECT_FALSE(fs::exists(lock)) << "a reader leaves no lock file";
  }
}

TEST(JetLock, SecondWriterInTheSameProcessMayOnlyRead) {
  test::TempDir dir;
  std::string path = dir.file("same.mdb");
  auto first = createDatabase(path, Format::kJet4);
  first->createTable("T", oneColumn());
  insertOne(*first, 1);
  auto second = openDatabase(path, {});
  EXPECT_EQ(second->table("T")->rowCount(), 1);
  try {
    insertOne(*second, 2);
    FAIL() << "a second writer changed the database";
  } catch (const DbError& e) {
    EXPECT_NE(std::string(e.what()).find("open in another program"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos);
  }
  second.reset();
  EXPECT_TRUE(fs::exists(LockFile::pathFor(path))) << "the reader must not remove the writer's lock file";
  insertOne(*first, 3);
  first->close();
  auto third = openDatabase(path, {});
  insertOne(*third, 4);
  EXPECT_EQ(third->table("T")->rowCount(), 3);
}

// The child opens the database for writing, says so through the pipe and waits to be
// killed.
[[noreturn]] void holdOpen(const std::string& path, int reportFd) {
  try {
    auto db = openDatabase(path, {});
    insertOne(*db, 100);
    if (::write(reportFd, "x", 1) != 1) ::_exit(3);
    for (;;) ::pause();
  } catch (...) {
    ::_exit(2);
  }
}

TEST(JetLock, OtherProcessBlocksWritesUntilItDies) {
  test::TempDir dir;
  std::string path = dir.file("shared.accdb");
  std::string lock = LockFile::pathFor(path);
  {
    auto db = createDatabase(path, Format::kAce12);
    db->createTable("T", oneColumn());
    db->close();
  }
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(fds[0]);
    holdOpen(path, fds[1]);
  }
  ::close(fds[1]);
  char c = 0;
  ASSERT_EQ(::read(fds[0], &c, 1), 1) << "the child could not open the database";
  ::close(fds[0]);

  EXPECT_TRUE(fs::exists(lock));
  {
    auto db = openDatabase(path, {});
    EXPECT_EQ(db->table("T")->rowCount(), 1) << "reading stays possible";
    EXPECT_THROW(insertOne(*db, 1), DbError);
    EXPECT_THROW(db->createTable("U", oneColumn()), DbError);
  }
  EXPECT_TRUE(fs::exists(lock));

  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));
  ASSERT_TRUE(fs::exists(lock)) << "a killed program leaves its lock file";

  auto db = openDatabase(path, {});
  insertOne(*db, 2);
  EXPECT_EQ(db->table("T")->rowCount(), 2);
  db->close();
  EXPECT_FALSE(fs::exists(lock)) << "the stale lock file is taken over and removed on close";
}

TEST(JetLock, UnwritableLockFileDoesNotPreventWriting) {
  test::TempDir dir;
  std::string path = dir.file("c.mdb");
  auto db = createDatabase(path, Format::kJet4);
  db->createTable("T", oneColumn());
  db->close();
  db.reset();
  // A folder where the lock file should go: it cannot be written, the database can.
  fs::create_directory(LockFile::pathFor(path));
  db = openDatabase(path, {});
  insertOne(*db, 1);
  db->close();
  EXPECT_TRUE(fs::is_directory(LockFile::pathFor(path)));
}

}  // namespace
}  // namespace qv::jet
