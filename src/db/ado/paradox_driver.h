#pragma once
// The Paradox driver of the data-access layer: "Driver={Microsoft Paradox Driver (*.db )}"
// with the folder in Dbq=. Its one query, "SELECT * FROM [NAME]", reads the table NAME
// of that folder (or, failing that, of a folder below it) through the Paradox reader,
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

// The .db file for a table name under folder: the folder itself first, then the folders
// below it level by level (names in sorted order). Empty when there is none.
QString findParadoxTable(const QString& folder, const QString& table);

// The layer's value for a reader value.
Value toAdoValue(const paradox::Value& v);

std::shared_ptr<Driver> makeParadoxDriver();

}  // namespace qv::ado
