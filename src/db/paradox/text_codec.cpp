#include "db/paradox/text_codec.h"

#include <iconv.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "db/io/error.h"
#include "db/io/text_scan.h"

namespace qv::paradox {
namespace {

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

bool isUtf8Name(const std::string& s) { return lower(s) == "utf-8" || lower(s) == "utf8"; }

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

// Whether a text holds U+FFFD: what iconv leaves for bytes that are no character.
bool holdsReplacement(std::string_view text) {
  for (const char *p = text.data(), *end = text.data() + text.size();
       (p = static_cast<const char*>(std::memchr(p, '\xEF', static_cast<size_t>(end - p)))) != nullptr; ++p) {
    if (end - p >= 3 && p[1] == '\xBF' && p[2] == '\xBD') return true;
  }
  return false;
}

}  // namespace

Transcoder::Transcoder(const std::string& from, const std::string& to)
    : from_(from), to_(to), toUtf8_(isUtf8Name(to)), fromUtf8_(isUtf8Name(from)) {
  iconv_t cd = iconv_open(to.c_str(), from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1))
    throw DbError(kErrGeneric, "cannot convert text from " + from + " to " + to + ": the character set is unknown");
  cd_ = cd;
  if (toUtf8_ && !fromUtf8_) buildByteTable();
}

Transcoder::~Transcoder() { iconv_close(static_cast<iconv_t>(cd_)); }

void Transcoder::buildByteTable() {
  iconv_t cd = static_cast<iconv_t>(cd_);
  for (int b = 0; b < 256; ++b) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char in[1] = {static_cast<char>(b)};
    char out[16];
    char* ip = in;
    size_t inLeft = 1;
    char* op = out;
    size_t outLeft = sizeof out;
    if (iconv(cd, &ip, &inLeft, &op, &outLeft) == static_cast<size_t>(-1)) {
      // The first byte of a longer sequence: not a single-byte character set.
      if (errno != EILSEQ) return;
      std::memcpy(utf8Of_[b], kReplacement, 3);  // a byte that stands for no character
      utf8Length_[b] = 3;
      continue;
    }
    // A converter that holds a character back (to combine it with the next) must see
    // whole texts.
    if (op == out) return;
    const size_t length = static_cast<size_t>(op - out);
    if (length > 3 || (b < 0x80 && (length != 1 || out[0] != in[0]))) return;
    std::memcpy(utf8Of_[b], out, length);
    utf8Length_[b] = static_cast<unsigned char>(length);
  }
  for (int b = 0; b < 256; ++b) {
    if (utf8Length_[b] == 3 && std::memcmp(utf8Of_[b], kReplacement, 3) == 0) utf8Length_[b] |= kReplacedBit;
  }
  byteTable_ = true;
}

bool Transcoder::appendByTable(const char* data, size_t n, std::string& out) const {
  // Straight into out, grown for the worst case (3 bytes a byte) and cut back after, 16
  // bytes at a time: a block's ASCII run is copied whole (most of a Western text), the
  // rest goes byte by byte through the table, which holds ASCII too, with no branch for
  // the byte's kind (letters of a non-Latin code page come in words).
  constexpr size_t kBlock = 16;
  const size_t base = out.size();
  out.resize(base + 3 * n + 1);  // the table's entries are stored as 4 bytes
  auto* dst = reinterpret_cast<unsigned char*>(out.data() + base);
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  const unsigned char* const end = p + n;
  unsigned replaced = 0;
  while (p < end) {
    const size_t block = std::min(kBlock, static_cast<size_t>(end - p));
    const unsigned char* const stop = p + block;
    if (block == kBlock) {
      const size_t run = io::asciiRun(reinterpret_cast<const char*>(p), kBlock);
      std::memcpy(dst, p, kBlock);  // the ASCII run as it is (the rest is written over)
      dst += run;
      p += run;
    }
    for (; p < stop; ++p) {
      std::memcpy(dst, utf8Of_[*p], 4);
      const unsigned length = utf8Length_[*p];
      dst += length & 7u;
      replaced |= length;
    }
  }
  out.resize(static_cast<size_t>(reinterpret_cast<char*>(dst) - out.data()));
  return (replaced & kReplacedBit) != 0;
}

bool Transcoder::convert(const char* data, size_t n, std::string& out) {
  out.clear();
  return append(data, n, out);
}

bool Transcoder::append(const char* data, size_t n, std::string& out) {
  // Plain ASCII reads the same in every character set the tables use: copy it as it is.
  if (io::asciiRun(data, n) == n) {
    out.append(data, n);
    return false;
  }
  if (byteTable_) return appendByTable(data, n, out);
  const size_t base = out.size();
  appendByIconv(data, n, out);
  return toUtf8_ && holdsReplacement(std::string_view(out).substr(base));
}

void Transcoder::appendByIconv(const char* data, size_t n, std::string& out) {
  iconv_t cd = static_cast<iconv_t>(cd_);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  const size_t base = out.size();
  out.resize(base + n * 4 + 16);
  char* in = const_cast<char*>(data);
  size_t inLeft = n;
  size_t done = base;
  while (inLeft > 0) {
    char* dst = out.data() + done;
    size_t outLeft = out.size() - done;
    size_t r = iconv(cd, &in, &inLeft, &dst, &outLeft);
    done = out.size() - outLeft;
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    // An invalid or incomplete sequence: put a replacement for one byte and go on.
    const char* repl = toUtf8_ ? "\xEF\xBF\xBD" : "?";
    const size_t replLen = toUtf8_ ? 3 : 1;
    if (out.size() - done < replLen + 16) out.resize(out.size() * 2 + replLen);
    out.replace(done, replLen, repl, replLen);
    done += replLen;
    if (fromUtf8_) {
      // Skip the whole broken UTF-8 sequence's first byte and its continuation bytes.
      ++in;
      --inLeft;
      while (inLeft > 0 && (static_cast<unsigned char>(*in) & 0xC0) == 0x80) {
        ++in;
        --inLeft;
      }
    } else {
      ++in;
      --inLeft;
    }
  }
  // Flush any shift state.
  char* dst = out.data() + done;
  size_t outLeft = out.size() - done;
  iconv(cd, nullptr, nullptr, &dst, &outLeft);
  done = out.size() - outLeft;
  out.resize(done);
}

}  // namespace qv::paradox
