// bench_paradox_read [ROWS] [FOLDER]: writes a table of ROWS records (default 1,000,000)
// with 10 fields, one of them a memo, then reads every value of it with our reader and
// with pxlib, each in a child process, and prints wall time and peak resident memory.
// Our reader is also run on a table a tenth the size, to show its memory does not grow
// with the table.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "db/paradox/blob_file.h"
#include "db/paradox/table_reader.h"
#include "convert/bench_table.h"
#ifdef QV_HAVE_PXLIB
#include "convert/pxlib_records.h"
#endif

using namespace qv::paradox;

namespace {

// Reads every value; returns a checksum so nothing is optimised away.
uint64_t readOurs(const std::string& path) {
  TableReader r(path);
  uint64_t sum = r.recordCount();
  std::vector<Value> row;
  while (r.next(row)) {
    for (const auto& v : row) sum += static_cast<uint64_t>(v.integer) + v.text.size() + (v.real > 0 ? 1 : 0);
  }
  return sum;
}

#ifdef QV_HAVE_PXLIB
uint64_t readPxlib(const std::string& path) {
  qv::bench::PxlibTable px(path, findBlobFile(path, qv::io::defaultEnv()));
  if (!px.ok()) return 0;
  const int n = px.records();
  uint64_t sum = static_cast<uint64_t>(n);
  for (int i = 0; i < n && px.read(i, sum); ++i) {
  }
  return sum;
}
#endif

struct Result {
  double seconds = 0;
  long peakKb = 0;
  uint64_t checksum = 0;
};

// Runs fn in a child process; returns its time, peak memory and result.
template <typename Fn>
Result inChild(Fn fn) {
  int pipeFd[2];
  if (pipe(pipeFd) != 0) std::abort();
  const pid_t pid = fork();
  if (pid == 0) {
    close(pipeFd[0]);
    const auto start = std::chrono::steady_clock::now();
    Result r;
    r.checksum = fn();
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    r.peakKb = usage.ru_maxrss;
    if (write(pipeFd[1], &r, sizeof r) != static_cast<ssize_t>(sizeof r)) _exit(2);
    _exit(0);
  }
  close(pipeFd[1]);
  Result r;
  if (read(pipeFd[0], &r, sizeof r) != static_cast<ssize_t>(sizeof r)) r.seconds = -1;
  close(pipeFd[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  const long rows = argc > 1 ? std::atol(argv[1]) : 1'000'000;
  const std::string folder =
      argc > 2 ? argv[2] : (std::filesystem::temp_directory_path() / "qv-paradox-bench").string();
  std::filesystem::create_directories(folder);
  const std::string big = folder + "/big.db";
  const std::string small = folder + "/small.db";
  auto t0 = std::chrono::steady_clock::now();
  qv::bench::writeBenchTable(big, rows);
  qv::bench::writeBenchTable(small, rows / 10);
  std::printf("wrote %ld and %ld records in %.2f s (%.1f MB .db, %.1f MB .mb)\n", rows, rows / 10,
              std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(),
              static_cast<double>(std::filesystem::file_size(big)) / 1e6,
              static_cast<double>(std::filesystem::file_size(folder + "/big.mb")) / 1e6);
  const Result oursSmall = inChild([&] { return readOurs(small); });
  const Result ours = inChild([&] { return readOurs(big); });
  std::printf("ours  %9ld rows: %7.3f s  %8.0f rows/s  peak %6ld KB\n", rows / 10, oursSmall.seconds,
              static_cast<double>(rows / 10) / oursSmall.seconds, oursSmall.peakKb);
  std::printf("ours  %9ld rows: %7.3f s  %8.0f rows/s  peak %6ld KB\n", rows, ours.seconds,
              static_cast<double>(rows) / ours.seconds, ours.peakKb);
#ifdef QV_HAVE_PXLIB
  const Result px = inChild([&] { return readPxlib(big); });
  std::printf("pxlib %9ld rows: %7.3f s  %8.0f rows/s  peak %6ld KB\n", rows, px.seconds,
              static_cast<double>(rows) / px.seconds, px.peakKb);
  std::printf("ours is %.1f times as fast as pxlib\n", px.seconds / ours.seconds);
#else
  std::printf("pxlib is not installed: no comparison\n");
#endif
  std::filesystem::remove_all(folder);
  return 0;
}
