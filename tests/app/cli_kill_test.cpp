// quorvane-cli convert killed (SIGKILL) at random moments, at least 50 times: each time
// the database opens in our engine, mdbtools and mdb-reader, holds every table the run
// had finished and, of the table it was on, a prefix of its rows no shorter than the
// progress line had shown. The run sees a terminal (a pseudo-terminal), so it draws its
// progress line, which tells the test how far it had come.

#include <gtest/gtest.h>
#include <pty.h>

#include <QRegularExpression>
#include <QString>
#include <chrono>
#include <filesystem>
#include <thread>

#include "support/kill_trials.h"
#include "engine/paradox_discovery.h"
#include "support/temp_dir.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string cli() { return std::string(QV_BINARY_DIR) + "/src/app/quorvane-cli"; }

// Runs the converter on a pseudo-terminal; kills it `after` its first output unless it
// ends first.
KillOutcome convertOnTerminal(const std::string& folder, const std::string& database, Clock::duration after) {
  int master = -1;
  const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
  if (pid < 0) {
    ADD_FAILURE() << "forkpty failed";
    return {};
  }
  if (pid == 0) {
    const std::string program = cli();
    ::execl(program.c_str(), program.c_str(), "convert", folder.c_str(), database.c_str(), "--overwrite", "no",
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  return collectOrKill(pid, master, after, [](const std::string& output) { return !output.empty(); });
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
  expectKillTrials(
      dir, folder, 10, 0.02, "conversions", "last shown",
      [&](const std::string& path, Clock::duration after) { return convertOnTerminal(folder, path, after); },
      lastProgress, [](const KillOutcome&) {});
}

}  // namespace
}  // namespace qv::test
