#pragma once
// The Access side of the main window's fields: the connection string built from the
// database path and password, the names of the tables the database already holds, and
// the copy of a Paradox folder whose path holds a blank into a folder without one.

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace qv::engine {

// The main window's database path (Text5) and password (Text6) as they stand.
struct AccessFields {
  QString path;
  QString password;
};

// "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" for a path whose last five characters
// are "accdb" in any case, else "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=", then the
// path, ";JET OLEDB:Database Password=" and the password. When the path is empty, the
// path and password come from the fields instead (the password argument is ignored).
// Nothing is quoted or escaped.
QString GetAccessConnString(const QString& path, const QString& password, const AccessFields& fields);

// The names of the user tables (catalogue type exactly "TABLE") of the database, in
// catalogue order; nothing when the file does not exist. The connection is its own,
// opened on the fields, and closed again. Failures to open or read pass to the caller.
std::optional<QStringList> GetAccessTables(const QString& databasePath, const AccessFields& fields);

// GetAccessTables for the conversion run: empties the list, then fills it; when the
// file does not exist, says "Unable to access the database" and leaves it empty.
void LoadAccessTables(QStringList& list, const QString& databasePath, const AccessFields& fields);

// Where CopyDB puts its copies: the program's drive root followed by "TestDB".
QString CopyDbTarget();

// When the folder text (trimmed) holds a blank, asks whether to copy the folder into
// CopyDbTarget() (with "sample" or "Your" in the question, as the sample flag says) and,
// on Yes, copies it there (files of the same name replaced, others kept) and hands the
// target to setFolderText. A copy that fails is reported and the folder text stays.
// Unexpected failures are reported as Application Errors of "Access.CopyDB".
void CopyDB(bool sample, const QString& folderText, const std::function<void(const QString&)>& setFolderText);

}  // namespace qv::engine
