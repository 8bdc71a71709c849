#pragma once
// The conversions Jet makes when a literal goes into a column on INSERT:
//
//   NULL       any column that is not NOT NULL; a Yes/No column takes No (it cannot
//              hold Null); an AutoNumber column draws its next number.
//   number     into a number column: rounded (half to even) to the column's decimals
//              and checked against its range; into Yes/No: zero is No, else Yes; into
//              Date/Time: the day count; into a Text column: its text (see number_text.h).
//   TRUE/FALSE into a number column -1 / 0, into a Text column "True" / "False".
//   'text'     into a Text or Long Text column as it is (a Text(n) column takes at most n
//              characters); into a number, Yes/No, Date/Time or GUID column when it reads
//              as one (blanks around it allowed); into an OLE Object or Binary column:
//              "0x" followed by an even number of hexadecimal digits becomes those bytes
//              (that is how binary fields are handed over as text; "0x" alone is an
//              empty value), any other text its
//              characters as UTF-16LE bytes, which is how Jet stores a text there.
//   #date#     into Date/Time; into a number column its day count; into Text its text.
//
// Everything else is a data type mismatch. Every failure is an SQL error naming the
// column, the value and the character where the value begins.

#include <string>
#include <string_view>

#include "db/jet/database.h"
#include "db/jet/storage/value.h"
#include "db/sql/statement.h"

namespace qv::sql {

// Converts lit (a literal of the statement sql) for column into out, reusing out's memory.
void convertLiteral(std::string_view sql, const Literal& lit, const jet::ColumnDef& column, jet::Value& out);

// The characters a text literal stands for (doubled quotes made single), into out.
void literalText(const Literal& lit, std::string& out);

}  // namespace qv::sql
