#pragma once
// The --code-page N option of the commands that read Paradox tables: read every table in
// code page N, whatever its header says (for tables whose header is wrong) and whatever
// the user's locale would give a table that names none.

#include <string>

namespace qv::cli {

// The code page an argument names, or 0 when it is not a number this system can convert.
unsigned parseCodePage(const std::string& argument);

// The message for an argument parseCodePage refused.
std::string unknownCodePage(const std::string& argument);

}  // namespace qv::cli
