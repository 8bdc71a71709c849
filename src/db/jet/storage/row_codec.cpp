#include "db/jet/storage/row_codec.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "db/io/error.h"
#include "db/jet/base/bytes.h"
#include "db/jet/storage/numeric.h"
#include "db/jet/base/text.h"

namespace qv::jet {
namespace {

[[noreturn]] void damaged(const std::string& what, const char* why) {
  throw DbError(kErrFormat, what + " is damaged (" + why + ")");
}

std::string decodeText(const Layout& l, const uint8_t* p, size_t n) {
  return l.jet3 ? decodeCp1252(p, n) : decodeUcs2Text(p, n);
}

Value fixedValue(const ColumnInfo& c, const uint8_t* p) {
  switch (c.def.type) {
    case ColumnType::kByte: return Value::integer(p[0]);
    case ColumnType::kInteger: return Value::integer(static_cast<int16_t>(get16(p, 0)));
    case ColumnType::kLong: return Value::integer(static_cast<int32_t>(get32(p, 0)));
    case ColumnType::kCurrency: return Value::currency(static_cast<int64_t>(get64(p, 0)));
    case ColumnType::kSingle: return Value::real(static_cast<double>(getFloat(p, 0)));
    case ColumnType::kDouble: return Value::real(getDouble(p, 0));
    case ColumnType::kDateTime: return Value::dateTime(getDouble(p, 0));
    case ColumnType::kGuid: return Value::guid(std::string(reinterpret_cast<const char*>(p), 16));
    case ColumnType::kNumeric: return Value::decimal(decimalFromStorage(p, c.def.scale));
    default:
      if (static_cast<uint8_t>(c.def.type) == kTypeBigInt) return Value::integer(static_cast<int64_t>(get64(p, 0)));
      return Value::null();
  }
}

// Where a row keeps what it holds: its null mask and the offsets of its variable columns
// (the end-of-data offset last).
struct RowFrame {
  uint32_t numCols = 0;
  size_t maskLen = 0;
  const uint8_t* mask = nullptr;
  uint32_t varCount = 0;
  std::vector<uint32_t> varOffsets;
  bool present(uint16_t number) const { return number < numCols && ((mask[number / 8] >> (number % 8)) & 1); }
};

void readFrame(const Layout& l, const TableDef& def, std::span<const uint8_t> row, RowFrame& f,
               const std::string& what) {
  const uint8_t* r = row.data();
  const size_t len = row.size();
  const size_t countSize = l.jet3 ? 1 : 2;
  if (len < countSize + 1) damaged(what, "a row is too short");
  uint32_t numCols = l.jet3 ? r[0] : get16(r, 0);
  size_t maskLen = (numCols + 7) / 8;
  if (maskLen + countSize > len) damaged(what, "a row's null mask overruns the row");
  f.numCols = numCols;
  f.maskLen = maskLen;
  f.mask = r + len - maskLen;
  f.varOffsets.clear();
  f.varCount = 0;
  std::vector<uint32_t>& varOffsets = f.varOffsets;
  uint32_t& varCount = f.varCount;
  if (def.varCols > 0) {
    if (l.jet3) {
      if (len < maskLen + 2) damaged(what, "a row is too short");
      size_t rowEnd = len - 1;
      varCount = r[rowEnd - maskLen];
      size_t numJumps = rowEnd / 256;
      if (rowEnd < maskLen + numJumps + 1) damaged(what, "a row's offset table overruns the row");
      const size_t colPtr = rowEnd - maskLen - numJumps - 1;
      if (colPtr < varCount) damaged(what, "a row's offset table overruns the row");
      // The last jump entry may be a dummy (the count comes from the row's size).
      if (numJumps > 0 && colPtr - varCount < numJumps * 256) --numJumps;
      size_t jumpsUsed = 0;
      for (uint32_t i = 0; i <= varCount; ++i) {
        while (jumpsUsed < numJumps && i == r[rowEnd - maskLen - jumpsUsed - 1]) ++jumpsUsed;
        varOffsets.push_back(r[colPtr - i] + static_cast<uint32_t>(jumpsUsed) * 256);
      }
    } else {
      if (len < maskLen + 2 + countSize) damaged(what, "a row is too short");
      varCount = get16(r, len - maskLen - 2);
      if (static_cast<size_t>(varCount) * 2 + 4 + maskLen > len) damaged(what, "a row's offset table overruns the row");
      for (uint32_t i = 0; i <= varCount; ++i) varOffsets.push_back(get16(r, len - maskLen - 4 - 2 * i));
    }
  }
}

}  // namespace

bool storedColumnBytes(const Layout& l, const TableDef& def, std::span<const uint8_t> row, const ColumnInfo& c,
                       std::span<const uint8_t>* out, const std::string& what) {
  RowFrame f;
  readFrame(l, def, row, f, what);
  if (c.def.type == ColumnType::kBoolean || !f.present(c.number)) return false;
  const size_t dataEnd = row.size() - f.maskLen;
  if (c.fixed()) {
    size_t size = fixedSize(c.def.type);
    if (size == 0) size = c.byteLength;
    if (static_cast<uint8_t>(c.def.type) == kTypeBigInt) size = 8;
    size_t start = (l.jet3 ? 1 : 2) + c.fixedOffset;
    if (start + size > dataEnd) damaged(what, "a fixed column overruns its row");
    *out = row.subspan(start, size);
    return true;
  }
  if (c.varIndex >= f.varCount) return false;
  uint32_t start = f.varOffsets[c.varIndex], end = f.varOffsets[c.varIndex + 1];
  if (start > end || end > dataEnd) damaged(what, "a variable column overruns its row");
  *out = row.subspan(start, end - start);
  return true;
}

uint32_t maxRowSize(const Layout& l) { return l.pageSize - l.dataHeaderSize - 2 - (l.jet3 ? 0 : 16); }

void decodeRow(Pager& pager, const TableDef& def, std::span<const uint8_t> row, std::vector<Value>& out,
               const std::string& what) {
  const Layout& l = pager.layout();
  out.assign(def.columns.size(), Value::null());
  const uint8_t* r = row.data();
  const size_t len = row.size();
  const size_t countSize = l.jet3 ? 1 : 2;
  thread_local RowFrame f;
  readFrame(l, def, row, f, what);
  const size_t maskLen = f.maskLen;
  const std::vector<uint32_t>& varOffsets = f.varOffsets;
  const uint32_t varCount = f.varCount;
  auto present = [&](uint16_t number) { return f.present(number); };
  const size_t dataEnd = len - maskLen;
  for (size_t ci = 0; ci < def.columns.size(); ++ci) {
    const ColumnInfo& c = def.columns[ci];
    if (c.def.type == ColumnType::kBoolean) {
      out[ci] = Value::boolean(present(c.number));
      continue;
    }
    if (!present(c.number)) continue;
    if (c.fixed()) {
      size_t size = fixedSize(c.def.type);
      if (size == 0) size = c.byteLength;
      if (static_cast<uint8_t>(c.def.type) == kTypeBigInt) size = 8;
      size_t start = countSize + c.fixedOffset;
      if (start + size > dataEnd) damaged(what, "a fixed column overruns its row");
      if (c.def.type == ColumnType::kBinary || c.def.type == ColumnType::kText) {
        if (c.def.type == ColumnType::kText) out[ci] = Value::text(decodeText(l, r + start, size));
        else out[ci] = Value::binary(std::string(reinterpret_cast<const char*>(r + start), size));
      } else {
        out[ci] = fixedValue(c, r + start);
      }
      continue;
    }
    if (c.varIndex >= varCount) continue;
    uint32_t start = varOffsets[c.varIndex];
    uint32_t end = varOffsets[c.varIndex + 1];
    if (start > end || end > dataEnd) damaged(what, "a variable column overruns its row");
    const uint8_t* p = r + start;
    size_t n = end - start;
    switch (c.def.type) {
      case ColumnType::kText: out[ci] = Value::text(decodeText(l, p, n)); break;
      case ColumnType::kBinary: out[ci] = Value::binary(std::string(reinterpret_cast<const char*>(p), n)); break;
      case ColumnType::kMemo: {
        std::string raw = readLongValue(pager, p, n, what);
        out[ci] = Value::text(decodeText(l, reinterpret_cast<const uint8_t*>(raw.data()), raw.size()));
        break;
      }
      case ColumnType::kOle: out[ci] = Value::binary(readLongValue(pager, p, n, what)); break;
      default:
        if (static_cast<uint8_t>(c.def.type) == kTypeDateTimeExtended) {
          out[ci] = Value::text(std::string(reinterpret_cast<const char*>(p), n));
        } else if (n >= fixedSize(c.def.type) && fixedSize(c.def.type) > 0) {
          // A fixed type stored as a variable column (seen in some files).
          out[ci] = fixedValue(c, p);
        }
        break;
    }
  }
}

namespace {

[[noreturn]] void doesNotFit(const ColumnInfo& c, const std::string& why) {
  throw DbError(kErrSql, "The value for column '" + c.def.name + "' does not fit: " + why + ".");
}

int64_t integralOf(const ColumnInfo& c, const Value& v) {
  switch (v.kind) {
    case Value::Kind::kInteger: return v.i;
    case Value::Kind::kBoolean: return v.b ? -1 : 0;
    case Value::Kind::kDouble:
    case Value::Kind::kDateTime: {
      double r = std::nearbyint(v.d);
      if (!(r >= -9.2e18 && r <= 9.2e18)) doesNotFit(c, "number out of range");
      return static_cast<int64_t>(r);
    }
    case Value::Kind::kCurrency: return (v.i >= 0 ? v.i + 5000 : v.i - 5000) / 10000;
    case Value::Kind::kDecimal: {
      char* end = nullptr;
      double d = std::strtod(v.s.c_str(), &end);
      return static_cast<int64_t>(std::nearbyint(d));
    }
    default: doesNotFit(c, "a number is expected");
  }
}

double realOf(const ColumnInfo& c, const Value& v) {
  switch (v.kind) {
    case Value::Kind::kInteger: return static_cast<double>(v.i);
    case Value::Kind::kBoolean: return v.b ? -1.0 : 0.0;
    case Value::Kind::kDouble:
    case Value::Kind::kDateTime: return v.d;
    case Value::Kind::kCurrency: return static_cast<double>(v.i) / 10000.0;
    case Value::Kind::kDecimal: return std::strtod(v.s.c_str(), nullptr);
    default: doesNotFit(c, "a number is expected");
  }
}

void encodeFixed(const ColumnInfo& c, const Value& v, uint8_t* p) {
  switch (c.def.type) {
    case ColumnType::kByte: {
      int64_t x = integralOf(c, v);
      if (x < 0 || x > 255) doesNotFit(c, "Byte values range from 0 to 255");
      p[0] = static_cast<uint8_t>(x);
      break;
    }
    case ColumnType::kInteger: {
      int64_t x = integralOf(c, v);
      if (x < -32768 || x > 32767) doesNotFit(c, "Integer values range from -32768 to 32767");
      put16(p, 0, static_cast<uint32_t>(x));
      break;
    }
    case ColumnType::kLong: {
      int64_t x = integralOf(c, v);
      if (x < std::numeric_limits<int32_t>::min() || x > std::numeric_limits<int32_t>::max())
        doesNotFit(c, "Long values range from -2147483648 to 2147483647");
      put32(p, 0, static_cast<uint32_t>(x));
      break;
    }
    case ColumnType::kCurrency: {
      int64_t x;
      if (v.kind == Value::Kind::kCurrency) x = v.i;
      else if (v.kind == Value::Kind::kInteger) {
        if (v.i > 922337203685477 || v.i < -922337203685477) doesNotFit(c, "Currency out of range");
        x = v.i * 10000;
      } else {
        double d = realOf(c, v) * 10000.0;
        if (!(std::fabs(d) < 9.2e18)) doesNotFit(c, "Currency out of range");
        x = static_cast<int64_t>(std::nearbyint(d));
      }
      put64(p, 0, static_cast<uint64_t>(x));
      break;
    }
    case ColumnType::kSingle: {
      double d = realOf(c, v);
      if (std::isfinite(d) && std::fabs(d) > 3.402823466e38) doesNotFit(c, "Single out of range");
      putFloat(p, 0, static_cast<float>(d));
      break;
    }
    case ColumnType::kDouble: putDouble(p, 0, realOf(c, v)); break;
    case ColumnType::kDateTime: {
      double d = realOf(c, v);
      if (!std::isfinite(d)) doesNotFit(c, "not a date");
      putDouble(p, 0, d);
      break;
    }
    case ColumnType::kGuid:
      if ((v.kind != Value::Kind::kGuid && v.kind != Value::Kind::kBinary) || v.s.size() != 16)
        doesNotFit(c, "a GUID of 16 bytes is expected");
      std::memcpy(p, v.s.data(), 16);
      break;
    case ColumnType::kNumeric: {
      std::string text;
      if (v.kind == Value::Kind::kDecimal) text = v.s;
      else if (v.kind == Value::Kind::kInteger) text = std::to_string(v.i);
      else if (v.kind == Value::Kind::kCurrency) text = currencyText(v.i);
      else if (v.kind == Value::Kind::kBoolean) text = v.b ? "-1" : "0";
      else if (v.kind == Value::Kind::kDouble) {
        if (!std::isfinite(v.d)) doesNotFit(c, "not a number");
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.*f", std::clamp(c.def.scale, 0, 28), v.d);
        text = buf;
      } else {
        doesNotFit(c, "a number is expected");
      }
      if (!decimalToStorage(text, c.def.precision, c.def.scale, p))
        doesNotFit(c, "more digits than precision " + std::to_string(c.def.precision) + " allows");
      break;
    }
    default: break;
  }
}

}  // namespace

void encodeRow(const TableDef& def, std::span<const Value> values, LongValueWriter& lv, std::vector<uint8_t>& row) {
  thread_local std::u16string scratch;
  thread_local std::vector<std::vector<uint8_t>> longData;
  thread_local std::vector<uint8_t> field;
  const size_t n = def.columns.size();
  uint32_t numCols = def.maxCols;
  uint32_t fixedLen = 0;
  int maxVar = -1;
  // Column of each variable slot (-1: none).
  int16_t byVar[256];
  std::fill(std::begin(byVar), std::end(byVar), static_cast<int16_t>(-1));
  for (size_t i = 0; i < n; ++i) {
    const ColumnInfo& c = def.columns[i];
    numCols = std::max<uint32_t>(numCols, c.number + 1u);
    if (c.fixed() && c.def.type != ColumnType::kBoolean) {
      uint32_t size = fixedSize(c.def.type);
      if (size == 0) size = c.byteLength;
      fixedLen = std::max<uint32_t>(fixedLen, c.fixedOffset + size);
    } else if (!c.fixed() && c.varIndex < 256) {
      maxVar = std::max<int>(maxVar, c.varIndex);
      byVar[c.varIndex] = static_cast<int16_t>(i);
    }
  }
  const uint32_t maskLen = (numCols + 7) / 8;
  uint8_t mask[32] = {};
  row.assign(2 + fixedLen, 0);
  put16(row.data(), 0, numCols);
  auto setBit = [&](const ColumnInfo& c) { mask[c.number / 8] |= static_cast<uint8_t>(1u << (c.number % 8)); };
  // First every check and every fixed column, so that a value that does not fit is
  // reported before any long value has been written.
  for (size_t i = 0; i < n; ++i) {
    const ColumnInfo& c = def.columns[i];
    const Value& v = values[i];
    if (c.def.type == ColumnType::kBoolean) {
      bool b = false;
      if (v.kind == Value::Kind::kBoolean) b = v.b;
      else if (!v.isNull()) b = integralOf(c, v) != 0;
      if (b) setBit(c);
      continue;
    }
    if (v.isNull()) continue;
    setBit(c);
    if (c.fixed()) {
      if (c.def.type == ColumnType::kText || c.def.type == ColumnType::kBinary) {
        std::string bytes = c.def.type == ColumnType::kText ? encodeUcs2(v.s) : v.s;
        if (bytes.size() > c.byteLength) doesNotFit(c, "too long");
        std::memcpy(row.data() + 2 + c.fixedOffset, bytes.data(), bytes.size());
      } else {
        encodeFixed(c, v, row.data() + 2 + c.fixedOffset);
      }
      continue;
    }
    switch (c.def.type) {
      case ColumnType::kText: {
        if (v.kind != Value::Kind::kText) doesNotFit(c, "a text is expected");
        // Cheap bound first: a text has at most as many UTF-16 units as bytes.
        if (v.s.size() > static_cast<size_t>(c.def.length)) {
          size_t chars = utf16Length(v.s);
          if (chars > static_cast<size_t>(c.def.length))
            doesNotFit(c, std::to_string(chars) + " characters exceed the field size " + std::to_string(c.def.length));
        }
        break;
      }
      case ColumnType::kBinary:
        if (v.s.size() > c.byteLength) doesNotFit(c, "too long");
        break;
      case ColumnType::kMemo:
        if (v.kind != Value::Kind::kText) doesNotFit(c, "a text is expected");
        break;
      case ColumnType::kOle:
        if (v.kind != Value::Kind::kBinary && v.kind != Value::Kind::kText) doesNotFit(c, "binary data is expected");
        break;
      default: break;
    }
  }
  // Then the variable columns in slot order, straight into the row; a long value gets
  // the room its field will take, filled in once the row's size is known to be fine.
  const uint32_t varCount = static_cast<uint32_t>(maxVar + 1);
  uint16_t offsets[256];
  struct LongSlot {
    size_t at;
    uint32_t k;
  };
  LongSlot longSlots[256];
  uint32_t longCount = 0;
  if (longData.size() < varCount) longData.resize(varCount);
  const uint32_t maxInline = lv.maxInline();
  for (uint32_t k = 0; k < varCount; ++k) {
    offsets[k] = static_cast<uint16_t>(row.size());
    if (byVar[k] < 0) continue;
    const ColumnInfo& c = def.columns[static_cast<size_t>(byVar[k])];
    const Value& v = values[static_cast<size_t>(byVar[k])];
    if (v.isNull()) continue;
    switch (c.def.type) {
      case ColumnType::kText: appendUcs2Text(v.s, c.compressed != 0, row, scratch); break;
      case ColumnType::kBinary: row.insert(row.end(), v.s.begin(), v.s.end()); break;
      case ColumnType::kMemo:
      case ColumnType::kOle: {
        std::vector<uint8_t>& data = longData[k];
        data.clear();
        if (c.def.type == ColumnType::kMemo)
          appendUcs2Text(v.s, c.compressed != 0, data, scratch, kMaxCompressedLongText);
        else data.assign(v.s.begin(), v.s.end());
        if (!LongValueWriter::storable(data.size()))
          throw DbError(kErrSql, "The value is too large for a long value column.");
        longSlots[longCount++] = {row.size(), k};
        row.resize(row.size() + 12 + (data.size() <= maxInline ? data.size() : 0));
        break;
      }
      default: break;
    }
    // Offsets are 16-bit: stop before one would wrap (the row is then too large anyway).
    if (row.size() > 0xFFFF) throw DbError(kErrSql, "Record is too large.");
  }
  const size_t trailer = (def.varCols > 0 || varCount > 0 ? 4 + 2 * varCount : 0) + maskLen;
  if (row.size() + trailer > 4060) throw DbError(kErrSql, "Record is too large.");
  for (uint32_t i = 0; i < longCount; ++i) {
    const std::vector<uint8_t>& data = longData[longSlots[i].k];
    field.clear();
    lv.write(def.columns[static_cast<size_t>(byVar[longSlots[i].k])].number,
             {reinterpret_cast<const char*>(data.data()), data.size()}, field);
    std::memcpy(row.data() + longSlots[i].at, field.data(), field.size());
  }
  if (def.varCols > 0 || varCount > 0) {
    uint32_t eod = static_cast<uint32_t>(row.size());
    size_t at = row.size();
    row.resize(at + 2 + 2 * varCount + 2);
    put16(row.data(), at, eod);
    at += 2;
    for (uint32_t k = varCount; k-- > 0;) {
      put16(row.data(), at, offsets[k]);
      at += 2;
    }
    put16(row.data(), at, varCount);
  }
  row.insert(row.end(), mask, mask + maskLen);
}

}  // namespace qv::jet
