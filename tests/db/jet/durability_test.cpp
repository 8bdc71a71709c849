// Durability: a failing write (full disk, I/O error, short write) or a crash at any
// write leaves a file that opens with every row whose insert had returned -- row by row
// and in runs of rows.
//
// Short writes stop at a 4096-byte boundary of the file, as the kernel's do: the engine
// relies on a write inside one page arriving whole or not at all.

#include <gtest/gtest.h>

#include <filesystem>

#include "db/io/error.h"
#include "support/fault_env.h"
#include "db/jet/checker.h"
#include "support/column_def.h"
#include "db/jet/database.h"
#include "db/jet/file/journal.h"
#include "support/temp_dir.h"

namespace qv::jet {
namespace {

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

// Only a row count one behind may be left (an insert cut short between its row and its
// count); nothing else.
void expectCheckedClean(const std::string& path) {
  for (const std::string& p : checkDatabase(path))
    EXPECT_NE(p.find("rows, but its definition counts"), std::string::npos) << p;
}

void makeDatabase(const std::string& path) {
  auto db = createDatabase(path, Format::kJet4);
  db->createTable("T",
                  {column("N", ColumnType::kLong), column("S", ColumnType::kText, 30), column("M", ColumnType::kMemo)});
  db->close();
}

// One way of inserting: `runs` calls of `run` rows each (run 1: insert() row by row,
// otherwise insertRows()), with each fault armed at every `step`-th write up to `lastWrite`.
struct Inserts {
  const char* prefix;
  int run;
  int runs;
  std::vector<io::Fault> faults;
  uint64_t lastWrite;
  uint64_t step;
};

void faultAtEveryWrite(const Inserts& how) {
  test::TempDir dir;
  io::FaultEnv env(io::posixEnv());
  env.setWriteUnit(4096);
  for (io::Fault fault : how.faults) {
    for (uint64_t at = 1; at < how.lastWrite; at += how.step) {
      std::string path =
          dir.file(how.prefix + std::to_string(static_cast<int>(fault)) + "_" + std::to_string(at) + ".mdb");
      makeDatabase(path);
      OpenOptions options;
      options.env = &env;
      int returned = 0;
      env.arm(at, fault);
      try {
        auto db = openDatabase(path, options);
        Table* t = db->table("T");
        for (int first = 0; first < how.runs * how.run; first += how.run) {
          if (how.run == 1) {
            t->insert(rowOf(first));
          } else {
            std::vector<Value> run;
            for (int i = first; i < first + how.run; ++i) {
              std::vector<Value> row = rowOf(i);
              run.insert(run.end(), row.begin(), row.end());
            }
            t->insertRows(run);
          }
          returned = first + how.run;
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
      EXPECT_GE(n, fault == io::Fault::kCrash ? 0 : returned);
      // Row by row: after a crash the insert that was cut short may or may not have
      // reached the file; a failed write takes back what its change had written, so then
      // exactly the inserts that returned are there. In runs: of the run that failed, any
      // first part may be there. Nothing else may be lost or added.
      const int extra = how.run == 1 ? (fault == io::Fault::kCrash ? 1 : 0) : how.run;
      EXPECT_LE(n, returned + extra);
      expectCheckedClean(path);
    }
  }
}

TEST(JetDurability, EveryFaultAtEveryWriteLeavesAnOpenableFile) {
  faultAtEveryWrite(
      {"f", 1, 60, {io::Fault::kCrash, io::Fault::kDiskFull, io::Fault::kShortWrite, io::Fault::kIoError}, 400, 7});
}

TEST(JetDurability, RunsOfRowsSurviveEveryFaultAtEveryWrite) {
  faultAtEveryWrite({"r", 40, 10, {io::Fault::kCrash, io::Fault::kShortWrite, io::Fault::kIoError}, 160, 3});
}

// Creating and dropping a table change the catalogue, its indexes, the permissions and
// usage maps in many writes. Whatever write fails or is the last before a crash, the
// next open finds the change whole or not at all, the file consistent, the rows of the
// other table all there, and no journal left behind.
TEST(JetDurability, CreatingOrDroppingATableIsWholeOrAbsentAfterAFaultAtAnyWrite) {
  test::TempDir dir;
  io::FaultEnv env(io::posixEnv());
  env.setWriteUnit(4096);
  int faultsStruck = 0;
  // A plain .mdb under every fault; an encrypted .accdb (pages stored AES-encrypted)
  // created under a crash at every other write (each open derives its key: slow).
  struct Kind {
    const char* password;
    std::vector<io::Fault> faults;
    std::vector<bool> drops;
    uint64_t step;
  };
  for (const Kind& kind : {Kind{"",
                                {io::Fault::kCrash, io::Fault::kDiskFull, io::Fault::kShortWrite, io::Fault::kIoError},
                                {false, true},
                                1},
                           Kind{"Geheim", {io::Fault::kCrash}, {false}, 2}}) {
    OpenOptions plain;
    plain.password = kind.password;
    for (const bool dropping : kind.drops) {
      for (io::Fault fault : kind.faults) {
        for (uint64_t at = 1; at < 200; at += kind.step) {
          std::string path =
              dir.file(std::string(dropping ? "drop" : "create") + std::to_string(static_cast<int>(fault)) + "_" +
                       std::to_string(at) + (*kind.password ? ".accdb" : ".mdb"));
          {
            auto db = createDatabase(path, *kind.password ? Format::kAce14 : Format::kJet4, plain);
            Table& t = db->createTable("T", {column("N", ColumnType::kLong), column("S", ColumnType::kText, 30),
                                             column("M", ColumnType::kMemo)});
            std::vector<Value> rows;
            for (int i = 0; i < 30; ++i) {
              std::vector<Value> row = rowOf(i);
              rows.insert(rows.end(), row.begin(), row.end());
            }
            t.insertRows(rows);
            db->createTable("Alt", {column("A", ColumnType::kLong)});
            db->close();
          }
          OpenOptions options = plain;
          options.env = &env;
          bool returned = false;
          env.arm(at, fault);
          try {
            auto db = openDatabase(path, options);
            if (dropping) {
              db->dropTable("Alt");
            } else {
              db->createTable("Neu", {column("N", ColumnType::kLong), column("S", ColumnType::kText, 20),
                                      column("M", ColumnType::kMemo)});
            }
            returned = true;
            if (fault == io::Fault::kCrash) db.reset();  // died: nothing more reaches the file
          } catch (const DbError&) {
          }
          const bool struck = env.fired();
          env.disarm();
          SCOPED_TRACE(path);
          if (!struck) {
            EXPECT_TRUE(returned);
            break;  // the change needed fewer writes than this
          }
          ++faultsStruck;
          const std::string name = dropping ? "Alt" : "Neu";
          {
            auto db = openDatabase(path, plain);
            const bool present = db->table(name) != nullptr;
            // A change that returned is there; one cut short is there whole or not at all.
            if (fault != io::Fault::kCrash) {
              EXPECT_EQ(present, returned != dropping);
            }
            EXPECT_EQ(db->table("T")->rowCount(), 30);
            db->close();
          }
          EXPECT_FALSE(io::posixEnv().exists(journalPath(path)));
          EXPECT_EQ(checkDatabase(path, plain), std::vector<std::string>{});
        }
      }
    }
  }
  EXPECT_GT(faultsStruck, 60);
}

// A journal left by a run killed inside CREATE TABLE: a read-only open takes the change
// back too; a journal that no longer fits the file (the database was replaced or
// compacted by another program since) is removed without touching the file.
TEST(JetDurability, ALeftJournalIsTakenBackOnlyWhileTheFileIsAsTheRunLeftIt) {
  test::TempDir dir;
  io::FaultEnv env(io::posixEnv());
  // Kills a run inside CREATE TABLE at the first write that leaves the file, without its
  // journal, half made.
  auto killInsideCreate = [&](const std::string& path) {
    for (uint64_t at = 2; at < 60; ++at) {
      std::filesystem::remove(path);
      makeDatabase(path);
      OpenOptions options;
      options.env = &env;
      env.arm(at, io::Fault::kCrash);
      {
        // Writes after the crash vanish without an error, as they would for a dead process.
        auto db = openDatabase(path, options);
        db->createTable("Neu", {column("N", ColumnType::kLong)});
      }
      env.disarm();
      if (!io::posixEnv().exists(journalPath(path))) continue;
      const std::string copy = path + ".copy";
      std::filesystem::copy_file(path, copy, std::filesystem::copy_options::overwrite_existing);
      if (!checkDatabase(copy).empty()) return;
    }
    FAIL() << "no kill left the file half made";
  };

  const std::string path = dir.file("left.mdb");
  killInsideCreate(path);
  OpenOptions readOnly;
  readOnly.readOnly = true;
  EXPECT_EQ(openDatabase(path, readOnly)->table("Neu"), nullptr);
  EXPECT_FALSE(io::posixEnv().exists(journalPath(path)));
  EXPECT_EQ(checkDatabase(path), std::vector<std::string>{});

  const std::string replaced = dir.file("replaced.mdb");
  killInsideCreate(replaced);
  const std::string other = dir.file("other.mdb");
  {
    auto db = createDatabase(other, Format::kJet4);
    db->createTable("Fremd", {column("F", ColumnType::kText, 10)});
    db->close();
  }
  std::filesystem::copy_file(other, replaced, std::filesystem::copy_options::overwrite_existing);
  const std::string bytes = test::fileBytes(replaced);
  EXPECT_NE(openDatabase(replaced, {})->table("Fremd"), nullptr);
  EXPECT_FALSE(io::posixEnv().exists(journalPath(replaced)));
  EXPECT_EQ(test::fileBytes(replaced), bytes);
}

TEST(JetDurability, AValueThatDoesNotFitStopsARunAfterTheRowsBeforeIt) {
  test::TempDir dir;
  std::string path = dir.file("bad.mdb");
  makeDatabase(path);
  {
    auto db = openDatabase(path, {});
    Table* t = db->table("T");
    std::vector<Value> run;
    for (int i = 0; i < 300; ++i) {
      std::vector<Value> row = rowOf(i);
      if (i == 250) row[1] = Value::text(std::string(31, 'x'));  // one character too many
      run.insert(run.end(), row.begin(), row.end());
    }
    try {
      t->insertRows(run);
      FAIL() << "the row that does not fit should be rejected";
    } catch (const DbError& e) {
      EXPECT_EQ(e.number(), kErrSql);
    }
    EXPECT_EQ(t->rowCount(), 250);
    // The table takes rows again afterwards: row 250 as it should have been.
    t->insertRows(rowOf(250));
    db->close();
  }
  EXPECT_EQ(countRows(path), 251);
  EXPECT_TRUE(checkDatabase(path).empty());
}

}  // namespace
}  // namespace qv::jet
