// bench_pxlib_read TABLE [MAX_SECONDS]: reads every record of a Paradox table with pxlib,
// decoding every value (memos from the .mb file included), and prints
//   "pxlib read R of N rows in S s (processor C s)"
// When MAX_SECONDS is given and passes before the end, the read stops there and the line
// ends in "(stopped early)"; the caller then has a lower bound only.

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <paradox.h>
// Exported by libpx but not declared in its header; used to attach the .mb by hand
// because PX_set_blob_file() of pxlib 0.6.8 overruns a stack buffer.
pxstream_t* px_stream_new_file(pxdoc_t* pxdoc, int mode, int close, FILE* fp);
size_t px_mb_read(pxblob_t* p, pxstream_t* dummy, size_t len, void* buffer);
int px_mb_seek(pxblob_t* p, pxstream_t* dummy, long offset, int whence);
long px_mb_tell(pxblob_t* p, pxstream_t* dummy);
}

namespace {

// The .mb next to a .db, in the case of the .db's extension.
std::string blobPath(const std::string& table) {
  std::string mb = table.substr(0, table.size() - 2);
  const bool upper = table.size() >= 2 && table[table.size() - 2] == 'D';
  return mb + (upper ? "MB" : "mb");
}

// Adds something of every value to sum, so that no decoding is skipped.
void decodeRecord(pxdoc_t* doc, char* record, int fields, unsigned long long& sum) {
  char* p = record;
  for (int f = 0; f < fields; ++f) {
    pxfield_t* field = PX_get_field(doc, f);
    switch (field->px_ftype) {
      case pxfAlpha: {
        char* s = nullptr;
        if (PX_get_data_alpha(doc, p, field->px_flen, &s) > 0 && s) {
          sum += std::strlen(s);
          doc->free(doc, s);
        }
        break;
      }
      case pxfShort: {
        short x = 0;
        PX_get_data_short(doc, p, 2, &x);
        sum += static_cast<unsigned long long>(x);
        break;
      }
      case pxfLong:
      case pxfDate:
      case pxfAutoInc:
      case pxfTime: {
        long x = 0;
        PX_get_data_long(doc, p, 4, &x);
        sum += static_cast<unsigned long long>(x);
        break;
      }
      case pxfLogical: {
        char x = 0;
        PX_get_data_byte(doc, p, 1, &x);
        sum += static_cast<unsigned long long>(x);
        break;
      }
      case pxfMemoBLOb:
      case pxfBLOb:
      case pxfFmtMemoBLOb:
      case pxfGraphic: {
        int mod = 0, size = 0;
        char* s = nullptr;
        if (PX_get_data_blob(doc, p, field->px_flen, &mod, &size, &s) > 0 && s) {
          sum += static_cast<unsigned long long>(size);
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
    p += field->px_flen;
  }
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
  PX_boot();
  pxdoc_t* doc = PX_new();
  if (PX_open_file(doc, table.c_str()) != 0) {
    std::fprintf(stderr, "bench_pxlib_read: pxlib cannot open %s\n", table.c_str());
    return 1;
  }
  std::FILE* mb = std::fopen(blobPath(table).c_str(), "rb");
  if (mb) {
    pxblob_t* blob = PX_new_blob(doc);
    blob->mb_stream = px_stream_new_file(doc, pxfFileRead, 0, mb);
    blob->read = px_mb_read;
    blob->seek = px_mb_seek;
    blob->tell = px_mb_tell;
  }
  const int records = PX_get_num_records(doc);
  const int fields = PX_get_num_fields(doc);
  std::vector<char> record(static_cast<size_t>(PX_get_recordsize(doc)));
  unsigned long long sum = 0;
  int read = 0;
  bool stopped = false;
  for (; read < records; ++read) {
    if (maxSeconds > 0 && read % 4096 == 0 &&
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() > maxSeconds) {
      stopped = true;
      break;
    }
    if (!PX_get_record(doc, read, record.data())) break;
    decodeRecord(doc, record.data(), fields, sum);
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  std::printf("pxlib read %d of %d rows in %.3f s (processor %.3f s)%s (checksum %llu)\n", read, records, seconds, cpu,
              stopped ? " (stopped early)" : "", sum);
  PX_close(doc);
  PX_delete(doc);
  if (mb) std::fclose(mb);
  return read == records || stopped ? 0 : 1;
}
