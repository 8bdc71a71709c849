#include "db/jet/system_tables.h"

#include "db/jet/catalog.h"

namespace qv::jet {
namespace {

// Column flags (table_def.h).
constexpr uint8_t kFixed = 0x03;
constexpr uint8_t kVariable = 0x02;
constexpr uint8_t kCatalogFixed = 0x13;
constexpr uint8_t kCatalogVariable = 0x12;
constexpr uint8_t kCatalogSid = 0x32;
constexpr uint8_t kCatalogAutoNumber = 0x17;
constexpr uint8_t kAttachmentPart = 0x10;  // the extra flag of an attachment's columns

// Index flags as the engine sets them (0x80 is always set).
constexpr uint8_t kUnique = 0x81;
constexpr uint8_t kIgnoreNulls = 0x82;
constexpr uint8_t kRequired = 0x88;
constexpr uint8_t kRequiredIgnoreNulls = 0x8A;
constexpr uint8_t kRequiredUniqueIgnoreNulls = 0x8B;

constexpr uint16_t kLongText = 510;  // 255 characters
constexpr uint16_t kLongBinary = 510;

constexpr uint8_t kCatalogType = 0x53;
constexpr uint8_t kOrdinaryType = 0x4E;
constexpr int32_t kComplexTypeFlags = static_cast<int32_t>(0x80030000u);

SystemTableShape complexType(const char* name, ColumnType type, uint8_t flags, uint16_t byteLength = 0) {
  return {name, kOrdinaryType, kComplexTypeFlags, {{"Value", type, flags, byteLength}}, {}};
}

}  // namespace

const std::vector<SystemTableShape>& catalogTableShapes() {
  static const std::vector<SystemTableShape> shapes = {
      {"MSysObjects",
       kCatalogType,
       kSystemFlag,
       {{"Id", ColumnType::kLong, kCatalogFixed},
        {"ParentId", ColumnType::kLong, kCatalogFixed},
        {"Name", ColumnType::kText, kCatalogVariable, kLongText},
        {"Type", ColumnType::kInteger, kCatalogFixed},
        {"DateCreate", ColumnType::kDateTime, kCatalogFixed},
        {"DateUpdate", ColumnType::kDateTime, kCatalogFixed},
        {"Owner", ColumnType::kBinary, kCatalogSid, kLongBinary},
        {"Flags", ColumnType::kLong, kCatalogFixed},
        {"Database", ColumnType::kMemo, kCatalogVariable},
        {"Connect", ColumnType::kMemo, kCatalogVariable},
        {"ForeignName", ColumnType::kText, kCatalogVariable, kLongText},
        {"RmtInfoShort", ColumnType::kBinary, kCatalogVariable, kLongBinary},
        {"RmtInfoLong", ColumnType::kOle, kCatalogVariable},
        {"Lv", ColumnType::kOle, kCatalogVariable},
        {"LvProp", ColumnType::kOle, kCatalogVariable},
        {"LvModule", ColumnType::kOle, kCatalogVariable},
        {"LvExtra", ColumnType::kOle, kCatalogVariable}},
       {{"ParentIdName", {1, 2}, kUnique, false}, {"Id", {0}, kUnique, true}}},
      {"MSysACEs",
       kCatalogType,
       kSystemFlag,
       {{"ObjectId", ColumnType::kLong, kCatalogFixed},
        {"SID", ColumnType::kBinary, kCatalogSid, kLongBinary},
        {"ACM", ColumnType::kLong, kCatalogFixed},
        {"FInheritable", ColumnType::kBoolean, kCatalogFixed}},
       {{"ObjectId", {0}, kRequired, false}}},
      {"MSysQueries",
       kCatalogType,
       kSystemFlag,
       {{"ObjectId", ColumnType::kLong, kCatalogFixed},
        {"Attribute", ColumnType::kByte, kCatalogFixed},
        {"Order", ColumnType::kBinary, kCatalogVariable, kLongBinary},
        {"Name1", ColumnType::kText, kCatalogVariable, kLongText},
        {"Name2", ColumnType::kText, kCatalogVariable, kLongText},
        {"Expression", ColumnType::kMemo, kCatalogVariable},
        {"Flag", ColumnType::kInteger, kCatalogFixed},
        {"LvExtra", ColumnType::kLong, kCatalogFixed}},
       {{"ObjectIdAttribute", {0, 1, 2}, kUnique, true}}},
      {"MSysRelationships",
       kCatalogType,
       kSystemFlag,
       {{"szRelationship", ColumnType::kText, kCatalogVariable, kLongText},
        {"grbit", ColumnType::kLong, kCatalogFixed},
        {"ccolumn", ColumnType::kLong, kCatalogFixed},
        {"icolumn", ColumnType::kLong, kCatalogFixed},
        {"szObject", ColumnType::kText, kCatalogVariable, kLongText},
        {"szColumn", ColumnType::kText, kCatalogVariable, kLongText},
        {"szReferencedObject", ColumnType::kText, kCatalogVariable, kLongText},
        {"szReferencedColumn", ColumnType::kText, kCatalogVariable, kLongText}},
       {{"szRelationship", {0}, kIgnoreNulls, false},
        {"szObject", {4}, kIgnoreNulls, false},
        {"szReferencedObject", {6}, kIgnoreNulls, false}}},
  };
  return shapes;
}

const std::vector<SystemTableShape>& complexColumnTableShapes() {
  static const std::vector<SystemTableShape> shapes = {
      {"MSysComplexColumns",
       kOrdinaryType,
       kSystemFlag,
       {{"ColumnName", ColumnType::kText, kCatalogVariable, kLongText},
        {"ComplexTypeObjectID", ColumnType::kLong, kCatalogFixed},
        {"FlatTableID", ColumnType::kLong, kCatalogFixed},
        {"ConceptualTableID", ColumnType::kLong, kCatalogFixed},
        {"ComplexID", ColumnType::kLong, kCatalogAutoNumber}},
       {{"IdxID", {4}, kRequiredUniqueIgnoreNulls, true},
        {"IdxConceptualTableID", {3}, kRequiredIgnoreNulls, false},
        {"IdxFlatTableID", {2}, kRequiredIgnoreNulls, false}}},
      complexType("MSysComplexType_UnsignedByte", ColumnType::kByte, kFixed),
      complexType("MSysComplexType_Short", ColumnType::kInteger, kFixed),
      complexType("MSysComplexType_Long", ColumnType::kLong, kFixed),
      complexType("MSysComplexType_IEEESingle", ColumnType::kSingle, kFixed),
      complexType("MSysComplexType_IEEEDouble", ColumnType::kDouble, kFixed),
      complexType("MSysComplexType_GUID", ColumnType::kGuid, kFixed),
      complexType("MSysComplexType_Decimal", ColumnType::kNumeric, kVariable, 9),
      complexType("MSysComplexType_Text", ColumnType::kText, kVariable, kLongText),
      {"MSysComplexType_Attachment",
       kOrdinaryType,
       kComplexTypeFlags,
       {{"FileURL", ColumnType::kMemo, kVariable, 0, kAttachmentPart},
        {"FileName", ColumnType::kText, kVariable, kLongText, kAttachmentPart},
        {"FileType", ColumnType::kText, kVariable, kLongText, kAttachmentPart},
        {"FileData", ColumnType::kOle, kVariable, 0, kAttachmentPart},
        {"FileTimeStamp", ColumnType::kDateTime, kFixed, 0, kAttachmentPart},
        {"FileFlags", ColumnType::kLong, kFixed, 0, kAttachmentPart}},
       {}},
  };
  return shapes;
}

TableDef systemTableDef(const SystemTableShape& shape, const DatabaseHeader& header) {
  TableDef def;
  def.magic = kDefinitionMagic;
  def.tableType = shape.tableType;
  def.engineLayout = true;
  uint16_t fixedOffset = 0, variables = 0, number = 0;
  for (const SystemColumn& s : shape.columns) {
    ColumnInfo c;
    c.def.name = s.name;
    c.def.type = s.type;
    c.number = number++;
    c.flags = s.flags;
    c.compressed = s.extraFlags;
    c.sortLanguage = header.sortLanguage;
    c.sortVersion = header.sortVersion;
    c.byteLength = s.byteLength != 0 ? s.byteLength : s.type == ColumnType::kBoolean ? 1 : fixedSize(s.type);
    c.def.length = s.type == ColumnType::kText ? c.byteLength / 2 : s.type == ColumnType::kBinary ? c.byteLength : 0;
    c.def.autoIncrement = (s.flags & 0x04) != 0;
    if (s.type == ColumnType::kNumeric) {
      c.def.precision = 18;
      c.def.scale = 0;
    }
    if (c.fixed()) {
      c.varIndex = variables;
      c.fixedOffset = s.type == ColumnType::kBoolean ? 0 : fixedOffset;
      fixedOffset = static_cast<uint16_t>(fixedOffset + fixedSize(s.type));
    } else {
      c.varIndex = variables++;
    }
    def.columns.push_back(std::move(c));
  }
  def.maxCols = number;
  def.varCols = variables;
  return def;
}

}  // namespace qv::jet
