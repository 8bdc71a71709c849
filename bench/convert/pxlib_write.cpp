// bench_pxlib_write ROWS TABLE: writes a table with pxlib rather than with our writer:
// ROWS records of 11 fields (40-character names, numbers, dates, a time stamp, a logical,
// an auto-increment, and a memo of 300 to 700 bytes that lives in the .mb file), so the
// conversion and dump-paradox are measured on a table our own code did not make.
// pxlib writes file version 7.0 in code page 1252. It makes hundreds of seeks and small
// writes per record, so both files are written into memory first (fmemopen) and copied
// to disk at the end.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <paradox.h>
}

namespace {

struct PxField {
  const char* name;
  char type;
  int len;
};

// A name of exactly 40 characters.
std::string nameOf(long i) {
  std::string s = "Customer " + std::to_string(i) + " of the northern district";
  s.resize(40, '.');
  return s;
}

// A memo of 300 to 700 bytes: sentences with an apostrophe, a Latin-1 letter and, now
// and then, a line break.
std::string memoOf(long i) {
  static const char* kWords[] = {"delivery", "invoice", "the",      "customer's", "order", "was",  "sent",
                                 "caf\xE9",  "payment", "received", "on",         "time",  "with", "thanks"};
  std::string s = "Note " + std::to_string(i) + ": ";
  const size_t want = 300 + static_cast<size_t>((i * 7919) % 401);
  for (long k = i; s.size() < want; ++k) {
    s += kWords[static_cast<size_t>(k * 31 + 7) % (sizeof kWords / sizeof kWords[0])];
    s += (k % 17 == 0) ? "\r\n" : " ";
  }
  s.resize(want);
  return s;
}

// A read/write stream over a buffer of capacity bytes.
struct MemoryFile {
  explicit MemoryFile(size_t capacity) : buffer(capacity) { fp = fmemopen(buffer.data(), buffer.size(), "w+"); }
  // Writes what was written to the stream to path; false when it cannot.
  bool save(const std::string& path) {
    std::fflush(fp);
    std::fseek(fp, 0, SEEK_END);
    const long size = std::ftell(fp);
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out || size < 0) return false;
    const bool ok = std::fwrite(buffer.data(), 1, static_cast<size_t>(size), out) == static_cast<size_t>(size);
    return std::fclose(out) == 0 && ok;
  }
  ~MemoryFile() {
    if (fp) std::fclose(fp);
  }
  std::vector<char> buffer;
  std::FILE* fp = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || std::atol(argv[1]) < 0) {
    std::fprintf(stderr, "usage: bench_pxlib_write ROWS TABLE.DB\n");
    return 2;
  }
  const long rows = std::atol(argv[1]);
  const std::string table = argv[2];
  const std::string memoFile = table.substr(0, table.size() - 2) + (table.back() == 'B' ? "MB" : "mb");
  const auto start = std::chrono::steady_clock::now();
  PX_boot();
  pxdoc_t* doc = PX_new();
  const PxField pxFields[] = {{"Name", pxfAlpha, 40},    {"City", pxfAlpha, 24},   {"Qty", pxfLong, 4},
                              {"Price", pxfCurrency, 8}, {"Ratio", pxfNumber, 8},  {"Day", pxfDate, 4},
                              {"Small", pxfShort, 2},    {"Ok", pxfLogical, 1},    {"Stamp", pxfTimestamp, 8},
                              {"Id", pxfAutoInc, 4},     {"Note", pxfMemoBLOb, 20}};
  const int n = static_cast<int>(sizeof pxFields / sizeof pxFields[0]);
  auto* fields = static_cast<pxfield_t*>(doc->malloc(doc, sizeof(pxfield_t) * n, "fields"));
  for (int i = 0; i < n; ++i) {
    fields[i].px_fname = PX_strdup(doc, pxFields[i].name);
    fields[i].px_ftype = pxFields[i].type;
    fields[i].px_flen = pxFields[i].len;
    fields[i].px_fdc = 0;
  }
  MemoryFile db(static_cast<size_t>(rows) * 160 + (1u << 20));
  MemoryFile mb(static_cast<size_t>(rows) * 1200 + (1u << 20));
  if (!db.fp || !mb.fp || PX_create_fp(doc, fields, n, db.fp, pxfFileTypNonIndexDB) != 0) {
    std::fprintf(stderr, "bench_pxlib_write: pxlib cannot create %s\n", table.c_str());
    return 1;
  }
  pxblob_t* blob = PX_new_blob(doc);
  if (!blob || PX_create_blob_fp(blob, mb.fp) != 0) {
    std::fprintf(stderr, "bench_pxlib_write: pxlib cannot create %s\n", memoFile.c_str());
    return 1;
  }
  std::vector<char> rec(static_cast<size_t>(PX_get_recordsize(doc)));
  static const char* kCities[] = {"Hamburg", "Lyon", "Porto", "Graz", "Turku", "Bergen", "Aarhus", "Gent"};
  for (long r = 0; r < rows; ++r) {
    std::fill(rec.begin(), rec.end(), '\0');
    char* p = rec.data();
    std::string name = nameOf(r);
    PX_put_data_alpha(doc, p, 40, name.data());
    p += 40;
    std::string city = kCities[r % 8];
    PX_put_data_alpha(doc, p, 24, city.data());
    p += 24;
    PX_put_data_long(doc, p, 4, static_cast<int>(r % 1000));
    p += 4;
    PX_put_data_double(doc, p, 8, static_cast<double>(r % 100000) / 100.0);
    p += 8;
    PX_put_data_double(doc, p, 8, static_cast<double>(r) / 7.0);
    p += 8;
    PX_put_data_long(doc, p, 4, static_cast<int>(730000 + r % 5000));
    p += 4;
    PX_put_data_short(doc, p, 2, static_cast<short>(r % 30000));
    p += 2;
    PX_put_data_byte(doc, p, 1, static_cast<char>(r % 2));
    p += 1;
    PX_put_data_double(
        doc, p, 8, (730000.0 + static_cast<double>(r % 5000)) * 86400000.0 + static_cast<double>(r % 86400) * 1000.0);
    p += 8;
    PX_put_data_long(doc, p, 4, static_cast<int>(r + 1));
    p += 4;
    std::string memo = memoOf(r);
    PX_put_data_blob(doc, p, 20, memo.data(), static_cast<int>(memo.size()));
    if (PX_put_record(doc, rec.data()) < 0) {
      std::fprintf(stderr, "bench_pxlib_write: pxlib failed at record %ld\n", r);
      return 1;
    }
  }
  PX_close_blob(blob);
  PX_close(doc);
  PX_delete(doc);
  PX_shutdown();
  if (!db.save(table) || !mb.save(memoFile)) {
    std::fprintf(stderr, "bench_pxlib_write: cannot write %s or %s\n", table.c_str(), memoFile.c_str());
    return 1;
  }
  std::printf("pxlib wrote %ld rows to %s in %.2f s\n", rows, table.c_str(),
              std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  return 0;
}
