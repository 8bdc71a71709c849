// bench_pxlib_read TABLE [MAX_SECONDS]: reads every record of a Paradox table with pxlib,
// decoding every value (memos from the .mb file included), and prints
//   "pxlib read R of N rows in S s (processor C s)"
// When MAX_SECONDS is given and passes before the end, the read stops there and the line
// ends in "(stopped early)"; the caller then has a lower bound only.

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "pxlib_records.h"

namespace {

// The .mb next to a .db, in the case of the .db's extension.
std::string blobPath(const std::string& table) {
  std::string mb = table.substr(0, table.size() - 2);
  const bool upper = table.size() >= 2 && table[table.size() - 2] == 'D';
  return mb + (upper ? "MB" : "mb");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: bench_pxlib_read TABLE.DB [MAX_SECONDS]\n");
    return 2;
  }
  const std::string table = argv[1];
  const double maxSeconds = argc > 2 ? std::atof(argv[2]) : 0;
  const auto start = std::chrono::steady_clock::now();
  qv::bench::PxlibTable px(table, blobPath(table));
  if (!px.ok()) {
    std::fprintf(stderr, "bench_pxlib_read: pxlib cannot open %s\n", table.c_str());
    return 1;
  }
  const int records = px.records();
  uint64_t sum = 0;
  int read = 0;
  bool stopped = false;
  for (; read < records; ++read) {
    if (maxSeconds > 0 && read % 4096 == 0 &&
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() > maxSeconds) {
      stopped = true;
      break;
    }
    if (!px.read(read, sum)) break;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  std::printf("pxlib read %d of %d rows in %.3f s (processor %.3f s)%s (checksum %llu)\n", read, records, seconds, cpu,
              stopped ? " (stopped early)" : "", static_cast<unsigned long long>(sum));
  return read == records || stopped ? 0 : 1;
}
