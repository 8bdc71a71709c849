#pragma once
// What a conversion killed at a random moment must leave: a database that opens in our
// engine, in mdbtools and in mdb-reader, in which every table the run had finished is
// whole, the table it was working on holds a prefix of its rows (at least the rows it had
// reported as done), and no table it had not come to exists. The finished run's database
// is the measure of "whole" and "prefix", row for row and value for value.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "db/jet/checker.h"
#include "db/jet/database.h"
#include "db/jet/file/journal.h"
#include "db/jet/reader_oracle.h"
#include "engine/paradox_discovery.h"
#include "support/temp_dir.h"
#include "support/testdata.h"

namespace qv::test {

// One killed run: its database and the last progress it reported (table and the row it
// had come to; rows before that one had been written).
struct KillTrial {
  std::string path;
  std::string table;
  long row = 0;
  std::string what;
};

// How a run that may be killed ended.
struct KillOutcome {
  bool killed = false;
  int exitStatus = -1;
  std::string output;
  std::chrono::steady_clock::duration ran{};  // from the run's start (see below) to the end of the process
};

// Reads the output of child `pid` from `fd` (then closed) until the child ends, or kills
// it `after` the run has started: when started(output so far) first holds. The program's
// start-up, which takes most of a short run's time, does not count.
inline KillOutcome collectOrKill(pid_t pid, int fd, std::chrono::steady_clock::duration after,
                                 const std::function<bool(const std::string&)>& started) {
  using Clock = std::chrono::steady_clock;
  KillOutcome result;
  Clock::time_point deadline = Clock::now() + std::chrono::minutes(5);  // until the run starts
  std::optional<Clock::time_point> runStart;
  char buffer[4096];
  bool open = true;
  while (open) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(std::min<long long>(left, 50))) > 0) {
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n > 0) result.output.append(buffer, static_cast<size_t>(n));
      else open = false;  // the run ended and closed its end
      if (!runStart && started(result.output)) {
        runStart = Clock::now();
        deadline = *runStart + after;
      }
    }
  }
  if (open) ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ssize_t n;
  while ((n = ::read(fd, buffer, sizeof buffer)) > 0) result.output.append(buffer, static_cast<size_t>(n));
  ::close(fd);
  result.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
  if (runStart) result.ran = Clock::now() - *runStart;
  return result;
}

// mdb-reader's view of many files at once: file -> {"tables": {name: rows}} or {"error"}.
inline QJsonObject readWithMdbReader(const std::vector<std::string>& files) {
  QJsonObject all;
  for (size_t i = 0; i < files.size(); i += 100) {
    std::string command = "node " + shellQuote(nodeToolsDir() + "/mdb_dump_many.mjs");
    for (size_t j = i; j < std::min(files.size(), i + 100); ++j) command += " " + shellQuote(files[j]);
    std::string out;
    EXPECT_EQ(runCommand(command, &out), 0);
    const QJsonObject part = QJsonDocument::fromJson(QByteArray::fromStdString(out)).object();
    for (auto it = part.begin(); it != part.end(); ++it) all.insert(it.key(), it.value());
  }
  return all;
}

// A folder of the corpus's geog tables, each linked three times over (read in place):
// nine tables, so that a run is long enough for many kills to land inside a table.
inline std::string killTrialFolder(const TempDir& dir) {
  const std::string corpus = testdataDir() + "/paradox/leonhad-paradoxdriver/geog";
  const std::string folder = dir.file("geog");
  std::filesystem::create_directories(folder);
  for (const char* table : {"County", "tblAC", "tblsttes"}) {
    for (const char* copy : {"", "2", "3"}) {
      std::filesystem::create_symlink(corpus + "/" + table + ".DB", folder + "/" + table + copy + ".DB");
    }
  }
  return folder;
}

