// quorvane-cli create killed (SIGKILL) at random moments: the database's name holds
// either nothing or a whole database that opens in our engine and in mdb-reader, and
// where it holds nothing the next run creates it.

#include <gtest/gtest.h>
#include <fcntl.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "support/kill_trials.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string cli() { return std::string(QV_BINARY_DIR) + "/src/app/quorvane-cli"; }

// Runs `quorvane-cli create path` and kills it after `after` unless it ended first.
// Returns whether it was killed; an exit status other than 0 fails the test.
bool createKilledAfter(const std::string& path, Clock::duration after) {
  const pid_t pid = ::fork();
  if (pid < 0) {
    ADD_FAILURE() << "fork failed";
    return false;
  }
  if (pid == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, STDOUT_FILENO);
    ::dup2(null, STDERR_FILENO);
    const std::string program = cli();
    ::execl(program.c_str(), program.c_str(), "create", path.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  const Clock::time_point deadline = Clock::now() + after;
  int status = 0;
  pid_t done = 0;
  while ((done = ::waitpid(pid, &status, WNOHANG)) == 0 && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  if (done == 0) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
  }
  if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) return true;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "create " << path << " failed";
  return false;
}

TEST(CliKill, KilledCreationsLeaveNothingOrAWholeDatabase) {
  QV_REQUIRE_TOOL(mdbReaderAvailable(), "mdb-reader (tests/js)");
  TempDir dir;
  // The length of a whole run, the longest of three.
  Clock::duration length{};
  for (int i = 0; i < 3; ++i) {
    const Clock::time_point start = Clock::now();
    EXPECT_FALSE(createKilledAfter(dir.file("whole" + std::to_string(i) + ".mdb"), std::chrono::seconds(60)));
    length = std::max(length, Clock::now() - start);
  }
  std::mt19937 rng(12);
  int killed = 0, attempts = 0, empty = 0, halfway = 0;
  std::vector<std::string> made;
  while (killed < 40 && attempts < 200) {
    const std::string folder = dir.file("k" + std::to_string(++attempts));
    fs::create_directory(folder);
    const std::string path = folder + (attempts % 2 ? "/neu.mdb" : "/neu.accdb");
    const auto after =
        std::chrono::duration_cast<Clock::duration>(length * std::uniform_real_distribution<double>(0.2, 1.1)(rng));
    if (!createKilledAfter(path, after)) continue;
    ++killed;
    bool temporary = false;
    for (const auto& entry : fs::directory_iterator(folder))
      if (entry.path().extension() == ".new") temporary = true;
    halfway += temporary ? 1 : 0;
    if (!fs::exists(path)) {
      ++empty;
      // Nothing is in the way of the next run.
      EXPECT_FALSE(createKilledAfter(path, std::chrono::seconds(60)));
    }
    made.push_back(path);
  }
  std::printf("%d runs of create killed (%d attempts): %d left no database, %d were killed while building it\n", killed,
              attempts, empty, halfway);
  EXPECT_GE(killed, 30);
  const QJsonObject read = readWithMdbReader(made);
  for (const std::string& path : made) {
    SCOPED_TRACE(path);
    ASSERT_TRUE(fs::exists(path));
    try {
      EXPECT_EQ(jet::checkDatabase(path), std::vector<std::string>{});
    } catch (const std::exception& e) {
      ADD_FAILURE() << "our engine cannot open it: " << e.what();
    }
    const QJsonObject got = read.value(QString::fromStdString(path)).toObject();
    EXPECT_FALSE(got.contains("error")) << got.value("error").toString().toStdString();
  }
}

}  // namespace
}  // namespace qv::test
