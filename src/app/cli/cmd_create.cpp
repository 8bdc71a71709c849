// quorvane-cli create DATABASE [--format mdb|accdb] [--password P]: a new, empty
// Access database. An .mdb keeps the password in its header; an .accdb with a password
// is encrypted (AES) and opens only with it.

#include <cstdio>

#include "app/cli/command.h"
#include "db/jet/database.h"

namespace qv::cli {
namespace {

int run(const std::vector<std::string>& args) {
  std::string path, password, format;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--password" && i + 1 < args.size()) password = args[++i];
    else if (args[i] == "--format" && i + 1 < args.size()) format = args[++i];
    else if (path.empty()) path = args[i];
    else path.clear(), i = args.size();
  }
  if (path.empty()) {
    std::fprintf(stderr, "usage: quorvane-cli create DATABASE [--format mdb|accdb] [--password P]\n");
    return kExitUsage;
  }
  if (format.empty()) {
    bool accdb =
        path.size() >= 6 && (path.substr(path.size() - 6) == ".accdb" || path.substr(path.size() - 6) == ".ACCDB");
    format = accdb ? "accdb" : "mdb";
  }
  jet::Format f;
  if (format == "mdb") f = jet::Format::kJet4;
  // A password makes an .accdb encrypted with the scheme of Access 2010 and later, so
  // such a file is written in that version's format.
  else if (format == "accdb") f = password.empty() ? jet::Format::kAce12 : jet::Format::kAce14;
  else {
    std::fprintf(stderr, "quorvane-cli create: unknown format '%s' (mdb or accdb)\n", format.c_str());
    return kExitUsage;
  }
  jet::OpenOptions options;
  options.password = password;
  auto db = jet::createDatabase(path, f, options);
  db->close();
  return kExitOk;
}

CommandRegistration reg({"create", "create DATABASE [--format mdb|accdb] [--password P]",
                         "creates a new, empty Access database (Jet 4 .mdb or ACE .accdb)", run});

}  // namespace
}  // namespace qv::cli
