#include "db/jet/long_value.h"

#include <algorithm>
#include <cstring>

#include "db/io/error.h"
#include "db/jet/bytes.h"
#include "db/jet/data_page.h"

namespace qv::jet {

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
    if (pointer == 0 || ++guard > 1u << 20) throw DbError(kErrFormat, what + " is damaged (a long value chain ends early)");
    auto row = rowAt(pager, pointer, what);
    if (row.size() < 4) throw DbError(kErrFormat, what + " is damaged (a long value chain row is too short)");
    size_t take = std::min<size_t>(row.size() - 4, length - out.size());
    out.append(reinterpret_cast<const char*>(row.data() + 4), take);
    pointer = get32(row.data(), 0);
  }
  return out;
}

uint32_t LongValueWriter::pageWithRoom(uint32_t n) {
  const Layout& l = pager_.layout();
  if (current_ != 0 && dataRowFits(pager_.read(current_), l, n)) return current_;
  uint32_t page = newPage_();
  uint8_t* p = pager_.overwrite(page);
  initDataPage(p, l, kLvalMarker);
  // A row that leaves no room for another keeps the shared page as it is.
  if (dataRowFits(p, l, n + 2 + 64)) current_ = page;
  return page;
}

void LongValueWriter::write(std::string_view data, std::vector<uint8_t>& out) {
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
    uint32_t page = pageWithRoom(static_cast<uint32_t>(data.size()));
    uint32_t row = appendDataRow(pager_, page, {reinterpret_cast<const uint8_t*>(data.data()), data.size()});
    out[at + 3] = 0x40;
    put32(out.data() + at, 4, makePointer(page, row));
    return;
  }
  // A chain: write the last piece first so each piece knows its successor.
  const uint32_t chunk = maxRow - 4;
  size_t pieces = (data.size() + chunk - 1) / chunk;
  uint32_t next = 0;
  for (size_t i = pieces; i-- > 0;) {
    size_t off = i * chunk;
    size_t len = std::min<size_t>(chunk, data.size() - off);
    piece_.resize(4 + len);
    put32(piece_.data(), 0, next);
    std::memcpy(piece_.data() + 4, data.data() + off, len);
    uint32_t page = pageWithRoom(static_cast<uint32_t>(piece_.size()));
    uint32_t r = appendDataRow(pager_, page, piece_);
    next = makePointer(page, r);
  }
  out[at + 3] = 0x00;
  put32(out.data() + at, 4, next);
}

}  // namespace qv::jet
