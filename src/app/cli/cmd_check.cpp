// quorvane-cli check DATABASE [--password P]: the consistency check of an Access
// database; prints each problem and exits non-zero when there is one.

#include <cstdio>

#include "app/cli/command.h"
#include "db/jet/checker.h"

namespace qv::cli {
namespace {

int run(const std::vector<std::string>& args) {
  std::string path, password;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--password" && i + 1 < args.size()) password = args[++i];
    else if (path.empty()) path = args[i];
    else return kExitUsage;
  }
  if (path.empty()) {
    std::fprintf(stderr, "usage: quorvane-cli check DATABASE [--password P]\n");
    return kExitUsage;
  }
  jet::OpenOptions options;
  options.password = password;
  std::vector<std::string> problems = jet::checkDatabase(path, options);
  for (const std::string& p : problems) std::printf("%s: %s\n", path.c_str(), p.c_str());
  if (problems.empty()) {
    std::printf("%s: no problems found\n", path.c_str());
    return kExitOk;
  }
  return kExitFailure;
}

CommandRegistration reg({"check", "check DATABASE [--password P]",
                         "checks an Access database's rows, indexes, usage maps and permissions", run});

}  // namespace
}  // namespace qv::cli
