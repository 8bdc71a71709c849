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
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "db/paradox/blob_file.h"
#include "db/paradox/table_reader.h"
#include "db/paradox/table_writer.h"

#ifdef QV_HAVE_PXLIB
extern "C" {
#include <paradox.h>
pxstream_t* px_stream_new_file(pxdoc_t* pxdoc, int mode, int close, FILE* fp);
size_t px_mb_read(pxblob_t* p, pxstream_t* dummy, size_t len, void* buffer);
int px_mb_seek(pxblob_t* p, pxstream_t* dummy, long offset, int whence);
long px_mb_tell(pxblob_t* p, pxstream_t* dummy);
}
#endif

using namespace qv::paradox;

namespace {

void writeTable(const std::string& path, long rows) {
  const std::vector<FieldSpec> fields = {{"Name", FieldType::kAlpha, 24},   {"Qty", FieldType::kLong, 0},
                                         {"Price", FieldType::kMoney, 0},   {"Ratio", FieldType::kNumber, 0},
                                         {"Day", FieldType::kDate, 0},      {"Small", FieldType::kShort, 0},
                                         {"Ok", FieldType::kLogical, 0},    {"Stamp", FieldType::kTimestamp, 0},
                                         {"Id", FieldType::kAutoInc, 0},    {"Note", FieldType::kMemo, 20}};
  WriterOptions options;
  options.blockSize = 16384;
  TableWriter w(path, fields, options);
  std::vector<Value> row(fields.size());
  for (long i = 0; i < rows; ++i) {
    row[0].kind = Value::Kind::kText;
    row[0].text = "Customer " + std::to_string(i);
    row[1].kind = Value::Kind::kInteger;
    row[1].integer = i % 1000;
    row[2].kind = Value::Kind::kDouble;
    row[2].real = static_cast<double>(i % 100000) / 100.0;
    row[3].kind = Value::Kind::kDouble;
    row[3].real = static_cast<double>(i) / 7.0;
    row[4].kind = Value::Kind::kDate;
    row[4].integer = 730000 + i % 5000;
    row[5].kind = Value::Kind::kInteger;
    row[5].integer = i % 30000;
    row[6].kind = Value::Kind::kLogical;
    row[6].integer = i % 2;
    row[7].kind = Value::Kind::kTimestamp;
    row[7].integer = (730000 + i % 5000) * kMillisPerDay + i % kMillisPerDay;
    row[8].kind = Value::Kind::kInteger;
    row[8].integer = i + 1;
    row[9].kind = Value::Kind::kText;
    row[9].text = "Memo of record " + std::to_string(i) + std::string(static_cast<size_t>(i % 60), '.');
    w.append(row);
  }
  w.finish();
}

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
  PX_boot();
  pxdoc_t* doc = PX_new();
  if (PX_open_file(doc, path.c_str()) != 0) return 0;
  // pxlib 0.6.8 aborts opening a .mb through its API: attach the stream by hand.
  const std::string mb = findBlobFile(path, qv::io::defaultEnv());
  FILE* fp = std::fopen(mb.c_str(), "rb");
  pxblob_t* blob = PX_new_blob(doc);
  blob->mb_stream = px_stream_new_file(doc, pxfFileRead, 0, fp);
  blob->read = px_mb_read;
  blob->seek = px_mb_seek;
  blob->tell = px_mb_tell;
  const int n = PX_get_num_records(doc);
  const int fields = PX_get_num_fields(doc);
  std::vector<char> rec(static_cast<size_t>(PX_get_recordsize(doc)));
  uint64_t sum = static_cast<uint64_t>(n);
  for (int i = 0; i < n; ++i) {
    if (!PX_get_record(doc, i, rec.data())) break;
    char* p = rec.data();
    for (int f = 0; f < fields; ++f) {
      pxfield_t* pf = PX_get_field(doc, f);
      switch (pf->px_ftype) {
        case pxfAlpha: {
          char* s = nullptr;
          if (PX_get_data_alpha(doc, p, pf->px_flen, &s) > 0 && s) {
            sum += std::strlen(s);
            doc->free(doc, s);
          }
          break;
        }
        case pxfShort: {
          short x = 0;
          PX_get_data_short(doc, p, 2, &x);
          sum += static_cast<uint64_t>(x);
          break;
        }
        case pxfLong: case pxfDate: case pxfAutoInc: case pxfTime: {
          long x = 0;
          PX_get_data_long(doc, p, 4, &x);
          sum += static_cast<uint64_t>(x);
          break;
        }
        case pxfLogical: {
          char x = 0;
          PX_get_data_byte(doc, p, 1, &x);
          sum += static_cast<uint64_t>(x);
          break;
        }
        case pxfMemoBLOb: {
          int mod = 0, size = 0;
          char* s = nullptr;
          if (PX_get_data_blob(doc, p, pf->px_flen, &mod, &size, &s) > 0 && s) {
            sum += static_cast<uint64_t>(size);
            doc->free(doc, s);
          }
          break;
        }
        default: {
          double x = 0;
          PX_get_data_double(doc, p, 8, &x);
          sum += x > 0 ? 1 : 0;
        }
      }
      p += pf->px_flen;
    }
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
  const std::string folder = argc > 2 ? argv[2] : (std::filesystem::temp_directory_path() / "qv-paradox-bench").string();
  std::filesystem::create_directories(folder);
  const std::string big = folder + "/big.db";
  const std::string small = folder + "/small.db";
  auto t0 = std::chrono::steady_clock::now();
  writeTable(big, rows);
  writeTable(small, rows / 10);
  std::printf("wrote %ld and %ld records in %.2f s (%.1f MB .db, %.1f MB .mb)\n", rows, rows / 10,
              std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(),
              static_cast<double>(std::filesystem::file_size(big)) / 1e6,
              static_cast<double>(std::filesystem::file_size(folder + "/big.mb")) / 1e6);
  const Result oursSmall = inChild([&] { return readOurs(small); });
  const Result ours = inChild([&] { return readOurs(big); });
  std::printf("ours  %9ld rows: %7.3f s  %8.0f rows/s  peak %6ld KB\n", rows / 10, oursSmall.seconds, static_cast<double>(rows / 10) / oursSmall.seconds, oursSmall.peakKb);
  std::printf("ours  %9ld rows: %7.3f s  %8.0f rows/s  peak %6ld KB\n", rows, ours.seconds, static_cast<double>(rows) / ours.seconds, ours.peakKb);
#ifdef QV_HAVE_PXLIB
  const Result px = inChild([&] { return readPxlib(big); });
  std::printf("pxlib %9ld rows: %7.3f s  %8.0f rows/s  peak %6ld KB\n", rows, px.seconds, static_cast<double>(rows) / px.seconds, px.peakKb);
  std::printf("ours is %.1f times as fast as pxlib\n", px.seconds / ours.seconds);
#else
  std::printf("pxlib is not installed: no comparison\n");
#endif
  std::filesystem::remove_all(folder);
  return 0;
}
