#pragma once
// quorvane-cli's subcommands. Each lives in its own file and registers itself with a
// static CommandRegistration, so adding one touches no other file.

#include <functional>
#include <string>
#include <vector>

namespace qv::cli {

struct Command {
  std::string name;
  std::string usage;                                             // "convert PARADOX_FOLDER DATABASE [--password P] ..."
  std::string summary;                                           // one line for --help
  std::function<int(const std::vector<std::string>& args)> run;  // args after the name
};

std::vector<Command>& commands();

struct CommandRegistration {
  explicit CommandRegistration(Command c) { commands().push_back(std::move(c)); }
};

// Exit statuses shared by the subcommands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // the work ran but something failed
inline constexpr int kExitUsage = 2;    // the command line was wrong

}  // namespace qv::cli
