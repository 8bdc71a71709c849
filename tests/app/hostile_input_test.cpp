// The command-line conversion on hostile input, end to end: table and field names with
// grave accents, brackets, apostrophes and control characters; tables and folders the
// user may not read; a database file truncated or replaced while the run writes into it;
// a database another program holds open.
// Every time: no crash and no hang, a message naming what failed, the good tables still
// converted, and nothing written anywhere but into the chosen database.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonObject>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <thread>

#include "support/kill_trials.h"
#include "db/jet/file/lock_file.h"
#include "db/paradox/table_writer.h"
#include "support/temp_dir.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;
using paradox::FieldType;

std::string cli() { return std::string(QV_BINARY_DIR) + "/src/app/quorvane-cli"; }

// A small Paradox table: one Alpha field per name, three rows.
void writeTable(const std::string& path, const std::vector<std::string>& fieldNames) {
  std::vector<paradox::NewField> fields;
  for (const std::string& name : fieldNames) fields.push_back({name, FieldType::kAlpha, 12});
  paradox::TableWriter w(path, fields);
  for (int r = 0; r < 3; ++r) {
    std::vector<paradox::Value> row(fields.size());
    for (auto& v : row) {
      v.kind = paradox::Value::Kind::kText;
      v.text = "v'" + std::to_string(r);
    }
    w.append(row);
  }
  w.finish();
}

// Every file below dir with its size and modification time, to see what a run changed.
std::set<std::string> snapshot(const std::string& dir) {
  std::set<std::string> out;
  for (auto it = fs::recursive_directory_iterator(dir, fs::directory_options::skip_permission_denied);
       it != fs::recursive_directory_iterator(); ++it) {
    struct stat st {};
    if (::lstat(it->path().c_str(), &st) != 0) continue;
    out.insert(it->path().string() + " " + std::to_string(st.st_size) + " " + std::to_string(st.st_mtim.tv_sec) + "." +
               std::to_string(st.st_mtim.tv_nsec));
  }
  return out;
}

// Runs a command with a time limit; the status a shell gives (128 + n for signal n; 124
// for the limit).
int runLimited(const std::string& command, std::string* out, int seconds = 120) {
  return runCommand("timeout -s KILL " + std::to_string(seconds) + " " + command + " 2>&1", out);
}

QJsonObject tablesOf(const std::string& db) {
  return readWithMdbReader({db}).value(QString::fromStdString(db)).toObject();
}

class HostileInput : public ::testing::Test {
 protected:
  void SetUp() override {
    QV_REQUIRE_TOOL(mdbReaderAvailable(), "mdb-reader (tests/js)");
    px_ = dir_.file("px");
    fs::create_directories(px_);
    db_ = dir_.file("out.mdb");
    jet::createDatabase(db_, jet::Format::kJet4)->close();
  }
  test::TempDir dir_;
  std::string px_, db_;
};

TEST_F(HostileInput, NamesWithQuotesBracketsAndControlCharactersNeverBreakTheRun) {
  writeTable(px_ + "/good.db", {"ID", "Name"});
  writeTable(px_ + "/it's.db", {"O'Brien", "a`b", "[x]", "Tab\tName"});
  writeTable(px_ + "/we`ird.db", {"A"});
  writeTable(px_ + "/br[ack]et.db", {"A"});
  writeTable(px_ + "/ctl\x01name.db", {"A"});
  writeTable(px_ + "/fields.db", {"close]", "ctl\x02x", "x` (y"});
  const std::set<std::string> before = snapshot(dir_.path());
  std::string out;
  const int status = runLimited(shellQuote(cli()) + " convert " + shellQuote(px_) + " " + shellQuote(db_), &out);
  // Failures are reported (exit status 1), never a crash or a hang.
  EXPECT_EQ(status, 1) << out;
  const QJsonObject got = tablesOf(db_);
  ASSERT_FALSE(got.contains("error")) << got.value("error").toString().toStdString();
  const QJsonObject tables = got.value("tables").toObject();
  EXPECT_EQ(tables.value("GOOD").toArray().size(), 3) << out;
  // A name the statements can carry arrives whole, quotes and all.
  if (tables.contains("IT'S")) {
    const QJsonArray rows = tables.value("IT'S").toArray();
    ASSERT_EQ(rows.size(), 3) << out;
    EXPECT_EQ(rows.at(0).toArray().at(0).toString(), QStringLiteral("v'0"));
  }
  // Every table that did not arrive is named in an error line.
  for (const char* name : {"IT'S", "WE`IRD", "BR[ACK]ET", "FIELDS"}) {
    if (!tables.contains(QString::fromLatin1(name))) {
      EXPECT_NE(out.find(std::string("error: table ") + name), std::string::npos) << name << "\n" << out;
    }
  }
  // Nothing but the database changed.
  std::set<std::string> after = snapshot(dir_.path());
  std::set<std::string> changed;
  for (const std::string& f : after) {
    if (!before.count(f)) changed.insert(f.substr(0, f.find(' ')));
  }
  EXPECT_EQ(changed, std::set<std::string>{db_});
}

