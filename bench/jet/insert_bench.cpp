// Insert speed: ROWS rows of 10 mixed columns into a new table of a new Jet 4 database,
// then MEMO_ROWS rows that each carry a 2 KB memo; prints rows per second of each.
// The goals: 500,000 rows/s for the first, 30,000 rows/s for the second.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "db/jet/database.h"

using namespace qv::jet;

namespace {

ColumnDef column(const char* name, ColumnType type, int length = 0) {
  ColumnDef c;
  c.name = name;
  c.type = type;
  c.length = length;
  return c;
}

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
  long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
  long memoRows = argc > 2 ? std::atol(argv[2]) : 100000;
  std::string folder = argc > 3 ? argv[3] : std::filesystem::temp_directory_path().string();
  std::string path = folder + "/bench_jet_insert.mdb";
  std::filesystem::remove(path);
  auto db = createDatabase(path, Format::kJet4);
  Table& t = db->createTable("Bench", {column("ID", ColumnType::kLong), column("Name", ColumnType::kText, 50),
                                       column("City", ColumnType::kText, 30), column("Amount", ColumnType::kDouble),
                                       column("Price", ColumnType::kCurrency), column("Count", ColumnType::kInteger),
                                       column("Day", ColumnType::kDateTime), column("Flag", ColumnType::kBoolean),
                                       column("Code", ColumnType::kByte), column("Total", ColumnType::kLong)});
  std::vector<Value> row(10);
  auto start = std::chrono::steady_clock::now();
  for (long i = 0; i < rows; ++i) {
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
    t.insert(row);
  }
  double s1 = seconds(start);
  std::printf("%ld rows of 10 columns: %.2f s, %.0f rows/s\n", rows, s1, static_cast<double>(rows) / s1);

  Table& m = db->createTable("Memos", {column("ID", ColumnType::kLong), column("Note", ColumnType::kMemo)});
  std::string memo(2048, 'x');
  for (size_t k = 0; k < memo.size(); ++k) memo[k] = static_cast<char>('a' + k % 26);
  std::vector<Value> mrow(2);
  start = std::chrono::steady_clock::now();
  for (long i = 0; i < memoRows; ++i) {
    mrow[0] = Value::integer(i);
    mrow[1] = Value::text(memo);
    m.insert(mrow);
  }
  double s2 = seconds(start);
  std::printf("%ld rows with a 2 KB memo: %.2f s, %.0f rows/s\n", memoRows, s2, static_cast<double>(memoRows) / s2);
  start = std::chrono::steady_clock::now();
  db->close();
  std::printf("close (sync): %.2f s; file %.1f MB\n", seconds(start),
              static_cast<double>(std::filesystem::file_size(path)) / 1e6);
  std::filesystem::remove(path);
  return 0;
}
