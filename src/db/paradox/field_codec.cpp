#include "db/paradox/field_codec.h"

#include <cmath>
#include <cstring>

#include "db/io/error.h"

namespace qv::paradox {
namespace {

bool allZero(const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (p[i] != 0) return false;
  return true;
}

int64_t readInt(const uint8_t* p, int n) {
  uint64_t u = p[0] ^ 0x80u;
  for (int i = 1; i < n; ++i) u = (u << 8) | p[i];
  const int bits = 8 * n;
  // Sign-extend from n bytes.
  if (u & (uint64_t{1} << (bits - 1))) u |= ~uint64_t{0} << bits;
  return static_cast<int64_t>(u);
}

void writeInt(uint8_t* p, int n, int64_t v) {
  auto u = static_cast<uint64_t>(v);
  for (int i = n - 1; i >= 0; --i) {
    p[i] = static_cast<uint8_t>(u);
    u >>= 8;
  }
  p[0] ^= 0x80;
}

double readDouble(const uint8_t* p) {
  uint8_t b[8];
  std::memcpy(b, p, 8);
  if (b[0] & 0x80) {
    b[0] &= 0x7F;
  } else {
    for (auto& x : b) x = static_cast<uint8_t>(~x);
  }
  uint64_t u = 0;
  for (uint8_t x : b) u = (u << 8) | x;
  double d;
  std::memcpy(&d, &u, sizeof d);
  return d;
}

void writeDouble(uint8_t* p, double d) {
  uint64_t u;
  std::memcpy(&u, &d, sizeof u);
  for (int i = 7; i >= 0; --i) {
    p[i] = static_cast<uint8_t>(u);
    u >>= 8;
  }
  if (p[0] & 0x80) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(~p[i]);
  } else {
    p[0] |= 0x80;
  }
}

[[noreturn]] void unsuitable(const FieldDef& f, const std::string& why) {
  throw DbError(kErrGeneric, "field '" + f.name + "' (" + std::string(fieldTypeName(f.type)) + "): " + why);
}

int64_t integerOf(const FieldDef& f, const Value& v) {
  if (v.kind == Value::Kind::kInteger || v.kind == Value::Kind::kDate || v.kind == Value::Kind::kTime ||
      v.kind == Value::Kind::kTimestamp || v.kind == Value::Kind::kLogical)
    return v.integer;
  unsuitable(f, "the value is not a whole number");
}

void encodeBcd(const FieldDef& f, const Value& v, uint8_t* p) {
  if (v.kind != Value::Kind::kBcd) unsuitable(f, "the value is not a decimal number");
  std::string t = v.text;
  bool negative = !t.empty() && t[0] == '-';
  if (negative) t.erase(0, 1);
  auto dot = t.find('.');
  std::string whole = t.substr(0, dot);
  std::string frac = dot == std::string::npos ? "" : t.substr(dot + 1);
  for (char c : whole + frac)
    if (c < '0' || c > '9') unsuitable(f, "'" + v.text + "' is not a decimal number");
  while (whole.size() > 1 && whole[0] == '0') whole.erase(0, 1);
  const int decimals = f.decimals();
  if (static_cast<int>(frac.size()) > decimals)
    unsuitable(f, "'" + v.text + "' has more decimals than the field's " + std::to_string(decimals));
  frac.append(static_cast<size_t>(decimals) - frac.size(), '0');
  if (static_cast<int>(whole.size()) > 32 - decimals) unsuitable(f, "'" + v.text + "' has too many digits");
  uint8_t nib[34] = {};
  const int wholeEnd = 34 - decimals;
  for (size_t i = 0; i < whole.size(); ++i)
    nib[wholeEnd - static_cast<int>(whole.size()) + static_cast<int>(i)] = static_cast<uint8_t>(whole[i] - '0');
  for (size_t i = 0; i < frac.size(); ++i) nib[wholeEnd + static_cast<int>(i)] = static_cast<uint8_t>(frac[i] - '0');
  bool zero = true;
  for (int i = 2; i < 34; ++i) zero = zero && nib[i] == 0;
  if (zero) negative = false;
  for (int i = 2; i < 34; ++i) {
    if (negative) nib[i] = static_cast<uint8_t>(15 - nib[i]);
  }
  p[0] = static_cast<uint8_t>((negative ? 0x00 : 0x80) | 0x40 | decimals);
  for (int i = 2; i < 34; i += 2) p[i / 2] = static_cast<uint8_t>((nib[i] << 4) | nib[i + 1]);
}

}  // namespace

std::string bcdToText(const uint8_t* p) {
  const bool positive = (p[0] & 0x80) != 0;
  const size_t wholeDigits = 32 - static_cast<size_t>(std::min(p[0] & 0x3F, 32));
  const uint8_t flip = positive ? 0 : 0x0F;
  // Nibbles 2..33 are the digits. A nibble above 9 ends the stored digits: values that
  // were converted from floating point carry noise in their last places.
  std::string digits;
  for (int i = 2; i < 34; ++i) {
    const uint8_t n = static_cast<uint8_t>(((i % 2) ? p[i / 2] & 0x0F : p[i / 2] >> 4) ^ flip);
    if (n > 9) break;
    digits.push_back(static_cast<char>('0' + n));
  }
  std::string whole = digits.substr(0, std::min(wholeDigits, digits.size()));
  const std::string frac = digits.size() > wholeDigits ? digits.substr(wholeDigits) : std::string();
  const size_t firstNonZero = whole.find_first_not_of('0');
  whole = firstNonZero == std::string::npos ? "0" : whole.substr(firstNonZero);
  const bool zero = whole == "0" && frac.find_first_not_of('0') == std::string::npos;
  std::string out = positive || zero ? "" : "-";
  out += whole;
  if (!frac.empty()) out += "." + frac;
  return out;
}

