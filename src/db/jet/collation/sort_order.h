#pragma once
// Text keys of index entries. A text column's index key is not its characters but a
// sequence of weights that sorts as the column's sort order wants: Jet compares keys
// byte by byte, so the weights decide the order. Each sort order is identified by the
// language word and version byte that the database header and every text column carry
// (0x0409 version 0: the legacy General order of Jet 4 and ACE 12; 0x0409 version 1:
// the General order of ACE 14 and later).
//
// A key for one text value (after its 7F/80 start flag) is built like this: at most 255
// UTF-16 units are used, trailing blanks dropped. Every unit maps to one of these kinds:
//   ignored          contributes nothing;
//   simple           one to eight "inline" bytes;
//   significant      inline bytes only (like simple);
//   international    inline bytes (its base letter) and "extra" bytes (its accent);
//   international+   inline bytes, optional extra bytes and a two-bit mark;
//   unprintable      no inline bytes; an entry in the unprintable list;
//   extra-modifier   no inline bytes; a value added to the last extra byte.
// The key is: all inline bytes, 01, then -- when any of them is non-empty -- the extra
// bytes (one 02 filler per earlier unit without extra bytes; trailing 00..02 bytes
// dropped), then, when there are marks or unprintables, 01 01, the marks packed three to
// a byte under 80 (trailing "3" marks dropped) followed by FF 02 80 FF 80 (plus FF when
// unprintables follow), then 01 and per unprintable its position as a big-endian word
// (7 + 4 * position) | 0x8000, 06 and its bytes. The key closes with 00. A descending
// column inverts every byte of the value's key after appending a 00, then adds 00.
//
// The weights of every code unit come from a compact table (general_sort_tables.cpp,
// made by scripts/make_sort_tables.py): records in code-unit order, 0000-FFFF without
// the surrogates. A record is an op byte -- kind in bits 0-2 (0 ignored, 1 simple, 2
// international, 3 unprintable, 4 extra-modifier, 5 international+, 6 significant) and
// 0x08 for a run, then a 2-byte little-endian count of units sharing the record (simple
// runs count their inline bytes up by one per unit) -- and the kind's fields, each byte
// string as a length byte and the bytes: simple/significant: inline; international:
// inline, extra; unprintable: its bytes; extra-modifier: the value (one byte);
// international+: inline, extra (may be empty), mark (2 or 3). Surrogates are computed:
// inline bytes from the unit's value, extra byte 3F.
//
// The orders of other languages (Turkish, Swedish/Finnish, Czech, Cyrillic, ...) use
// the legacy General weights for every character the language does not sort
// differently: keys that Access wrote in the Turkish and the Chinese (PRC) orders agree
// with General's byte for byte wherever their texts avoid the letters those languages
// place elsewhere. Where a language does place a letter elsewhere (a letter of its own
// between two of General's, two letters sorting as one), the Windows sorting weight
// table says where, and legacy General's bytes for the letters around that place give
// its key (sort_order_languages.h; the Turkish "I" Access keyed as 58 06 comes out so).
// A letter placed where legacy General has no byte for it (the Nordic letters after Z,
// Chinese characters by pronunciation, the Cyrillic short I) makes the key unknown, and
// the write is refused rather than an index entry guessed.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qv::jet {

// Thrown by TextKeyEncoder::append for a text whose key the order cannot give.
class UnencodableText : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TextKeyEncoder {
 public:
  virtual ~TextKeyEncoder() = default;
  // Appends the key of a non-null text (without the start flag). Throws UnencodableText,
  // leaving out as it was, when the text holds a letter whose weight the order lacks.
  virtual void append(std::u16string_view text, bool ascending, std::vector<uint8_t>& out) const = 0;
  virtual std::string name() const = 0;
};

// The encoder of a sort order, or nullptr when we cannot encode it.
const TextKeyEncoder* textKeyEncoder(uint16_t language, uint8_t version);

// A readable name of a sort order for messages ("General (legacy)", "language 0x0419
// version 0").
std::string sortOrderName(uint16_t language, uint8_t version);

}  // namespace qv::jet