// Checks every killed run against the finished one. order: the tables in the order the
// run converts them. Returns how many trials left a table partly copied.
inline int expectKilledRunsIntact(const std::string& reference, const std::vector<std::string>& order,
                                  const std::vector<KillTrial>& trials) {
  std::vector<std::string> files{reference};
  for (const KillTrial& t : trials) files.push_back(t.path);
  // Our engine opens each file first, as the user's next run would: a change the kill
  // cut short inside CREATE TABLE is taken back from its journal then. The other
  // readers see the file after that.
  std::map<std::string, std::vector<std::string>> problemsOf;
  std::map<std::string, std::string> openErrors;
  for (const KillTrial& t : trials) {
    try {
      problemsOf[t.path] = jet::checkDatabase(t.path);
    } catch (const std::exception& e) {
      openErrors[t.path] = e.what();
    }
  }
  const QJsonObject read = readWithMdbReader(files);
  const QJsonObject whole = read.value(QString::fromStdString(reference)).toObject().value("tables").toObject();
  EXPECT_EQ(static_cast<size_t>(whole.size()), order.size());
  int partial = 0;
  for (const KillTrial& t : trials) {
    SCOPED_TRACE(t.what);
    if (openErrors.count(t.path)) {
      ADD_FAILURE() << "our engine cannot open it: " << openErrors[t.path];
      continue;
    }
    const std::vector<std::string>& problems = problemsOf[t.path];
    const QJsonObject got = read.value(QString::fromStdString(t.path)).toObject();
    if (got.contains("error")) {
      ADD_FAILURE() << "mdb-reader cannot read it: " << got.value("error").toString().toStdString();
      continue;
    }
    const QJsonObject tables = got.value("tables").toObject();
    // Our engine: the file opens and is consistent; a table the kill caught being made is
    // there whole or not at all. Rows whose insert was cut short may have reached their
    // page without the table's count. Nothing else may be wrong.
    // The table the kill cut short: the last one the run had come to.
    std::string cut;
    for (auto it = order.rbegin(); it != order.rend() && cut.empty(); ++it) {
      if (tables.contains(QString::fromStdString(*it))) cut = *it;
    }
    for (const std::string& p : problems) EXPECT_NE(p.find("rows, but its definition counts"), std::string::npos) << p;
    EXPECT_FALSE(std::filesystem::exists(jet::journalPath(t.path))) << "a journal was left after the file was opened";
    const std::vector<std::string> listed = mdbtoolsTables(t.path);
    EXPECT_EQ(listed.size(), static_cast<size_t>(tables.size())) << "mdb-tables and mdb-reader disagree";
    const auto reportedAt = std::find(order.begin(), order.end(), t.table);
    bool reached = true;  // tables before the first one missing
    for (auto it = order.begin(); it != order.end(); ++it) {
      const QString name = QString::fromStdString(*it);
      SCOPED_TRACE(*it);
      if (!tables.contains(name)) {
        // Row 1 comes after the table's CREATE TABLE returned.
        const bool created = reportedAt != order.end() && (it < reportedAt || (it == reportedAt && t.row >= 1));
        EXPECT_FALSE(created) << "a table the run had made is missing";
        reached = false;
        continue;
      }
      EXPECT_TRUE(reached) << "a table after a missing one exists";
      EXPECT_NE(std::find(listed.begin(), listed.end(), *it), listed.end()) << "mdb-tables does not list it";
      const QJsonArray want = whole.value(name).toArray();
      const QJsonArray have = tables.value(name).toArray();
      EXPECT_LE(have.size(), want.size());
      for (qsizetype r = 0; r < have.size() && r < want.size(); ++r) {
        if (have.at(r) != want.at(r)) {
          ADD_FAILURE() << "row " << r + 1 << " differs from the finished run's";
          break;
        }
      }
      if (reportedAt != order.end() && it < reportedAt) {
        EXPECT_EQ(have.size(), want.size()) << "a table the run had finished is not whole";
      }
      if (it == reportedAt) {
        EXPECT_GE(have.size(), t.row - 1) << "rows reported as written are missing";
      }
      if (have.size() < want.size()) ++partial;
      // mdbtools goes by the table's row count. Rows go onto their pages before the count
      // takes them in, so in the table the kill cut short the rows of the step being
      // written (never reported as written) may be there uncounted, as the engine's check
      // allows; anywhere else the count is exact.
      const long counted = mdbtoolsCount(t.path, *it);
      EXPECT_TRUE(counted == have.size() || (counted < have.size() && *it == cut))
          << "mdb-count says " << counted << ", mdb-reader finds " << have.size();
      if (it == reportedAt) {
        EXPECT_GE(counted, t.row - 1) << "rows reported as written are not counted";
      }
    }
  }
  return partial;
}

