// Durability: a failing write (full disk, I/O error, short write) or a crash at any
// write leaves a file that opens with every row whose insert had returned.

#include <gtest/gtest.h>

#include "db/io/error.h"
#include "db/io/fault_env.h"
#include "db/jet/checker.h"
#include "db/jet/database.h"
#include "support/temp_dir.h"

namespace qv::jet {
namespace {

ColumnDef column(const std::string& name, ColumnType type, int length = 0) {
  ColumnDef c;
  c.name = name;
  c.type = type;
  c.length = length;
  return c;
}

std::vector<Value> rowOf(int i) {
  return {Value::integer(i), Value::text("Zeile " + std::to_string(i)),
          Value::text(std::string(static_cast<size_t>(i * 37 % 5000), 'm'))};
}

int64_t countRows(const std::string& path) {
  auto db = openDatabase(path, {});
  Table* t = db->table("T");
  if (!t) return -1;
  auto c = t->scan();
  std::vector<Value> row;
  int64_t n = 0;
  while (c->next(row)) {
    EXPECT_EQ(row[0].i, n) << path;
    ++n;
  }
  return n;
}

TEST(JetDurability, EveryFaultAtEveryWriteLeavesAnOpenableFile) {
  test::TempDir dir;
  io::FaultEnv env(io::posixEnv());
  for (io::Fault fault : {io::Fault::kCrash, io::Fault::kDiskFull, io::Fault::kShortWrite, io::Fault::kIoError}) {
    for (uint64_t at = 1; at < 400; at += 7) {
      std::string path = dir.file("f" + std::to_string(static_cast<int>(fault)) + "_" + std::to_string(at) + ".mdb");
      {
        auto db = createDatabase(path, Format::kJet4);
        db->createTable("T", {column("N", ColumnType::kLong), column("S", ColumnType::kText, 30),
                              column("M", ColumnType::kMemo)});
        db->close();
      }
      OpenOptions options;
      options.env = &env;
      int returned = 0;
      env.arm(at, fault);
      try {
        auto db = openDatabase(path, options);
        Table* t = db->table("T");
        for (int i = 0; i < 60; ++i) {
          t->insert(rowOf(i));
          returned = i + 1;
        }
        if (fault == io::Fault::kCrash) {
          // The process "died": whatever the destructor still writes is dropped by the
          // crashed environment, so the file stays as the crash left it.
          db.reset();
        } else {
          db->close();
        }
      } catch (const DbError& e) {
        // After the simulated crash the writes vanish, so the "dead" process may find its
        // file shorter than it wrote it; nothing else may fail.
        if (fault == io::Fault::kCrash) {
          EXPECT_NE(std::string(e.what()).find("cut short"), std::string::npos) << e.what();
        }
      }
      env.disarm();
      SCOPED_TRACE(path);
      int64_t n = countRows(path);
      if (fault == io::Fault::kCrash) {
        // The insert that was cut short may or may not have reached the file; nothing
        // else may be lost or added.
        EXPECT_LE(n, returned + 1);
      } else {
        // A failed write takes back what its change had written: exactly the inserts
        // that returned are there, and the file is consistent.
        EXPECT_EQ(n, returned);
        for (const std::string& problem : checkDatabase(path)) ADD_FAILURE() << problem;
      }

    }
  }
}

}  // namespace
}  // namespace qv::jet
