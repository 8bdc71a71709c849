#pragma once
// A field value of the data-access layer: Null or one of the kinds the Paradox and Access
// sides deliver. Date/time values follow the convention of the Windows date type: one
// date-time, where a value on 1899-12-30 with a time of day stands for a time alone and
// a value at midnight for a date alone.

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QTime>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace qv::ado {

struct DateTime {
  QDate date;  // 1899-12-30 for a time alone
  QTime time;  // 00:00:00.000 for a date alone
  bool operator==(const DateTime&) const = default;
};

// An exact decimal number kept as its digits: optional "-", digits, optional "." and digits.
struct Decimal {
  QString text;
  bool operator==(const Decimal&) const = default;
};

// A text, held as UTF-8: the form the Paradox reader delivers and the statements and the
// engine take, so a value goes from table to database without another conversion.
struct Text {
  std::string utf8;
  bool operator==(const Text&) const = default;
};

class Value {
 public:
  enum class Kind { Null, Boolean, Integer, Double, Decimal, Text, DateTime, Bytes };

  Value() = default;
  static Value null() { return Value(); }
  static Value boolean(bool v) { return Value(v); }
  static Value integer(qint64 v) { return Value(v); }
  static Value real(double v) { return Value(v); }
  static Value decimal(QString digits) { return Value(Decimal{std::move(digits)}); }
  static Value text(const QString& v) { return Value(Text{v.toStdString()}); }
  static Value utf8Text(std::string v) { return Value(Text{std::move(v)}); }
  static Value dateTime(QDate d, QTime t = QTime(0, 0)) { return Value(DateTime{d, t}); }
  static Value timeOnly(QTime t) { return Value(DateTime{epochDate(), t}); }
  static Value bytes(QByteArray v) { return Value(std::move(v)); }

  Kind kind() const { return static_cast<Kind>(v_.index()); }
  bool isNull() const { return kind() == Kind::Null; }

  bool asBool() const { return std::get<bool>(v_); }
  qint64 asInteger() const { return std::get<qint64>(v_); }
  double asDouble() const { return std::get<double>(v_); }
  const Decimal& asDecimal() const { return std::get<Decimal>(v_); }
  // The text as a QString (made on each call); asUtf8() is the text as it is held.
  QString asText() const { return QString::fromStdString(asUtf8()); }
  const std::string& asUtf8() const { return std::get<Text>(v_).utf8; }
  // Makes the value the given text, reusing the memory of a text it held before.
  void setUtf8Text(std::string_view utf8) {
    if (Text* t = std::get_if<Text>(&v_)) {
      t->utf8.assign(utf8);
    } else {
      v_ = Text{std::string(utf8)};
    }
  }
  const DateTime& asDateTime() const { return std::get<DateTime>(v_); }
  const QByteArray& asBytes() const { return std::get<QByteArray>(v_); }

  // Day 0 of the Windows date type.
  static QDate epochDate() { return QDate(1899, 12, 30); }

  bool operator==(const Value&) const = default;

 private:
  using Storage = std::variant<std::monostate, bool, qint64, double, Decimal, Text, DateTime, QByteArray>;
  template <typename T>
  explicit Value(T v) : v_(std::move(v)) {}
  Storage v_;
};

}  // namespace qv::ado
