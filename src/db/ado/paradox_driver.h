#pragma once
// The Paradox driver of the data-access layer: "Driver={Microsoft Paradox Driver (*.db )}"
// with the folder in Dbq= (and, our own key, CodePage=). Its one query, "SELECT * FROM
// [NAME]", reads the table NAME of that folder (or, failing that, of a folder below it,
// in the table discovery's order) through the Paradox reader, block by block.

#include <QString>
#include <memory>

#include "db/ado/connection_string.h"
#include "db/ado/driver.h"
#include "db/paradox/code_page.h"
#include "db/paradox/field_type.h"
#include "db/paradox/value.h"

namespace qv::ado {

// The DataTypeEnum code the driver reports for a Paradox field type.
int adoTypeOf(paradox::FieldType type);

// The table name a .db file name gives: upper case, every ".DB" removed.
QString paradoxTableName(const QString& fileName);

// The .db file for a table name under folder: the first of that name in the walk order of
// the table discovery (db/ado/folder_listing.h). Empty when there is none.
QString findParadoxTable(const QString& folder, const QString& table);

// The layer's value for a reader value.
Value toAdoValue(const paradox::Value& v);

// The connection string key that makes the driver read every table in one code page,
// whatever the tables' headers say ("CodePage=866"): for tables whose header is wrong.
// Without it a table that names no code page is read in the DOS code page of the
// application's locale (oem_code_page.h).
inline const QString kCodePageKey = QStringLiteral("CodePage");

// How the driver reads text for a connection string; throws Error when its code page is
// not a number this system can convert.
paradox::TextOptions textOptions(const ConnectionString& cs);

// The code page a text names ("866"), or 0 when it is not a code page this system can
// convert.
unsigned codePageNumber(const QString& text);

std::shared_ptr<Driver> makeParadoxDriver();

}  // namespace qv::ado
