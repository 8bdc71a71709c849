// quorvane-cli: the command-line face of the converter, for batch use.

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>

#include "app/cli/command.h"

namespace qv::cli {

std::vector<Command>& commands() {
  static std::vector<Command> list;
  return list;
}

namespace {

void printHelp(std::FILE* out) {
  std::fprintf(out,
               "Usage: quorvane-cli COMMAND [ARGUMENTS]\n"
               "Copies Paradox tables into Microsoft Access databases, and inspects both.\n\n"
               "Commands:\n");
  auto list = commands();
  std::sort(list.begin(), list.end(), [](const Command& a, const Command& b) { return a.name < b.name; });
  for (const auto& c : list)
    std::fprintf(out, "  %-14s %s\n      %s\n", c.name.c_str(), c.summary.c_str(), c.usage.c_str());
  std::fprintf(out, "\n  --help         show this text\n  --version      show the program's version\n");
}

}  // namespace
}  // namespace qv::cli

int main(int argc, char** argv) {
  using namespace qv::cli;
  QCoreApplication app(argc, argv);  // for QLocale, text codecs and file names
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    printHelp(stderr);
    return kExitUsage;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    printHelp(stdout);
    return kExitOk;
  }
  if (args[0] == "--version") {
    std::printf("quorvane-cli %s\n", QUORVANE_VERSION);
    return kExitOk;
  }
  for (const auto& c : commands()) {
    if (c.name == args[0]) {
      std::vector<std::string> rest(args.begin() + 1, args.end());
      if (!rest.empty() && (rest[0] == "--help" || rest[0] == "-h")) {
        std::printf("Usage: quorvane-cli %s\n%s\n", c.usage.c_str(), c.summary.c_str());
        return kExitOk;
      }
      try {
        return c.run(rest);
      } catch (const std::exception& e) {
        std::fprintf(stderr, "quorvane-cli %s: %s\n", c.name.c_str(), e.what());
        return kExitFailure;
      }
    }
  }
  std::fprintf(stderr, "quorvane-cli: unknown command '%s' (see quorvane-cli --help)\n", args[0].c_str());
  return kExitUsage;
}
