#pragma once
// Small shared procedures of the windows and the conversion run: file and list tests,
// the application title, the program's drive root.

#include <QString>
#include <QStringList>

#include "db/ado/value.h"

namespace qv::shell {

inline constexpr char kProductName[] = "Quorvane";

// True when the file system can tell the path's last change time; never throws.
bool FileExists(const QString& path);

// The part after the last path separator; the whole text when there is none.
QString FileNameFromPath(const QString& path);

// True when an item equals the text, both compared in lower case.
bool ListContains(const QStringList& list, const QString& text);

// Removes every item equal to the text (exact comparison); the others keep their order.
void RemoveFromList(QStringList& list, const QString& text);

// The default when the value is Null, else the value.
ado::Value NullToDefault(const ado::Value& value, const ado::Value& fallback);

// The title made from a product name: drop its last blank-separated word, and keep
// dropping while longer than 40 characters. A name without a blank stays whole.
QString applicationTitleFor(const QString& productName);

// Sets the application title from the product name (see applicationTitleFor).
void SetApplicationTitle();

// Where a drive root would be on Windows: here the user's home folder, with a trailing "/".
QString ProgramDriveRoot();

}  // namespace qv::shell
