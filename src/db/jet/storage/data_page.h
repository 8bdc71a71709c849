#pragma once
// Data pages: rows of one table (or long values, or usage maps), stored from the end of
// the page towards its header.
//
//   0 type 01, 1 01, 2 free space (2), 4 owning table's definition page (4; "LVAL" on
//   long-value pages, 0 on pages of usage maps), Jet 4: 8 unknown (4), then the row
//   count (2) and one 2-byte offset per row. Row 0 ends at the end of the page, row n at
//   the start of row n-1 (flags masked off). The top bits of an offset: 0x4000 marks a
//   row that is gone (deleted, or only a forwarding pointer left behind when the row
//   moved); 0x8000 alone marks a row that moved here and is read in place, as every
//   reader does. We write deleted rows as 0xC000 and never move rows.

#include <cstdint>
#include <span>

#include "db/jet/file/format.h"
#include "db/jet/file/pager.h"

namespace qv::jet {

constexpr uint16_t kRowDeleted = 0x8000;
constexpr uint16_t kRowOverflow = 0x4000;
constexpr uint16_t kRowOffsetMask = 0x1FFF;

struct RowSpan {
  uint32_t start = 0, end = 0;  // [start, end) within the page
  bool deleted = false, overflow = false;
};

uint16_t dataRowCount(const uint8_t* page, const Layout& l);
// The row's byte range; throws a format error (naming the file) when it is not sane.
RowSpan dataRow(const uint8_t* page, const Layout& l, uint32_t row, const std::string& path);
// Free bytes between the offset table and the lowest row.
uint32_t dataFreeSpace(const uint8_t* page, const Layout& l);
// Whether a row of n bytes (plus its offset entry) fits.
bool dataRowFits(const uint8_t* page, const Layout& l, uint32_t n);

// Starts an empty data page (header only) in buffer.
void initDataPage(uint8_t* page, const Layout& l, uint32_t owner);

// Appends a row to a page that has room; the row and the header change in one group of
// the pager (one write); returns the row number.
uint32_t appendDataRow(Pager& pager, uint32_t pageNumber, std::span<const uint8_t> row);

// The bytes of a table row as a scan sees it; false for a row that is gone.
bool liveRow(Pager& pager, const uint8_t* page, uint32_t row, std::span<const uint8_t>* out, const std::string& what);

// Reads the bytes of the row a pointer names (page << 8 | row).
std::span<const uint8_t> rowAt(Pager& pager, uint32_t pointer, const std::string& what);

}  // namespace qv::jet
