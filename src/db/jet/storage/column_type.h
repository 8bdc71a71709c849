#pragma once
// The column types of the engine, with Jet's on-disk type codes, and the definition of a
// column as a caller gives it and a table definition page holds it.

#include <cstdint>
#include <string>

namespace qv::jet {

// Column data types with Jet's on-disk type codes.
enum class ColumnType : uint8_t {
  kBoolean = 0x01,  // Yes/No
  kByte = 0x02,
  kInteger = 0x03,  // 16-bit
  kLong = 0x04,     // 32-bit (AutoNumber when autoIncrement)
  kCurrency = 0x05,
  kSingle = 0x06,
  kDouble = 0x07,
  kDateTime = 0x08,
  kBinary = 0x09,  // fixed-size binary, up to 255 bytes
  kText = 0x0A,    // Text(n), n <= 255 characters
  kOle = 0x0B,     // OLE Object (long binary)
  kMemo = 0x0C,    // Long Text
  kGuid = 0x0F,
  kNumeric = 0x10,  // Decimal(precision, scale)
};

struct ColumnDef {
  std::string name;  // UTF-8
  ColumnType type = ColumnType::kText;
  int length = 255;    // Text: characters; Binary: bytes; ignored otherwise
  int precision = 18;  // Decimal only
  int scale = 0;       // Decimal only
  bool notNull = false;
  bool autoIncrement = false;  // Long only
};

}  // namespace qv::jet
