// Throughput of the SQL front end: N generated INSERT statements of 10 columns (the
// literal forms the converter writes: numbers, quoted texts with doubled apostrophes,
// dates as text, NULLs, binary as 0x...) run through sql::Executor.
//
//   bench_sql_insert [--statements N] [--front-end-only] [--batch] [--database FILE]
//
// With --batch each 10,000 generated statements run as one Executor::executeBatch call
// (the path of a conversion and of Execute SQL); otherwise one execute() call each.
// With --front-end-only the rows go to a table that discards them, so the figure is
// parsing and converting alone. Otherwise they go into a new database file (default:
// a temporary .mdb, removed afterwards) through the Jet engine.
// Statements are generated in batches outside the timed part.

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "db/io/error.h"
#include "db/jet/database.h"
#include "db/sql/executor.h"

namespace {

using qv::jet::ColumnDef;

constexpr const char* kCreate =
    "CREATE TABLE `BENCH` ([ID] INT,[NAME] TEXT,[CITY] TEXT,[PRICE] FLOAT,[QTY] INT,[WHEN] TEXT,"
    "[AMOUNT] DECIMAL,[NOTE] TEXT,[PIC] BLOB,[RATE] FLOAT);";

// A table that checks nothing and keeps nothing: the front end's cost alone.
class DiscardTable final : public qv::jet::Table {
 public:
  DiscardTable(std::string name, std::vector<ColumnDef> columns)
      : name_(std::move(name)), columns_(std::move(columns)) {}
  const std::string& name() const override { return name_; }
  const std::vector<ColumnDef>& columns() const override { return columns_; }
  int64_t rowCount() const override { return rows_; }
  void insert(std::span<const qv::jet::Value> values) override {
    rows_ += static_cast<int64_t>(values.size() / columns_.size());
  }
  std::unique_ptr<qv::jet::RowCursor> scan() override { return nullptr; }

 private:
  std::string name_;
  std::vector<ColumnDef> columns_;
  int64_t rows_ = 0;
};

class DiscardDatabase final : public qv::jet::Database {
 public:
  qv::jet::Format format() const override { return qv::jet::Format::kJet4; }
  const std::string& path() const override { return path_; }
  std::vector<qv::jet::CatalogEntry> catalog() override { return {}; }
  qv::jet::Table* table(const std::string& name) override {
    return table_ && table_->name() == name ? table_.get() : nullptr;
  }
  qv::jet::Table& createTable(const std::string& name, const std::vector<ColumnDef>& columns) override {
    table_ = std::make_unique<DiscardTable>(name, columns);
    return *table_;
  }
  void dropTable(const std::string&) override { table_.reset(); }
  void close() override {}

 private:
  std::string path_ = "discard";
  std::unique_ptr<DiscardTable> table_;
};

// Appends row i's statement, as the converter would write it.
void appendStatement(std::string& out, long i) {
  static const char* kNames[] = {"O''Brien", "Smith & Sons", "M\xc3\xbcller GmbH", "Zhang Wei", "d''Artagnan"};
  static const char* kCities[] = {"New York", "Berlin", "Paris", "S\xc3\xa3o Paulo", "Tokyo"};
  char buf[512];
  const bool nullName = i % 17 == 0;
  int n = std::snprintf(
      buf, sizeof buf,
      "INSERT INTO `BENCH` VALUES (%ld, %s%s%s, '%s', %ld.%02ld, %ld, '%02ld/%02ld/%ld %02ld:%02ld:%02ld', %ld.%ld, "
      "'Line %ld of the bench, with some words in it', '0x%08lx', %ld.%03ldE-2);",
      i, nullName ? "" : "'", nullName ? "NULL" : kNames[i % 5], nullName ? "" : "'", kCities[i % 5], i % 100000,
      i % 100, i % 1000, i % 12 + 1, i % 28 + 1, 1990 + i % 30, i % 24, i % 60, (i * 7) % 60, i * 3, i % 10, i,
      i * 2654435761L % 0xffffffffL, i % 977, i % 1000);
  out.append(buf, static_cast<size_t>(n));
}

// CPU time of this thread: on a shared machine the wall clock also counts other people's work.
double threadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

}  // namespace

