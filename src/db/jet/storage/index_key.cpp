#include "db/jet/storage/index_key.h"

#include <algorithm>
#include <cstring>

#include "db/io/error.h"
#include "db/jet/storage/numeric.h"
#include "db/jet/collation/sort_order.h"
#include "db/jet/base/text.h"

namespace qv::jet {
namespace {

const ColumnInfo* findColumn(const TableDef& def, uint16_t number, size_t* at) {
  for (size_t i = 0; i < def.columns.size(); ++i)
    if (def.columns[i].number == number) {
      *at = i;
      return &def.columns[i];
    }
  return nullptr;
}

void putBigEndian(std::vector<uint8_t>& out, uint64_t v, int bytes) {
  for (int k = bytes - 1; k >= 0; --k) out.push_back(static_cast<uint8_t>(v >> (8 * k)));
}

void invert(std::vector<uint8_t>& out, size_t from) {
  for (size_t i = from; i < out.size(); ++i) out[i] = static_cast<uint8_t>(~out[i]);
}

void appendFloatBits(std::vector<uint8_t>& out, uint64_t bits, int bytes) {
  size_t from = out.size();
  putBigEndian(out, bits, bytes);
  if (out[from] & 0x80) invert(out, from);
  else out[from] ^= 0x80;
}

// Descending keys invert the data and the last group's length, never the 09 markers.
void appendBinary(std::vector<uint8_t>& out, const std::string& bytes, bool ascending) {
  size_t pos = 0;
  while (bytes.size() - pos > 8) {
    size_t from = out.size();
    out.insert(out.end(), bytes.begin() + static_cast<long>(pos), bytes.begin() + static_cast<long>(pos + 8));
    if (!ascending) invert(out, from);
    out.push_back(9);
    pos += 8;
  }
  size_t rest = bytes.size() - pos;
  if (rest == 0) return;
  size_t from = out.size();
  out.insert(out.end(), bytes.begin() + static_cast<long>(pos), bytes.end());
  out.insert(out.end(), 8 - rest, 0);
  out.push_back(static_cast<uint8_t>(rest));
  if (!ascending) invert(out, from);
}

// A Decimal's key: its sign byte and its magnitude big-endian, turned so that keys sort
// as the numbers do. Jet 4 sets the sign byte after the turn (so descending positives
// sort after the negatives), ACE before it.
void appendDecimal(std::vector<uint8_t>& out, const std::string& text, int scale, bool ascending, bool legacy) {
  uint8_t storage[17] = {};
  if (!decimalToStorage(text, 38, scale, storage))
    throw DbError(kErrGeneric, "index key: a Decimal value is unreadable");
  const bool negative = (storage[0] & 0x80) != 0;
  const size_t from = out.size();
  out.push_back(storage[0]);
  for (int word = 0; word < 4; ++word)
    for (int k = 3; k >= 0; --k) out.push_back(storage[1 + word * 4 + k]);
  if (!legacy) out[from] = 0xFF;
  if (negative == ascending) invert(out, from);
  if (legacy) out[from] = negative ? 0x00 : 0xFF;
}

}  // namespace

std::optional<std::string> indexKeyUnsupported(const TableDef& def, const RealIndex& index) {
  for (const IndexColumn& ic : index.columns) {
    size_t at = 0;
    const ColumnInfo* c = findColumn(def, ic.number, &at);
    if (!c) return "an index names a missing column";
    switch (c->def.type) {
      case ColumnType::kByte:
      case ColumnType::kInteger:
      case ColumnType::kLong:
      case ColumnType::kCurrency:
      case ColumnType::kSingle:
      case ColumnType::kDouble:
      case ColumnType::kDateTime:
      case ColumnType::kBoolean: break;
      case ColumnType::kBinary:
      case ColumnType::kGuid:
      case ColumnType::kNumeric: break;
      case ColumnType::kText:
      case ColumnType::kMemo:
        if (!textKeyEncoder(c->sortLanguage, c->sortVersion))
          return "column " + c->def.name + " uses the sort order " + sortOrderName(c->sortLanguage, c->sortVersion) +
                 ", which this program cannot encode";
        break;
      default: return "column " + c->def.name + " has a type whose index keys this program cannot encode";
    }
  }
  return std::nullopt;
}

std::vector<uint8_t> indexKey(const TableDef& def, const RealIndex& index, std::span<const Value> values) {
  std::vector<uint8_t> out;
  for (const IndexColumn& ic : index.columns) {
    size_t at = 0;
    const ColumnInfo* c = findColumn(def, ic.number, &at);
    if (!c || at >= values.size()) throw DbError(kErrGeneric, "index key: a column is missing");
    const Value& v = values[at];
    if (v.isNull() && c->def.type != ColumnType::kBoolean) {
      out.push_back(ic.ascending ? 0x00 : 0xFF);
      continue;
    }
    out.push_back(ic.ascending ? 0x7F : 0x80);
    size_t from = out.size();
    switch (c->def.type) {
      case ColumnType::kByte: out.push_back(static_cast<uint8_t>(v.i)); break;
      case ColumnType::kInteger: putBigEndian(out, static_cast<uint64_t>(v.i) ^ 0x8000u, 2); break;
      case ColumnType::kLong: putBigEndian(out, static_cast<uint64_t>(v.i) ^ 0x80000000u, 4); break;
      case ColumnType::kCurrency: putBigEndian(out, static_cast<uint64_t>(v.i) ^ 0x8000000000000000ull, 8); break;
      case ColumnType::kSingle: {
        float f = static_cast<float>(v.d);
        uint32_t bits;
        std::memcpy(&bits, &f, sizeof bits);
        appendFloatBits(out, bits, 4);
        break;
      }
      case ColumnType::kDouble:
      case ColumnType::kDateTime: {
        uint64_t bits;
        std::memcpy(&bits, &v.d, sizeof bits);
        appendFloatBits(out, bits, 8);
        break;
      }
      case ColumnType::kBoolean: out.push_back(v.b ? 0x00 : 0xFF); break;
      case ColumnType::kBinary: appendBinary(out, v.s, ic.ascending); continue;  // handles its own descending form
      case ColumnType::kGuid: {
        // Stored as the GUID structure is in memory (its first three fields little-endian);
        // keyed in the order its text reads, so those three fields byte-reversed, then
        // as binary (Access's own GUID indexes, e.g. testIndexCodes.mdb, are keyed so).
        std::string key = v.s;
        if (key.size() == 16) {
          std::reverse(key.begin(), key.begin() + 4);
          std::reverse(key.begin() + 4, key.begin() + 6);
          std::reverse(key.begin() + 6, key.begin() + 8);
        }
        appendBinary(out, key, ic.ascending);
        continue;  // handles its own descending form
      }
      case ColumnType::kNumeric: appendDecimal(out, v.s, c->def.scale, ic.ascending, def.legacyNumericKeys); continue;
      case ColumnType::kText:
      case ColumnType::kMemo: {
        const TextKeyEncoder* enc = textKeyEncoder(c->sortLanguage, c->sortVersion);
        if (!enc) throw DbError(kErrGeneric, "index key: unsupported sort order");
        try {
          enc->append(utf8ToUtf16(v.s), ic.ascending, out);
        } catch (const UnencodableText& e) {
          throw UnencodableText("column " + c->def.name + ": " + e.what());
        }
        continue;  // the text key handles its own descending form
      }
      default: throw DbError(kErrGeneric, "index key: unsupported column type");
    }
    if (!ic.ascending) invert(out, from);
  }
  return out;
}

bool keyAllNull(const TableDef& def, const RealIndex& index, std::span<const Value> values) {
  for (const IndexColumn& ic : index.columns)
    for (size_t c = 0; c < def.columns.size() && c < values.size(); ++c)
      if (def.columns[c].number == ic.number &&
          (!values[c].isNull() || def.columns[c].def.type == ColumnType::kBoolean))
        return false;
  return true;
}

const ColumnInfo* nullKeyColumn(const TableDef& def, const RealIndex& index, std::span<const Value> values) {
  for (const IndexColumn& ic : index.columns)
    for (size_t c = 0; c < def.columns.size() && c < values.size(); ++c)
      if (def.columns[c].number == ic.number && values[c].isNull() && def.columns[c].def.type != ColumnType::kBoolean)
        return &def.columns[c];
  return nullptr;
}

std::vector<uint8_t> leafEntry(const TableDef& def, const RealIndex& index, std::span<const Value> values,
                               uint32_t rowPointer) {
  std::vector<uint8_t> e = indexKey(def, index, values);
  uint32_t page = rowPointer >> 8;
  e.push_back(static_cast<uint8_t>(page >> 16));
  e.push_back(static_cast<uint8_t>(page >> 8));
  e.push_back(static_cast<uint8_t>(page));
  e.push_back(static_cast<uint8_t>(rowPointer));
  return e;
}

}  // namespace qv::jet
