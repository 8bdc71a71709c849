// quorvane-cli exec: runs Access SQL statements on a database, the one given on the
// command line or every line of standard input, one statement per line.

#include <QString>
#include <cstdio>
#include <iostream>
#include <string>

#include "app/cli/command.h"
#include "db/ado/connection.h"
#include "db/ado/error.h"
#include "engine/connection_strings.h"

namespace qv::cli {
namespace {

constexpr const char* kUsage = "exec DATABASE [--password P] [--stop-on-error] [STATEMENT]";

int runExec(const std::vector<std::string>& args) {
  std::string database, password, statement;
  bool haveDatabase = false, haveStatement = false, stopOnError = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--password") {
      if (i + 1 >= args.size()) {
        std::fprintf(stderr, "quorvane-cli exec: --password needs a value\nUsage: quorvane-cli %s\n", kUsage);
        return kExitUsage;
      }
      password = args[++i];
    } else if (a == "--stop-on-error") {
      stopOnError = true;
    } else if (!haveDatabase) {
      database = a;
      haveDatabase = true;
    } else if (!haveStatement) {
      statement = a;
      haveStatement = true;
    } else {
      std::fprintf(stderr, "quorvane-cli exec: unexpected argument '%s' (quote the statement as one argument)\nUsage: quorvane-cli %s\n",
                   a.c_str(), kUsage);
      return kExitUsage;
    }
  }
  if (!haveDatabase) {
    std::fprintf(stderr, "Usage: quorvane-cli %s\n", kUsage);
    return kExitUsage;
  }

  std::unique_ptr<ado::Connection> conn;
  try {
    conn = ado::Connection::Create();
    conn->setCursorLocation(ado::adUseClient);
    conn->setMode(ado::adModeReadWrite);
    conn->Open(engine::AccessConnString(QString::fromStdString(database), QString::fromStdString(password)));
  } catch (const ado::Error& e) {
    std::fprintf(stderr, "quorvane-cli exec: %s\n", e.what());
    return kExitFailure;
  }

  long executed = 0, failed = 0, rows = 0;
  auto run = [&](const std::string& text, long line) {
    try {
      long affected = conn->Execute(QString::fromStdString(text));
      if (affected > 0) rows += affected;
      ++executed;
      return true;
    } catch (const ado::Error& e) {
      ++failed;
      if (line > 0) {
        std::fprintf(stderr, "line %ld: %s\n", line, e.what());
      } else {
        std::fprintf(stderr, "quorvane-cli exec: %s\n", e.what());
      }
      return false;
    }
  };

  if (haveStatement) {
    run(statement, 0);
  } else {
    std::ios::sync_with_stdio(false);
    std::string text;
    long line = 0;
    while (std::getline(std::cin, text)) {
      ++line;
      if (!text.empty() && text.back() == '\r') text.pop_back();
      if (text.find_first_not_of(" \t") == std::string::npos) continue;  // blank lines are skipped
      if (!run(text, line) && stopOnError) break;
    }
  }

  try {
    conn->Close();
  } catch (const ado::Error& e) {
    std::fprintf(stderr, "quorvane-cli exec: %s\n", e.what());
    return kExitFailure;
  }
  std::printf("%ld statement%s executed, %ld failed, %ld row%s affected\n", executed, executed == 1 ? "" : "s", failed, rows,
              rows == 1 ? "" : "s");
  return failed == 0 ? kExitOk : kExitFailure;
}

const CommandRegistration kRegistration{Command{
    "exec", kUsage,
    "runs Access SQL statements on a database: the STATEMENT given, or every line of standard input",
    runExec}};

}  // namespace
}  // namespace qv::cli
