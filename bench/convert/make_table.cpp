// bench_make_table ROWS TABLE [SHAPE]: writes one of the benchmarks' Paradox tables (with
// its .mb memo file) of ROWS records to TABLE (a .db path). SHAPE: standard (the default),
// longtext or cyrillic (see bench_table.h).

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "bench_table.h"

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4 || std::atol(argv[1]) < 0) {
    std::fprintf(stderr, "usage: bench_make_table ROWS TABLE.DB [standard|longtext|cyrillic]\n");
    return 2;
  }
  const long rows = std::atol(argv[1]);
  const auto start = std::chrono::steady_clock::now();
  try {
    qv::bench::writeBenchTable(argv[2], rows, qv::bench::tableShapeOf(argc > 3 ? argv[3] : "standard"));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_make_table: %s\n", e.what());
    return 1;
  }
  std::printf("wrote %ld rows to %s in %.2f s\n", rows, argv[2],
              std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  return 0;
}
