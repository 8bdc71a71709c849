// The desktop program's direct mode killed (SIGKILL) at random moments, at least 50
// times: the main window of direct_run_harness runs "Start Converting" on corpus tables
// and prints where the run is; after each kill the database must open in our engine,
// mdbtools and mdb-reader with every table the run had finished and, of the table it was
// on, a prefix of its rows no shorter than the position printed last.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <random>

#include "app/kill_trials.h"
#include "engine/paradox_discovery.h"
#include "support/temp_dir.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Outcome {
  bool killed = false;
  int exitStatus = -1;
  std::string output;
  Clock::duration ran{};  // from the run's first position to the end of the process
};

// Runs the harness with its own home folder; kills it `after` its first position line
// (the run under way: the program's start-up, which takes most of a short run's time,
// does not count) unless it ends first.
Outcome runHarness(const std::string& folder, const std::string& database, const std::string& home, Clock::duration after) {
  Outcome result;
  int fds[2];
  if (::pipe(fds) != 0) {
    ADD_FAILURE() << "pipe failed";
    return result;
  }
  const pid_t pid = ::fork();
  if (pid < 0) {
    ADD_FAILURE() << "fork failed";
    return result;
  }
  if (pid == 0) {
    ::dup2(fds[1], STDOUT_FILENO);
    ::close(fds[0]);
    ::close(fds[1]);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    const std::string program = std::string(QV_BINARY_DIR) + "/tests/ui/preview/direct_run_harness";
    ::execl(program.c_str(), program.c_str(), folder.c_str(), database.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(fds[1]);
  Clock::time_point deadline = Clock::now() + std::chrono::minutes(5);  // until the run starts
  std::optional<Clock::time_point> runStart;
  char buffer[4096];
  bool open = true;
  while (open) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) break;
    pollfd p{fds[0], POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(std::min<long long>(left, 50))) > 0) {
      const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
      if (n > 0) result.output.append(buffer, static_cast<size_t>(n));
      else open = false;
      if (!runStart && result.output.find("at ") != std::string::npos) {
        runStart = Clock::now();
        deadline = *runStart + after;
      }
    }
  }
  if (open) ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ssize_t n;
  while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0) result.output.append(buffer, static_cast<size_t>(n));
  ::close(fds[0]);
  result.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
  if (runStart) result.ran = Clock::now() - *runStart;
  return result;
}

// The last "at TABLE ROW" line.
void lastPosition(const std::string& output, KillTrial* trial) {
  size_t end = output.size();
  while (end > 0) {
    const size_t start = output.rfind('\n', end - 1);
    const size_t from = start == std::string::npos ? 0 : start + 1;
    const std::string line = output.substr(from, end - from);
    const size_t space = line.rfind(' ');
    if (line.rfind("at ", 0) == 0 && space > 3 && line.find('\n') == std::string::npos) {
      trial->table = line.substr(3, space - 3);
      trial->row = std::stol(line.substr(space + 1));
      return;
    }
    if (start == std::string::npos) return;
    end = start;
  }
}

TEST(DesktopKill, KilledDirectModeRunsLeaveEveryFinishedStatement) {
  QV_REQUIRE_TESTDATA();
  QV_REQUIRE_TOOL(mdbReaderAvailable(), "mdb-reader (tests/js)");
  QV_REQUIRE_TOOL(mdbtoolsAvailable(), "mdbtools");
  TempDir dir;
  const std::string home = dir.file("home");
  fs::create_directories(home);
  const std::string folder = killTrialFolder(dir);
  std::vector<std::string> order;
  for (const QString& t : engine::LoadParadoxTables(QString::fromStdString(folder))) order.insert(order.begin(), t.toStdString());
  ASSERT_GE(order.size(), 3u);

  std::mt19937 rng(11);
  int killed = 0, partial = 0, attempts = 0;
  for (jet::Format format : {jet::Format::kJet4, jet::Format::kAce12}) {
    const std::string ext = format == jet::Format::kJet4 ? ".mdb" : ".accdb";
    const std::string empty = dir.file("empty" + ext);
    jet::createDatabase(empty, format)->close();
    const std::string reference = dir.file("reference" + ext);
    fs::copy_file(empty, reference);
    const Outcome whole = runHarness(folder, reference, home, std::chrono::minutes(5));
    const Clock::duration length = whole.ran;
    ASSERT_EQ(whole.exitStatus, 0) << whole.output;
    ASSERT_NE(whole.output.find("message Done."), std::string::npos) << whole.output;
    ASSERT_NE(whole.output.find("at "), std::string::npos) << "the run printed no position";

    const std::vector<KillTrial> trials = killAtRandomMoments(
        dir, empty, ext, length, 0.05, rng, attempts, "last position",
        [&](const std::string& path, Clock::duration after) { return runHarness(folder, path, home, after); }, lastPosition);
    killed += static_cast<int>(trials.size());
    partial += expectKilledRunsIntact(reference, order, trials);
  }
  EXPECT_GE(killed, 50);
  // Kills between tables prove little; enough of them must land inside one (how many do
  // depends on the machine's speed, so the bar is a count, not a share).
  EXPECT_GE(partial, 10) << "too few kills landed inside a table";
  std::fprintf(stderr, "%d direct-mode runs killed (%d attempts), %d with a table partly copied\n", killed, attempts, partial);
}

}  // namespace
}  // namespace qv::test
