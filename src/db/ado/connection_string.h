#pragma once
// A connection string: "Key=Value;Key=Value;...". Keys are matched without regard to
// case (and to blanks around them); values are kept exactly as written. A value that
// begins with "{" runs to the matching "}", so it may hold ";".

#include <QString>
#include <optional>
#include <utility>
#include <vector>

namespace qv::ado {

class ConnectionString {
 public:
  explicit ConnectionString(const QString& text);

  const QString& text() const { return text_; }
  // The value of the first entry with this key, if any.
  std::optional<QString> value(const QString& key) const;
  QString valueOr(const QString& key, const QString& fallback = QString()) const;
  const std::vector<std::pair<QString, QString>>& entries() const { return entries_; }

 private:
  QString text_;
  std::vector<std::pair<QString, QString>> entries_;
};

}  // namespace qv::ado
