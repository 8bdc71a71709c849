#include "db/jet/base/text.h"

#include <bit>
#include <cstring>

#include "db/io/text_scan.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qv::jet {
namespace {

// Code page 1252's characters 0x80..0x9F (0 where the code page has none).
constexpr char16_t kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Decodes the UTF-8 sequence at i and moves i past it. Leniently: the continuation
// bytes are not checked, and a sequence cut short by the end is U+FFFD for its first byte.
uint32_t decodeLenient(std::string_view s, size_t& i) {
  const auto c = static_cast<uint8_t>(s[i]);
  auto next = [&s, &i](size_t k) { return static_cast<uint8_t>(s[i + k]) & 0x3Fu; };
  uint32_t cp = 0xFFFD;
  size_t len = 1;
  if (c < 0x80) {
    cp = c;
  } else if ((c & 0xE0) == 0xC0 && i + 1 < s.size()) {
    cp = ((c & 0x1Fu) << 6) | next(1);
    len = 2;
  } else if ((c & 0xF0) == 0xE0 && i + 2 < s.size()) {
    cp = ((c & 0x0Fu) << 12) | (next(1) << 6) | next(2);
    len = 3;
  } else if ((c & 0xF8) == 0xF0 && i + 3 < s.size()) {
    cp = ((c & 0x07u) << 18) | (next(1) << 12) | (next(2) << 6) | next(3);
    len = 4;
  }
  i += len;
  return cp;
}

void appendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

std::u16string utf8ToUtf16(std::string_view s) {
  std::u16string out;
  appendUtf16(s, out);
  return out;
}

void appendUtf16(std::string_view s, std::u16string& out) {
  out.reserve(out.size() + s.size());
  size_t i = 0;
  while (i < s.size()) {
    uint32_t cp = decodeLenient(s, i);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
}

std::string utf16ToUtf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t cp = s[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00u);
      ++i;
    }
    appendUtf8(out, cp);
  }
  return out;
}

std::string decodeUcs2Text(const uint8_t* data, size_t n) {
  std::u16string units;
  if (n >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
    bool compressed = true;
    size_t i = 2;
    units.reserve(n);
    while (i < n) {
      if (data[i] == 0) {
        compressed = !compressed;
        ++i;
      } else if (compressed) {
        units += static_cast<char16_t>(data[i++]);
      } else if (i + 1 < n) {
        units += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        i += 2;
      } else {
        break;
      }
    }
  } else {
    units.reserve(n / 2);
    for (size_t i = 0; i + 1 < n; i += 2) units += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  }
  return utf16ToUtf8(units);
}

std::string decodeCp1252(const uint8_t* data, size_t n) {
  std::string out;
  out.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    uint32_t cp = data[i];
    if (cp >= 0x80 && cp < 0xA0 && kCp1252High[cp - 0x80] != 0) cp = kCp1252High[cp - 0x80];
    appendUtf8(out, cp);
  }
  return out;
}

std::string encodeUcs2(std::string_view utf8) {
  std::u16string units = utf8ToUtf16(utf8);
  std::string out;
  out.reserve(units.size() * 2);
  for (char16_t u : units) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
  }
  return out;
}

