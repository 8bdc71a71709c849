#pragma once
// One field value as the Paradox reader delivers it, and the calendar of Paradox dates.

#include <cstdint>
#include <string>

namespace qv::paradox {

struct Value {
  enum class Kind : uint8_t {
    kNull,
    kLogical,    // integer 0 or 1
    kInteger,    // Short, Long, AutoInc
    kDouble,     // Money, Number
    kBcd,        // text: optional "-", digits, and "." with exactly the stored decimals
    kText,       // Alpha, Memo: text in UTF-8
    kDate,       // integer: day number (1 = 1 January of year 1)
    kTime,       // integer: milliseconds since midnight
    kTimestamp,  // integer: milliseconds since day 0 of the Date calendar
    kBytes,      // text: raw bytes (Blob, Formatted memo, OLE, Graphic, Bytes)
  };
  Kind kind = Kind::kNull;
  int64_t integer = 0;
  double real = 0;
  std::string text;

  bool isNull() const { return kind == Kind::kNull; }
  // Equal kinds and equal content (members a kind does not use are ignored).
  bool operator==(const Value& o) const {
    if (kind != o.kind) return false;
    switch (kind) {
      case Kind::kNull: return true;
      case Kind::kDouble: return real == o.real;
      case Kind::kBcd:
      case Kind::kText:
      case Kind::kBytes: return text == o.text;
      default: return integer == o.integer;
    }
  }
};

struct CivilDate {
  int year = 1;
  unsigned month = 1;
  unsigned day = 1;
};

inline constexpr int64_t kMillisPerDay = 86'400'000;

// Proleptic Gregorian calendar; day 1 is 1 January of year 1.
CivilDate civilFromDayNumber(int64_t dayNumber);
int64_t dayNumberFromCivil(int year, unsigned month, unsigned day);

}  // namespace qv::paradox
