// A child process inserts up to 1,000,000 rows and is killed at a random moment, 20
// times: every time the file opens in our engine and both readers and holds every row
// whose insert had returned.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "db/jet/checker.h"
#include "support/column_def.h"
#include "db/jet/database.h"
#include "db/jet/reader_oracle.h"
#include "support/temp_dir.h"

namespace qv::jet {
namespace {

// The child: inserts rows (one by one, or in runs of 250 through insertRows) and
// reports, after every 500th row that returned, how many returned. Never returns.
[[noreturn]] void childInserts(const std::string& path, int reportFd, bool inRuns) {
  try {
    auto db = openDatabase(path, {});
    Table* t = db->table("T");
    const int run = inRuns ? 250 : 1;
    std::vector<Value> rows(static_cast<size_t>(run) * 3);
    for (int i = 0; i < 1000000; ++i) {
      Value* row = &rows[static_cast<size_t>(i % run) * 3];
      row[0] = Value::integer(i);
      row[1] = Value::text("Zeile " + std::to_string(i));
      row[2] = i % 100 == 0 ? Value::text(std::string(5000, 'q')) : Value::null();
      if ((i + 1) % run != 0) continue;
      if (inRuns) t->insertRows(rows);
      else t->insert({row, 3});
      if ((i + 1) % 500 == 0) {
        std::string line = std::to_string(i + 1) + "\n";
        if (::write(reportFd, line.data(), line.size()) < 0) ::_exit(3);
      }
    }
    db->close();
  } catch (...) {
    ::_exit(2);
  }
  ::_exit(0);
}

TEST(JetKill, KilledWriterLosesNothingThatReturned) {
  test::TempDir dir;
  std::mt19937 rng(20);
  for (int round = 0; round < 20; ++round) {
    std::string path = dir.file("kill" + std::to_string(round) + ".mdb");
    {
      auto db = createDatabase(path, round % 2 ? Format::kAce14 : Format::kJet4);
      db->createTable(
          "T", {column("N", ColumnType::kLong), column("S", ColumnType::kText, 40), column("M", ColumnType::kMemo)});
      db->close();
    }
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::close(fds[0]);
      childInserts(path, fds[1], round % 3 == 2);
    }
    ::close(fds[1]);
    std::this_thread::sleep_for(std::chrono::milliseconds(100 + rng() % 1500));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    std::string reports;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fds[0], buf, sizeof buf)) > 0) reports.append(buf, static_cast<size_t>(n));
    ::close(fds[0]);
    long returned = 0;
    size_t end = reports.rfind('\n');
    if (end != std::string::npos) {
      size_t start = reports.rfind('\n', end - 1);
      returned = std::stol(reports.substr(start == std::string::npos ? 0 : start + 1));
    }
    SCOPED_TRACE("round " + std::to_string(round) + ", " + std::to_string(returned) + " inserts had returned");
    auto db = openDatabase(path, {});
    Table* t = db->table("T");
    ASSERT_NE(t, nullptr);
    auto cursor = t->scan();
    std::vector<Value> row;
    long rows = 0;
    while (cursor->next(row)) {
      ASSERT_EQ(row[0].i, rows);
      ++rows;
    }
    EXPECT_GE(rows, returned);
    if (test::mdbtoolsAvailable()) {
      EXPECT_GE(test::mdbtoolsCount(path, "T"), returned);
    }
    if (test::mdbReaderAvailable() && round % 4 == 0) {
      EXPECT_EQ(test::compareWithMdbReader(path, *db, {"T"}), "");
    }
    db->close();
    // The insert that was cut short may have left its row without its count: the check
    // says so, and says nothing else.
    for (const std::string& p : checkDatabase(path))
      EXPECT_NE(p.find("rows, but its definition counts"), std::string::npos) << p;
  }
}

}  // namespace
}  // namespace qv::jet
