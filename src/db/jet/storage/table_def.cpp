#include "db/jet/storage/table_def.h"

#include <algorithm>

#include "db/io/error.h"
#include "db/jet/base/bytes.h"
#include "db/jet/base/text.h"

namespace qv::jet {
namespace {

// Bounds-checked cursor over a definition's bytes.
class Reader {
 public:
  Reader(const std::vector<uint8_t>& data, std::string what) : d_(data), what_(std::move(what)) {}
  void need(size_t pos, size_t n) const {
    if (pos > d_.size() || n > d_.size() - pos)
      throw DbError(kErrFormat, what_ + " is damaged (table definition too short)");
  }
  uint8_t u8(size_t pos) const {
    need(pos, 1);
    return d_[pos];
  }
  uint16_t u16(size_t pos) const {
    need(pos, 2);
    return get16(d_.data(), pos);
  }
  uint32_t u32(size_t pos) const {
    need(pos, 4);
    return get32(d_.data(), pos);
  }
  const uint8_t* at(size_t pos, size_t n) const {
    need(pos, n);
    return d_.data() + pos;
  }
  const std::string& what() const { return what_; }

 private:
  const std::vector<uint8_t>& d_;
  std::string what_;
};

// Every type byte is accepted: columns of types we do not know read as Null.
bool knownType(uint8_t t) { return t != 0; }

constexpr uint32_t kRealIndexMagic = 1923;  // the word Access writes before each index

}  // namespace

uint16_t fixedSize(ColumnType type) {
  switch (type) {
    case ColumnType::kBoolean: return 0;
    case ColumnType::kByte: return 1;
    case ColumnType::kInteger: return 2;
    case ColumnType::kLong: return 4;
    case ColumnType::kCurrency: return 8;
    case ColumnType::kSingle: return 4;
    case ColumnType::kDouble: return 8;
    case ColumnType::kDateTime: return 8;
    case ColumnType::kGuid: return 16;
    case ColumnType::kNumeric: return 17;
    default: return 0;
  }
}

bool isLongValue(ColumnType type) { return type == ColumnType::kMemo || type == ColumnType::kOle; }
bool isVariable(ColumnType type) {
  return type == ColumnType::kText || type == ColumnType::kBinary || isLongValue(type);
}

TableDef readTableDef(Pager& pager, uint32_t page, const std::string& tableName) {
  const Layout& l = pager.layout();
  std::string what = "'" + pager.path() + "' (table " + tableName + ")";
  TableDef def;
  def.page = page;
  std::vector<uint8_t> data;
  uint32_t next = page;
  while (next != 0) {
    if (std::find(def.pages.begin(), def.pages.end(), next) != def.pages.end() || def.pages.size() > 64)
      throw DbError(kErrFormat, what + " is damaged (table definition pages form a loop)");
    const uint8_t* p = pager.read(next);
    if (p[0] != kPageTableDef)
      throw DbError(kErrFormat, what + " is damaged (page " + std::to_string(next) + " is not a table definition)");
    def.pages.push_back(next);
    if (data.empty()) data.assign(p, p + l.pageSize);
    else data.insert(data.end(), p + 8, p + l.pageSize);
    next = get32(p, 4);
  }
  Reader r(data, what);
  def.legacyNumericKeys = pager.read(0)[0x14] <= 1;  // page 0's version byte: Jet 3 or Jet 4
  if (!l.jet3) def.magic = r.u32(12);
  def.rowCount = r.u32(l.tdefRowCount);
  def.autoNumber = r.u32(l.tdefAutoNumber);
  def.tableType = r.u8(l.tdefTableType);
  def.maxCols = r.u16(l.tdefMaxCols);
  def.varCols = r.u16(l.tdefVarCols);
  uint32_t numCols = r.u16(l.tdefColumnCount);
  uint32_t numIdx = r.u32(l.tdefIndexCount);
  uint32_t numReal = r.u32(l.tdefRealIndexCount);
  def.usedPages = r.u32(l.tdefUsedPages);
  def.freePages = r.u32(l.tdefFreePages);
  if (numCols == 0 || numIdx > 1000 || numReal > 1000)
    throw DbError(kErrFormat, what + " is damaged (implausible column or index counts)");
  size_t pos = l.tdefBlockEnd;
  def.realIndexes.resize(numReal);
  for (uint32_t i = 0; i < numReal; ++i) {
    def.realIndexes[i].rowCount = r.u32(pos + 4);
    pos += l.realIndexEntry;
  }
  std::vector<ColumnInfo> cols(numCols);
  for (uint32_t i = 0; i < numCols; ++i) {
    ColumnInfo& c = cols[i];
    uint8_t type = r.u8(pos);
    if (!knownType(type))
      throw DbError(kErrFormat, what + " is damaged (unknown column type " + std::to_string(type) + ")");
    c.def.type = static_cast<ColumnType>(type);
    c.number = r.u16(pos + l.colNum);
    c.varIndex = r.u16(pos + l.colVarIndex);
    uint16_t misc = r.u16(pos + l.colMisc);
    c.flags = r.u8(pos + l.colFlags);
    if (!l.jet3) {
      c.compressed = r.u8(pos + 16);
      c.sortVersion = r.u8(pos + 14);
    }
    c.fixedOffset = r.u16(pos + l.colFixedOffset);
    c.byteLength = r.u16(pos + l.colLength);
    if (c.def.type == ColumnType::kNumeric) {
      c.def.precision = misc & 0xFF;
      c.def.scale = misc >> 8;
    } else {
      c.sortLanguage = l.jet3 ? r.u16(pos + 7) : misc;
    }
    if (c.def.type == ColumnType::kText) c.def.length = l.jet3 ? c.byteLength : c.byteLength / 2;
    else if (c.def.type == ColumnType::kBinary) c.def.length = c.byteLength;
    else c.def.length = 0;
    c.def.autoIncrement = (c.flags & 0x04) != 0;
    pos += l.columnEntry;
  }
  for (uint32_t i = 0; i < numCols; ++i) {
    if (l.jet3) {
      uint8_t n = r.u8(pos);
      cols[i].def.name = decodeCp1252(r.at(pos + 1, n), n);
      pos += 1 + n;
    } else {
      uint16_t n = r.u16(pos);
      cols[i].def.name = decodeUcs2Text(r.at(pos + 2, n), n);
      pos += 2 + n;
    }
  }
  for (uint32_t i = 0; i < numReal; ++i) {
    RealIndex& ri = def.realIndexes[i];
    size_t base = pos + (l.jet3 ? 0 : 4);
    for (int k = 0; k < 10; ++k) {
      uint16_t col = r.u16(base + static_cast<size_t>(k) * 3);
      if (col != 0xFFFF) ri.columns.push_back({col, (r.u8(base + static_cast<size_t>(k) * 3 + 2) & 0x01) != 0});
    }
    ri.usageMap = r.u32(base + 30);
    ri.firstPage = r.u32(base + 34);
    // Jet 4 keeps 4 more bytes between the first page and the flags.
    ri.flags = r.u8(base + (l.jet3 ? 38 : 42));
    pos += l.realIndexDef;
  }
  def.indexes.resize(numIdx);
  for (uint32_t i = 0; i < numIdx; ++i) {
    LogicalIndex& li = def.indexes[i];
    size_t base = pos + (l.jet3 ? 0 : 4);
    li.number = r.u32(base);
    li.realIndex = r.u32(base + 4);
    li.relTableType = r.u8(base + 8);
    li.relIndex = static_cast<int32_t>(r.u32(base + 9));
    li.relTablePage = r.u32(base + 13);
    li.cascadeUpdates = r.u8(base + 17);
    li.cascadeDeletes = r.u8(base + 18);
    li.type = r.u8(base + 19);
    pos += l.logicalIndexDef;
  }
  for (uint32_t i = 0; i < numIdx; ++i) {
    if (l.jet3) {
      uint8_t n = r.u8(pos);
      def.indexes[i].name = decodeCp1252(r.at(pos + 1, n), n);
      pos += 1 + n;
    } else {
      uint16_t n = r.u16(pos);
      def.indexes[i].name = decodeUcs2Text(r.at(pos + 2, n), n);
      pos += 2 + n;
    }
  }
  if (!l.jet3) {
    // Long-value usage maps (absent in some older files: stop at the end quietly).
    for (int guard = 0; guard < 256 && pos + 2 <= data.size(); ++guard) {
      uint16_t col = r.u16(pos);
      if (col == 0xFFFF || pos + 10 > data.size()) break;
      def.longValueMaps.push_back({col, r.u32(pos + 2), r.u32(pos + 6)});
      pos += 10;
    }
  }
  std::sort(cols.begin(), cols.end(), [](const ColumnInfo& a, const ColumnInfo& b) { return a.number < b.number; });
  for (auto& ri : def.realIndexes)
    for (auto& ic : ri.columns)
      if (std::none_of(cols.begin(), cols.end(), [&](const ColumnInfo& c) { return c.number == ic.number; }))
        throw DbError(kErrFormat, what + " is damaged (an index names a missing column)");
  for (auto& li : def.indexes)
    if (li.realIndex >= numReal && li.realIndex != 0xFFFFFFFF && numReal > 0)
      throw DbError(kErrFormat, what + " is damaged (an index refers to a missing index)");
  def.columns = std::move(cols);
  return def;
}

std::vector<std::vector<uint8_t>> encodeTableDef(const TableDef& def, const Layout& l) {
  // Build the definition as one byte string, then cut it into pages.
  std::vector<uint8_t> d(l.tdefBlockEnd, 0);
  d[0] = kPageTableDef;
  d[1] = 1;
  put32(d.data(), 12, def.magic);
  put32(d.data(), l.tdefRowCount, def.rowCount);
  put32(d.data(), l.tdefAutoNumber, def.autoNumber);
  d[24] = 1;  // AutoNumber flag, as Access sets it
  d[l.tdefTableType] = def.tableType;
  put16(d.data(), l.tdefMaxCols, def.maxCols);
  put16(d.data(), l.tdefVarCols, def.varCols);
  put16(d.data(), l.tdefColumnCount, static_cast<uint32_t>(def.columns.size()));
  put32(d.data(), l.tdefIndexCount, static_cast<uint32_t>(def.indexes.size()));
  put32(d.data(), l.tdefRealIndexCount, static_cast<uint32_t>(def.realIndexes.size()));
  put32(d.data(), l.tdefUsedPages, def.usedPages);
  put32(d.data(), l.tdefFreePages, def.freePages);
  auto append = [&](size_t n) {
    size_t at = d.size();
    d.resize(at + n, 0);
    return at;
  };
  for (const RealIndex& ri : def.realIndexes) {
    size_t at = append(l.realIndexEntry);
    put32(d.data(), at + 4, ri.rowCount);
  }
  // The order of the column entries (and of their names and long-value maps).
  std::vector<const ColumnInfo*> entries;
  for (const ColumnInfo& c : def.columns) entries.push_back(&c);
  if (def.engineLayout)
    std::stable_sort(entries.begin(), entries.end(), [](const ColumnInfo* a, const ColumnInfo* b) {
      return foldName(a->def.name) < foldName(b->def.name);
    });
  for (const ColumnInfo* entry : entries) {
    const ColumnInfo& c = *entry;
    size_t at = append(l.columnEntry);
    d[at] = static_cast<uint8_t>(c.def.type);
    put32(d.data(), at + 1, def.magic);
    put16(d.data(), at + 5, c.number);
    put16(d.data(), at + 7, c.varIndex);
    put16(d.data(), at + 9, def.engineLayout ? 0 : c.number);
    if (c.def.type == ColumnType::kNumeric) {
      d[at + 11] = static_cast<uint8_t>(c.def.precision);
      d[at + 12] = static_cast<uint8_t>(c.def.scale);
    } else {
      put16(d.data(), at + 11, c.sortLanguage);
    }
    d[at + 14] = c.sortVersion;
    d[at + 15] = c.flags;
    d[at + 16] = c.compressed;
    put16(d.data(), at + 21, c.fixedOffset);
    put16(d.data(), at + 23, c.byteLength);
  }
  auto appendName = [&](const std::string& name) {
    std::string u = encodeUcs2(name);
    size_t at = append(2 + u.size());
    put16(d.data(), at, static_cast<uint32_t>(u.size()));
    std::copy(u.begin(), u.end(), d.begin() + static_cast<long>(at) + 2);
  };
  for (const ColumnInfo* c : entries) appendName(c->def.name);
  for (const RealIndex& ri : def.realIndexes) {
    size_t at = append(l.realIndexDef);
    put32(d.data(), at, kRealIndexMagic);
    for (int k = 0; k < 10; ++k) {
      size_t e = at + 4 + static_cast<size_t>(k) * 3;
      if (static_cast<size_t>(k) < ri.columns.size()) {
        put16(d.data(), e, ri.columns[static_cast<size_t>(k)].number);
        d[e + 2] = ri.columns[static_cast<size_t>(k)].ascending ? 0x01 : 0x00;
      } else {
        put16(d.data(), e, 0xFFFF);
      }
    }
    put32(d.data(), at + 34, ri.usageMap);
    put32(d.data(), at + 38, ri.firstPage);
    d[at + 46] = ri.flags;
  }
  for (const LogicalIndex& li : def.indexes) {
    size_t at = append(l.logicalIndexDef);
    put32(d.data(), at, def.magic);
    put32(d.data(), at + 4, li.number);
    put32(d.data(), at + 8, li.realIndex);
    d[at + 12] = li.relTableType;
    put32(d.data(), at + 13, static_cast<uint32_t>(li.relIndex));
    put32(d.data(), at + 17, li.relTablePage);
    d[at + 21] = li.cascadeUpdates;
    d[at + 22] = li.cascadeDeletes;
    d[at + 23] = li.type;
  }
  for (const LogicalIndex& li : def.indexes) appendName(li.name);
  std::vector<LongValueMaps> maps = def.longValueMaps;
  auto entryOf = [&](uint16_t column) {
    for (size_t i = 0; i < entries.size(); ++i)
      if (entries[i]->number == column) return i;
    return entries.size();
  };
  std::stable_sort(maps.begin(), maps.end(), [&](const LongValueMaps& a, const LongValueMaps& b) {
    return entryOf(a.column) < entryOf(b.column);
  });
  for (const LongValueMaps& m : maps) {
    size_t at = append(10);
    put16(d.data(), at, m.column);
    put32(d.data(), at + 2, m.owned);
    put32(d.data(), at + 6, m.free);
  }
  size_t at = append(2);
  put16(d.data(), at, 0xFFFF);
  put32(d.data(), 8, static_cast<uint32_t>(d.size()));

  std::vector<std::vector<uint8_t>> pages;
  size_t pos = 0;
  while (pos < d.size()) {
    std::vector<uint8_t> page(l.pageSize, 0);
    size_t used;
    if (pages.empty()) {
      used = std::min<size_t>(d.size(), l.pageSize);
      std::copy(d.begin(), d.begin() + static_cast<long>(used), page.begin());
      pos = used;
    } else {
      page[0] = kPageTableDef;
      page[1] = 1;
      size_t n = std::min<size_t>(d.size() - pos, l.pageSize - 8);
      std::copy(d.begin() + static_cast<long>(pos), d.begin() + static_cast<long>(pos + n), page.begin() + 8);
      pos += n;
      used = n + 8;
    }
    put16(page.data(), 2, static_cast<uint32_t>(used + 8 <= l.pageSize ? l.pageSize - used - 8 : 0));
    pages.push_back(std::move(page));
  }
  return pages;
}

}  // namespace qv::jet
