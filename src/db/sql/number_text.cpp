#include "db/sql/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace qv::sql {
namespace {

constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
constexpr int64_t kExponentLimit = 1000000;  // far beyond anything a column holds

}  // namespace

bool parseDecimal(std::string_view text, bool surroundingBlanks, DecimalNumber& out) {
  out = DecimalNumber{};
  size_t i = 0, n = text.size();
  if (surroundingBlanks) {
    while (i < n && isBlank(text[i])) ++i;
    while (n > i && isBlank(text[n - 1])) --n;
  }
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    out.negative = text[i] == '-';
    ++i;
  }
  bool anyDigit = false;
  int64_t pointShift = 0;  // digits read after the point
  auto takeDigit = [&out](char c, bool afterPoint, int64_t& shift) {
    if (afterPoint) ++shift;
    if (out.count == 0 && c == '0') return;  // leading zero
    if (out.count < DecimalNumber::kMaxDigits) {
      out.digits[out.count++] = c;
    } else {
      // Dropped: the value keeps its magnitude through the exponent.
      --shift;
      if (c != '0') out.droppedNonZero = true;
    }
  };
  while (i < n && isDigit(text[i])) {
    anyDigit = true;
    takeDigit(text[i], false, pointShift);
    ++i;
  }
  if (i < n && text[i] == '.') {
    out.isInteger = false;
    ++i;
    while (i < n && isDigit(text[i])) {
      anyDigit = true;
      takeDigit(text[i], true, pointShift);
      ++i;
    }
  }
  if (!anyDigit) return false;
  int64_t exp = 0;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    out.isInteger = false;
    ++i;
    bool negExp = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
      negExp = text[i] == '-';
      ++i;
    }
    if (i >= n || !isDigit(text[i])) return false;
    while (i < n && isDigit(text[i])) {
      if (exp < kExponentLimit) exp = exp * 10 + (text[i] - '0');
      ++i;
    }
    if (negExp) exp = -exp;
  }
  if (i != n) return false;
  // Trailing zeros of the significant digits move into the exponent.
  int64_t trailing = 0;
  while (out.count > 0 && out.digits[out.count - 1] == '0') {
    --out.count;
    ++trailing;
  }
  out.exponent = exp - pointShift + trailing;
  if (out.count == 0) {
    out.exponent = 0;
    out.negative = false;
  }
  return true;
}

bool scaledDigits(const DecimalNumber& n, int scale, size_t maxDigits, std::string& out) {
  out.clear();
  if (n.count == 0) return true;
  const int64_t shift = n.exponent + scale;  // value*10^scale = digits * 10^shift
  if (shift >= 0) {
    if (static_cast<int64_t>(n.count) + shift > static_cast<int64_t>(maxDigits)) return false;
    out.append(n.digits, static_cast<size_t>(n.count));
    out.append(static_cast<size_t>(shift), '0');
    return true;
  }
  // Drop the last -shift digits, rounding half to even.
  const int64_t keep = n.count + shift;  // may be <= 0
  bool roundUp = false;
  if (keep >= 0) {
    const char first = n.digits[keep];
    bool restNonZero = n.droppedNonZero;
    for (int k = static_cast<int>(keep) + 1; k < n.count && !restNonZero; ++k) restNonZero = n.digits[k] != '0';
    if (first > '5' || (first == '5' && restNonZero)) {
      roundUp = true;
    } else if (first == '5') {
      const bool lastOdd = keep > 0 && ((n.digits[keep - 1] - '0') & 1);
      roundUp = lastOdd;
    }
    out.append(n.digits, static_cast<size_t>(keep));
  }
  if (roundUp) {
    size_t k = out.size();
    while (k > 0 && out[k - 1] == '9') out[--k] = '0';
    if (k == 0) {
      out.insert(out.begin(), '1');
    } else {
      ++out[k - 1];
    }
  }
  // Strip leading zeros (none unless the digits were all dropped).
  size_t lead = 0;
  while (lead < out.size() && out[lead] == '0') ++lead;
  out.erase(0, lead);
  return out.size() <= maxDigits;
}

bool scaledInteger(const DecimalNumber& n, int scale, int64_t low, int64_t high, int64_t& out) {
  const int64_t shift = n.exponent + scale;
  if (shift >= 0 && n.count + shift <= 18) {
    // Fits in 63 bits without rounding: the common case of a plain integer.
    int64_t v = 0;
    for (int k = 0; k < n.count; ++k) v = v * 10 + (n.digits[k] - '0');
    for (int64_t k = 0; k < shift; ++k) v *= 10;
    out = n.negative ? -v : v;
    return out >= low && out <= high;
  }
  std::string digits;
  digits.reserve(24);
  if (!scaledDigits(n, scale, 20, digits)) return false;
  uint64_t magnitude = 0;
  for (char c : digits) {
    const uint64_t d = static_cast<uint64_t>(c - '0');
    if (magnitude > (UINT64_MAX - d) / 10) return false;
    magnitude = magnitude * 10 + d;
  }
  if (n.negative) {
    if (magnitude > static_cast<uint64_t>(INT64_MAX) + 1) return false;
    out = magnitude == static_cast<uint64_t>(INT64_MAX) + 1 ? INT64_MIN : -static_cast<int64_t>(magnitude);
  } else {
    if (magnitude > static_cast<uint64_t>(INT64_MAX)) return false;
    out = static_cast<int64_t>(magnitude);
  }
  return out >= low && out <= high;
}

bool toDouble(const DecimalNumber& n, std::string_view unsignedText, double& out) {
  if (n.count == 0) {
    out = 0;
    return true;
  }
  double v = 0;
  auto [end, ec] = std::from_chars(unsignedText.data(), unsignedText.data() + unsignedText.size(), v);
  if (ec == std::errc::result_out_of_range) {
    // Too small rounds to zero; too large is out of range.
    if (n.exponent + n.count < 0) {
      out = 0;
      return true;
    }
    return false;
  }
  if (ec != std::errc() || end != unsignedText.data() + unsignedText.size() || !std::isfinite(v)) return false;
  out = n.negative ? -v : v;
  return true;
}

void formatNumberText(const DecimalNumber& n, double value, std::string& out) {
  out.clear();
  if (n.isInteger) {
    if (n.count == 0) {
      out = "0";
      return;
    }
    if (n.negative) out.push_back('-');
    out.append(n.digits, static_cast<size_t>(n.count));
    out.append(static_cast<size_t>(n.exponent), '0');
    return;
  }
  char buffer[40];
  int len = std::snprintf(buffer, sizeof buffer, "%.15G", value);
  out.assign(buffer, static_cast<size_t>(len > 0 ? len : 0));
  if (out == "-0") out = "0";
}

}  // namespace qv::sql
