// Insert speed: ROWS rows of 10 mixed columns into a new table of a new Jet 4 database,
// then MEMO_ROWS rows that each carry a 2 KB memo; prints rows per second of each, once
// through insertRows() in runs of BATCH rows (the path for a run of rows) and once row by
// row through insert() (every row its own operation, in the file when it returns).
// The goals: 500,000 rows/s for the first, 30,000 rows/s for the second.
//
//   bench_jet_insert [ROWS [MEMO_ROWS [FOLDER [BATCH]]]]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "db/jet/database.h"
#include "jet_bench.h"

using namespace qv::jet;
using qv::bench::column;
using qv::bench::seconds;

namespace {

void fillMixed(Value* row, long i) {
  row[0] = Value::integer(i);
  row[1] = Value::text("Customer " + std::to_string(i));
  row[2] = Value::text(i % 3 ? "Hamburg" : "München");
  row[3] = Value::real(static_cast<double>(i) * 1.5);
  row[4] = Value::currency(i * 100);
  row[5] = Value::integer(i % 30000);
  row[6] = Value::dateTime(40000.0 + static_cast<double>(i % 5000));
  row[7] = Value::boolean(i % 2 == 0);
  row[8] = Value::integer(i % 256);
  row[9] = Value::integer(i * 3 % 1000000);
}

std::vector<ColumnDef> mixedColumns() {
  return {column("ID", ColumnType::kLong),        column("Name", ColumnType::kText, 50),
          column("City", ColumnType::kText, 30),  column("Amount", ColumnType::kDouble),
          column("Price", ColumnType::kCurrency), column("Count", ColumnType::kInteger),
          column("Day", ColumnType::kDateTime),   column("Flag", ColumnType::kBoolean),
          column("Code", ColumnType::kByte),      column("Total", ColumnType::kLong)};
}

// Rows [0, rows) into table, batch rows per insertRows() call (1: insert() per row).
// The values are made inside the timed part, as a caller's would be.
double run(Table& table, long rows, long batch, size_t width, void (*fill)(Value*, long)) {
  std::vector<Value> values(static_cast<size_t>(batch) * width);
  auto start = std::chrono::steady_clock::now();
  for (long first = 0; first < rows; first += batch) {
    long count = std::min(batch, rows - first);
    for (long k = 0; k < count; ++k) fill(&values[static_cast<size_t>(k) * width], first + k);
    if (batch == 1) table.insert({values.data(), width});
    else table.insertRows({values.data(), static_cast<size_t>(count) * width});
  }
  return static_cast<double>(rows) / seconds(start);
}

std::string gMemo;

void fillMemo(Value* row, long i) {
  row[0] = Value::integer(i);
  row[1] = Value::text(gMemo);
}

}  // namespace

int main(int argc, char** argv) {
  long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
  long memoRows = argc > 2 ? std::atol(argv[2]) : 100000;
  std::string folder = argc > 3 ? argv[3] : std::filesystem::temp_directory_path().string();
  long batch = argc > 4 ? std::max(1L, std::atol(argv[4])) : 1000;
  std::string path = folder + "/bench_jet_insert.mdb";
  std::filesystem::remove(path);
  gMemo.assign(2048, 'x');
  for (size_t k = 0; k < gMemo.size(); ++k) gMemo[k] = static_cast<char>('a' + k % 26);

  auto db = createDatabase(path, Format::kJet4);
  Table& bulk = db->createTable("Bench", mixedColumns());
  std::printf("%ld rows of 10 columns, insertRows (%ld a call): %.0f rows/s\n", rows, batch,
              run(bulk, rows, batch, 10, fillMixed));
  long single = std::max(1L, rows / 5);
  Table& one = db->createTable("BenchSingle", mixedColumns());
  std::printf("%ld rows of 10 columns, insert: %.0f rows/s\n", single, run(one, single, 1, 10, fillMixed));

  Table& memos = db->createTable("Memos", {column("ID", ColumnType::kLong), column("Note", ColumnType::kMemo)});
  std::printf("%ld rows with a 2 KB memo, insertRows (%ld a call): %.0f rows/s\n", memoRows, batch,
              run(memos, memoRows, batch, 2, fillMemo));
  long singleMemo = std::max(1L, memoRows / 5);
  Table& memoOne = db->createTable("MemosSingle", {column("ID", ColumnType::kLong), column("Note", ColumnType::kMemo)});
  std::printf("%ld rows with a 2 KB memo, insert: %.0f rows/s\n", singleMemo, run(memoOne, singleMemo, 1, 2, fillMemo));

  auto start = std::chrono::steady_clock::now();
  db->close();
  std::printf("close (sync): %.2f s; file %.1f MB\n", seconds(start),
              static_cast<double>(std::filesystem::file_size(path)) / 1e6);
  std::filesystem::remove(path);
  return 0;
}
