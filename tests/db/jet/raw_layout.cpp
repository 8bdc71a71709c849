#include "db/jet/raw_layout.h"

#include <stdexcept>

#include "db/jet/file/ciphers.h"
#include "db/jet/file/format.h"
#include "support/temp_dir.h"

namespace qv::test {
namespace {

class Cursor {
 public:
  Cursor(const std::vector<uint8_t>& d, std::string what) : d_(d), what_(std::move(what)) {}
  void need(size_t pos, size_t n) const {
    if (pos > d_.size() || n > d_.size() - pos)
      throw std::runtime_error(what_ + ": read past the end at " + std::to_string(pos));
  }
  uint8_t u8(size_t pos) const {
    need(pos, 1);
    return d_[pos];
  }
  uint16_t u16(size_t pos) const {
    need(pos, 2);
    return static_cast<uint16_t>(d_[pos] | d_[pos + 1] << 8);
  }
  uint32_t u32(size_t pos) const {
    need(pos, 4);
    return d_[pos] | d_[pos + 1] << 8 | d_[pos + 2] << 16 | static_cast<uint32_t>(d_[pos + 3]) << 24;
  }
  std::vector<uint8_t> bytes(size_t pos, size_t n) const {
    need(pos, n);
    return {d_.begin() + static_cast<long>(pos), d_.begin() + static_cast<long>(pos + n)};
  }
  std::string name(size_t pos, size_t* next) const {
    uint16_t n = u16(pos);
    need(pos + 2, n);
    std::string out;
    for (size_t i = 0; i + 1 < n; i += 2) {
      uint16_t c = static_cast<uint16_t>(d_[pos + 2 + i] | d_[pos + 3 + i] << 8);
      out += c < 0x80 ? static_cast<char>(c) : '?';
    }
    *next = pos + 2 + n;
    return out;
  }

