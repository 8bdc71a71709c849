#include "db/jet/key_probe.h"

#include "db/io/error.h"
#include "db/jet/database_impl.h"
#include "db/jet/storage/index_key.h"
#include "db/jet/base/text.h"

namespace qv::jet {

struct KeyProbe::Plan {
  TableDef def;
};

KeyOrder keyOrderOf(Database& database) {
  if (auto* impl = dynamic_cast<DatabaseImpl*>(&database))
    return {impl->header().format, impl->header().sortLanguage, impl->header().sortVersion};
  return keyOrderForNew(database.format());
}

KeyOrder keyOrderForNew(Format format) {
  // The General order: legacy in Jet 4 and ACE 12, the 2010 one from ACE 14 on.
  const bool modern = format != Format::kJet3 && format != Format::kJet4 && format != Format::kAce12;
  return {format, kGeneralSortOrder, static_cast<uint8_t>(modern ? 1 : 0)};
}

KeyProbe::KeyProbe(const std::vector<ColumnDef>& columns, const KeyOrder& order) : plan_(std::make_unique<Plan>()) {
  DatabaseHeader header;
  header.format = order.format;
  header.sortLanguage = order.sortLanguage;
  header.sortVersion = order.sortVersion;
  plan_->def = planTableDef(columns, false, header);
}

KeyProbe::~KeyProbe() = default;

std::vector<uint8_t> KeyProbe::key(std::span<const IndexDef::Column> columns, std::span<const Value> row) const {
  const TableDef& def = plan_->def;
  RealIndex ri;
  for (const IndexDef::Column& c : columns) {
    size_t at = 0;
    while (at < def.columns.size() && foldName(def.columns[at].def.name) != foldName(c.name)) ++at;
    if (at == def.columns.size()) throw DbError(kErrGeneric, "index key: no column '" + c.name + "'");
    ri.columns.push_back({def.columns[at].number, c.ascending});
  }
  if (auto why = indexKeyUnsupported(def, ri)) throw DbError(kErrSql, *why);
  return indexKey(def, ri, row);
}

}  // namespace qv::jet
