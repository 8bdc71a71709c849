#pragma once
// Where the sort orders of other languages part from legacy General, as
// scripts/make_sort_tables.py derives it from the Windows sorting weight table
// (sort_order_languages.cpp, generated). For each language:
//   weights   a unit or a sequence of units (a letter and a combining mark, two letters
//             sorting as one: Czech "ch", Hungarian "dzs") keyed as one unit with
//             these inline bytes and, when extra is not 0, that extra byte;
//   refused   sequences, and ranges of units, the language places where the bytes
//             Access gives them are not known (so a text holding one is refused
//             rather than keyed where Access would not look for it);
//   doubles   the language reads a doubled first letter before a sequence as the
//             sequence twice ("ccs" as "cs" "cs"); such a text is refused.
// Everything else is keyed as legacy General keys it.

#include <cstddef>
#include <cstdint>

namespace qv::jet {

struct UnitRange {
  char16_t from, to;
};

// Up to three units, the unused ones 0.
struct LanguageSequence {
  char16_t units[3];
};

struct LanguageWeight {
  char16_t units[3];
  uint8_t inlineBytes[2];
  uint8_t inlineLength;
  uint8_t extra;
};

struct LanguageOrder {
  uint16_t language;
  const char* name;
  const LanguageWeight* weights;
  size_t weightCount;
  const LanguageSequence* refused;
  size_t refusedCount;
  const UnitRange* refusedUnits;
  size_t refusedUnitCount;
  bool doubles;
};

extern const LanguageOrder kLanguageOrders[];
extern const size_t kLanguageOrderCount;

}  // namespace qv::jet
