#pragma once
// Small UTF-8 helpers of the SQL front end: validity, and the comparison of names without
// regard to case. (A text's length in UTF-16 units and its UTF-16LE bytes come from the
// engine's text helpers, db/jet/base/text.h.)

#include <cstddef>
#include <string>
#include <string_view>

namespace qv::sql {

// The byte offset of the first malformed UTF-8 sequence, or npos when the text is valid.
size_t findInvalidUtf8(std::string_view text);

// True when two names are equal without regard to case (ASCII, Latin-1, Greek and
// Cyrillic letters fold; everything else compares as written).
bool namesEqual(std::string_view a, std::string_view b);

}  // namespace qv::sql
