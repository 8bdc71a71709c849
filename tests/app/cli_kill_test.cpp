// quorvane-cli convert killed (SIGKILL) at random moments, at least 50 times: each time
// the database opens in our engine, mdbtools and mdb-reader, holds every table the run
// had finished and, of the table it was on, a prefix of its rows no shorter than the
// progress line had shown. The run sees a terminal (a pseudo-terminal), so it draws its
// progress line, which tells the test how far it had come.

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>

#include <QRegularExpression>
#include <QString>
#include <chrono>
#include <filesystem>
#include <optional>
#include <random>
#include <thread>

#include "app/kill_trials.h"
#include "engine/paradox_discovery.h"
#include "support/temp_dir.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string cli() { return std::string(QV_BINARY_DIR) + "/src/app/quorvane-cli"; }

struct Outcome {
  bool killed = false;
  int exitStatus = -1;
  std::string output;
  Clock::duration ran{};  // from the run's first output to the end of the process
};

// Runs the converter on a pseudo-terminal; kills it `after` its first output (the run
// under way: the program's start-up does not count) unless it ends first.
Outcome convertOnTerminal(const std::string& folder, const std::string& database, Clock::duration after) {
  Outcome result;
  int master = -1;
  const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
  if (pid < 0) {
    ADD_FAILURE() << "forkpty failed";
    return result;
  }
  if (pid == 0) {
    const std::string program = cli();
    ::execl(program.c_str(), program.c_str(), "convert", folder.c_str(), database.c_str(), "--overwrite", "no",
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  Clock::time_point deadline = Clock::now() + std::chrono::minutes(5);  // until the run shows itself
  std::optional<Clock::time_point> runStart;
  char buffer[4096];
  bool open = true;
  while (open) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) break;
    pollfd p{master, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(std::min<long long>(left, 50))) > 0) {
      const ssize_t n = ::read(master, buffer, sizeof buffer);
      if (n > 0) result.output.append(buffer, static_cast<size_t>(n));
      else open = false;  // the run ended and closed the terminal
      if (n > 0 && !runStart) {
        runStart = Clock::now();
        deadline = *runStart + after;
      }
    }
  }
  if (open) ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ssize_t n;
  while ((n = ::read(master, buffer, sizeof buffer)) > 0) result.output.append(buffer, static_cast<size_t>(n));
  ::close(master);
  result.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
  if (runStart) result.ran = Clock::now() - *runStart;
  return result;
}

// The last table and row the progress line showed.
void lastProgress(const std::string& output, KillTrial* trial) {
  static const QRegularExpression line(QStringLiteral("\\x1b\\[K([^\\r\\n\\x1b]*) \\[[#.]{24}\\] (\\d+)/-?\\d+ rows"));
  auto it = line.globalMatch(QString::fromUtf8(output.data(), static_cast<qsizetype>(output.size())));
  while (it.hasNext()) {
    const auto m = it.next();
    trial->table = m.captured(1).toStdString();
    trial->row = m.captured(2).toLong();
  }
}

TEST(CliKill, KilledConversionsLeaveEveryFinishedStatement) {
  QV_REQUIRE_TESTDATA();
  QV_REQUIRE_TOOL(mdbReaderAvailable(), "mdb-reader (tests/js)");
  QV_REQUIRE_TOOL(mdbtoolsAvailable(), "mdbtools");
  TempDir dir;
  const std::string folder = killTrialFolder(dir);
  // The run goes through the tables from the last one listed to the first.
  std::vector<std::string> order;
  for (const QString& t : engine::LoadParadoxTables(QString::fromStdString(folder))) order.insert(order.begin(), t.toStdString());
  ASSERT_GE(order.size(), 3u);

  std::mt19937 rng(10);
  int killed = 0, partial = 0, attempts = 0;
  for (jet::Format format : {jet::Format::kJet4, jet::Format::kAce12}) {
    const std::string ext = format == jet::Format::kJet4 ? ".mdb" : ".accdb";
    const std::string empty = dir.file("empty" + ext);
    jet::createDatabase(empty, format)->close();
    // The finished run: what "whole" means, and how long a run takes.
    const std::string reference = dir.file("reference" + ext);
    fs::copy_file(empty, reference);
    const Outcome whole = convertOnTerminal(folder, reference, std::chrono::minutes(5));
    const Clock::duration length = whole.ran;
    ASSERT_EQ(whole.exitStatus, 0) << whole.output;

    const std::vector<KillTrial> trials = killAtRandomMoments(
        dir, empty, ext, length, 0.02, rng, attempts, "last shown",
        [&](const std::string& path, Clock::duration after) { return convertOnTerminal(folder, path, after); }, lastProgress);
    killed += static_cast<int>(trials.size());
    partial += expectKilledRunsIntact(reference, order, trials);
  }
  EXPECT_GE(killed, 50);
  // Kills between tables prove little; enough of them must land inside one (how many do
  // depends on the machine's speed, so the bar is a count, not a share).
  EXPECT_GE(partial, 10) << "too few kills landed inside a table";
  std::fprintf(stderr, "%d conversions killed (%d attempts), %d with a table partly copied\n", killed, attempts, partial);
}

}  // namespace
}  // namespace qv::test
