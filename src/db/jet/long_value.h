#pragma once
// Long values (Long Text and OLE Object). The row holds a 12-byte field: length (3
// bytes) and a flag byte (0x80: the value follows inline in the row; 0x40: it is the
// single row that the pointer names; 0x00: a chain of rows, each starting with the
// 4-byte pointer of the next one, 0 in the last), then that row pointer (4), then 4
// unused bytes. The rows live on long-value pages: data pages whose owner field holds
// "LVAL".
//
// We store a value of up to 64 bytes inline, up to one page's row capacity on a
// long-value page shared with other values, and longer ones as a chain of full-page
// rows (each on a page of its own; the short last piece goes to the shared page). Long Text is UCS-2, compressed when it has at most 1024 characters that all
// fit the compressed form.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "db/jet/pager.h"

namespace qv::jet {

constexpr uint32_t kLvalMarker = 0x4C41564C;  // "LVAL" read as a little-endian word

// The stored bytes of a long value field (field points at its 12 bytes plus any
// inline data, n bytes in all). Throws a format error naming the file when a pointer
// or chain is damaged.
std::string readLongValue(Pager& pager, const uint8_t* field, size_t n, const std::string& what);

// Places long values of one table.
class LongValueWriter {
 public:
  // newPage() gives a fresh page number already registered as owned by the column's
  // (or table's) usage map.
  LongValueWriter(Pager& pager, std::function<uint32_t()> newPage) : pager_(pager), newPage_(std::move(newPage)) {}
  // Appends the field bytes to put in the row (12 bytes, plus the data when inline) to
  // out. Throws DbError(kErrSql, ...) for a value too large to store.
  void write(std::string_view data, std::vector<uint8_t>& out);
  // Whether write() takes a value of n bytes.
  static bool storable(size_t n) { return n <= 0xFFFFFF; }
  // The longest value stored inline in the row.
  uint32_t maxInline() const { return pager_.layout().maxInlineLongValue; }
  void forgetPage() { current_ = 0; }
  // The shared page the next small value goes to (0: none).
  uint32_t currentPage() const { return current_; }

 private:
  // A page with room for a row of n bytes: the shared page, or a new one (which becomes
  // the shared page unless the row fills it).
  uint32_t pageWithRoom(uint32_t n);
  Pager& pager_;
  std::function<uint32_t()> newPage_;
  uint32_t current_ = 0;
  std::vector<uint8_t> piece_;
};

}  // namespace qv::jet
