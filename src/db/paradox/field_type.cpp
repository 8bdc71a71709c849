#include "db/paradox/field_type.h"

namespace qv::paradox {

std::optional<FieldType> fieldTypeFromCode(uint8_t code) {
  switch (code) {
    case 0x01:
    case 0x02:
    case 0x03:
    case 0x04:
    case 0x05:
    case 0x06:
    case 0x09:
    case 0x0C:
    case 0x0D:
    case 0x0E:
    case 0x0F:
    case 0x10:
    case 0x14:
    case 0x15:
    case 0x16:
    case 0x17:
    case 0x18: return static_cast<FieldType>(code);
    default: return std::nullopt;
  }
}

std::string_view fieldTypeName(FieldType type) {
  switch (type) {
    case FieldType::kAlpha: return "Alpha";
    case FieldType::kDate: return "Date";
    case FieldType::kShort: return "Short";
    case FieldType::kLong: return "Long";
    case FieldType::kMoney: return "Money";
    case FieldType::kNumber: return "Number";
    case FieldType::kLogical: return "Logical";
    case FieldType::kMemo: return "Memo";
    case FieldType::kBlob: return "Blob";
    case FieldType::kFmtMemo: return "Formatted memo";
    case FieldType::kOle: return "OLE";
    case FieldType::kGraphic: return "Graphic";
    case FieldType::kTime: return "Time";
    case FieldType::kTimestamp: return "Timestamp";
    case FieldType::kAutoInc: return "AutoInc";
    case FieldType::kBcd: return "BCD";
    case FieldType::kBytes: return "Bytes";
  }
  return "Unknown";
}

bool isBlobType(FieldType type) {
  switch (type) {
    case FieldType::kMemo:
    case FieldType::kBlob:
    case FieldType::kFmtMemo:
    case FieldType::kOle:
    case FieldType::kGraphic: return true;
    default: return false;
  }
}

int fixedWidth(FieldType type) {
  switch (type) {
    case FieldType::kDate:
    case FieldType::kLong:
    case FieldType::kTime:
    case FieldType::kAutoInc: return 4;
    case FieldType::kShort: return 2;
    case FieldType::kMoney:
    case FieldType::kNumber:
    case FieldType::kTimestamp: return 8;
    case FieldType::kLogical: return 1;
    case FieldType::kBcd: return 17;
    default: return 0;
  }
}

}  // namespace qv::paradox
