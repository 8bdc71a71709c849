#pragma once
// Exact decimal texts for the scaled-integer types. Decimal (type 0x10) is 17 bytes:
// a sign byte (0x80 negative) and a 128-bit magnitude stored as four 32-bit
// little-endian words, most significant word first; the column's scale places the
// point. Currency is a 64-bit two's-complement count of ten-thousandths.

#include <cstdint>
#include <string>

namespace qv::jet {

std::string decimalFromStorage(const uint8_t* bytes17, int scale);
// Parses "-123.45" (optional sign, digits, optional point and digits), rounds half away
// from zero to the scale, and checks the precision; false when it does not fit.
bool decimalToStorage(const std::string& text, int precision, int scale, uint8_t* bytes17);
std::string currencyText(int64_t tenThousandths);

}  // namespace qv::jet
