#pragma once
// Small UTF-8 helpers of the SQL front end: validity, length in UTF-16 units (how Access
// counts a text's characters), UTF-16LE bytes, and the comparison of names without
// regard to case.

#include <cstddef>
#include <string>
#include <string_view>

namespace qv::sql {

// The byte offset of the first malformed UTF-8 sequence, or npos when the text is valid.
size_t findInvalidUtf8(std::string_view text);

// The number of UTF-16 code units the (valid) UTF-8 text takes.
size_t utf16Length(std::string_view text);

// Appends the (valid) UTF-8 text as UTF-16LE bytes.
void appendUtf16le(std::string_view text, std::string& out);

// True when two names are equal without regard to case (ASCII, Latin-1, Greek and
// Cyrillic letters fold; everything else compares as written).
bool namesEqual(std::string_view a, std::string_view b);

}  // namespace qv::sql
