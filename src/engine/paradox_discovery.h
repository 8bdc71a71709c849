#pragma once
// Finding the Paradox tables of the folder the user named. A table is a file with the
// extension .db; its name is the file name in upper case with every ".DB" taken out
// (Orders.db gives ORDERS, old.dbase.db gives OLDASE).

#include <QString>
#include <QStringList>

namespace qv::engine {

// True when the folder itself (not a folder below it) holds a file matching "*.db";
// names beginning with "~" count. False for an empty folder text.
bool HasParadoxTables(const QString& folderText);

// The table names of the folder and of every folder below it (the folder's own files
// first, then the folders below level by level); names of files beginning with "~" are
// left out. Empty for an empty folder text. The folder text is used as it stands.
QStringList LoadParadoxTables(const QString& folderText);

// The table name of a file name: upper case, every ".DB" removed.
QString ParadoxTableName(const QString& fileName);

}  // namespace qv::engine
