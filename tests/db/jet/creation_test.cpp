// Creating a database: a failure at any write leaves either nothing under the new name
// or a whole database, and never the temporary file it was built in; a file that appears
// under the name meanwhile is never replaced; the new database is locked like an opened
// one, under its own name.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "db/io/error.h"
#include "support/fault_env.h"
#include "db/jet/checker.h"
#include "support/column_def.h"
#include "db/jet/database.h"
#include "db/jet/file/lock_file.h"
#include "support/temp_dir.h"

namespace qv::jet {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> filesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(JetCreation, AFaultAtAnyWriteLeavesNothingOrAWholeDatabase) {
  test::TempDir dir;
  io::FaultEnv env(io::posixEnv());
  env.setWriteUnit(4096);
  // A full disk and an I/O error take the same way (nothing written); an encrypted
  // database is slow to make (its key derivation), so it gets the short write only.
  struct Kind {
    Format format;
    const char* name;
    const char* password;
    std::vector<io::Fault> faults;
  };
  const std::vector<io::Fault> all = {io::Fault::kIoError, io::Fault::kShortWrite, io::Fault::kCrash};
  int trials = 0, whole = 0;
  for (const Kind& kind : {Kind{Format::kJet4, "n.mdb", "", all}, Kind{Format::kAce12, "n.accdb", "", all},
                           Kind{Format::kAce14, "secret.accdb", "sesam", {io::Fault::kShortWrite}}}) {
    for (io::Fault fault : kind.faults) {
      bool fired = true;
      for (uint64_t at = 1; fired; ++at) {
        ASSERT_LT(at, 1000u) << "the fault never stopped firing";
        const std::string folder = dir.file("t" + std::to_string(++trials));
        fs::create_directory(folder);
        const std::string path = folder + "/" + kind.name;
        SCOPED_TRACE(path + ", fault " + std::to_string(static_cast<int>(fault)) + " at write " + std::to_string(at));
        OpenOptions options;
        options.env = &env;
        options.password = kind.password;
        env.arm(at, fault);
        bool created = false;
        try {
          auto db = createDatabase(path, kind.format, options);
          created = true;
          if (fault == io::Fault::kCrash) db.reset();  // the "dead" process writes nothing more
          else db->close();
        } catch (const DbError& e) {
          EXPECT_NE(std::string(e.what()).find(path), std::string::npos)
              << "the message names the database: " << e.what();
          EXPECT_EQ(std::string(e.what()).find(".new"), std::string::npos) << e.what();
        }
        fired = env.fired();
        env.disarm();
        const std::vector<std::string> left = filesIn(folder);
        if (fault == io::Fault::kCrash) {
          // The crash dropped the clean-up as well: the temporary file may stay behind, or
          // the lock file of a database that was complete.
          for (const std::string& name : left)
            EXPECT_TRUE(name == kind.name || name.ends_with(".new") || name == LockFile::pathFor(kind.name)) << name;
        } else if (created) {
          EXPECT_EQ(left, std::vector<std::string>{kind.name});
        } else {
          EXPECT_EQ(left, std::vector<std::string>{}) << "a failed creation leaves nothing";
        }
        if (!fs::exists(path)) continue;
        // Whatever carries the name is a whole database (even one whose creation then
        // reported a failure, e.g. when only the lock file beside it could not be written).
        ++whole;
        OpenOptions plain;
        plain.password = kind.password;
        EXPECT_EQ(checkDatabase(path, plain), std::vector<std::string>{});
        auto db = openDatabase(path, plain);
        db->createTable("T", {column("N", ColumnType::kLong)});
        db->close();
      }
    }
  }
  // Faults after the move leave the database; the trials saw both outcomes.
  EXPECT_GT(whole, 0);
  EXPECT_LT(whole, trials);
}

// A wrapper that makes another program's file appear under the name just as the
// temporary file is made.
class RacingEnv : public io::FaultEnv {
 public:
  RacingEnv(io::Env& base, std::string path) : FaultEnv(base), path_(std::move(path)) {}
  std::unique_ptr<io::File> open(const std::string& path, io::OpenMode mode) override {
    if (path.ends_with(".new") && mode == io::OpenMode::kCreateExclusive) {
      std::ofstream(path_, std::ios::binary) << "theirs";
    }
    return FaultEnv::open(path, mode);
  }

 private:
  std::string path_;
};

TEST(JetCreation, NeverReplacesAFileThatAppearedMeanwhile) {
  test::TempDir dir;
  const std::string path = dir.file("race.mdb");
  RacingEnv env(io::posixEnv(), path);
  OpenOptions options;
  options.env = &env;
  try {
    createDatabase(path, Format::kJet4, options);
    FAIL() << "the creation should fail";
  } catch (const DbError& e) {
    EXPECT_NE(std::string(e.what()).find("'" + path + "' already exists"), std::string::npos) << e.what();
  }
  EXPECT_EQ(test::fileBytes(path), "theirs");
  EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"race.mdb"});
}

TEST(JetCreation, TheNewDatabaseIsLockedUnderItsName) {
  test::TempDir dir;
  const std::string path = dir.file("neu.accdb");
  auto db = createDatabase(path, Format::kAce12);
  EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"neu.accdb", "neu.laccdb"}));
  {
    // A second writer finds the file lock held and may only read.
    auto other = openDatabase(path, {});
    try {
      other->createTable("T", {column("N", ColumnType::kLong)});
      FAIL() << "the second writer should be refused";
    } catch (const DbError& e) {
      EXPECT_NE(std::string(e.what()).find("open in another program"), std::string::npos) << e.what();
    }
  }
  db->createTable("T", {column("N", ColumnType::kLong)});
  db->close();
  EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"neu.accdb"});
}

}  // namespace
}  // namespace qv::jet
