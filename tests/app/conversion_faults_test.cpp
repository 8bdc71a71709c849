// A whole conversion run against a database whose N-th write fails, for every N in turn:
// the disk is full, the device reports an I/O error, or only half the buffer reaches the
// file. Every time the run must say what failed and name the database file, and the file
// must open in our engine, in mdbtools and in mdb-reader and hold exactly the statements
// that succeeded: each row of a table whose INSERT returned, in order, value for value,
// and nothing of a statement that failed (unless it is there whole).

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "support/fault_env.h"
#include "db/jet/checker.h"
#include "db/jet/database.h"
#include "support/kill_trials.h"
#include "db/jet/reader_oracle.h"
#include "engine/access_catalog.h"
#include "engine/connection_strings.h"
#include "engine/conversion_run.h"
#include "engine/paradox_discovery.h"
#include "shell/messages.h"
#include "support/temp_dir.h"
#include "support/testdata.h"

namespace qv::engine {
namespace {

namespace fs = std::filesystem;

// What one run did, table by table: whether its CREATE TABLE returned and, for each of
// its INSERTs in order, whether it returned.
struct TableLog {
  bool created = false;
  bool createFailed = false;
  std::vector<bool> inserts;  // index r: the statement of row r + 1
};

struct Failure {
  int step;
  QString description;
  QString table;
  long row;
};

// The host of the desktop program's direct mode without a window: the fields are fixed,
// questions answer Yes, and every statement's outcome is written down.
class DirectHost final : public ConversionHost {
 public:
  DirectHost(QString folder, QString database) : folder_(std::move(folder)), database_(std::move(database)) {}
  void attach(const ConversionRun* run) { run_ = run; }

  QString paradoxFolder() const override { return folder_; }
  bool previewMode() const override { return false; }
  bool perFilePreview() const override { return true; }
  bool perTablePreview() const override { return false; }
  QString accessConnectionString() const override { return AccessConnString(database_, QString()); }
  void copyDB() override {}
  bool hasParadoxTables() override { return HasParadoxTables(folder_); }
  QStringList loadParadoxTables() override { return LoadParadoxTables(folder_); }
  QStringList loadAccessTables() override {
    QStringList list;
    LoadAccessTables(list, database_, AccessFields{database_, QString()});
    return list;
  }
  ConnectionSlots& connections() override { return conns_; }
  PreviewFlags& previewFlags() override { return flags_; }
  void setBusyPointer(bool) override {}
  void setProgressText(const QString&) override {}
  void setProgressValue(double) override {}
  void clearPreviewScript() override {}
  void appendPreviewLine(const QString&) override {}
  void clearDatatypeRecord() override {}
  void appendDatatypeRow(const DatatypeRow&) override {}
  void showPreview() override {}
  void yield() override {}

  void executed(const QString& statement) override {
    TableLog& t = log[run_->currentTable().toStdString()];
    if (statement.startsWith(QLatin1String("CREATE"))) {
      t.created = true;
    } else if (statement.startsWith(QLatin1String("INSERT"))) {
      setInsert(t, run_->currentRow(), true);
    }
  }
  void reportFailure(const QString&, int step, const QString& description, const QString& table, long row) override {
    failures.push_back({step, description, table, row});
    if (step == 302) log[table.toStdString()].createFailed = true;
    if (step == 406) setInsert(log[table.toStdString()], row, false);
  }

  std::map<std::string, TableLog> log;
  std::vector<Failure> failures;

 private:
  static void setInsert(TableLog& t, long row, bool ok) {
    if (row < 1) return;
    if (t.inserts.size() < static_cast<size_t>(row)) t.inserts.resize(static_cast<size_t>(row), false);
    t.inserts[static_cast<size_t>(row - 1)] = ok;
  }

  QString folder_, database_;
  const ConversionRun* run_ = nullptr;
  ConnectionSlots conns_;
  PreviewFlags flags_;
};

struct Trial {
  std::string path;
  std::string what;  // fault and write number, for messages
  std::map<std::string, TableLog> log;
};

std::string faultName(io::Fault f) {
  switch (f) {
    case io::Fault::kDiskFull: return "disk full";
    case io::Fault::kIoError: return "I/O error";
    case io::Fault::kShortWrite: return "short write";
    default: return "other";
  }
}

class ConversionFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    QV_REQUIRE_TESTDATA();
    QV_REQUIRE_TOOL(test::mdbReaderAvailable(), "mdb-reader (tests/js)");
    QV_REQUIRE_TOOL(test::mdbtoolsAvailable(), "mdbtools");
    // A small folder of corpus tables, linked (read in place): many short rows, and a
    // table with nearly every field type, memo and binary ones among them.
    const std::string corpus = test::testdataDir() + "/paradox/";
    px_ = dir_.file("px");
    fs::create_directories(px_);
    for (const char* file : {"leonhad-paradoxdriver/areas/STATES.DB", "celebithil-Rparadox/TypSammlung.DB",
                             "celebithil-Rparadox/TypSammlung.MB"}) {
      fs::create_symlink(corpus + file, px_ + "/" + fs::path(file).filename().string());
    }
  }

  // Converts the folder into a copy of the empty database at path, through env.
  DirectHost convert(const std::string& path, io::Env& env) {
    io::ScopedDefaultEnv scoped(env);
    shell::RecordingMessages messages;
    DirectHost host(QString::fromStdString(px_), QString::fromStdString(path));
    ConversionRun run(host, QLocale(QLocale::English, QLocale::UnitedStates));
    host.attach(&run);
    run.start();
    return host;
  }