// Starts runs into copies of the empty database, each killed after a random share (from
// `earliest` to 98%) of a whole run's length, until 25 were killed or this call made 120
// attempts (`attempts` counts them across calls). run(path, after) returns an outcome
// with `killed` and `output`; position(output, trial) reads the last position the run
// reported.
template <typename Run, typename Position>
std::vector<KillTrial> killAtRandomMoments(const TempDir& dir, const std::string& empty, const std::string& ext,
                                           std::chrono::steady_clock::duration length, double earliest,
                                           std::mt19937& rng, int& attempts, const std::string& positionLabel, Run run,
                                           Position position) {
  using Clock = std::chrono::steady_clock;
  std::vector<KillTrial> trials;
  const int cap = attempts + 120;
  while (trials.size() < 25 && attempts < cap) {
    ++attempts;
    KillTrial trial;
    trial.path = dir.file("k" + std::to_string(attempts) + ext);
    std::filesystem::copy_file(empty, trial.path);
    const auto after = std::chrono::duration_cast<Clock::duration>(
        length * std::uniform_real_distribution<double>(earliest, 0.98)(rng));
    const auto outcome = run(trial.path, after);
    if (!outcome.killed) {
      // It ended first: runs go quicker now than the measured one (a machine less busy),
      // so the moments to kill at come from the quickest run seen.
      length = std::min(length, outcome.ran);
      std::filesystem::remove(trial.path);
      continue;
    }
    position(outcome.output, &trial);
    trial.what = "killed after " +
                 std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(after).count()) + " ms (" + ext +
                 "), " + positionLabel + ": " + trial.table + " row " + std::to_string(trial.row);
    trials.push_back(trial);
  }
  return trials;
}

// The whole trial of one program: for a new .mdb and a new .accdb, a finished run of the
// kill-trial folder (checked by checkWhole) is the measure; then runs into copies of the
// empty database are killed at random moments (from `earliest` of the finished run's
// length on) and each left database is checked against it. At least 50 kills, and at
// least 10 of them inside a table: a quick machine spends little of a run inside the
// folder's small tables, so up to two more rounds are run until 10 kills landed there.
// run(path, after) -> KillOutcome; position(output, trial) reads where the run had come
// to; `what` names the runs in the summary line.
template <typename Run, typename Position>
void expectKillTrials(const TempDir& dir, const std::string& folder, unsigned seed, double earliest, const char* what,
                      const std::string& positionLabel, Run run, Position position,
                      const std::function<void(const KillOutcome&)>& checkWhole) {
  // The run goes through the tables from the last one listed to the first.
  std::vector<std::string> order;
  for (const QString& t : engine::LoadParadoxTables(QString::fromStdString(folder)))
    order.insert(order.begin(), t.toStdString());
  ASSERT_GE(order.size(), 3u);
  std::mt19937 rng(seed);
  int killed = 0, partial = 0, attempts = 0;
  for (int round = 0; round < 3 && (round == 0 || partial < 10); ++round) {
    for (jet::Format format : {jet::Format::kJet4, jet::Format::kAce12}) {
      const std::string ext = format == jet::Format::kJet4 ? ".mdb" : ".accdb";
      const std::string empty = dir.file("empty" + std::to_string(round) + ext);
      jet::createDatabase(empty, format)->close();
      // The finished run: what "whole" means, and how long a run takes.
      const std::string reference = dir.file("reference" + std::to_string(round) + ext);
      std::filesystem::copy_file(empty, reference);
      const KillOutcome whole = run(reference, std::chrono::minutes(5));
      ASSERT_EQ(whole.exitStatus, 0) << whole.output;
      checkWhole(whole);
      if (::testing::Test::HasFatalFailure()) return;
      const std::vector<KillTrial> trials =
          killAtRandomMoments(dir, empty, ext, whole.ran, earliest, rng, attempts, positionLabel, run, position);
      killed += static_cast<int>(trials.size());
      partial += expectKilledRunsIntact(reference, order, trials);
    }
  }
  EXPECT_GE(killed, 50);
  // Kills between tables prove little; enough of them must land inside one (how many do
  // depends on the machine's speed, so the bar is a count, not a share).
  EXPECT_GE(partial, 10) << "too few kills landed inside a table";
  std::fprintf(stderr, "%d %s killed (%d attempts), %d with a table partly copied\n", killed, what, attempts, partial);
}

}  // namespace qv::test
