#include "shell/settings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace qv::shell {
namespace {

constexpr auto kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

QSettings openStore() { return QSettings(QStringLiteral("Varnholt"), QStringLiteral("Varnholt")); }

// Creates the file empty and private before the first write, and narrows the rights of a
// file that an older version (or another program) left readable to others.
void makePrivate(const QString& path) {
  QFileInfo info(path);
  if (!info.exists()) {
    QDir().mkpath(info.absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) file.close();
  }
  constexpr auto kOthers = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                           QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
  if (QFile::permissions(path) & kOthers) QFile::setPermissions(path, kOwnerOnly);
}

}  // namespace

QString GetSetting(const QString& key, const QString& fallback) {
  QSettings store = openStore();
  store.beginGroup(QStringLiteral("Quorvane"));
  return store.value(key, fallback).toString();
}

void SaveSetting(const QString& key, const QString& value) {
  QSettings store = openStore();
  makePrivate(store.fileName());
  store.beginGroup(QStringLiteral("Quorvane"));
  store.setValue(key, value);
  store.endGroup();
  store.sync();
  makePrivate(store.fileName());
}

QString settingsFilePath() { return openStore().fileName(); }

}  // namespace qv::shell
