#include <string>

#include "db/io/error.h"
#include "db/jet/database_impl.h"
#include "db/jet/layout_checks.h"
#include "db/jet/system_tables.h"
#include "db/jet/base/text.h"

namespace qv::jet {

void checkComplexColumnTables(DatabaseImpl& db, std::vector<std::string>& problems) {
  if (db.format() == Format::kJet3 || db.format() == Format::kJet4) return;
  const std::vector<CatalogRow> rows = db.catalogRows();
  std::string missing;
  for (const SystemTableShape& shape : complexColumnTableShapes()) {
    const CatalogRow* row = nullptr;
    for (const CatalogRow& r : rows)
      if (r.type == kTypeTable && r.parentId == db.tablesContainerId() && foldName(r.name) == foldName(shape.name))
        row = &r;
    if (!row) {
      missing += std::string(missing.empty() ? "" : ", ") + shape.name;
      continue;
    }
    TableImpl* t = nullptr;
    try {
      t = db.findTable(shape.name, false);
    } catch (const DbError&) {
      continue;  // an unreadable definition is reported with the table itself
    }
    if (!t) continue;
    for (const SystemColumn& want : shape.columns) {
      const ColumnInfo* have = nullptr;
      for (const ColumnInfo& c : t->def().columns)
        if (c.def.name == want.name) have = &c;
      if (!have) problems.push_back(std::string(shape.name) + " lacks its column " + want.name);
      else if (have->def.type != want.type)
        problems.push_back(std::string(shape.name) + "." + want.name + " has the type " +
                           std::to_string(static_cast<int>(have->def.type)) + ", where Access gives it " +
                           std::to_string(static_cast<int>(want.type)));
    }
  }
  if (!missing.empty()) problems.push_back("the complex-column catalogue every .accdb has lacks " + missing);
}

}  // namespace qv::jet
