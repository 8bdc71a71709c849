// The desktop program's direct mode killed (SIGKILL) at random moments, at least 50
// times: the main window of direct_run_harness runs "Start Converting" on corpus tables
// and prints where the run is; after each kill the database must open in our engine,
// mdbtools and mdb-reader with every table the run had finished and, of the table it was
// on, a prefix of its rows no shorter than the position printed last.

#include <gtest/gtest.h>
#include <fcntl.h>

#include <chrono>
#include <filesystem>

#include "support/kill_trials.h"
#include "engine/paradox_discovery.h"
#include "support/temp_dir.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Runs the harness with its own home folder; kills it `after` its first position line
// unless it ends first.
KillOutcome runHarness(const std::string& folder, const std::string& database, const std::string& home,
                       Clock::duration after) {
  int fds[2];
  if (::pipe(fds) != 0) {
    ADD_FAILURE() << "pipe failed";
    return {};
  }
  const pid_t pid = ::fork();
  if (pid < 0) {
    ADD_FAILURE() << "fork failed";
    return {};
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
  return collectOrKill(pid, fds[0], after,
                       [](const std::string& output) { return output.find("at ") != std::string::npos; });
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
  expectKillTrials(
      dir, folder, 11, 0.05, "direct-mode runs", "last position",
      [&](const std::string& path, Clock::duration after) { return runHarness(folder, path, home, after); },
      lastPosition,
      [](const KillOutcome& whole) {
        ASSERT_NE(whole.output.find("message Done."), std::string::npos) << whole.output;
        ASSERT_NE(whole.output.find("at "), std::string::npos) << "the run printed no position";
      });
}

}  // namespace
}  // namespace qv::test
