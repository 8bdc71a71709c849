#include "shell/main_helpers.h"

#include <QDir>
#include <QFileInfo>
#include <QCoreApplication>

#include "shell/messages.h"

namespace qv::shell {

bool FileExists(const QString& path) {
  if (path.isEmpty()) return false;
  QFileInfo info(path);
  return info.exists() && info.lastModified().isValid();
}

QString FileNameFromPath(const QString& path) {
  qsizetype cut = path.lastIndexOf(u'/');
  return cut < 0 ? path : path.mid(cut + 1);
}

bool ListContains(const QStringList& list, const QString& text) {
  const QString wanted = text.toLower();
  bool found = false;
  for (const auto& item : list) {
    if (item.toLower() == wanted) found = true;
  }
  return found;
}

void RemoveFromList(QStringList& list, const QString& text) { list.removeAll(text); }

ado::Value NullToDefault(const ado::Value& value, const ado::Value& fallback) {
  return value.isNull() ? fallback : value;
}

QString applicationTitleFor(const QString& productName) {
  QString title = productName;
  auto dropLastWord = [&title] {
    qsizetype blank = title.lastIndexOf(u' ');
    if (blank < 0) return false;
    title.truncate(blank);
    return true;
  };
  if (!dropLastWord()) return title;
  while (title.size() > 40 && dropLastWord()) {
  }
  return title;
}

void SetApplicationTitle() {
  QString title = applicationTitleFor(QString::fromLatin1(kProductName));
  setApplicationTitleText(title);
  if (QCoreApplication::instance()) QCoreApplication::setApplicationName(title);
}

QString ProgramDriveRoot() {
  QString home = QDir::homePath();
  return home.endsWith(u'/') ? home : home + u'/';
}

}  // namespace qv::shell