  test::TempDir dir_;
  std::string px_;
};

TEST_F(ConversionFaults, EveryFailingWriteLeavesTheStatementsThatReturned) {
  for (jet::Format format : {jet::Format::kJet4, jet::Format::kAce12}) {
    const std::string ext = format == jet::Format::kJet4 ? ".mdb" : ".accdb";
    SCOPED_TRACE(ext);
    const std::string empty = dir_.file("empty" + ext);
    jet::createDatabase(empty, format)->close();

    // The run without faults: how many writes it makes and what it leaves.
    const std::string reference = dir_.file("reference" + ext);
    fs::copy_file(empty, reference);
    io::FaultEnv counting(io::posixEnv());
    counting.arm(0, io::Fault::kNone);
    DirectHost clean = convert(reference, counting);
    ASSERT_TRUE(clean.failures.empty()) << clean.failures.front().description.toStdString();
    const uint64_t writes = counting.writes();
    ASSERT_GT(writes, 20u);

    // Every write fails once, in each of the three ways. The .accdb pass, whose engine
    // path is the same, takes the short write only (the hardest of the three).
    std::vector<Trial> trials;
    std::vector<io::Fault> faults = {io::Fault::kShortWrite};
    if (format == jet::Format::kJet4) faults = {io::Fault::kDiskFull, io::Fault::kIoError, io::Fault::kShortWrite};
    for (io::Fault fault : faults) {
      for (uint64_t n = 1; n <= writes; ++n) {
        Trial trial;
        trial.path = dir_.file("t" + std::to_string(static_cast<int>(fault)) + "_" + std::to_string(n) + ext);
        trial.what = faultName(fault) + " at write " + std::to_string(n) + " of " + std::to_string(writes);
        fs::copy_file(empty, trial.path);
        io::FaultEnv env(io::posixEnv());
        env.arm(n, fault);
        DirectHost host = convert(trial.path, env);
        SCOPED_TRACE(trial.what);
        ASSERT_TRUE(env.fired());
        // The failure is reported, and its text names the database file. A write that
        // is not the database's own (its lock file beside it) may fail without harm; the
        // readers below then find the whole conversion.
        bool named = false;
        for (const auto& f : host.failures) named = named || f.description.contains(QString::fromStdString(trial.path));
        if (!host.failures.empty()) {
          EXPECT_TRUE(named) << host.failures.front().description.toStdString();
        }
        // Our own engine finds the file consistent.
        for (const std::string& problem : jet::checkDatabase(trial.path)) ADD_FAILURE() << problem;
        trial.log = std::move(host.log);
        trials.push_back(std::move(trial));
      }
    }

    // The independent readers, all files at once.
    std::vector<std::string> files{reference};
    for (const Trial& t : trials) files.push_back(t.path);
    const QJsonObject read = test::readWithMdbReader(files);
    const QJsonObject ref = read.value(QString::fromStdString(reference)).toObject().value("tables").toObject();
    ASSERT_EQ(ref.size(), 2);
    size_t failedPresent = 0;
    for (const Trial& t : trials) {
      SCOPED_TRACE(t.what);
      const QJsonObject got = read.value(QString::fromStdString(t.path)).toObject();
      ASSERT_FALSE(got.contains("error")) << got.value("error").toString().toStdString();
      const QJsonObject tables = got.value("tables").toObject();
      std::set<std::string> created;
      for (const auto& [name, log] : t.log) {
        if (log.created) {
          created.insert(name);
        } else {
          // Rows can only go into a table that was made.
          EXPECT_EQ(std::count(log.inserts.begin(), log.inserts.end(), true), 0) << name;
        }
      }
      std::set<std::string> present;
      for (const QString& name : tables.keys()) present.insert(name.toStdString());
      EXPECT_EQ(present, created);
      const std::vector<std::string> listed = test::mdbtoolsTables(t.path);
      EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()), created);
      for (const std::string& name : created) {
        SCOPED_TRACE(name);
        const TableLog& log = t.log.at(name);
        const QJsonArray want = ref.value(QString::fromStdString(name)).toArray();
        const QJsonArray have = tables.value(QString::fromStdString(name)).toArray();
        ASSERT_LE(log.inserts.size(), static_cast<size_t>(want.size()));
        // The rows found are the rows whose INSERT returned, in order; a failed INSERT's
        // row may be there only whole and in its place.
        qsizetype h = 0;
        for (size_t r = 0; r < log.inserts.size(); ++r) {
          const QJsonValue row = want.at(static_cast<qsizetype>(r));
          if (log.inserts[r]) {
            ASSERT_LT(h, have.size()) << "row " << r + 1 << " of a returned INSERT is missing";
            ASSERT_EQ(have.at(h), row) << "row " << r + 1;
            ++h;
          } else if (h < have.size() && have.at(h) == row) {
            ++failedPresent;
            ++h;
          }
        }
        EXPECT_EQ(h, have.size()) << "rows that no statement wrote";
        EXPECT_EQ(test::mdbtoolsCount(t.path, name), have.size());
      }
    }
    EXPECT_EQ(failedPresent, 0u) << "INSERTs reported as failed whose rows are in the database";
    std::fprintf(stderr, "%s: %zu runs with a failing write (%llu writes per run)\n", ext.c_str(), trials.size(),
                 static_cast<unsigned long long>(writes));
  }
}

}  // namespace
}  // namespace qv::engine