namespace {

// Texts are written four bytes at a time through words in the host's order.
static_assert(std::endian::native == std::endian::little, "the bulk text paths assume a little-endian host");

// Whether a character is stored as one byte in a compressed text.
bool oneByte(uint32_t cp) { return cp != 0 && cp <= 0xFF; }

// Whether leaving two-byte mode at i pays: the run of one-byte characters that starts
// there is at least three long (two toggles cost less than a byte each), or at least two
// long and ends the text (one toggle).
bool worthOneByteMode(std::string_view utf8, size_t i) {
  int run = 0;
  while (i < utf8.size() && run < 3) {
    if (!oneByte(decodeLenient(utf8, i))) return false;
    ++run;
  }
  return run >= 3 || (run == 2 && i == utf8.size());
}

// Whether the 8 bytes of w are four letters that a compressed text keeps in a two-byte
// run (two-byte sequences beyond Latin-1, leads C4 and above, with no unit whose low byte
// is 0); their units are then in units.
bool fourTwoByteRunLetters(uint64_t w, uint64_t& units) {
  constexpr uint64_t kLaneBit8 = 0x0100010001000100ull, kLaneBit7 = 0x0080008000800080ull;
  if (!io::fourTwoByteSequences(w)) return false;
  if ((((w & 0x001C001C001C001Cull) + 0x007F007F007F007Full) & kLaneBit7) != kLaneBit7) return false;
  units = io::twoByteUnits(w);
  return (((units & 0x00FF00FF00FF00FFull) + 0x00FF00FF00FF00FFull) & kLaneBit8) == kLaneBit8;
}

// Writes utf8 compressed (after the FF FE marker) at out's end: characters U+0001..U+00FF
// as one byte, runs of others as two-byte units, each switch marked by a 00 byte (as
// Access compresses a text with, say, a euro sign in it). Leaves out as it was and
// returns false when the text cannot be written so: a NUL character, or a unit whose low
// byte is 0 (which a reader would take for a switch). units counts the UTF-16 units and
// switches the mode changes. One pass, ASCII eight bytes at a time.
bool appendCompressed(std::string_view utf8, std::vector<uint8_t>& out, size_t& units, size_t& switches) {
  if (utf8.empty()) return false;
  const size_t start = out.size();
  // One byte a character until two-byte runs come; then at most a switch and two bytes
  // for each UTF-8 byte.
  out.resize(start + 2 + utf8.size());
  uint8_t* dst = out.data() + start;
  bool grown = false;
  *dst++ = 0xFF;
  *dst++ = 0xFE;
  const auto* s = reinterpret_cast<const uint8_t*>(utf8.data());
  const size_t n = utf8.size();
  size_t i = 0;
  units = 0;
  switches = 0;
  bool oneByteMode = true;
  auto fail = [&] {
    out.resize(start);
    return false;
  };
  while (i < n) {
    if (oneByteMode) {
      const size_t run = io::plainAsciiRun(utf8.data() + i, n - i);
      std::memcpy(dst, s + i, run);
      dst += run;
      i += run;
      units += run;
      if (i >= n) break;
      const uint8_t c = s[i];  // a NUL or the first byte of a sequence
      if ((c == 0xC2 || c == 0xC3) && i + 1 < n && (s[i + 1] & 0xC0) == 0x80) {
        // Latin-1 letters and signs, inline.
        *dst++ = static_cast<uint8_t>(((c & 0x1Fu) << 6) | (s[i + 1] & 0x3Fu));
        i += 2;
        ++units;
        continue;
      }
      size_t next = i;
      const uint32_t cp = decodeLenient(utf8, next);
      if (oneByte(cp)) {
        *dst++ = static_cast<uint8_t>(cp);
        i = next;
        ++units;
        continue;
      }
      if (cp == 0) return fail();
      if (!grown) {
        const auto at = static_cast<size_t>(dst - out.data());
        out.resize(start + 2 + 3 * utf8.size());
        dst = out.data() + at;
        grown = true;
      }
      *dst++ = 0;
      ++switches;
      oneByteMode = false;
      continue;
    }
    // Two-byte letters beyond Latin-1 (Greek, Cyrillic, Hebrew, Arabic), a word of them
    // at a time, and the single blanks and signs between words: a one-byte run of one
    // before the next such letter never pays for leaving two-byte mode.
    while (i + 1 < n) {
      if (i + 8 <= n) {
        uint64_t w;
        std::memcpy(&w, s + i, 8);
        if (uint64_t four; fourTwoByteRunLetters(w, four)) {
          std::memcpy(dst, &four, 8);
          dst += 8;
          units += 4;
          i += 8;
          continue;
        }
      }
      const uint8_t c = s[i];
      if (c >= 0xC4 && c <= 0xDF && (s[i + 1] & 0xC0) == 0x80) {
        const uint32_t u = ((c & 0x1Fu) << 6) | (s[i + 1] & 0x3Fu);
        if ((u & 0xFF) == 0) return fail();
        *dst++ = static_cast<uint8_t>(u & 0xFF);
        *dst++ = static_cast<uint8_t>(u >> 8);
        ++units;
        i += 2;
        continue;
      }
      if (c != 0 && c < 0x80 && i + 2 < n && s[i + 1] >= 0xC4 && s[i + 1] <= 0xDF && (s[i + 2] & 0xC0) == 0x80) {
        *dst++ = c;
        *dst++ = 0;
        ++units;
        ++i;
        continue;
      }
      break;
    }
    if (i >= n) break;
    size_t next = i;
    uint32_t cp = decodeLenient(utf8, next);
    if (oneByte(cp) && worthOneByteMode(utf8, i)) {
      *dst++ = 0;
      ++switches;
      oneByteMode = true;
      continue;
    }
    if (cp == 0) return fail();
    i = next;
    auto put = [&](uint32_t u) {
      *dst++ = static_cast<uint8_t>(u & 0xFF);
      *dst++ = static_cast<uint8_t>(u >> 8);
      ++units;
    };
    if (cp >= 0x10000) {
      cp -= 0x10000;
      const uint32_t high = 0xD800 + (cp >> 10), low = 0xDC00 + (cp & 0x3FF);
      if ((high & 0xFF) == 0 || (low & 0xFF) == 0) return fail();
      put(high);
      put(low);
    } else {
      if ((cp & 0xFF) == 0) return fail();
      put(cp);
    }
  }
  out.resize(static_cast<size_t>(dst - out.data()));
  return true;
}

// Writes n ASCII bytes as n little-endian UTF-16 units at dst.
void widenAscii(const uint8_t* src, size_t n, uint8_t* dst) {
  size_t i = 0;
#if defined(__SSE2__)
  for (; i + 16 <= n; i += 16, dst += 32) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_unpacklo_epi8(v, _mm_setzero_si128()));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16), _mm_unpackhi_epi8(v, _mm_setzero_si128()));
  }
