#include "db/jet/shared_page_check.h"

#include <map>

#include "db/io/error.h"
#include "db/jet/base/bytes.h"
#include "db/jet/database_impl.h"
#include "db/jet/storage/long_value.h"
#include "db/jet/storage/usage_map.h"

namespace qv::jet {

void checkSharedDataPages(DatabaseImpl& db, std::vector<std::string>& problems) {
  Pager& pager = db.pager();
  // Each data page a table map lists: the tables that list it, and the table whose rows
  // it holds (by definition page).
  std::map<uint32_t, std::vector<std::string>> claims;
  std::map<uint32_t, std::string> byDefinition;
  for (const CatalogRow& r : db.catalogRows()) {
    if (r.type != kTypeTable) continue;
    try {
      TableImpl* t = db.findTable(r.name, false);
      if (!t || t->def().usedPages == 0) continue;
      byDefinition[t->def().page] = t->name();
      for (uint32_t p : readUsageMap(pager, t->def().usedPages, "'" + db.path() + "' (table " + t->name() + ")")) {
        if (p == 0 || p >= pager.pageCount()) continue;
        pager.trim();
        const uint8_t* b = pager.read(p);
        if (b[0] == kPageData && get32(b, 4) != kLvalMarker) claims[p].push_back(t->name());
      }
    } catch (const DbError&) {
      // An unreadable definition or map: the main check reports it.
    }
  }
  for (const auto& [page, tables] : claims) {
    if (tables.size() < 2) continue;
    std::string names;
    for (size_t i = 0; i < tables.size(); ++i)
      names += (i == 0 ? "" : i + 1 == tables.size() ? " and " : ", ") + tables[i];
    auto holder = byDefinition.find(get32(pager.read(page), 4));
    problems.push_back("data page " + std::to_string(page) + " is in the usage maps of tables " + names +
                       (holder != byDefinition.end() ? " (it holds rows of table " + holder->second + ")"
                                                     : " (it holds rows of no table)"));
  }
}

}  // namespace qv::jet
