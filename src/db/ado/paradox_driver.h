#pragma once
// The Paradox driver of the data-access layer: "Driver={Microsoft Paradox Driver (*.db )}"
// with the folder in Dbq=. Its one query, "SELECT * FROM [NAME]", reads the table NAME
// of that folder (or, failing that, of a folder below it, in the table discovery's order) through the Paradox reader,
// block by block.

#include <QString>
#include <memory>

#include "db/ado/driver.h"
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

std::shared_ptr<Driver> makeParadoxDriver();

}  // namespace qv::ado
