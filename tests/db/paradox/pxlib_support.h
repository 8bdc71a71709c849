#pragma once
// Debian's pxlib as an independent reader (and writer) of Paradox tables, for tests.
// Its 0.6.8 release aborts when it opens a .mb file through PX_set_blob_file, so the
// blob file is attached by hand through the stream functions libpx exports.

#include <cstdio>

extern "C" {
#include <paradox.h>
}
#include <string>
#include <vector>

extern "C" {
pxstream_t* px_stream_new_file(pxdoc_t* pxdoc, int mode, int close, FILE* fp);
size_t px_mb_read(pxblob_t* p, pxstream_t* dummy, size_t len, void* buffer);
int px_mb_seek(pxblob_t* p, pxstream_t* dummy, long offset, int whence);
long px_mb_tell(pxblob_t* p, pxstream_t* dummy);
}

namespace qv::test {

// One pxlib document open for reading; errors are collected instead of printed.
class PxTable {
 public:
  explicit PxTable(const std::string& path, const std::string& mbPath = "");
  ~PxTable();
  PxTable(const PxTable&) = delete;
  PxTable& operator=(const PxTable&) = delete;

  bool ok() const { return doc_ != nullptr && opened_; }
  pxdoc_t* doc() const { return doc_; }
  bool hasBlobFile() const { return mb_ != nullptr; }
  int records() const { return PX_get_num_records(doc_); }
  int fields() const { return PX_get_num_fields(doc_); }
  pxfield_t* field(int i) const { return PX_get_field(doc_, i); }
  // The raw record (recordsize bytes), or false.
  bool record(int recno, std::vector<char>& buffer);
  const std::string& errors() const { return errors_; }

 private:
  static void onError(pxdoc_t*, int, const char* msg, void* data);
  pxdoc_t* doc_ = nullptr;
  bool opened_ = false;
  FILE* mb_ = nullptr;
  std::string errors_;
};

}  // namespace qv::test
