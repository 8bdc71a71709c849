#pragma once
// MSysObjects, the catalogue. Its definition is always on page 2. Each row describes
// one object: Id (for a table the low 24 bits are its definition page), ParentId (the
// container: "Tables" 0x0F000001, "Databases" 0x0F000002, "Relationships"
// 0x0F000003), Name, Type (1 local table, 2 database, 3 container, 4 ODBC-linked
// table, 5 query, 6 linked table, 8 relationship), Flags (0x80000000 or 0x00000002:
// a system object), DateCreate, DateUpdate, Owner and long properties.

#include <cstdint>
#include <string>

namespace qv::jet {

constexpr uint32_t kCatalogPage = 2;
constexpr int32_t kTablesContainerId = 0x0F000001;
constexpr int32_t kDatabasesContainerId = 0x0F000002;
constexpr int32_t kRelationshipsContainerId = 0x0F000003;
constexpr int32_t kSystemFlag = static_cast<int32_t>(0x80000000u);
constexpr int32_t kHiddenSystemFlag = 0x00000002;
// Whether a row's Flags mark a system object (either flag does).
constexpr bool isSystemObject(int32_t flags) {
  return (static_cast<uint32_t>(flags) &
          (static_cast<uint32_t>(kSystemFlag) | static_cast<uint32_t>(kHiddenSystemFlag))) != 0;
}

enum CatalogType : int16_t {
  kTypeTable = 1,
  kTypeDatabase = 2,
  kTypeContainer = 3,
  kTypeOdbcTable = 4,
  kTypeQuery = 5,
  kTypeLinkedTable = 6,
  kTypeRelationship = 8,
};

}  // namespace qv::jet
