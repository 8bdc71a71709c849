#pragma once
// What a conversion killed at a random moment must leave: a database that opens in our
// engine, in mdbtools and in mdb-reader, in which every table the run had finished is
// whole, the table it was working on holds a prefix of its rows (at least the rows it had
// reported as done), and no table it had not come to exists. The finished run's database
// is the measure of "whole" and "prefix", row for row and value for value.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "db/jet/checker.h"
#include "db/jet/database.h"
#include "db/jet/reader_oracle.h"
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

inline std::string shellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
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
  const QJsonObject read = readWithMdbReader(files);
  const QJsonObject whole = read.value(QString::fromStdString(reference)).toObject().value("tables").toObject();
  EXPECT_EQ(static_cast<size_t>(whole.size()), order.size());
  int partial = 0;
  for (const KillTrial& t : trials) {
    SCOPED_TRACE(t.what);
    std::vector<std::string> problems;
    try {
      problems = jet::checkDatabase(t.path);
    } catch (const std::exception& e) {
      ADD_FAILURE() << "our engine cannot open it: " << e.what();
      continue;
    }
    const QJsonObject got = read.value(QString::fromStdString(t.path)).toObject();
    if (got.contains("error")) {
      ADD_FAILURE() << "mdb-reader cannot read it: " << got.value("error").toString().toStdString();
      continue;
    }
    const QJsonObject tables = got.value("tables").toObject();
    // Our engine: the file opens and is consistent. Rows whose insert was cut short may
    // have reached their page without the table's count. A kill inside CREATE TABLE (the
    // last table there is still empty) may leave that table's catalogue row without its
    // index entries or permissions: the catalogue is not written in one piece, and the
    // check says so. Nothing else may be wrong.
    // The table the kill cut short: the last one the run had come to.
    std::string cut;
    for (auto it = order.rbegin(); it != order.rend() && cut.empty(); ++it) {
      if (tables.contains(QString::fromStdString(*it))) cut = *it;
    }
    const bool creating = !cut.empty() && tables.value(QString::fromStdString(cut)).toArray().isEmpty();
    for (const std::string& p : problems) {
      const bool counted = p.find("rows, but its definition counts") != std::string::npos;
      const bool catalogue = (p.rfind("table MSysObjects, index", 0) == 0 || p.rfind("table MSysACEs, index", 0) == 0) &&
                             p.find("has no index entry") != std::string::npos;
      const bool permissions = p.find("has no permission rows in MSysACEs") != std::string::npos;
      EXPECT_TRUE(counted || (creating && (catalogue || permissions))) << p;
    }
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
// `earliest` to 98%) of a whole run's length, until 25 were killed or 120 attempts were
// made in all. run(path, after) returns an outcome with `killed` and `output`;
// position(output, trial) reads the last position the run reported.
template <typename Run, typename Position>
std::vector<KillTrial> killAtRandomMoments(const TempDir& dir, const std::string& empty, const std::string& ext,
                                           std::chrono::steady_clock::duration length, double earliest, std::mt19937& rng,
                                           int& attempts, const std::string& positionLabel, Run run, Position position) {
  using Clock = std::chrono::steady_clock;
  std::vector<KillTrial> trials;
  while (trials.size() < 25 && attempts < 120) {
    ++attempts;
    KillTrial trial;
    trial.path = dir.file("k" + std::to_string(attempts) + ext);
    std::filesystem::copy_file(empty, trial.path);
    const auto after = std::chrono::duration_cast<Clock::duration>(length * std::uniform_real_distribution<double>(earliest, 0.98)(rng));
    const auto outcome = run(trial.path, after);
    if (!outcome.killed) {
      std::filesystem::remove(trial.path);
      continue;
    }
    position(outcome.output, &trial);
    trial.what = "killed after " + std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(after).count()) +
                 " ms (" + ext + "), " + positionLabel + ": " + trial.table + " row " + std::to_string(trial.row);
    trials.push_back(trial);
  }
  return trials;
}

}  // namespace qv::test
