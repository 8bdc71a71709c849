#pragma once
// The field types a Paradox table can hold, with the code each has in a table header.

#include <cstdint>
#include <optional>
#include <string_view>

namespace qv::paradox {

enum class FieldType : uint8_t {
  kAlpha = 0x01,
  kDate = 0x02,
  kShort = 0x03,
  kLong = 0x04,
  kMoney = 0x05,
  kNumber = 0x06,
  kLogical = 0x09,
  kMemo = 0x0C,
  kBlob = 0x0D,
  kFmtMemo = 0x0E,
  kOle = 0x0F,
  kGraphic = 0x10,
  kTime = 0x14,
  kTimestamp = 0x15,
  kAutoInc = 0x16,
  kBcd = 0x17,
  kBytes = 0x18,
};

// The type for a header code, or nothing for a code no Paradox version writes.
std::optional<FieldType> fieldTypeFromCode(uint8_t code);

// "Alpha", "Date", "Short", ... as users know the types.
std::string_view fieldTypeName(FieldType type);

// Types whose value lives (wholly or partly) in the .mb file.
bool isBlobType(FieldType type);

// The fixed number of bytes a type takes in a record, or 0 when the header's size byte
// gives it (Alpha, Bytes and the blob types).
int fixedWidth(FieldType type);

}  // namespace qv::paradox
