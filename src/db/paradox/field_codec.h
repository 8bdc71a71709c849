#pragma once
// Conversion between a field's bytes in a record and a Value, for every type whose value
// lies wholly in the record (all but the blob types). The byte formats are described in
// table_header.h.

#include <cstdint>

#include "db/paradox/table_header.h"
#include "db/paradox/text_codec.h"
#include "db/paradox/value.h"

namespace qv::paradox {

// Decodes the field at p (f.width bytes). decoder turns Alpha text into UTF-8. Returns
// true when the text held bytes that are no character of the table's set (they read as
// U+FFFD).
bool decodeField(const FieldDef& f, const uint8_t* p, Transcoder& decoder, Value& out);

// Encodes v into p (f.width bytes). encoder turns UTF-8 into the table's text. Throws
// qv::DbError when the value does not suit the field (a text too long for an Alpha, a
// kind the type cannot hold, too many BCD digits).
void encodeField(const FieldDef& f, const Value& v, Transcoder& encoder, uint8_t* p);

// BCD digits of a value (used by both directions; exposed for tests).
std::string bcdToText(const uint8_t* p);

}  // namespace qv::paradox