#endif
  // Four bytes at a time in a word.
  auto widen = [](uint64_t x) {
    x = (x | (x << 16)) & 0x0000FFFF0000FFFFull;
    return (x | (x << 8)) & 0x00FF00FF00FF00FFull;
  };
  for (; i + 4 <= n; i += 4, dst += 8) {
    uint32_t w;
    std::memcpy(&w, src + i, 4);
    const uint64_t units = widen(w);
    std::memcpy(dst, &units, 8);
  }
  for (; i < n; ++i) {
    *dst++ = src[i];
    *dst++ = 0;
  }
}

// Writes utf8 as UTF-16LE units at out's end (decoded as appendUtf16 does).
void appendPlainUcs2(std::string_view s, std::vector<uint8_t>& out) {
  const size_t start = out.size();
  out.resize(start + 2 * s.size());  // one unit per byte at most (two per 4-byte sequence)
  uint8_t* dst = out.data() + start;
  auto put = [&dst](uint32_t u) {
    *dst++ = static_cast<uint8_t>(u & 0xFF);
    *dst++ = static_cast<uint8_t>(u >> 8);
  };
  const auto* b = reinterpret_cast<const uint8_t*>(s.data());
  const size_t n = s.size();
  size_t i = 0;
  while (i < n) {
    if (b[i] < 0x80) {
      if (i + 1 < n && b[i + 1] >= 0x80) {
        put(b[i++]);  // a blank or a sign between two words of letters
        continue;
      }
      const size_t run = io::asciiRun(s.data() + i, n - i);
      widenAscii(b + i, run, dst);
      dst += 2 * run;
      i += run;
      continue;
    }
    if (i + 8 <= n) {
      // Two-byte letters (Latin, Greek, Cyrillic, Hebrew, Arabic), four at once.
      uint64_t w;
      std::memcpy(&w, b + i, 8);
      if (io::fourTwoByteSequences(w)) {
        const uint64_t units = io::twoByteUnits(w);
        std::memcpy(dst, &units, 8);
        dst += 8;
        i += 8;
        continue;
      }
    }
    const uint8_t c = b[i];
    if (c >= 0xC2 && c <= 0xDF && i + 1 < n && (b[i + 1] & 0xC0) == 0x80) {
      // Two bytes, one letter.
      put(((c & 0x1Fu) << 6) | (b[i + 1] & 0x3Fu));
      i += 2;
      continue;
    }
    uint32_t cp = decodeLenient(s, i);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      put(0xD800 + (cp >> 10));
      put(0xDC00 + (cp & 0x3FF));
    } else {
      put(cp);
    }
  }
  out.resize(static_cast<size_t>(dst - out.data()));
}

}  // namespace

void appendUcs2Text(std::string_view utf8, bool allowCompression, std::vector<uint8_t>& out, std::u16string& scratch,
                    size_t maxCompressed) {
  (void)scratch;
  // Straight from UTF-8 to the stored form: compressed when it fits the limit, else plain
  // UCS-2; texts are converted in bulk over their ASCII runs. The compressed form takes
  // at least a byte a UTF-16 unit: a text with more units than the limit is not tried.
  if (allowCompression && (utf8.size() + 2 <= maxCompressed || utf16Length(utf8) + 2 <= maxCompressed)) {
    const size_t start = out.size();
    size_t units = 0, switches = 0;
    if (appendCompressed(utf8, out, units, switches)) {
      // A text with two-byte runs is kept compressed only when that saves room.
      const size_t size = out.size() - start;
      if (size <= maxCompressed && (switches == 0 || size < 2 * units)) return;
      out.resize(start);
    }
  }
  appendPlainUcs2(utf8, out);
}

size_t utf16Length(std::string_view s) {
  // Eight bytes at a time: every byte but a continuation byte (10xxxxxx) starts a
  // character, and a four-byte sequence's lead (0xF0 and above) adds a second unit.
  size_t n = 0, i = 0;
  constexpr uint64_t kHigh = 0x8080808080808080ull;
  for (; i + 8 <= s.size(); i += 8) {
    uint64_t w;
    std::memcpy(&w, s.data() + i, 8);
    if ((w & kHigh) == 0) {
      n += 8;
      continue;
    }
    const uint64_t continuation = w & ~(w << 1) & kHigh;                       // bit 7 set, bit 6 clear
    const uint64_t fourByteLead = w & (w << 1) & (w << 2) & (w << 3) & kHigh;  // 0xF0 and above
    n += 8 - static_cast<size_t>(std::popcount(continuation)) + static_cast<size_t>(std::popcount(fourByteLead));
  }
  for (char c : s.substr(i)) {
    auto b = static_cast<uint8_t>(c);
    if ((b & 0xC0) != 0x80) n += (b >= 0xF0) ? 2 : 1;
  }
  return n;
}

std::string foldName(std::string_view utf8) {
  std::u16string units = utf8ToUtf16(utf8);
  for (auto& u : units) {
    if ((u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7)) u = static_cast<char16_t>(u - 0x20);
  }
  return utf16ToUtf8(units);
}

}  // namespace qv::jet
