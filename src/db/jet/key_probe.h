#pragma once
// Index keys of rows for a table not made yet, byte for byte as the engine will store
// them (index_key.h): so a converter can find the rows that would break a unique key
// before it asks for one.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "db/jet/database.h"
#include "db/jet/storage/value.h"

namespace qv::jet {

// The text order and file version a database keys its indexes in.
struct KeyOrder {
  Format format = Format::kJet4;
  uint16_t sortLanguage = kGeneralSortOrder;
  uint8_t sortVersion = 0;
};

// What a database uses (of ours: the order of its header); General for any other.
KeyOrder keyOrderOf(Database& database);
// What a new database of this format gets from createDatabase.
KeyOrder keyOrderForNew(Format format);

class KeyProbe {
 public:
  KeyProbe(const std::vector<ColumnDef>& columns, const KeyOrder& order);
  ~KeyProbe();
  // The key of a row (one value per column, as the SQL front end converts them) in an
  // index on the given columns (positions, with their direction). Throws
  // UnencodableText (sort_order.h) when a text's key is unknown, DbError when an index
  // on these columns cannot be kept at all.
  std::vector<uint8_t> key(std::span<const IndexDef::Column> columns, std::span<const Value> row) const;

 private:
  struct Plan;
  std::unique_ptr<Plan> plan_;
};

}  // namespace qv::jet
