#pragma once
// Reading a Paradox table with pxlib (Debian's pxlib-dev), the reader our own is
// compared with: every value of every record is decoded, and something of each is
// added to a checksum so that no decoding is skipped.
//
// The .mb memo file is attached by hand: PX_set_blob_file() of pxlib 0.6.8 overruns a
// stack buffer. The stream functions used for that are exported by libpx but not
// declared in its header.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <paradox.h>
pxstream_t* px_stream_new_file(pxdoc_t* pxdoc, int mode, int close, FILE* fp);
size_t px_mb_read(pxblob_t* p, pxstream_t* dummy, size_t len, void* buffer);
int px_mb_seek(pxblob_t* p, pxstream_t* dummy, long offset, int whence);
long px_mb_tell(pxblob_t* p, pxstream_t* dummy);
}

namespace qv::bench {

class PxlibTable {
 public:
  // Opens the table and, when it can be read, its memo file; ok() says whether pxlib
  // could open the table.
  PxlibTable(const std::string& table, const std::string& memoFile) {
    PX_boot();
    doc_ = PX_new();
    if (PX_open_file(doc_, table.c_str()) != 0) return;
    open_ = true;
    mb_ = std::fopen(memoFile.c_str(), "rb");
    if (mb_) {
      pxblob_t* blob = PX_new_blob(doc_);
      blob->mb_stream = px_stream_new_file(doc_, pxfFileRead, 0, mb_);
      blob->read = px_mb_read;
      blob->seek = px_mb_seek;
      blob->tell = px_mb_tell;
    }
    fields_ = PX_get_num_fields(doc_);
    record_.resize(static_cast<size_t>(PX_get_recordsize(doc_)));
  }
  ~PxlibTable() {
    if (open_) PX_close(doc_);
    PX_delete(doc_);
    if (mb_) std::fclose(mb_);
  }
  PxlibTable(const PxlibTable&) = delete;
  PxlibTable& operator=(const PxlibTable&) = delete;

  bool ok() const { return open_; }
  int records() { return PX_get_num_records(doc_); }

  // Reads record n and adds its values to sum; false when pxlib cannot read it.
  bool read(int n, uint64_t& sum) {
    if (!PX_get_record(doc_, n, record_.data())) return false;
    char* p = record_.data();
    for (int f = 0; f < fields_; ++f) {
      pxfield_t* field = PX_get_field(doc_, f);
      sum += valueOf(field, p);
      p += field->px_flen;
    }
    return true;
  }

 private:
  uint64_t valueOf(pxfield_t* field, char* p) {
    switch (field->px_ftype) {
      case pxfAlpha: {
        char* s = nullptr;
        uint64_t length = 0;
        if (PX_get_data_alpha(doc_, p, field->px_flen, &s) > 0 && s) {
          length = std::strlen(s);
          doc_->free(doc_, s);
        }
        return length;
      }
      case pxfShort: {
        short x = 0;
        PX_get_data_short(doc_, p, 2, &x);
        return static_cast<uint64_t>(x);
      }
      case pxfLong:
      case pxfDate:
      case pxfAutoInc:
      case pxfTime: {
        long x = 0;
        PX_get_data_long(doc_, p, 4, &x);
        return static_cast<uint64_t>(x);
      }
      case pxfLogical: {
        char x = 0;
        PX_get_data_byte(doc_, p, 1, &x);
        return static_cast<uint64_t>(x);
      }
      case pxfMemoBLOb:
      case pxfBLOb:
      case pxfFmtMemoBLOb:
      case pxfGraphic: {
        int mod = 0, size = 0;
        char* s = nullptr;
        uint64_t length = 0;
        if (PX_get_data_blob(doc_, p, field->px_flen, &mod, &size, &s) > 0 && s) {
          length = static_cast<uint64_t>(size);
          doc_->free(doc_, s);
        }
        return length;
      }
      default: {
        double x = 0;
        PX_get_data_double(doc_, p, 8, &x);
        return x > 0 ? 1 : 0;
      }
    }
  }

  pxdoc_t* doc_ = nullptr;
  std::FILE* mb_ = nullptr;
  bool open_ = false;
  int fields_ = 0;
  std::vector<char> record_;
};

}  // namespace qv::bench
