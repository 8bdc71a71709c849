#pragma once
// Bulk scans of text that the readers and writers of text share (code page to UTF-8, the
// statement's UTF-8 check, Access's compressed text):
// - where an ASCII run stops, found 16 bytes at a time (SSE2, which every x86-64
//   processor has) or 8 (any other host), including the run's last partial block, so a
//   run ending near a letter like "é" is not walked byte by byte;
// - four two-byte UTF-8 letters at a time (Greek, Cyrillic, Hebrew, Arabic words), as
//   eight bytes in a word;
// - a text copied with its quote characters doubled (into an SQL literal) or undoubled
//   (out of one), 16 bytes at a time.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qv::io {

namespace detail {

// The first k bytes of [p, p + n) for which stop(byte) is false, word by word. stopBits
// maps an 8-byte word to a mask whose bit 7 of byte j is set when byte j stops the run.
template <typename StopBits, typename Stop>
[[gnu::always_inline]] inline size_t runOf(const char* p, size_t n, StopBits stopBits, Stop stop) {
  static_assert(std::endian::native == std::endian::little, "a word's first byte is its lowest");
  size_t i = 0;
#if defined(__SSE2__)
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const auto mask = static_cast<unsigned>(stop(v));
    if (mask != 0) return i + static_cast<size_t>(std::countr_zero(mask));
  }
#else
  (void)stop;
#endif
  for (; i + 8 <= n; i += 8) {
    uint64_t word;
    std::memcpy(&word, p + i, 8);
    const uint64_t mask = stopBits(word);
    if (mask != 0) return i + static_cast<size_t>(std::countr_zero(mask)) / 8;
  }
  if (i < n) {
    // The last few bytes in a word padded with blanks, which stop no run.
    uint64_t word = 0x2020202020202020ull;
    std::memcpy(&word, p + i, n - i);
    const uint64_t mask = stopBits(word);
    if (mask != 0) return i + static_cast<size_t>(std::countr_zero(mask)) / 8;
  }
  return n;
}

constexpr uint64_t kHighBits = 0x8080808080808080ull;
constexpr uint64_t kLowBits = 0x0101010101010101ull;

}  // namespace detail

// The length of the run of bytes below 0x80 at the start of [p, p + n).
[[gnu::always_inline]] inline size_t asciiRun(const char* p, size_t n) {
  return detail::runOf(
      p, n, [](uint64_t w) { return w & detail::kHighBits; },
#if defined(__SSE2__)
      [](__m128i v) { return _mm_movemask_epi8(v); }
#else
      nullptr
#endif
  );
}

// The length of the run of bytes 0x01..0x7F at the start of [p, p + n): ASCII without
// NUL. (A zero byte j sets bit 7 of byte j in (w - 0x01..01) & ~w; bytes above it may be
// set by the borrow, but the lowest set bit is the first stop.)
[[gnu::always_inline]] inline size_t plainAsciiRun(const char* p, size_t n) {
  return detail::runOf(
      p, n, [](uint64_t w) { return (w | ((w - detail::kLowBits) & ~w)) & detail::kHighBits; },
#if defined(__SSE2__)
      [](__m128i v) { return _mm_movemask_epi8(v) | _mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_setzero_si128())); }
#else
      nullptr
#endif
  );
}

// Whether the 8 bytes of w (in memory order) are four two-byte UTF-8 sequences: a lead
// 110xxxxx that is not C0 or C1 (an overlong form) and a continuation 10xxxxxx each.
inline bool fourTwoByteSequences(uint64_t w) {
  static_assert(std::endian::native == std::endian::little, "a word's first byte is its lowest");
  constexpr uint64_t kShape = 0xC0E0C0E0C0E0C0E0ull, kExpected = 0x80C080C080C080C0ull;
  if ((w & kShape) != kExpected) return false;
  // A lead's bits 1..4 are all clear only in C0 and C1: adding 0x7F to them sets bit 7
  // unless they are.
  const uint64_t leadBits = w & 0x001E001E001E001Eull;
  constexpr uint64_t kCarry = 0x0080008000800080ull;
  return ((leadBits + 0x007F007F007F007Full) & kCarry) == kCarry;
}

// The four UTF-16 code units (little-endian, in a word) of four two-byte sequences that
// fourTwoByteSequences accepted.
inline uint64_t twoByteUnits(uint64_t w) {
  return ((w & 0x001F001F001F001Full) << 6) | ((w >> 8) & 0x003F003F003F003Full);
}

namespace detail {

// Copies src[0, n) to dst up to and including its first quote character (all of it when
// it has none); returns the bytes copied. While 16 bytes remain, whole blocks are stored,
// so dst may be written up to 15 bytes past what is copied, never past dst + n.
inline size_t copyThroughQuote(const char* src, size_t n, char quote, char* dst) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i q = _mm_set1_epi8(quote);
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), v);
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, q)));
    if (mask != 0) return i + static_cast<size_t>(std::countr_zero(mask)) + 1;
  }
#endif
  for (; i < n; ++i) {
    dst[i] = src[i];
    if (src[i] == quote) return i + 1;
  }
  return n;
}

}  // namespace detail

// Copies n bytes from src to dst with every quote character doubled; returns the bytes
// written. dst holds 2n bytes.
inline size_t copyDoublingQuotes(const char* src, size_t n, char quote, char* dst) {
  size_t in = 0, out = 0;
  while (in < n) {
    const size_t k = detail::copyThroughQuote(src + in, n - in, quote, dst + out);
    in += k;
    out += k;
    if (dst[out - 1] == quote) dst[out++] = quote;
  }
  return out;
}

// Copies n bytes of an SQL literal's inside from src to dst with every doubled quote
// character made one; returns the bytes written (at most n, which dst holds). A quote
// with no second one (which the lexer never lets through) is kept.
inline size_t copyUndoublingQuotes(const char* src, size_t n, char quote, char* dst) {
  size_t in = 0, out = 0;
  while (in < n) {
    const size_t k = detail::copyThroughQuote(src + in, n - in, quote, dst + out);
    in += k;
    out += k;
    if (dst[out - 1] == quote && in < n && src[in] == quote) ++in;
  }
  return out;
}

}  // namespace qv::io
