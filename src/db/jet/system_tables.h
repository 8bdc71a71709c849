#pragma once
// The engine's own tables as a new database carries them, column by column as the
// engine defines them (they differ from what a user's CREATE TABLE would give).
//
// The first four live on the pages page 0 names for them (format.h): MSysObjects on
// page 2, MSysACEs on 3, MSysQueries on 4, MSysRelationships on 5. They are of table
// type 0x53; their columns carry the flag 0x10 (and Owner and SID 0x30) that no user
// column has; every text and binary column is 255 characters or 510 bytes long and no
// text is compressed.
//
// An .accdb (ACE 12 and later) also has the catalogue of complex columns (attachments,
// multi-valued fields): MSysComplexColumns, which lists them (empty while there are
// none), and the nine MSysComplexType_* tables that serve as the templates of their
// values -- all of table type 0x4E, MSysObjects flags 0x80000000 and 0x80030000, no
// owner. MSysComplexType_Decimal's value is a variable-length Decimal of 9 bytes, and
// the columns of MSysComplexType_Attachment carry the extra flag 0x10, as in every
// database Access makes.

#include <cstdint>
#include <string>
#include <vector>

#include "db/jet/database_impl.h"

namespace qv::jet {

struct SystemColumn {
  const char* name;
  ColumnType type;
  uint8_t flags;            // the column flags (table_def.h)
  uint16_t byteLength = 0;  // 0: the type's own size
  uint8_t extraFlags = 0;   // the byte after the flags
};

struct SystemTableShape {
  const char* name;
  uint8_t tableType;
  int32_t catalogFlags;               // its row's MSysObjects.Flags
  std::vector<SystemColumn> columns;  // in column-number order
  std::vector<NewIndex> indexes;
};

// MSysObjects, MSysACEs, MSysQueries, MSysRelationships, in the order of their pages.
const std::vector<SystemTableShape>& catalogTableShapes();
// MSysComplexColumns and the nine MSysComplexType_* tables.
const std::vector<SystemTableShape>& complexColumnTableShapes();

// The definition of a system table in a database with the given header (its sort order
// goes into every column).
TableDef systemTableDef(const SystemTableShape& shape, const DatabaseHeader& header);

}  // namespace qv::jet
