#include <cstdio>
#include <string>

#include "db/io/error.h"
#include "db/jet/database_impl.h"
#include "db/jet/layout_checks.h"

namespace qv::jet {

void checkUserColumnFlags(DatabaseImpl& db, std::vector<std::string>& problems) {
  constexpr uint8_t kCatalogOnly = 0x30;  // set on the engine's catalogue columns, never on a user's
  for (const CatalogRow& r : db.catalogRows()) {
    if (r.type != kTypeTable || isSystemObject(r.flags)) continue;
    TableImpl* t = nullptr;
    try {
      t = db.findTable(r.name, false);
    } catch (const DbError&) {
      continue;  // an unreadable definition is reported with the table itself
    }
    if (!t) continue;
    for (const ColumnInfo& c : t->def().columns) {
      if ((c.flags & kCatalogOnly) == 0) continue;
      char flags[8];
      std::snprintf(flags, sizeof flags, "0x%02X", static_cast<unsigned>(c.flags));
      problems.push_back("table " + r.name + ": column " + c.def.name + " has the flags " + flags +
                         ", which only the engine's catalogue columns carry");
    }
  }
}

}  // namespace qv::jet