 private:
  const std::vector<uint8_t>& d_;
  std::string what_;
};

}  // namespace

RawFile::RawFile(const std::string& path) : bytes_(fileBytes(path)) {
  if (bytes_.size() < 0x100) throw std::runtime_error(path + " is too short");
  if (static_cast<uint8_t>(bytes_[0x14]) == 0) throw std::runtime_error(path + " is a Jet 3 file");
}

std::span<const uint8_t> RawFile::page(uint32_t n) const {
  if (n >= pageCount()) throw std::runtime_error("page " + std::to_string(n) + " lies beyond the end");
  return {reinterpret_cast<const uint8_t*>(bytes_.data()) + static_cast<size_t>(n) * pageSize_, pageSize_};
}

std::vector<uint8_t> RawFile::storedHeader() const {
  std::span<const uint8_t> p = page(0);
  return {p.begin(), p.end()};
}

std::vector<uint8_t> RawFile::header() const {
  std::vector<uint8_t> p = storedHeader();
  const uint8_t key[4] = {0xC7, 0xDA, 0x39, 0x6B};
  jet::crypto::rc4(jet::crypto::ByteView(key, 4), p.data() + 0x18, 128);
  return p;
}

RawTableDef RawFile::tableDef(uint32_t first) const {
  RawTableDef t;
  std::vector<uint8_t> d;
  for (uint32_t next = first; next != 0;) {
    if (t.pages.size() > 16) throw std::runtime_error("the definition at page " + std::to_string(first) + " loops");
    std::span<const uint8_t> p = page(next);
    if (p[0] != 2) throw std::runtime_error("page " + std::to_string(next) + " is no table definition");
    t.pages.push_back(next);
    d.insert(d.end(), d.empty() ? p.begin() : p.begin() + 8, p.end());
    next = p[4] | p[5] << 8 | p[6] << 16 | static_cast<uint32_t>(p[7]) << 24;
  }
  Cursor c(d, "the definition at page " + std::to_string(first));
  t.length = c.u32(8);
  t.magic = c.u32(12);
  t.rowCount = c.u32(16);
  t.autoNumber = c.u32(20);
  t.scratch = c.bytes(0x18, 16);
  t.tableType = c.u8(40);
  t.maxCols = c.u16(41);
  t.varCols = c.u16(43);
  const uint16_t columns = c.u16(45);
  const uint32_t logical = c.u32(47), real = c.u32(51);
  if (logical > 256 || real > 256) throw std::runtime_error("implausible index counts");
  t.usedPages = c.u32(55);
  t.freePages = c.u32(59);
  size_t pos = 63;
  t.realIndexes.resize(real);
  for (RawRealIndex& ri : t.realIndexes) {
    ri.distinctKeys = c.u32(pos + 4);
    pos += 12;
  }
  t.columns.resize(columns);
  for (RawColumn& col : t.columns) {
    col.type = c.u8(pos);
    col.magic = c.u32(pos + 1);
    col.number = c.u16(pos + 5);
    col.varIndex = c.u16(pos + 7);
    col.number2 = c.u16(pos + 9);
    col.misc = c.u32(pos + 11);
    col.flags = c.u8(pos + 15);
    col.extraFlags = c.u8(pos + 16);
    col.unknown = c.u32(pos + 17);
    col.fixedOffset = c.u16(pos + 21);
    col.length = c.u16(pos + 23);
    pos += 25;
  }
  for (RawColumn& col : t.columns) col.name = c.name(pos, &pos);
  for (RawRealIndex& ri : t.realIndexes) {
    ri.magic = c.u32(pos);
    ri.columns = c.bytes(pos + 4, 30);
    ri.usageMap = c.u32(pos + 34);
    ri.firstPage = c.u32(pos + 38);
    ri.scratch = c.u32(pos + 42);
    ri.flags = c.u8(pos + 46);
    ri.tail = c.bytes(pos + 47, 5);
    pos += 52;
  }
  t.logicalIndexes.resize(logical);
  for (RawLogicalIndex& li : t.logicalIndexes) {
    li.bytes = c.bytes(pos, 28);
    pos += 28;
  }
  for (RawLogicalIndex& li : t.logicalIndexes) li.name = c.name(pos, &pos);
  for (;;) {
    uint16_t column = c.u16(pos);
    if (column == 0xFFFF) break;
    t.longValueColumns.push_back(column);
    t.longValueMaps.push_back(c.u32(pos + 2));
    t.longValueMaps.push_back(c.u32(pos + 6));
    pos += 10;
  }
  return t;
}

std::span<const uint8_t> RawFile::row(uint32_t pointer) const {
  std::span<const uint8_t> p = page(pointer >> 8);
  const uint32_t r = pointer & 0xFF;
  if (p[0] != 1) throw std::runtime_error("page " + std::to_string(pointer >> 8) + " is no data page");
  const uint16_t count = static_cast<uint16_t>(p[12] | p[13] << 8);
  if (r >= count) throw std::runtime_error("no row " + std::to_string(r) + " on page " + std::to_string(pointer >> 8));
  auto offset = [&](uint32_t k) { return static_cast<uint32_t>((p[14 + 2 * k] | p[15 + 2 * k] << 8) & 0x1FFF); };
  const uint32_t start = offset(r), end = r == 0 ? pageSize_ : offset(r - 1);
  if (start >= end || end > pageSize_) throw std::runtime_error("row " + std::to_string(r) + " is damaged");
  return p.subspan(start, end - start);
}

std::vector<uint32_t> RawFile::usageMap(uint32_t pointer) const {
  std::vector<uint32_t> pages;
  if (pointer == 0) return pages;
  std::span<const uint8_t> m = row(pointer);
  if (m.size() < 5) throw std::runtime_error("a usage map row is too short");
  auto bits = [&](std::span<const uint8_t> bitmap, uint32_t first) {
    for (size_t i = 0; i < bitmap.size(); ++i)
      for (int k = 0; k < 8; ++k)
        if (bitmap[i] & (1 << k)) pages.push_back(first + static_cast<uint32_t>(i * 8 + k));
  };
  if (m[0] == 0) {
    bits(m.subspan(5), m[1] | m[2] << 8 | m[3] << 16 | static_cast<uint32_t>(m[4]) << 24);
  } else {
    for (size_t k = 1; k + 4 <= m.size(); k += 4) {
      uint32_t mapPage = m[k] | m[k + 1] << 8 | m[k + 2] << 16 | static_cast<uint32_t>(m[k + 3]) << 24;
      if (mapPage != 0) bits(page(mapPage).subspan(4), static_cast<uint32_t>((k - 1) / 4 * (pageSize_ - 4) * 8));
    }
  }
  return pages;
}

}  // namespace qv::test
