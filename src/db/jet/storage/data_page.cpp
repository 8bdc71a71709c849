#include "db/jet/storage/data_page.h"

#include <cstring>

#include "db/io/error.h"
#include "db/jet/base/bytes.h"

namespace qv::jet {

uint16_t dataRowCount(const uint8_t* page, const Layout& l) { return get16(page, l.dataRowCountOffset); }

RowSpan dataRow(const uint8_t* page, const Layout& l, uint32_t row, const std::string& path) {
  uint32_t count = dataRowCount(page, l);
  uint32_t tableEnd = l.dataRowCountOffset + 2 + count * 2;
  if (row >= count || tableEnd > l.pageSize)
    throw DbError(kErrFormat, "'" + path + "' is damaged (a row number lies beyond its page's rows)");
  uint16_t raw = get16(page, l.dataRowCountOffset + 2 + row * 2);
  RowSpan s;
  s.deleted = (raw & kRowOverflow) != 0;
  s.overflow = false;
  s.start = raw & kRowOffsetMask;
  s.end = row == 0 ? l.pageSize : (get16(page, l.dataRowCountOffset + row * 2) & kRowOffsetMask);
  if (s.deleted) return s;
  if (s.start < tableEnd || s.end > l.pageSize || s.start > s.end)
    throw DbError(kErrFormat, "'" + path + "' is damaged (a row lies outside its page)");
  return s;
}

uint32_t dataFreeSpace(const uint8_t* page, const Layout& l) {
  uint32_t count = dataRowCount(page, l);
  uint32_t tableEnd = l.dataRowCountOffset + 2 + count * 2;
  uint32_t low = count == 0 ? l.pageSize : (get16(page, l.dataRowCountOffset + 2 + (count - 1) * 2) & kRowOffsetMask);
  return low > tableEnd ? low - tableEnd : 0;
}

bool dataRowFits(const uint8_t* page, const Layout& l, uint32_t n) { return dataFreeSpace(page, l) >= n + 2; }

void initDataPage(uint8_t* page, const Layout& l, uint32_t owner) {
  std::memset(page, 0, l.pageSize);
  page[0] = kPageData;
  page[1] = 1;
  put16(page, 2, l.pageSize - l.dataHeaderSize);
  put32(page, 4, owner);
}

uint32_t appendDataRow(Pager& pager, uint32_t pageNumber, std::span<const uint8_t> row) {
  const Layout& l = pager.layout();
  const uint8_t* p = pager.read(pageNumber);
  uint32_t count = dataRowCount(p, l);
  uint32_t low = count == 0 ? l.pageSize : (get16(p, l.dataRowCountOffset + 2 + (count - 1) * 2) & kRowOffsetMask);
  uint32_t start = low - static_cast<uint32_t>(row.size());
  uint8_t* w = pager.modify(pageNumber, start, static_cast<uint32_t>(row.size()));
  if (!row.empty()) std::memcpy(w + start, row.data(), row.size());
  uint32_t headerEnd = l.dataRowCountOffset + 2 + (count + 1) * 2;
  // The row, its offset entry, the free space and the row count go out in one write of
  // the page (see pager.h: a write inside a page is never torn).
  w = pager.modify(pageNumber, 2, headerEnd - 2);
  put16(w, l.dataRowCountOffset + 2 + count * 2, start);
  put16(w, 2, start - headerEnd);
  put16(w, l.dataRowCountOffset, count + 1);
  return count;
}

bool liveRow(Pager& pager, const uint8_t* page, uint32_t row, std::span<const uint8_t>* out, const std::string& what) {
  (void)what;
  RowSpan s = dataRow(page, pager.layout(), row, pager.path());
  if (s.deleted) return false;
  *out = {page + s.start, s.end - s.start};
  return true;
}

std::span<const uint8_t> rowAt(Pager& pager, uint32_t pointer, const std::string& what) {
  uint32_t page = pageOf(pointer);
  if (page == 0 || page >= pager.pageCount())
    throw DbError(kErrFormat, what + " is damaged (a row pointer names page " + std::to_string(page) + ")");
  const uint8_t* p = pager.read(page);
  if (p[0] != kPageData)
    throw DbError(kErrFormat, what + " is damaged (a row pointer names a page that holds no rows)");
  RowSpan s = dataRow(p, pager.layout(), rowOf(pointer), pager.path());
  if (s.deleted) throw DbError(kErrFormat, what + " is damaged (a row pointer names a deleted row)");
  return {p + s.start, s.end - s.start};
}

}  // namespace qv::jet
