#include "engine/paradox_discovery.h"

#include "shell/add_folder.h"
#include "shell/main_helpers.h"

namespace qv::engine {

namespace {
const QString kPattern = QStringLiteral("*.db");
}

bool HasParadoxTables(const QString& folderText) {
  if (folderText.isEmpty()) return false;
  const QString entry = folderText + u'/';
  return !shell::ListFiles(entry.left(entry.size() - 1), kPattern).isEmpty();
}

QString ParadoxTableName(const QString& fileName) {
  return fileName.toUpper().remove(QStringLiteral(".DB"), Qt::CaseSensitive);
}

QStringList LoadParadoxTables(const QString& folderText) {
  QStringList tables;
  if (folderText.isEmpty()) return tables;
  QStringList folders{folderText + u'/'};
  shell::GetSubDirectories2016(folders, true);
  for (const QString& entry : folders) {
    const QString folder = entry.left(entry.size() - 1);
    for (const QString& name : shell::ListFiles(folder, kPattern)) {
      if (name.startsWith(u'~')) continue;
      tables.push_back(ParadoxTableName(shell::FileNameFromPath(folder + u'/' + name)));
    }
  }
  return tables;
}

}  // namespace qv::engine
