#pragma once
// The typed conversion's columns: each Paradox field becomes the Access column that
// holds its values as they are, and each value an Access SQL literal that the SQL front
// end reads back to exactly that value.
//
//   Alpha(n)                  TEXT(n)       'text' (apostrophes doubled)
//   Memo, Formatted memo      MEMO          'text' (a formatted memo's text without its
//                                           formatting; one laid out otherwise keeps its
//                                           bytes in a LONGBINARY column)
//   Short                     SMALLINT      the number
//   Long                      INTEGER       the number
//   AutoInc                   COUNTER       the number (every value kept; Access goes on
//                                           after the largest)
//   Number                    DOUBLE        the shortest digits that read back to the
//                                           same double
//   Money                     CURRENCY      its digits as Paradox shows them (15
//                                           significant); a column with values of more
//                                           than four decimals becomes DOUBLE
//   BCD (d decimals)          DECIMAL(28,d) the exact digits (Access's Decimal holds 28
//                                           digits; a field with more decimals, or
//                                           values with more digits, becomes TEXT)
//   Date                      DATETIME      #yyyy-mm-dd#
//   Time                      DATETIME      #hh:nn:ss[.fff]#, on 12/30/1899 as Access
//                                           keeps a time alone
//   Timestamp                 DATETIME      #yyyy-mm-dd hh:nn:ss[.fff]#; the milliseconds
//                                           stay in the stored value (Access shows
//                                           whole seconds)
//   Logical                   BIT           TRUE / FALSE (a blank one: NULL, which a
//                                           Yes/No column takes as No)
//   Bytes(n)                  BINARY(n)     '0x' and the bytes in hexadecimal
//   Blob, OLE, Graphic        LONGBINARY    '0x...', the bytes exactly as the table has them
//   a blank value of any other type: NULL.
// A column Access cannot hold as its type (a date outside the years 100 to 9999, a
// Money value beyond Currency's range, a BCD beyond 28 digits) is made the nearest type
// that loses nothing -- TEXT(255), or DOUBLE for Money -- with a note saying why.

#include <cstdint>
#include <string>
#include <vector>

#include "db/jet/database.h"
#include "db/jet/storage/value.h"
#include "db/paradox/table_header.h"
#include "db/paradox/text_codec.h"
#include "db/paradox/value.h"

namespace qv::engine {

struct TypedColumn {
  paradox::FieldType source = paradox::FieldType::kAlpha;
  int decimals = 0;       // BCD
  jet::ColumnDef column;  // name (UTF-8), type, length, precision, scale, AutoNumber
  std::string sqlType;    // the type as the CREATE TABLE statement writes it
  bool asText = false;    // kept as text instead of its own type
  bool asDouble = false;  // Money kept as DOUBLE
  bool asBytes = false;   // a formatted memo kept as LONGBINARY
};

// The column for a field; name is the field's name in UTF-8.
TypedColumn typedColumn(const paradox::FieldDef& field, const std::string& name);

// A value as the column's literal wants it: a formatted memo's text taken out of its
// document and made UTF-8 with the table's converter (when the column is MEMO).
void prepareValue(const TypedColumn& column, paradox::Value& value, paradox::Transcoder& text);

// Makes the column keep its values as text (or DOUBLE for Money, LONGBINARY for a
// formatted memo); returns why, for the note.
std::string demote(TypedColumn& column, const std::string& why);

// Whether a value fits the column's own type (false: the column must be demoted).
bool fitsType(const TypedColumn& column, const paradox::Value& value);

// Appends the literal of a value for its column.
void appendLiteral(const TypedColumn& column, const paradox::Value& value, std::string& out);

// The engine value that literal gives (the SQL front end's conversion of it).
jet::Value engineValue(const TypedColumn& column, const paradox::Value& value);

}  // namespace qv::engine
