#include "db/ado/connection_string.h"

namespace qv::ado {

ConnectionString::ConnectionString(const QString& text) : text_(text) {
  qsizetype i = 0;
  const qsizetype n = text.size();
  while (i < n) {
    qsizetype eq = text.indexOf(u'=', i);
    qsizetype semi = text.indexOf(u';', i);
    if (eq < 0 || (semi >= 0 && semi < eq)) {
      // A piece without "=": not an entry; skip to after the next ";".
      if (semi < 0) break;
      i = semi + 1;
      continue;
    }
    QString key = text.mid(i, eq - i).trimmed();
    qsizetype v = eq + 1;
    qsizetype end;
    if (v < n && text[v] == u'{') {
      qsizetype close = text.indexOf(u'}', v);
      end = close < 0 ? n : close + 1;
      qsizetype next = text.indexOf(u';', end);
      QString value = text.mid(v, end - v);
      entries_.emplace_back(key, value);
      i = next < 0 ? n : next + 1;
      continue;
    }
    end = text.indexOf(u';', v);
    if (end < 0) end = n;
    entries_.emplace_back(key, text.mid(v, end - v));
    i = end + 1;
  }
}

std::optional<QString> ConnectionString::value(const QString& key) const {
  for (const auto& [k, v] : entries_) {
    if (k.compare(key, Qt::CaseInsensitive) == 0) return v;
  }
  return std::nullopt;
}

QString ConnectionString::valueOr(const QString& key, const QString& fallback) const {
  auto v = value(key);
  return v ? *v : fallback;
}

}  // namespace qv::ado