int main(int argc, char** argv) {
  long total = 1000000;
  bool frontEndOnly = false;
  bool batched = false;
  std::string file;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--statements") && i + 1 < argc) {
      total = std::atol(argv[++i]);
    } else if (!std::strcmp(argv[i], "--front-end-only")) {
      frontEndOnly = true;
    } else if (!std::strcmp(argv[i], "--batch")) {
      batched = true;
    } else if (!std::strcmp(argv[i], "--database") && i + 1 < argc) {
      file = argv[++i];
    } else {
      std::fprintf(stderr, "usage: %s [--statements N] [--front-end-only] [--batch] [--database FILE]\n", argv[0]);
      return 2;
    }
  }

  std::unique_ptr<qv::jet::Database> db;
  bool removeAfter = false;
  try {
    if (frontEndOnly) {
      db = std::make_unique<DiscardDatabase>();
    } else {
      if (file.empty()) {
        file = "/tmp/quorvane-bench-" + std::to_string(::getpid()) + ".mdb";
        removeAfter = true;
      }
      std::remove(file.c_str());
      db = qv::jet::createDatabase(file, qv::jet::Format::kJet4);
    }
    qv::sql::Executor exec(*db);
    exec.execute(kCreate);

    constexpr long kBatch = 10000;
    std::string batch;
    std::vector<size_t> ends;
    std::vector<std::string_view> statements;
    double seconds = 0, cpuSeconds = 0;
    long done = 0;
    while (done < total) {
      const long count = std::min(kBatch, total - done);
      batch.clear();
      ends.clear();
      for (long k = 0; k < count; ++k) {
        appendStatement(batch, done + k);
        ends.push_back(batch.size());
      }
      const auto start = std::chrono::steady_clock::now();
      const double cpuStart = threadCpuSeconds();
      size_t from = 0;
      if (batched) {
        statements.clear();
        for (size_t end : ends) {
          statements.push_back(std::string_view(batch).substr(from, end - from));
          from = end;
        }
        exec.executeBatch(statements, [](size_t, const qv::DbError& e) -> bool { throw e; });
      } else {
        for (size_t end : ends) {
          exec.execute(std::string_view(batch).substr(from, end - from));
          from = end;
        }
      }
      seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      cpuSeconds += threadCpuSeconds() - cpuStart;
      done += count;
    }
    const auto closeStart = std::chrono::steady_clock::now();
    const double cpuCloseStart = threadCpuSeconds();
    db->close();
    const double closeSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - closeStart).count();
    const double cpuCloseSeconds = threadCpuSeconds() - cpuCloseStart;
    std::printf(
        "%s%s: %ld INSERT statements of 10 columns\n"
        "  wall clock: %.3f s + %.3f s close = %.0f statements/s (%.0f ns each)\n"
        "  CPU time:   %.3f s + %.3f s close = %.0f statements/s (%.0f ns each)\n",
        frontEndOnly ? "front end only (rows discarded)" : "front end + Jet engine",
        batched ? ", in batches of 10000" : ", one at a time", done, seconds, closeSeconds,
        static_cast<double>(done) / (seconds + closeSeconds), seconds * 1e9 / static_cast<double>(done), cpuSeconds,
        cpuCloseSeconds, static_cast<double>(done) / (cpuSeconds + cpuCloseSeconds),
        cpuSeconds * 1e9 / static_cast<double>(done));
  } catch (const qv::DbError& e) {
    std::fprintf(stderr, "bench_sql_insert: %s\n", e.what());
    if (removeAfter) std::remove(file.c_str());
    return 1;
  }
  if (removeAfter) std::remove(file.c_str());
  return 0;
}
