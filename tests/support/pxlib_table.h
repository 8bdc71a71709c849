#pragma once
// Debian's pxlib as an independent reader of Paradox tables, for the tests' cross-checks
// and the benchmarks' comparison. Header-only, so a benchmark links libpx and nothing else.
// Its 0.6.8 release aborts (PX_set_blob_file overruns a stack buffer) when it opens a .mb
// file itself, so the blob file is attached by hand through the stream functions libpx
// exports but does not declare.

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

// One pxlib document open for reading, with its blob file when one is named and can be
// opened; errors are collected instead of printed.
class PxTable {
 public:
  explicit PxTable(const std::string& path, const std::string& mbPath = "") {
    doc_ = PX_new3(&PxTable::onError, nullptr, nullptr, nullptr, this);
    if (!doc_) return;
    opened_ = PX_open_file(doc_, path.c_str()) == 0;
    if (!opened_ || mbPath.empty()) return;
    mb_ = std::fopen(mbPath.c_str(), "rb");
    if (!mb_) return;
    pxblob_t* blob = PX_new_blob(doc_);
    blob->mb_stream = px_stream_new_file(doc_, pxfFileRead, 0, mb_);
    blob->read = px_mb_read;
    blob->seek = px_mb_seek;
    blob->tell = px_mb_tell;
  }
  ~PxTable() {
    if (!doc_) return;
    if (doc_->px_blob) {
      if (doc_->px_blob->mb_stream) doc_->free(doc_, doc_->px_blob->mb_stream);
      doc_->free(doc_, doc_->px_blob);
      doc_->px_blob = nullptr;
    }
    if (mb_) std::fclose(mb_);
    if (opened_) PX_close(doc_);
    PX_delete(doc_);
  }
  PxTable(const PxTable&) = delete;
  PxTable& operator=(const PxTable&) = delete;

  bool ok() const { return doc_ != nullptr && opened_; }
  pxdoc_t* doc() const { return doc_; }
  bool hasBlobFile() const { return mb_ != nullptr; }
  int records() const { return PX_get_num_records(doc_); }
  int fields() const { return PX_get_num_fields(doc_); }
  pxfield_t* field(int i) const { return PX_get_field(doc_, i); }
  // The raw record (recordsize bytes), or false.
  bool record(int recno, std::vector<char>& buffer) {
    buffer.resize(static_cast<size_t>(PX_get_recordsize(doc_)));
    return PX_get_record(doc_, recno, buffer.data()) != nullptr;
  }
  const std::string& errors() const { return errors_; }

 private:
  static void onError(pxdoc_t*, int, const char* msg, void* data) {
    auto* self = static_cast<PxTable*>(data);
    self->errors_ += msg;
    self->errors_ += "\n";
  }
  pxdoc_t* doc_ = nullptr;
  bool opened_ = false;
  FILE* mb_ = nullptr;
  std::string errors_;
};

}  // namespace qv::test
