// quorvane-cli dump-access DATABASE [TABLE]: an Access database's user tables (or one
// table) as JSON lines, one table after the other: {"table", "format", "records"},
// one {"field", "type", "size"} per column, then one array per row.

#include <cstdio>

#include "app/cli/access_json.h"
#include "app/cli/command.h"
#include "db/jet/database.h"

namespace qv::cli {
namespace {

const char* formatText(jet::Format f) {
  switch (f) {
    case jet::Format::kJet3: return "Jet3";
    case jet::Format::kJet4: return "Jet4";
    case jet::Format::kAce12: return "ACE12";
    case jet::Format::kAce14: return "ACE14";
    case jet::Format::kAce15: return "ACE15";
    case jet::Format::kAce16: return "ACE16";
    case jet::Format::kAce17: return "ACE17";
  }
  return "?";
}

void dumpTable(jet::Database& db, jet::Table& t) {
  using access::jsonString;
  std::printf("{\"table\": %s, \"format\": \"%s\", \"records\": %lld}\n", jsonString(t.name()).c_str(),
              formatText(db.format()), static_cast<long long>(t.rowCount()));
  const auto& cols = t.columns();
  for (const jet::ColumnDef& c : cols) {
    int size = c.type == jet::ColumnType::kText || c.type == jet::ColumnType::kBinary ? c.length : 0;
    std::printf("{\"field\": %s, \"type\": \"%s\", \"size\": %d", jsonString(c.name).c_str(), access::typeName(c.type),
                size);
    if (c.type == jet::ColumnType::kNumeric) std::printf(", \"precision\": %d, \"scale\": %d", c.precision, c.scale);
    if (c.autoIncrement) std::printf(", \"autoincrement\": true");
    std::printf("}\n");
  }
  auto cursor = t.scan();
  std::vector<jet::Value> row;
  std::string line;
  while (cursor->next(row)) {
    line = "[";
    for (size_t i = 0; i < row.size(); ++i) {
      if (i) line += ", ";
      line += access::jsonValue(row[i], cols[i].type);
    }
    line += "]\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
  }
}

int run(const std::vector<std::string>& args) {
  std::string path, table, password;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--password" && i + 1 < args.size()) password = args[++i];
    else if (path.empty()) path = args[i];
    else if (table.empty()) table = args[i];
    else return kExitUsage;
  }
  if (path.empty()) {
    std::fprintf(stderr, "usage: quorvane-cli dump-access DATABASE [TABLE] [--password P]\n");
    return kExitUsage;
  }
  jet::OpenOptions options;
  options.password = password;
  options.readOnly = true;
  auto db = jet::openDatabase(path, options);
  if (!table.empty()) {
    jet::Table* t = db->table(table);
    if (!t) {
      std::fprintf(stderr, "quorvane-cli dump-access: '%s' has no table '%s'\n", path.c_str(), table.c_str());
      return kExitFailure;
    }
    dumpTable(*db, *t);
  } else {
    for (const jet::CatalogEntry& e : db->catalog())
      if (e.kind == jet::ObjectKind::kUserTable)
        if (jet::Table* t = db->table(e.name)) dumpTable(*db, *t);
  }
  db->close();
  return kExitOk;
}

CommandRegistration reg({"dump-access", "dump-access DATABASE [TABLE] [--password P]",
                         "prints the rows of an Access database's tables as JSON lines", run});

}  // namespace
}  // namespace qv::cli
