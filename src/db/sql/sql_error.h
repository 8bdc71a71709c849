#pragma once
// How the SQL front end reports a statement it rejects: a qv::DbError with the number
// kErrSql and a description that begins "SQL error: ", followed by what is wrong and
// where. Callers (the SQL preview) recognise SQL errors by that prefix.

#include <string>
#include <string_view>

#include "db/io/error.h"

namespace qv::sql {

inline constexpr std::string_view kSqlErrorPrefix = "SQL error: ";

// Throws DbError(kErrSql, "SQL error: " + message).
[[noreturn]] void throwSqlError(std::string_view message);

// " at character N" for a byte offset into the statement, N counting characters
// (not bytes) from 1; the end of the statement is one past its last character.
std::string atCharacter(std::string_view statement, size_t byteOffset);

// A token or value as a message quotes it: between apostrophes, cut after 40
// characters with "...", line breaks shown as blanks.
std::string quoteForMessage(std::string_view text);

}  // namespace qv::sql
