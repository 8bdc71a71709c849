#pragma once
// Reads one Access SQL statement into a Statement:
//
//   CREATE TABLE name ( column type [(size)] [NOT NULL | NULL] [WITH COMPRESSION]
//                         [[CONSTRAINT name] PRIMARY KEY | UNIQUE], ...,
//                       [CONSTRAINT name] PRIMARY KEY | UNIQUE ( column, ... ), ... )
//   CREATE [UNIQUE] INDEX name ON table ( column [ASC | DESC], ... )
//                       [WITH PRIMARY | DISALLOW NULL | IGNORE NULL ...]
//   DROP TABLE name
//   INSERT INTO name [ ( column, ... ) ] VALUES ( value, ... )
//
// each optionally followed by one ";" and nothing else. Names are bare words, `quoted`
// or [bracketed]; values are NULL, TRUE/FALSE (also YES/NO, ON/OFF), numbers with an
// optional sign, 'texts' or "texts", and #dates#. Keywords may be in any case.
// A statement that does not follow these rules throws an SQL error saying what was
// expected, what was found and at which character.

#include <string_view>

#include "db/sql/statement.h"

namespace qv::sql {

// Fills out (cleared first) from the statement text, which must outlive it.
void parseStatement(std::string_view sql, Statement& out);

}  // namespace qv::sql
