#pragma once
// The Access provider of the data-access layer: the Jet engine (db/jet) behind the SQL
// front end (db/sql), chosen by the connection strings
//
//   Provider=Microsoft.ACE.OLEDB.12.0;Data Source=PATH;JET OLEDB:Database Password=PW
//   PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=PATH;JET OLEDB:Database Password=PW
//
// (the provider name in any case). Data Source is the file exactly as written. The
// password is everything after "JET OLEDB:Database Password=" up to the end of the
// string, or up to a ";" that starts another known key, so a password may hold ";".
//
// Execute runs one statement and returns the rows it affected; OpenSchema(20) lists the
// catalogue with TABLE_TYPE "TABLE" for user tables ("SYSTEM TABLE", "ACCESS TABLE",
// "LINK", "PASS-THROUGH" and "VIEW" for the others) and TABLE_NAME; "SELECT * FROM [T]"
// reads a table.

#include <functional>
#include <memory>
#include <string>

#include "db/ado/driver.h"
#include "db/jet/database.h"

namespace qv::ado {

// Opens the database file; jet::openDatabase in the program, something smaller in tests.
using DatabaseOpener =
    std::function<std::unique_ptr<jet::Database>(const std::string& path, const jet::OpenOptions& options)>;

std::shared_ptr<Driver> makeAccessProvider(DatabaseOpener opener);

// The database password of an Access connection string (see above); empty when none.
QString accessPassword(const QString& connectionString);

}  // namespace qv::ado
