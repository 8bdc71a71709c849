#include "db/jet/storage/long_value.h"

#include <algorithm>
#include <cstring>

#include "db/io/error.h"
#include "db/jet/base/bytes.h"
#include "db/jet/storage/data_page.h"

namespace qv::jet {

std::vector<uint32_t> longValueRows(Pager& pager, const uint8_t* field, size_t n, const std::string& what) {
  if (n < 12) throw DbError(kErrFormat, what + " is damaged (a long value field is too short)");
  const uint32_t length = get24(field, 0);
  const uint8_t flags = field[3];
  uint32_t pointer = get32(field, 4);
  if (flags & 0x80) return {};
  if (flags & 0x40) return {pointer};
  std::vector<uint32_t> rows;
  size_t have = 0;
  while (have < length) {
    if (pointer == 0 || rows.size() >= (1u << 20))
      throw DbError(kErrFormat, what + " is damaged (a long value chain ends early)");
    rows.push_back(pointer);
    auto row = rowAt(pager, pointer, what);
    if (row.size() < 4) throw DbError(kErrFormat, what + " is damaged (a long value chain row is too short)");
    have += row.size() - 4;
    pointer = get32(row.data(), 0);
  }
  return rows;
}

std::string readLongValue(Pager& pager, const uint8_t* field, size_t n, const std::string& what) {
  if (n < 12) throw DbError(kErrFormat, what + " is damaged (a long value field is too short)");
  uint32_t length = get24(field, 0);
  uint8_t flags = field[3];
  uint32_t pointer = get32(field, 4);
  if (flags & 0x80) {
    if (length > n - 12) throw DbError(kErrFormat, what + " is damaged (an inline long value overruns its row)");
    return std::string(reinterpret_cast<const char*>(field + 12), length);
  }
  if (flags & 0x40) {
    auto row = rowAt(pager, pointer, what);
    if (row.size() < length) throw DbError(kErrFormat, what + " is damaged (a long value is shorter than its length)");
    return std::string(reinterpret_cast<const char*>(row.data()), length);
  }
  std::string out;
  out.reserve(length);
  uint32_t guard = 0;
  while (out.size() < length) {
    if (pointer == 0 || ++guard > 1u << 20)
      throw DbError(kErrFormat, what + " is damaged (a long value chain ends early)");
    auto row = rowAt(pager, pointer, what);
    if (row.size() < 4) throw DbError(kErrFormat, what + " is damaged (a long value chain row is too short)");
    size_t take = std::min<size_t>(row.size() - 4, length - out.size());
    out.append(reinterpret_cast<const char*>(row.data() + 4), take);
    pointer = get32(row.data(), 0);
  }
  return out;
}

uint32_t& LongValueWriter::sharedSlot(uint16_t column) {
  for (Shared& s : shared_)
    if (s.column == column) return s.page;
  // First use since the table was opened (or a change failed): where the column left off.
  uint32_t page = pages_.lastSharedPage(column);
  shared_.push_back({column, page});
  return shared_.back().page;
}

uint32_t LongValueWriter::sharedPage(uint16_t column) {
  for (const Shared& s : shared_)
    if (s.column == column) return s.page;
  return 0;
}

bool LongValueWriter::isSharedPage(uint32_t page) const {
  for (const Shared& s : shared_)
    if (s.page == page) return true;
  return false;
}

uint32_t LongValueWriter::pageWithRoom(uint16_t column, uint32_t n) {
  const Layout& l = pager_.layout();
  uint32_t& current = sharedSlot(column);
  if (current != 0 && dataRowFits(pager_.read(current), l, n)) return current;
  // A new page is shared unless this row leaves no room for another out-of-line value;
  // a page that takes one row only is never shared, and the shared page stays as it is.
  const uint32_t emptyRoom = l.pageSize - l.dataHeaderSize;
  const bool shared = n + 2 + (l.maxInlineLongValue + 1) + 2 <= emptyRoom;
  if (shared && current != 0) pages_.leaveSharedPage(column, current);
  const uint32_t page = pages_.newPage(column, shared);
  initDataPage(pager_.overwrite(page), l, kLvalMarker);
  if (shared) current = page;
  return page;
}

void LongValueWriter::write(uint16_t column, std::string_view data, std::vector<uint8_t>& out) {
  const Layout& l = pager_.layout();
  if (!storable(data.size())) throw DbError(kErrSql, "The value is too large for a long value column.");
  size_t at = out.size();
  out.resize(at + 12, 0);
  put24(out.data() + at, 0, static_cast<uint32_t>(data.size()));
  if (data.size() <= l.maxInlineLongValue) {
    out[at + 3] = 0x80;
    out.insert(out.end(), data.begin(), data.end());
    return;
  }
  const uint32_t maxRow = l.pageSize - l.dataHeaderSize - 2;
  if (data.size() <= maxRow) {
    uint32_t page = pageWithRoom(column, static_cast<uint32_t>(data.size()));
    uint32_t row = appendDataRow(pager_, page, {reinterpret_cast<const uint8_t*>(data.data()), data.size()});
    out[at + 3] = 0x40;
    put32(out.data() + at, 4, makePointer(page, row));
    return;
  }
  // A chain, each piece alone on a page of its own, in ascending pages; the pieces are
  // written last first, so each names a successor that already holds its row.
  const uint32_t chunk = maxRow - 4;
  const size_t pieces = (data.size() + chunk - 1) / chunk;
  chainPages_.clear();
  for (size_t i = 0; i < pieces; ++i) {
    const uint32_t page = pages_.newPage(column, false);
    initDataPage(pager_.overwrite(page), l, kLvalMarker);
    chainPages_.push_back(page);
  }
  uint32_t next = 0;
  for (size_t i = pieces; i-- > 0;) {
    size_t off = i * chunk;
    size_t len = std::min<size_t>(chunk, data.size() - off);
    piece_.resize(4 + len);
    put32(piece_.data(), 0, next);
    std::memcpy(piece_.data() + 4, data.data() + off, len);
    uint32_t r = appendDataRow(pager_, chainPages_[i], piece_);
    next = makePointer(chainPages_[i], r);
  }
  out[at + 3] = 0x00;
  put32(out.data() + at, 4, next);
}

}  // namespace qv::jet
