#pragma once
// A cell value as the Jet engine stores and returns it, independent of any SQL text.

#include <cstdint>
#include <string>

namespace qv::jet {

struct Value {
  enum class Kind : uint8_t {
    kNull,
    kBoolean,   // b
    kInteger,   // i (Byte, Integer, Long, AutoNumber)
    kDouble,    // d (Single, Double)
    kCurrency,  // i, in ten-thousandths (Jet stores Currency as a scaled 64-bit integer)
    kDecimal,   // s: exact decimal text, "-123.4500" (sign, digits, optional point); scale as written
    kDateTime,  // d: days since 1899-12-30 in Jet's encoding (see oleDateFromParts in date.h)
    kText,      // s: UTF-8
    kBinary,    // s: raw bytes
    kGuid,      // s: 16 raw bytes in the on-disk order
  };

  Kind kind = Kind::kNull;
  bool b = false;
  int64_t i = 0;
  double d = 0;
  std::string s;

  static Value null() { return {}; }
  static Value boolean(bool v) {
    Value x;
    x.kind = Kind::kBoolean;
    x.b = v;
    return x;
  }
  static Value integer(int64_t v) {
    Value x;
    x.kind = Kind::kInteger;
    x.i = v;
    return x;
  }
  static Value real(double v) {
    Value x;
    x.kind = Kind::kDouble;
    x.d = v;
    return x;
  }
  static Value currency(int64_t tenThousandths) {
    Value x;
    x.kind = Kind::kCurrency;
    x.i = tenThousandths;
    return x;
  }
  static Value decimal(std::string text) {
    Value x;
    x.kind = Kind::kDecimal;
    x.s = std::move(text);
    return x;
  }
  static Value dateTime(double oleDate) {
    Value x;
    x.kind = Kind::kDateTime;
    x.d = oleDate;
    return x;
  }
  static Value text(std::string utf8) {
    Value x;
    x.kind = Kind::kText;
    x.s = std::move(utf8);
    return x;
  }
  static Value binary(std::string bytes) {
    Value x;
    x.kind = Kind::kBinary;
    x.s = std::move(bytes);
    return x;
  }
  static Value guid(std::string bytes16) {
    Value x;
    x.kind = Kind::kGuid;
    x.s = std::move(bytes16);
    return x;
  }

  bool isNull() const { return kind == Kind::kNull; }
};

}  // namespace qv::jet
