#pragma once
// The text of a field value in the user's locale, and the two tests the row copying makes
// on such texts: "reads as a number" and "reads as a date or time".
//
// Value texts: Null gives the empty text; texts as they are; Booleans "True"/"False";
// integers in plain digits; doubles in their shortest exact form with the locale's
// decimal separator and no group separators (NaN and infinities give the empty text, so
// they are written as NULL rather than as a broken literal); exact decimals with their
// digits kept; dates in the locale's short date form with a four-digit year (so every
// date reads back as itself), followed by " HH:mm:ss" when there is a time of day; a time
// alone (on 1899-12-30) as "HH:mm:ss"; binary values as "0x" and lower-case hex digits.

#include <QLocale>
#include <QString>
#include <QStringView>
#include <optional>
#include <string>

#include "db/ado/value.h"

namespace qv::engine {

// What the tests and the formatting need to know about a locale, worked out once.
class LocaleRules {
 public:
  explicit LocaleRules(const QLocale& locale);

  const QLocale& locale() const { return locale_; }
  QChar decimalSeparator() const { return decimal_; }
  // The short date format with a four-digit year ("M/d/yyyy", "dd.MM.yyyy", ...).
  const QString& dateFormat() const { return dateFormat_; }

  QString valueText(const ado::Value& value) const;

  bool readsAsNumber(QStringView text) const;

  struct DateTimeParts {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0;
    bool hasDate = false;
    bool hasTime = false;
  };
  // The date and/or time the text reads as, if it reads as one. A date needs day, month
  // and year in the locale's order (or year first with four digits); a time needs hours
  // and minutes, optionally seconds and AM/PM.
  std::optional<DateTimeParts> readsAsDateTime(QStringView text) const;

 private:
  QLocale locale_;
  QChar decimal_;
  QString dateFormat_;
  // Positions of day, month and year in the short date (0, 1, 2).
  int dayPos_ = 1, monthPos_ = 0, yearPos_ = 2;
  QString am_, pm_;
};

// "mm/dd/yyyy" or "mm/dd/yyyy hh:nn:ss" (24-hour clock), as the literals are written.
QString formatUsDate(int year, int month, int day);
QString formatUsDateTime(int year, int month, int day, int hour, int minute, int second);
// The same, appended to a UTF-8 text.
void appendUsDate(std::string& out, int year, int month, int day);
void appendUsDateTime(std::string& out, int year, int month, int day, int hour, int minute, int second);

}  // namespace qv::engine
