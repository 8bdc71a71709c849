#pragma once
// Text as Jet stores it. Jet 3 stores 8-bit text in the database's code page (1252 is
// the only one we decode; other bytes map through it too). Jet 4 and ACE store UCS-2
// (UTF-16LE), optionally "compressed": such a value starts with FF FE and then
// alternates between runs of single bytes (characters U+0001..U+00FF, high byte
// dropped) and runs of two-byte units, each switch marked by a 00 byte; it starts in
// single-byte mode.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv::jet {

std::u16string utf8ToUtf16(std::string_view utf8);
// Appends the UTF-16 units of utf8 to out.
void appendUtf16(std::string_view utf8, std::u16string& out);
std::string utf16ToUtf8(std::u16string_view utf16);

// Decodes a stored Jet 4+ text (compressed or plain UCS-2) to UTF-8.
std::string decodeUcs2Text(const uint8_t* data, size_t n);
// Decodes code page 1252 bytes to UTF-8.
std::string decodeCp1252(const uint8_t* data, size_t n);

// Encodes UTF-8 for storage, appended to out: compressed when allowed, the text is not
// empty, the compressed form takes at most maxCompressed bytes and (when it needs
// two-byte runs) fewer than the plain form; plain UCS-2 otherwise (no allocation once
// out and the scratch have grown).
void appendUcs2Text(std::string_view utf8, bool allowCompression, std::vector<uint8_t>& out, std::u16string& scratch,
                    size_t maxCompressed = SIZE_MAX);
// Plain UCS-2 bytes (names in table definitions, passwords).
std::string encodeUcs2(std::string_view utf8);

// Number of UTF-16 units of a UTF-8 text (the length Access counts for Text(n)).
size_t utf16Length(std::string_view utf8);

// Case folding used for name comparisons (ASCII and Latin-1 letters).
std::string foldName(std::string_view utf8);

}  // namespace qv::jet
