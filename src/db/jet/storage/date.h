#pragma once
// Jet's date/time value: a double counting days from 1899-12-30 00:00, the fraction
// being the time of day. Before day 0 the integer part counts backwards but the
// fraction still counts forwards from midnight of that day, so 1899-12-29 06:00 is
// -1.25 (not -0.75): the magnitude's fraction is the time. These helpers convert
// between that encoding and calendar parts (proleptic Gregorian calendar).

#include <cstdint>

namespace qv::jet {

struct DateParts {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
  bool operator==(const DateParts&) const = default;
};

// Days from 0001-01-01 to the given date (0 for 0001-01-01).
int64_t daysFromCivil(int year, int month, int day);
// The calendar date of a day count from 0001-01-01.
void civilFromDays(int64_t days, int* year, int* month, int* day);

double oleDateFromParts(const DateParts& p);
// Rounds to the nearest millisecond.
DateParts partsFromOleDate(double value);

}  // namespace qv::jet
