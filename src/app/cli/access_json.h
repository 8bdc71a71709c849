#pragma once
// JSON text for the Access inspection commands (dump-access): escaped strings, values
// of Access columns, SHA-256 digests of binary values.

#include <string>

#include "db/jet/database.h"
#include "db/jet/storage/value.h"

namespace qv::cli::access {

std::string jsonString(const std::string& utf8);
std::string sha256Hex(const std::string& bytes);
// One value of a column of the given type as JSON.
std::string jsonValue(const jet::Value& v, jet::ColumnType type);
const char* typeName(jet::ColumnType type);

}  // namespace qv::cli::access
