// Cost of encryption: ROWS rows of 6 mixed columns inserted into a new plain .accdb and
// a new password-encrypted one (AES-256), then each read back by a full scan, and the
// time opening the encrypted file takes (the password hash has 100,000 rounds).
//   bench_jet_encrypted [ROWS] [FOLDER]

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

void run(const std::string& path, const std::string& password, long rows) {
  std::filesystem::remove(path);
  OpenOptions options;
  options.password = password;
  auto start = std::chrono::steady_clock::now();
  auto db = createDatabase(path, Format::kAce14, options);
  double create = seconds(start);
  Table& t = db->createTable("Bench", {column("ID", ColumnType::kLong), column("Name", ColumnType::kText, 50),
                                       column("Amount", ColumnType::kDouble), column("Day", ColumnType::kDateTime),
                                       column("Flag", ColumnType::kBoolean), column("Note", ColumnType::kMemo)});
  std::vector<Value> row(6);
  start = std::chrono::steady_clock::now();
  for (long i = 0; i < rows; ++i) {
    row[0] = Value::integer(i);
    row[1] = Value::text("Customer " + std::to_string(i));
    row[2] = Value::real(static_cast<double>(i) * 1.5);
    row[3] = Value::dateTime(45000.0 + static_cast<double>(i % 1000));
    row[4] = Value::boolean(i % 2 == 0);
    row[5] = i % 10 == 0 ? Value::text(std::string(500, 'x')) : Value::null();
    t.insert(row);
  }
  db->close();
  double insert = seconds(start);
  db.reset();
  start = std::chrono::steady_clock::now();
  db = openDatabase(path, options);
  double open = seconds(start);
  start = std::chrono::steady_clock::now();
  auto cursor = db->table("Bench")->scan();
  long n = 0;
  while (cursor->next(row)) ++n;
  double scan = seconds(start);
  std::printf("%-10s create %.3f s, open %.3f s, insert %.0f rows/s, scan %.0f rows/s (%ld rows, %.1f MB)\n",
              password.empty() ? "plain" : "encrypted", create, open, static_cast<double>(rows) / insert,
              static_cast<double>(n) / scan, n, static_cast<double>(std::filesystem::file_size(path)) / 1e6);
  std::filesystem::remove(path);
}

}  // namespace

int main(int argc, char** argv) {
  long rows = argc > 1 ? std::atol(argv[1]) : 200000;
  std::string folder = argc > 2 ? argv[2] : std::filesystem::temp_directory_path().string();
  run(folder + "/bench_jet_plain.accdb", "", rows);
  run(folder + "/bench_jet_encrypted.accdb", "Bench-Kennwort", rows);
  return 0;
}
