#include "db/paradox/text_codec.h"

#include <iconv.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "db/io/error.h"

namespace qv::paradox {
namespace {

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

bool isUtf8Name(const std::string& s) { return lower(s) == "utf-8" || lower(s) == "utf8"; }

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
      std::memcpy(utf8Of_[b], "\xEF\xBF\xBD", 3);  // a byte that stands for no character
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
  byteTable_ = true;
}

namespace {

// The length of the run of ASCII bytes at the start of [p, end).
size_t asciiRun(const char* p, const char* end) {
  const char* q = p;
  while (end - q >= 8) {
    uint64_t word;
    std::memcpy(&word, q, 8);
    if (word & 0x8080808080808080ull) break;
    q += 8;
  }
  while (q < end && static_cast<unsigned char>(*q) < 0x80) ++q;
  return static_cast<size_t>(q - p);
}

}  // namespace

void Transcoder::appendByTable(const char* data, size_t n, std::string& out) const {
  // Through a buffer on the stack, a piece at a time: each byte gives at most 3 bytes.
  constexpr size_t kPiece = 1024;
  char buffer[3 * kPiece];
  for (size_t from = 0; from < n; from += kPiece) {
    const char* p = data + from;
    const char* end = p + std::min(kPiece, n - from);
    char* dst = buffer;
    while (p < end) {
      const auto b = static_cast<unsigned char>(*p);
      if (b >= 0x80) {
        // Letters of a non-Latin code page come in words: one at a time, no run to find.
        std::memcpy(dst, utf8Of_[b], 3);
        dst += utf8Length_[b];
        ++p;
        continue;
      }
      const size_t run = asciiRun(p, end);
      std::memcpy(dst, p, run);
      dst += run;
      p += run;
    }
    out.append(buffer, static_cast<size_t>(dst - buffer));
  }
}

void Transcoder::convert(const char* data, size_t n, std::string& out) {
  out.clear();
  append(data, n, out);
}

void Transcoder::append(const char* data, size_t n, std::string& out) {
  // Plain ASCII reads the same in every character set the tables use: copy it as it is.
  if (asciiRun(data, data + n) == n) {
    out.append(data, n);
    return;
  }
  if (byteTable_) return appendByTable(data, n, out);
  appendByIconv(data, n, out);
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