bool decodeField(const FieldDef& f, const uint8_t* p, Transcoder& decoder, Value& out) {
  const size_t w = f.width;
  switch (f.type) {
    case FieldType::kAlpha: {
      size_t n = 0;
      while (n < w && p[n] != 0) ++n;
      if (n == 0) {
        out.kind = Value::Kind::kNull;
        return false;
      }
      out.kind = Value::Kind::kText;
      return decoder.convert(reinterpret_cast<const char*>(p), n, out.text);
    }
    case FieldType::kShort:
    case FieldType::kLong:
    case FieldType::kAutoInc:
    case FieldType::kDate:
    case FieldType::kTime:
      if (allZero(p, w)) {
        out.kind = Value::Kind::kNull;
        return false;
      }
      out.integer = readInt(p, static_cast<int>(w));
      out.kind = f.type == FieldType::kDate   ? Value::Kind::kDate
                 : f.type == FieldType::kTime ? Value::Kind::kTime
                                              : Value::Kind::kInteger;
      return false;
    case FieldType::kMoney:
    case FieldType::kNumber:
      if (allZero(p, 8)) {
        out.kind = Value::Kind::kNull;
        return false;
      }
      out.kind = Value::Kind::kDouble;
      out.real = readDouble(p);
      return false;
    case FieldType::kTimestamp: {
      if (allZero(p, 8)) {
        out.kind = Value::Kind::kNull;
        return false;
      }
      const double ms = readDouble(p);
      if (!std::isfinite(ms) || std::fabs(ms) > 1e18) {
        out.kind = Value::Kind::kNull;
        return false;
      }
      out.kind = Value::Kind::kTimestamp;
      out.integer = std::llround(ms);
      return false;
    }
    case FieldType::kLogical:
      if (p[0] == 0) {
        out.kind = Value::Kind::kNull;
        return false;
      }
      out.kind = Value::Kind::kLogical;
      out.integer = (p[0] & 0x7F) != 0 ? 1 : 0;
      return false;
    case FieldType::kBcd:
      if ((p[0] & 0x40) == 0) {  // the 0x40 bit marks a value; without it the field is blank
        out.kind = Value::Kind::kNull;
        return false;
      }
      out.kind = Value::Kind::kBcd;
      out.text = bcdToText(p);
      return false;
    case FieldType::kBytes:
      if (allZero(p, w)) {
        out.kind = Value::Kind::kNull;
        return false;
      }
      out.kind = Value::Kind::kBytes;
      out.text.assign(reinterpret_cast<const char*>(p), w);
      return false;
    default:
      out.kind = Value::Kind::kNull;  // blob types are read by the table reader
      return false;
  }
}

void encodeField(const FieldDef& f, const Value& v, Transcoder& encoder, uint8_t* p) {
  const size_t w = f.width;
  std::memset(p, 0, w);
  if (v.isNull()) return;
  switch (f.type) {
    case FieldType::kAlpha: {
      if (v.kind != Value::Kind::kText) unsuitable(f, "the value is not a text");
      std::string bytes;
      encoder.convert(v.text.data(), v.text.size(), bytes);
      if (bytes.size() > w)
        unsuitable(f, "the text has " + std::to_string(bytes.size()) + " bytes, the field holds " + std::to_string(w));
      std::memcpy(p, bytes.data(), bytes.size());
      return;
    }
    case FieldType::kShort: {
      const int64_t x = integerOf(f, v);
      if (x < -32767 || x > 32767) unsuitable(f, std::to_string(x) + " is out of range");
      writeInt(p, 2, x);
      return;
    }
    case FieldType::kLong:
    case FieldType::kAutoInc:
    case FieldType::kDate:
    case FieldType::kTime: {
      const int64_t x = integerOf(f, v);
      if (x < -2147483647 || x > 2147483647) unsuitable(f, std::to_string(x) + " is out of range");
      writeInt(p, 4, x);
      return;
    }
    case FieldType::kMoney:
    case FieldType::kNumber:
      if (v.kind == Value::Kind::kDouble) writeDouble(p, v.real);
      else writeDouble(p, static_cast<double>(integerOf(f, v)));
      return;
    case FieldType::kTimestamp: writeDouble(p, static_cast<double>(integerOf(f, v))); return;
    case FieldType::kLogical: p[0] = integerOf(f, v) != 0 ? 0x81 : 0x80; return;
    case FieldType::kBcd: encodeBcd(f, v, p); return;
    case FieldType::kBytes:
      if (v.kind != Value::Kind::kBytes) unsuitable(f, "the value is not bytes");
      if (v.text.size() > w)
        unsuitable(f,
                   "the value has " + std::to_string(v.text.size()) + " bytes, the field holds " + std::to_string(w));
      std::memcpy(p, v.text.data(), v.text.size());
      return;
    default: unsuitable(f, "blob values are written by the table writer");
  }
}

}  // namespace qv::paradox
