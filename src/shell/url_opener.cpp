#include "shell/url_opener.h"

#include <cstdio>
#include <utility>

namespace qv::shell {
namespace {

UrlOpener& installed() {
  static UrlOpener opener;
  return opener;
}

}  // namespace

void setUrlOpener(UrlOpener opener) { installed() = std::move(opener); }

bool OpenUrl(const QString& address) {
  if (installed()) return installed()(address);
  std::fprintf(stderr, "open: %s\n", qPrintable(address));
  return false;
}

}  // namespace qv::shell
