#pragma once
// The user's settings: text values under application name "Varnholt", section "Quorvane"
// (on Linux ~/.config/Varnholt/Varnholt.conf). Every write goes to disk at once, and the
// file is kept readable and writable by its owner only, since it holds the database
// password in clear text.

#include <QString>

namespace qv::shell {

// The stored text of the key, or the fallback when the key is absent.
QString GetSetting(const QString& key, const QString& fallback = QString());

// Stores the text under the key and writes the file.
void SaveSetting(const QString& key, const QString& value);

// The settings file's path.
QString settingsFilePath();

}  // namespace qv::shell
