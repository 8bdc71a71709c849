#include "engine/access_catalog.h"

#include <filesystem>

#include "db/ado/connection.h"
#include "db/ado/error.h"
#include "db/ado/recordset.h"
#include "engine/connection_strings.h"
#include "shell/error_report.h"
#include "shell/main_helpers.h"
#include "shell/messages.h"
#include "shell/step_trap.h"

namespace qv::engine {
namespace fs = std::filesystem;

namespace {

constexpr int kSchemaTables = 20;  // adSchemaTables

fs::path toPath(const QString& text) { return fs::path(text.toStdString()); }

// A catalogue field's text; Null (or a value of another kind) gives an empty text.
QString textOf(const ado::Value& value) { return value.kind() == ado::Value::Kind::Text ? value.asText() : QString(); }

// Copies every file and folder of source into target, replacing files of the same name.
// Links to folders are not followed (they could lead back into the source), and the
// target itself is passed over when it lies inside the source.
void copyFolderContents(const fs::path& source, const fs::path& target, const fs::path& targetRoot) {
  for (const fs::directory_entry& entry : fs::directory_iterator(source)) {
    const fs::path to = target / entry.path().filename();
    if (entry.is_symlink() && entry.is_directory()) continue;
    if (entry.is_directory()) {
      std::error_code ec;
      if (fs::equivalent(entry.path(), targetRoot, ec)) continue;
      fs::create_directories(to);
      copyFolderContents(entry.path(), to, targetRoot);
    } else if (entry.is_regular_file()) {
      fs::copy_file(entry.path(), to, fs::copy_options::overwrite_existing);
    }
  }
}

}  // namespace

QString GetAccessConnString(const QString& path, const QString& password, const AccessFields& fields) {
  QString dbPath = path;
  QString dbPassword = password;
  if (dbPath.isEmpty()) {
    dbPath = fields.path;
    dbPassword = fields.password;
  }
  return AccessConnString(dbPath, dbPassword);
}

std::optional<QStringList> GetAccessTables(const QString& databasePath, const AccessFields& fields) {
  if (!shell::FileExists(databasePath)) return std::nullopt;
  auto connection = ado::Connection::Create();
  connection->Open(GetAccessConnString(QString(), QString(), fields));
  QStringList tables;
  {
    auto catalogue = connection->OpenSchema(kSchemaTables);
    while (!catalogue->eof()) {
      if (textOf(catalogue->Fields()(QStringLiteral("TABLE_TYPE")).Value()) == QStringLiteral("TABLE")) {
        tables.push_back(textOf(catalogue->Fields()(QStringLiteral("TABLE_NAME")).Value()));
      }
      catalogue->MoveNext();
    }
    catalogue->Close();
  }
  connection->Close();
  return tables;
}

void LoadAccessTables(QStringList& list, const QString& databasePath, const AccessFields& fields) {
  list.clear();
  std::optional<QStringList> tables = GetAccessTables(databasePath, fields);
  if (!tables) {
    shell::msgBox(QStringLiteral("Unable to access the database"));
    return;
  }
  list = *tables;
}

QString CopyDbTarget() { return shell::ProgramDriveRoot() + QStringLiteral("TestDB"); }

void CopyDB(bool sample, const QString& folderText, const std::function<void(const QString&)>& setFolderText) {
  shell::StepTrap trap(shell::locationString(QStringLiteral("Access"), QStringLiteral("CopyDB")));
  if (!trap.test(100, [&] { return folderText.trimmed().contains(u' '); })) return;
  QString word;
  trap.run(102, [&] { word = sample ? QStringLiteral("sample") : QStringLiteral("Your"); });
  QString target;
  trap.run(108, [&] { target = CopyDbTarget(); });
  bool agreed = false;
  trap.run(110, [&] {
    agreed = shell::askYesNo(QStringLiteral("In some cases the software needs to use a folder without spaces.\r\n"
                                            "Is it OK to create the folder ") +
                             target + QStringLiteral(" and put ") + word + QStringLiteral(" db files in it?")) ==
             shell::MsgAnswer::Yes;
  });
  if (!agreed) return;
  // (112) The file-system service is std::filesystem; nothing to obtain or release.
  if (trap.test(114, [&] { return !fs::is_directory(toPath(target)); })) {
    trap.run(116, [&] { fs::create_directories(toPath(target)); });
  }
  if (trap.test(118, [&] { return fs::is_directory(toPath(target)); })) {
    // A copy that failed half-way must not become the folder the conversion reads.
    const bool copied = trap.run(120, [&] {
      const fs::path source = toPath(folderText);
      if (!fs::is_directory(source)) {
        throw ado::Error(76, QStringLiteral("Path not found: ") + folderText);
      }
      std::error_code ec;
      if (fs::equivalent(source, toPath(target), ec)) return;  // already working on the copy
      copyFolderContents(source, toPath(target), toPath(target));
    });
    if (copied) trap.run(122, [&] { setFolderText(target); });
  }
}

}  // namespace qv::engine
