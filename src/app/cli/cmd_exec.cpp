// quorvane-cli exec: runs Access SQL statements on a database, the one given on the
// command line or every statement of standard input: one per line, where a line break
// inside a quoted text belongs to its statement (a memo written by convert --sql).
// Standard input goes to the database in batches, so long scripts of INSERTs are fast.

#include <QString>
#include <QStringList>
#include <cctype>
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "app/cli/command.h"
#include "app/cli/script_reader.h"
#include "db/ado/connection.h"
#include "db/ado/error.h"
#include "engine/connection_strings.h"
#include "engine/statement_batch.h"

namespace qv::cli {
namespace {

constexpr const char* kUsage = "exec DATABASE [--password P] [--stop-on-error] [STATEMENT]";
// A batch closes at this many statements or bytes, whichever comes first.
constexpr size_t kBatchStatements = 1000;
constexpr size_t kBatchChars = 4u << 20;

// Whether a statement adds a row (the only kind that changes rows here).
bool isInsert(std::string_view text) {
  size_t at = text.find_first_not_of(" \t\r\n");
  if (at == std::string::npos || text.size() - at < 6) return false;
  for (size_t i = 0; i < 6; ++i)
    if (std::toupper(static_cast<unsigned char>(text[at + i])) != "INSERT"[i]) return false;
  return true;
}

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
      std::fprintf(
          stderr,
          "quorvane-cli exec: unexpected argument '%s' (quote the statement as one argument)\nUsage: quorvane-cli %s\n",
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
  if (haveStatement) {
    try {
      long affected = conn->Execute(QString::fromStdString(statement));
      if (affected > 0) rows += affected;
      ++executed;
    } catch (const ado::Error& e) {
      ++failed;
      std::fprintf(stderr, "quorvane-cli exec: %s\n", e.what());
    }
  } else {
    std::ios::sync_with_stdio(false);
    ScriptReader reader(std::cin);
    // The batch's statements (UTF-8, as read), each tagged with the line it starts on:
    // only the current batch is held, and it reaches the database without another
    // conversion.
    engine::StatementBatch batch;
    bool stopped = false;
    // Runs the gathered statements; failures are reported by the line they start on.
    auto flush = [&] {
      if (batch.empty()) return;
      long failedHere = 0, insertsFailed = 0;
      size_t ran = 0;
      try {
        ran = batch.execute(
            conn.get(),
            [&](size_t i, const std::exception_ptr& failure) {
              try {
                std::rethrow_exception(failure);
              } catch (const ado::Error& e) {
                std::fprintf(stderr, "line %ld: %s\n", batch.tag(i), e.what());
              }
              ++failedHere;
              if (isInsert(batch.statement(i))) ++insertsFailed;
              return !stopOnError;
            },
            engine::StatementBatch::WhenBatchFails::kThrow);
      } catch (const ado::Error& e) {
        // The database itself failed (not one statement): what ran before is kept.
        std::fprintf(stderr, "quorvane-cli exec: %s\n", e.what());
        ++failed;
        stopped = true;
        return;
      }
      for (size_t i = 0; i < ran; ++i)
        if (isInsert(batch.statement(i))) ++rows;
      rows -= insertsFailed;
      executed += static_cast<long>(ran) - failedHere;
      failed += failedHere;
      stopped = stopOnError && failedHere > 0;
      batch.clear();
    };
    std::string text;
    long line = 0;
    while (!stopped && reader.next(&text, &line)) {
      if (text.find_first_not_of(" \t") == std::string::npos) continue;  // blank lines are skipped
      batch.add(text, line);
      if (batch.due(kBatchStatements, kBatchChars)) flush();
    }
    if (!stopped) flush();
  }

  try {
    conn->Close();
  } catch (const ado::Error& e) {
    std::fprintf(stderr, "quorvane-cli exec: %s\n", e.what());
    return kExitFailure;
  }
  std::printf("%ld statement%s executed, %ld failed, %ld row%s affected\n", executed, executed == 1 ? "" : "s", failed,
              rows, rows == 1 ? "" : "s");
  return failed == 0 ? kExitOk : kExitFailure;
}

const CommandRegistration kRegistration{
    Command{"exec", kUsage,
            "runs Access SQL statements on a database: the STATEMENT given, or every line of standard input", runExec}};

}  // namespace
}  // namespace qv::cli
