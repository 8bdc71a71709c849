#include "db/sql/text_utils.h"

#include "db/io/text_scan.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qv::sql {
namespace {

// Decodes one sequence of a valid UTF-8 text at i, advancing i.
char32_t decode(std::string_view s, size_t& i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  if (c < 0x80) {
    ++i;
    return c;
  }
  int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
  char32_t cp = c & (0x3F >> extra);
  ++i;
  for (int k = 0; k < extra && i < s.size(); ++k, ++i) cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
  return cp;
}

char32_t foldCase(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c < 0x80) return c;
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 32;   // Latin-1
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;  // Greek
  if (c >= 0x410 && c <= 0x42F) return c + 32;                // Cyrillic
  if (c >= 0x400 && c <= 0x40F) return c + 80;                // Cyrillic Ѐ..Џ
  if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 && c != 0x17F) {
    // Latin Extended-A pairs: even upper, odd lower, except the ranges that shift by one.
    bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (oddUpper) return (c & 1) ? c + 1 : c;
    return (c & 1) ? c : c + 1;
  }
  return c;
}

// Checks the sequences of s that start in [i, until), one at a time (ASCII in runs).
// Returns the offset of the first malformed one, or npos with i moved to the end of the
// last one (until, or up to 3 bytes past it).
size_t checkSequences(std::string_view s, size_t& i, size_t until) {
  const size_t n = s.size();
  while (i < until) {
    i += io::asciiRun(s.data() + i, until - i);
    if (i >= until) break;
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 0xC2 && c <= 0xDF) {
      // Two bytes (Latin, Greek, Cyrillic, Hebrew, Arabic letters), a word of them at a
      // time: each lead byte needs a continuation byte.
      do {
        if (i + 1 >= n || (static_cast<unsigned char>(s[i + 1]) & 0xC0) != 0x80) return i;
        i += 2;
      } while (i < until && static_cast<unsigned char>(s[i]) >= 0xC2 && static_cast<unsigned char>(s[i]) <= 0xDF);
      continue;
    }
    // Three and four bytes.
    size_t extra;
    char32_t min;
    if (c >= 0xE0 && c <= 0xEF) {
      extra = 2;
      min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3;
      min = 0x10000;
    } else {
      return i;
    }
    if (i + extra >= n) return i;
    char32_t cp = c & (0x3F >> extra);
    for (size_t k = 1; k <= extra; ++k) {
      unsigned char d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) return i;
      cp = (cp << 6) | (d & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return i;
    i += extra + 1;
  }
  return std::string_view::npos;
}

#if defined(__SSE2__)
// The 16-byte blocks of s that hold only ASCII, two-byte sequences and three-byte ones
// led by E1..EC or EE..EF (Western and Cyrillic text, the euro sign), checked without
// looking at each byte: the continuation bytes must be exactly the bytes the lead bytes
// claim, those of the previous block's last sequence included. (Lead bytes are never
// continuation bytes, so sequences that would overlap cannot match.) A block with anything
// else (C0, C1, E0 and ED, whose second bytes are limited, four-byte sequences, F5..FF,
// a mismatch) is checked sequence by sequence. Returns as checkSequences does; i ends at
// the first byte the blocks leave unchecked.
size_t checkBlocks(std::string_view s, size_t& i) {
  const size_t n = s.size();
  // Signed byte comparisons: 0x80..0xBF are -128..-65, 0xC0..0xFF are -64..-1.
  auto above = [](const __m128i& v, unsigned char limit) {
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpgt_epi8(v, _mm_set1_epi8(static_cast<char>(limit)))));
  };
  unsigned carried = 0;  // continuation bytes the previous block's last sequence claims here
  size_t open = 0;       // how many of that sequence's bytes the previous block holds
  while (i + 16 <= n) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.data() + i));
    const auto high = static_cast<unsigned>(_mm_movemask_epi8(v));
    if ((high | carried) == 0) {
      i += 16;
      continue;
    }
    const unsigned lead = high & above(v, 0xBF);
    const unsigned twoByteLead = lead & above(v, 0xC1) & ~above(v, 0xDF);
    const unsigned ed =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(0xED)))));
    const unsigned threeByteLead = lead & above(v, 0xE0) & ~above(v, 0xEF) & ~ed;
    const unsigned claimed = (twoByteLead << 1) | (threeByteLead << 1) | (threeByteLead << 2) | carried;
    if (lead == (twoByteLead | threeByteLead) && (high & ~lead) == (claimed & 0xFFFFu)) {
      carried = claimed >> 16;
      open = (threeByteLead >> 14) & 1 ? 2 : ((twoByteLead | threeByteLead) >> 15) & 1 ? 1 : 0;
      i += 16;
      continue;
    }
    // From the start of the sequence the block is in, one at a time to the block's end.
    const size_t blockEnd = i + 16;
    i -= open;
    if (size_t bad = checkSequences(s, i, blockEnd); bad != std::string_view::npos) return bad;
    carried = 0;
    open = 0;
  }
  i -= open;
  return std::string_view::npos;
}
#endif

}  // namespace

size_t findInvalidUtf8(std::string_view s) {
  size_t i = 0;
#if defined(__SSE2__)
  if (size_t bad = checkBlocks(s, i); bad != std::string_view::npos) return bad;
#endif
  return checkSequences(s, i, s.size());
}

bool namesEqual(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    unsigned char ca = static_cast<unsigned char>(a[i]);
    unsigned char cb = static_cast<unsigned char>(b[j]);
    if (ca < 0x80 && cb < 0x80) {
      if (ca != cb) {
        if (ca >= 'A' && ca <= 'Z') ca = static_cast<unsigned char>(ca + 32);
        if (cb >= 'A' && cb <= 'Z') cb = static_cast<unsigned char>(cb + 32);
        if (ca != cb) return false;
      }
      ++i;
      ++j;
      continue;
    }
    if (foldCase(decode(a, i)) != foldCase(decode(b, j))) return false;
  }
  return i == a.size() && j == b.size();
}

}  // namespace qv::sql
