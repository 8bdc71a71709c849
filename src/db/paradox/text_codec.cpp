#include "db/paradox/text_codec.h"

#include <iconv.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

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
}

Transcoder::~Transcoder() { iconv_close(static_cast<iconv_t>(cd_)); }

void Transcoder::convert(const char* data, size_t n, std::string& out) {
  // Plain ASCII reads the same in every character set the tables use: copy it as it is.
  bool ascii = true;
  for (size_t i = 0; i < n; ++i) {
    if (static_cast<unsigned char>(data[i]) >= 0x80) {
      ascii = false;
      break;
    }
  }
  if (ascii) {
    out.assign(data, n);
    return;
  }
  iconv_t cd = static_cast<iconv_t>(cd_);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  out.resize(n * 4 + 16);
  char* in = const_cast<char*>(data);
  size_t inLeft = n;
  size_t done = 0;
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
