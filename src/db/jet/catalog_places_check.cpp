#include <string>

#include "db/jet/database_impl.h"
#include "db/jet/layout_checks.h"
#include "db/jet/base/text.h"

namespace qv::jet {

void checkCatalogPlaces(DatabaseImpl& db, std::vector<std::string>& problems) {
  static const char* const kNames[] = {"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships"};
  const std::vector<CatalogRow> rows = db.catalogRows();
  for (size_t i = 0; i < db.header().catalogPages.size(); ++i) {
    const uint32_t expected = db.header().catalogPages[i];
    bool found = false;
    for (const CatalogRow& r : rows) {
      if (r.type != kTypeTable || r.parentId != db.tablesContainerId() || foldName(r.name) != foldName(kNames[i]))
        continue;
      found = true;
      const uint32_t page = static_cast<uint32_t>(r.id) & 0x00FFFFFF;
      if (page != expected)
        problems.push_back(std::string(kNames[i]) + " is on page " + std::to_string(page) + ", but page 0 names page " +
                           std::to_string(expected) + " for it");
    }
    if (!found)
      problems.push_back(std::string("the catalogue has no ") + kNames[i] + ", which page 0 expects on page " +
                         std::to_string(expected));
  }
}

}  // namespace qv::jet
