#pragma once
// Reading a Paradox table with pxlib (Debian's pxlib-dev), the reader our own is
// compared with: every value of every record is decoded, and something of each is
// added to a checksum so that no decoding is skipped. The table is opened by the tests'
// pxlib wrapper (tests/support/pxlib_table.h), which attaches the .mb memo file.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "support/pxlib_table.h"

namespace qv::bench {

class PxlibTable {
 public:
  // Opens the table and, when it can be read, its memo file; ok() says whether pxlib
  // could open the table.
  PxlibTable(const std::string& table, const std::string& memoFile) : table_(booted(table), memoFile) {
    if (!table_.ok()) return;
    doc_ = table_.doc();
    fields_ = table_.fields();
  }

  bool ok() const { return table_.ok(); }
  int records() { return table_.records(); }

  // Reads record n and adds its values to sum; false when pxlib cannot read it.
  bool read(int n, uint64_t& sum) {
    if (!table_.record(n, record_)) return false;
    char* p = record_.data();
    for (int f = 0; f < fields_; ++f) {
      pxfield_t* field = PX_get_field(doc_, f);
      sum += valueOf(field, p);
      p += field->px_flen;
    }
    return true;
  }

 private:
  // pxlib wants PX_boot() before its first document.
  static const std::string& booted(const std::string& table) {
    PX_boot();
    return table;
  }

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

  qv::test::PxTable table_;
  pxdoc_t* doc_ = nullptr;
  int fields_ = 0;
  std::vector<char> record_;
};

}  // namespace qv::bench
