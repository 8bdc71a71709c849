// quorvane-cli tables DATABASE: the user tables of an Access database, one per line.

#include <cstdio>

#include "app/cli/command.h"
#include "db/jet/database.h"

namespace qv::cli {
namespace {

int run(const std::vector<std::string>& args) {
  std::string path, password;
  bool all = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--password" && i + 1 < args.size()) password = args[++i];
    else if (args[i] == "--all") all = true;
    else if (path.empty()) path = args[i];
    else return kExitUsage;
  }
  if (path.empty()) {
    std::fprintf(stderr, "usage: quorvane-cli tables DATABASE [--password P] [--all]\n");
    return kExitUsage;
  }
  jet::OpenOptions options;
  options.password = password;
  options.readOnly = true;
  auto db = jet::openDatabase(path, options);
  for (const jet::CatalogEntry& e : db->catalog()) {
    if (e.kind == jet::ObjectKind::kUserTable) {
      std::printf("%s\n", e.name.c_str());
    } else if (all && e.kind != jet::ObjectKind::kOther) {
      const char* kind = e.kind == jet::ObjectKind::kSystemTable   ? "SYSTEM TABLE"
                         : e.kind == jet::ObjectKind::kLinkedTable ? "LINK"
                                                                   : "VIEW";
      std::printf("%s\t%s\n", e.name.c_str(), kind);
    }
  }
  db->close();
  return kExitOk;
}

CommandRegistration reg({"tables", "tables DATABASE [--password P] [--all]",
                         "lists the user tables of an Access database (--all: system tables, links and queries too)",
                         run});

}  // namespace
}  // namespace qv::cli
