// quorvane-cli convert: the conversion of the desktop program's direct mode (or, with
// --sql, its per-file preview written to a file), run by the same engine.

#include <QFileInfo>
#include <QLocale>
#include <cstdio>
#include <unistd.h>

#include "app/cli/code_page_option.h"
#include "app/cli/command.h"
#include "app/cli/convert_host.h"
#include "db/ado/connection.h"
#include "db/ado/error.h"
#include "db/io/error.h"
#include "db/jet/database.h"
#include "engine/connection_strings.h"
#include "engine/conversion_run.h"
#include "engine/typed_run.h"

namespace qv::cli {
namespace {

constexpr const char* kUsage =
    "convert PARADOX_FOLDER DATABASE [--password P] [--create mdb|accdb] [--overwrite ask|yes|no] [--sql FILE] "
    "[--code-page N] [--typed]";

int usage(const char* problem) {
  std::fprintf(stderr, "quorvane-cli convert: %s\nUsage: quorvane-cli %s\n", problem, kUsage);
  return kExitUsage;
}

int runConvert(const std::vector<std::string>& args) {
  ConvertOptions options;
  std::string create;
  bool typed = false;
  std::vector<std::string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](const char* name) -> const std::string* {
      if (i + 1 >= args.size()) {
        std::fprintf(stderr, "quorvane-cli convert: %s needs a value\n", name);
        return nullptr;
      }
      return &args[++i];
    };
    if (a == "--password") {
      auto v = value("--password");
      if (!v) return kExitUsage;
      options.password = QString::fromStdString(*v);
    } else if (a == "--create") {
      auto v = value("--create");
      if (!v) return kExitUsage;
      if (*v != "mdb" && *v != "accdb") return usage("--create takes mdb or accdb");
      create = *v;
    } else if (a == "--overwrite") {
      auto v = value("--overwrite");
      if (!v) return kExitUsage;
      if (*v == "ask") options.overwrite = OverwriteMode::kAsk;
      else if (*v == "yes") options.overwrite = OverwriteMode::kYes;
      else if (*v == "no") options.overwrite = OverwriteMode::kNo;
      else return usage("--overwrite takes ask, yes or no");
    } else if (a == "--sql") {
      auto v = value("--sql");
      if (!v) return kExitUsage;
      options.sqlFile = QString::fromStdString(*v);
    } else if (a == "--code-page") {
      auto v = value("--code-page");
      if (!v) return kExitUsage;
      options.codePage = parseCodePage(*v);
      if (options.codePage == 0) return usage(unknownCodePage(*v).c_str());
    } else if (a == "--typed") {
      typed = true;
    } else if (a.size() > 1 && a[0] == '-') {
      return usage(("unknown option " + a).c_str());
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != 2) return usage("give the Paradox folder and the database");
  options.paradoxFolder = QString::fromStdString(positional[0]);
  options.database = QString::fromStdString(positional[1]);

  if (!QFileInfo(options.paradoxFolder).isDir()) {
    std::fprintf(stderr, "quorvane-cli convert: '%s' is not a folder\n", positional[0].c_str());
    return kExitFailure;
  }
  if (!create.empty() && !QFileInfo::exists(options.database)) {
    try {
      jet::OpenOptions open;
      open.password = options.password.toStdString();
      jet::createDatabase(positional[1], create == "mdb" ? jet::Format::kJet4 : jet::Format::kAce12, open)->close();
      std::fprintf(stderr, "Created %s\n", positional[1].c_str());
    } catch (const DbError& e) {
      std::fprintf(stderr, "quorvane-cli convert: %s\n", e.what());
      return kExitFailure;
    }
  }

  // A database that cannot be changed (another program holds it open, the user may not
  // write it, an Access 97 database, a wrong password) cannot take a single statement:
  // the run's own open of it says why, once, instead of a failure for every statement.
  if (options.sqlFile.isEmpty() && QFileInfo(options.database).isFile()) {
    try {
      auto probe = ado::Connection::Create();
      probe->setCursorLocation(ado::adUseClient);
      probe->setMode(ado::adModeReadWrite);
      probe->Open(engine::AccessConnString(options.database, options.password));
      probe->Close();
    } catch (const ado::Error& e) {
      std::fprintf(stderr, "quorvane-cli convert: %s\n", e.description().toUtf8().constData());
      return kExitFailure;
    }
  }

  std::FILE* progress = ::isatty(STDERR_FILENO) ? stderr : nullptr;
  ConvertHost host(options, progress);
  if (typed) {
    engine::TypedRun run(host, options.database, options.password);
    run.start();
    return host.finish(stdout);
  }
  engine::ConversionRun run(host, QLocale::system());
  host.attach(&run);
  run.start();
  return host.finish(stdout);
}

const CommandRegistration kRegistration{Command{
    "convert", kUsage,
    "copies every Paradox table of the folder and its sub-folders into the Access database, as the desktop program's "
    "direct mode does (--sql: writes the statements to FILE instead; --code-page: reads every table in code page N; "
    "--typed: Access types for the Paradox types -- dates, money, Yes/No, AutoNumber, Decimal -- and the tables' "
    "primary keys and indexes, beyond the desktop program's rules)",
    runConvert}};

}  // namespace
}  // namespace qv::cli
