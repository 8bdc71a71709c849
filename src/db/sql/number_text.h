#pragma once
// Numbers as the SQL front end reads and writes them: exact decimal reading (for the
// integer, Currency and Decimal columns, where a detour through double would change
// digits), rounding to a number of decimals, and the text a number becomes in a Text
// column.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qv::sql {

// A decimal number: value = (negative ? -1 : 1) * digits * 10^exponent.
struct DecimalNumber {
  static constexpr int kMaxDigits = 40;  // significant digits kept; the rest only round
  bool negative = false;
  int count = 0;              // significant digits, no leading zeros (0 digits: zero)
  char digits[kMaxDigits]{};  // '0'..'9'
  int64_t exponent = 0;
  bool droppedNonZero = false;  // a non-zero digit beyond kMaxDigits was dropped
  bool isInteger = true;        // written without point and exponent
};

// Reads "[sign] digits [. digits] [E [sign] digits]" (or ". digits ..."); with
// surroundingBlanks, blanks before and after are allowed too. False when the text is
// not such a number.
bool parseDecimal(std::string_view text, bool surroundingBlanks, DecimalNumber& out);

// The number rounded to `scale` decimals (half to even), as the digits of
// value * 10^scale without leading zeros ("" for zero), in out. False when more than
// maxDigits digits would be needed.
bool scaledDigits(const DecimalNumber& n, int scale, size_t maxDigits, std::string& out);

// The number rounded to `scale` decimals as a 64-bit integer scaled by 10^scale; false
// when it does not fit in [low, high].
bool scaledInteger(const DecimalNumber& n, int scale, int64_t low, int64_t high, int64_t& out);

// The number as a double (nearest); false when it is beyond the range of a double.
bool toDouble(const DecimalNumber& n, std::string_view unsignedText, double& out);

// The text a number takes in a Text column: an integer written without point or
// exponent keeps all its digits ("-42"); other numbers are written with up to 15
// significant digits, in exponent form below 0.0001 or from 1E+15 ("1.5", "1E-05").
void formatNumberText(const DecimalNumber& n, double value, std::string& out);

}  // namespace qv::sql
