#pragma once
// Long values (Long Text and OLE Object). The row holds a 12-byte field: length (3
// bytes) and a flag byte (0x80: the value follows inline in the row; 0x40: it is the
// single row that the pointer names; 0x00: a chain of rows, each starting with the
// 4-byte pointer of the next one, 0 in the last), then that row pointer (4), then 4
// unused bytes. The rows live on long-value pages: data pages whose owner field holds
// "LVAL".
//
// Where the rows go, as Access places them: a value of up to 64 bytes inline in the row;
// one that fits a single row (up to a page's row capacity) on the column's shared page,
// a long-value page that takes such rows while it has room; a longer one as a chain, each
// piece a row alone on a page of its own (the last, short piece too). Every long-value
// page belongs to one column and is listed in that column's usage map, never in another's
// or the table's. The column's free-space map lists its shared page; a shared page the
// next row does not fit is left and taken off the free-space map, and chain pages are
// never on it. Long Text is UCS-2, compressed as Access compresses it: when the
// compressed form takes at most 4096 bytes (and, where it needs two-byte runs, saves
// room).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/jet/file/pager.h"

namespace qv::jet {

constexpr uint32_t kLvalMarker = 0x4C41564C;  // "LVAL" read as a little-endian word
// The longest compressed form a Long Text value is stored in; a longer one stays plain.
constexpr size_t kMaxCompressedLongText = 4096;

// The stored bytes of a long value field (field points at its 12 bytes plus any
// inline data, n bytes in all). Throws a format error naming the file when a pointer
// or chain is damaged.
std::string readLongValue(Pager& pager, const uint8_t* field, size_t n, const std::string& what);

// The row pointers of the rows a long value field's value is stored in, first to last
// (none for a value inline in the row). Throws like readLongValue.
std::vector<uint32_t> longValueRows(Pager& pager, const uint8_t* field, size_t n, const std::string& what);

// What a table does for the long values placed in it: hands out new pages (registered
// as the column's, entered in its maps once the rows that point at them are placed) and
// says where a column's values went last.
class LongValuePages {
 public:
  virtual ~LongValuePages() = default;
  // A fresh page for one column: its shared page, or one that holds a single row.
  virtual uint32_t newPage(uint16_t column, bool shared) = 0;
  // The shared page the column filled last (0 when none), as its free-space map says.
  virtual uint32_t lastSharedPage(uint16_t column) = 0;
  // The column moves on from its shared page, which the next row did not fit.
  virtual void leaveSharedPage(uint16_t column, uint32_t page) = 0;
};

// Places the long values of one table.
class LongValueWriter {
 public:
  LongValueWriter(Pager& pager, LongValuePages& pages) : pager_(pager), pages_(pages) {}
  // Appends the field bytes to put in the row (12 bytes, plus the data when inline) to
  // out. Throws DbError(kErrSql, ...) for a value too large to store.
  void write(uint16_t column, std::string_view data, std::vector<uint8_t>& out);
  // Whether write() takes a value of n bytes.
  static bool storable(size_t n) { return n <= 0xFFFFFF; }
  // The longest value stored inline in the row.
  uint32_t maxInline() const { return pager_.layout().maxInlineLongValue; }
  // The shared page the column fills now (0 when none).
  uint32_t sharedPage(uint16_t column);
  // Forgets every column's shared page (after a failed change): the next value asks again.
  void forgetPages() { shared_.clear(); }
  // Whether the page is a column's shared page (where values still go).
  bool isSharedPage(uint32_t page) const;

 private:
  struct Shared {
    uint16_t column;
    uint32_t page;
  };
  uint32_t& sharedSlot(uint16_t column);
  // A page with room for a row of n bytes: the column's shared page, or a new one (which
  // becomes the shared page unless the row leaves no room for another).
  uint32_t pageWithRoom(uint16_t column, uint32_t n);
  Pager& pager_;
  LongValuePages& pages_;
  std::vector<Shared> shared_;
  std::vector<uint32_t> chainPages_;
  std::vector<uint8_t> piece_;
};

}  // namespace qv::jet