TEST_F(HostileInput, UnreadableTablesAndFoldersAreNamedAndSkipped) {
  // The super-user reads everything: the run goes as an ordinary user (nobody).
  if (::geteuid() == 0 && runCommand("command -v setpriv >/dev/null", nullptr) != 0) {
    GTEST_SKIP() << "running as root without setpriv: no way to run as a user who may not read the files";
  }
  writeTable(px_ + "/good.db", {"A"});
  writeTable(px_ + "/secret.db", {"A"});
  fs::create_directories(px_ + "/locked");
  writeTable(px_ + "/locked/hidden.db", {"A"});
  fs::permissions(dir_.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                   fs::perms::others_read | fs::perms::others_exec);
  fs::permissions(px_ + "/secret.db", fs::perms::none);
  fs::permissions(px_ + "/locked", fs::perms::none);
  fs::permissions(db_, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::group_write |
                           fs::perms::others_read | fs::perms::others_write);
  const std::string asUser = ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
  std::string out;
  const int status =
      runLimited(asUser + shellQuote(cli()) + " convert " + shellQuote(px_) + " " + shellQuote(db_), &out);
  fs::permissions(px_ + "/locked", fs::perms::owner_all);
  EXPECT_EQ(status, 1) << out;
  EXPECT_NE(out.find("secret.db"), std::string::npos) << out;
  const QJsonObject tables = tablesOf(db_).value("tables").toObject();
  EXPECT_EQ(tables.value("GOOD").toArray().size(), 3) << out;
  EXPECT_FALSE(tables.contains("SECRET"));
}

// A memo file cut short: the records whose memos lay past the cut cannot be read. Each
// run of them is reported once, with its length, and left out; every other record
// arrives once (a record that cannot be read once cannot be read again: a run that
// stayed on it would go on for ever, writing the record before it again and again).
TEST_F(HostileInput, RecordsAMemoFileCutShortCannotGiveAreLeftOutAndNamed) {
  const std::string table = px_ + "/notes.db";
  {
    paradox::TableWriter w(table, {{"Id", FieldType::kLong, 0}, {"Note", FieldType::kMemo, 40}});
    for (int id = 1; id <= 300; ++id) {
      // Every third memo is short enough to stay in the table itself.
      std::string note = id % 3 == 0 ? "n" + std::to_string(id) : std::string(400, static_cast<char>('a' + id % 26));
      w.append({{paradox::Value::Kind::kInteger, id, 0, {}}, {paradox::Value::Kind::kText, 0, 0, note}});
    }
    w.finish();
  }
  fs::resize_file(px_ + "/notes.mb", fs::file_size(px_ + "/notes.mb") / 2);
  std::string out;
  EXPECT_EQ(runLimited(shellQuote(cli()) + " convert " + shellQuote(px_) + " " + shellQuote(db_), &out, 60), 1) << out;
  const QJsonArray rows = tablesOf(db_).value("tables").toObject().value("NOTES").toArray();
  std::set<int> ids;
  for (const QJsonValue& row : rows) {
    const int id = row.toArray().at(0).toInt();
    EXPECT_TRUE(ids.insert(id).second) << "record " << id << " arrived twice";
    const std::string note = row.toArray().at(1).toString().toStdString();
    EXPECT_EQ(note, id % 3 == 0 ? "n" + std::to_string(id) : std::string(400, static_cast<char>('a' + id % 26)));
  }
  for (int id = 3; id <= 300; id += 3) EXPECT_TRUE(ids.count(id)) << "record " << id << " was lost";
  EXPECT_TRUE(ids.count(1)) << out;
  // The summary's reports count the records left out: with those in the database, all.
  size_t reported = 0;
  for (size_t at = out.find("\n  NOTES row "); at != std::string::npos; at = out.find("\n  NOTES row ", at + 1)) {
    const std::string line = out.substr(at + 1, out.find('\n', at + 1) - at - 1);
    EXPECT_NE(line.find("step 408: '" + px_ + "/notes.mb': damaged Paradox blob file"), std::string::npos) << line;
    const size_t more = line.find("; ");
    reported += 1 + (more == std::string::npos ? 0 : std::stoul(line.substr(more + 2)));
  }
  EXPECT_GT(reported, 0u) << out;
  EXPECT_EQ(ids.size() + reported, 300u) << out;
}

