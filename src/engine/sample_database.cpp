#include "engine/sample_database.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace qv::engine {
namespace {

bool writable(const QString& path) { return ::access(QFile::encodeName(path).constData(), W_OK) == 0; }

}  // namespace

QString SampleDatabasePath(const QString& programFolder, const QString& userDataFolder) {
  QString installed = programFolder + QStringLiteral("/Samples/sample.mdb");
  const QFileInfo sample(installed);
  if (!sample.exists() || (writable(installed) && writable(sample.absolutePath())) || userDataFolder.isEmpty()) {
    return installed;
  }
  QString copy = userDataFolder + QStringLiteral("/Samples/sample.mdb");
  if (QFileInfo::exists(copy)) return copy;
  if (!QDir().mkpath(userDataFolder + QStringLiteral("/Samples"))) return installed;
  // Copied under a temporary name and then renamed, so an interrupted copy never looks
  // like the sample.
  const QString part = copy + QStringLiteral(".part");
  QFile::remove(part);
  if (!QFile::copy(installed, part) ||
      !QFile::setPermissions(part, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther) ||
      !QFile::rename(part, copy)) {
    QFile::remove(part);
    return installed;
  }
  return copy;
}

}  // namespace qv::engine
