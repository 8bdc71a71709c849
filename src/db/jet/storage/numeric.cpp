#include "db/jet/storage/numeric.h"

#include <algorithm>
#include <cstring>

namespace qv::jet {
namespace {
__extension__ typedef unsigned __int128 U128;

std::string digitsOf(U128 v) {
  std::string s;
  do {
    s += static_cast<char>('0' + static_cast<int>(v % 10));
    v /= 10;
  } while (v != 0);
  std::reverse(s.begin(), s.end());
  return s;
}

std::string placePoint(bool negative, std::string digits, int scale) {
  if (scale > 0) {
    if (digits.size() <= static_cast<size_t>(scale))
      digits.insert(0, static_cast<size_t>(scale) + 1 - digits.size(), '0');
    digits.insert(digits.size() - static_cast<size_t>(scale), ".");
  }
  bool zero = std::all_of(digits.begin(), digits.end(), [](char c) { return c == '0' || c == '.'; });
  return (negative && !zero ? "-" : "") + digits;
}
}  // namespace

std::string decimalFromStorage(const uint8_t* b, int scale) {
  U128 v = 0;
  for (int word = 0; word < 4; ++word) {
    const uint8_t* w = b + 1 + word * 4;
    uint32_t x = static_cast<uint32_t>(w[0]) | (static_cast<uint32_t>(w[1]) << 8) |
                 (static_cast<uint32_t>(w[2]) << 16) | (static_cast<uint32_t>(w[3]) << 24);
    v = (v << 32) | x;
  }
  return placePoint((b[0] & 0x80) != 0, digitsOf(v), std::clamp(scale, 0, 38));
}

bool decimalToStorage(const std::string& text, int precision, int scale, uint8_t* out) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  std::string intPart, fracPart;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') intPart += text[i++];
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') fracPart += text[i++];
  }
  if (i != text.size() || (intPart.empty() && fracPart.empty())) return false;
  bool roundUp = false;
  if (fracPart.size() > static_cast<size_t>(scale)) {
    roundUp = fracPart[static_cast<size_t>(scale)] >= '5';
    fracPart.resize(static_cast<size_t>(scale));
  }
  fracPart.append(static_cast<size_t>(scale) - fracPart.size(), '0');
  std::string all = intPart + fracPart;
  size_t firstNonZero = all.find_first_not_of('0');
  all = firstNonZero == std::string::npos ? "0" : all.substr(firstNonZero);
  if (all.size() > 38) return false;
  U128 v = 0;
  for (char c : all) v = v * 10 + static_cast<unsigned>(c - '0');
  if (roundUp) v += 1;
  std::string digits = digitsOf(v);
  if (v != 0 && digits.size() > static_cast<size_t>(precision)) return false;
  std::memset(out, 0, 17);
  out[0] = negative && v != 0 ? 0x80 : 0x00;
  for (int word = 3; word >= 0; --word) {
    auto x = static_cast<uint32_t>(v & 0xFFFFFFFFu);
    v >>= 32;
    uint8_t* w = out + 1 + word * 4;
    w[0] = static_cast<uint8_t>(x);
    w[1] = static_cast<uint8_t>(x >> 8);
    w[2] = static_cast<uint8_t>(x >> 16);
    w[3] = static_cast<uint8_t>(x >> 24);
  }
  return true;
}

std::string currencyText(int64_t v) {
  bool negative = v < 0;
  uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
  return placePoint(negative, digitsOf(magnitude), 4);
}

}  // namespace qv::jet