TEST_F(HostileInput, ADatabaseTruncatedOrReplacedDuringTheRunFailsCleanly) {
  // A table long enough that the run is still writing its rows when the meddler below
  // acts, on a busy machine too.
  const std::string folder = dir_.file("long");
  fs::create_directories(folder);
  {
    const std::vector<paradox::NewField> fields = {
        {"Name", FieldType::kAlpha, 24}, {"Town", FieldType::kAlpha, 24}, {"Note", FieldType::kAlpha, 40}};
    paradox::TableWriter w(folder + "/people.db", fields);
    std::vector<paradox::Value> row(fields.size());
    for (int r = 0; r < 50000; ++r) {
      for (size_t f = 0; f < row.size(); ++f) {
        row[f].kind = paradox::Value::Kind::kText;
        row[f].text = "value " + std::to_string(r * 3 + static_cast<int>(f));
      }
      w.append(row);
    }
    w.finish();
  }
  for (bool replace : {false, true}) {
    SCOPED_TRACE(replace ? "replaced" : "truncated");
    const std::string db = dir_.file(replace ? "replaced.mdb" : "truncated.mdb");
    jet::createDatabase(db, jet::Format::kJet4)->close();
    const std::string other = dir_.file("other.mdb");
    fs::remove(other);
    jet::createDatabase(other, jet::Format::kJet4)->close();
    const auto emptySize = fs::file_size(other);
    // Once the run has written to the file (its first table), cut the file down to its
    // first page, or put another database in its place. A run that ends before the
    // meddler could act (a fast machine) proves nothing and is tried again.
    std::string out;
    int status = 0;
    bool acted = false;
    for (int attempt = 0; attempt < 5 && !acted; ++attempt) {
      if (attempt > 0) {
        fs::remove(db);
        jet::createDatabase(db, jet::Format::kJet4)->close();
      }
      std::atomic<bool> runEnded{false};
      std::thread meddler([&] {
        while (!runEnded && fs::file_size(db) <= emptySize) std::this_thread::sleep_for(std::chrono::microseconds(200));
        if (runEnded) return;
        if (replace) fs::rename(other, db);
        else fs::resize_file(db, 4096);
        acted = true;
      });
      status = runLimited(shellQuote(cli()) + " convert " + shellQuote(folder) + " " + shellQuote(db), &out);
      runEnded = true;
      meddler.join();
    }
    ASSERT_TRUE(acted) << "every run ended before its database could be cut or replaced";
    EXPECT_LT(status, 124) << "the run crashed or hung\n" << out;
    if (replace) {
      // The run went on writing into the file it had opened; the database now at the
      // path was never touched and still opens.
      EXPECT_EQ(status, 0) << out;
      const QJsonObject got = tablesOf(db);
      EXPECT_FALSE(got.contains("error")) << got.value("error").toString().toStdString();
      EXPECT_TRUE(got.value("tables").toObject().isEmpty());
    } else {
      // The cut file makes the run fail, and the failures name it.
      EXPECT_EQ(status, 1) << out;
      EXPECT_NE(out.find(db), std::string::npos) << out.substr(0, 2000);
    }
  }
}

// Another program holding the database open for writing: a child process that takes the
// lock a writer takes on the file and keeps it until it is killed.
class Holder {
 public:
  explicit Holder(const std::string& path) {
    int ready[2];
    if (::pipe(ready) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      const int fd = ::open(path.c_str(), O_RDWR);
      const bool locked = fd >= 0 && ::flock(fd, LOCK_EX) == 0;
      if (::write(ready[1], locked ? "1" : "0", 1) != 1) ::_exit(1);
      for (;;) ::pause();
    }
    ::close(ready[1]);
    char answer = '0';
    held_ = pid_ > 0 && ::read(ready[0], &answer, 1) == 1 && answer == '1';
    ::close(ready[0]);
  }
  ~Holder() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  Holder(const Holder&) = delete;
  Holder& operator=(const Holder&) = delete;
  bool held() const { return held_; }

 private:
  pid_t pid_ = -1;
  bool held_ = false;
};

TEST_F(HostileInput, ADatabaseAnotherProgramHoldsOpenIsLeftAlone) {
  writeTable(px_ + "/good.db", {"ID", "Name"});
  writeTable(px_ + "/second.db", {"A"});
  // The other program's lock file beside it, as it would write one.
  const std::string lockFile = jet::LockFile::pathFor(db_);
  std::ofstream(lockFile, std::ios::binary) << std::string(64, 'o');
  const std::string bytes = test::fileBytes(db_);
  const std::set<std::string> before = snapshot(dir_.path());
  Holder holder(db_);
  ASSERT_TRUE(holder.held());
  std::string out;
  const int status = runLimited(shellQuote(cli()) + " convert " + shellQuote(px_) + " " + shellQuote(db_), &out);
  EXPECT_EQ(status, 1) << out;
  EXPECT_NE(out.find("'" + db_ + "' is open in another program"), std::string::npos) << out;
  // Said once, up front: no table was tried.
  EXPECT_EQ(out.find("error: table"), std::string::npos) << out.substr(0, 2000);
  EXPECT_EQ(test::fileBytes(db_), bytes) << "the database was changed";
  EXPECT_EQ(snapshot(dir_.path()), before) << "a file was written, removed or touched\n" << out;
}

}  // namespace
}  // namespace qv::test
