#include "db/paradox/value.h"

namespace qv::paradox {
namespace {

// Day number of 1 March of year 0 in the Paradox calendar: the counting below runs in
// 400-year eras that start on a 1 March, so that leap days fall at the end of an era year.
constexpr int64_t kMarchOfYear0 = -305;

}  // namespace

int64_t dayNumberFromCivil(int year, unsigned month, unsigned day) {
  const int64_t y = static_cast<int64_t>(year) - (month <= 2 ? 1 : 0);
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yearOfEra = y - era * 400;                             // 0..399
  const int64_t monthFromMarch = (month + 9) % 12;                     // March = 0
  const int64_t dayOfYear = (153 * monthFromMarch + 2) / 5 + day - 1;  // 0..365
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra + kMarchOfYear0;
}

CivilDate civilFromDayNumber(int64_t dayNumber) {
  const int64_t z = dayNumber - kMarchOfYear0;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t dayOfEra = z - era * 146097;  // 0..146096
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
  CivilDate d;
  d.day = static_cast<unsigned>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
  d.month = static_cast<unsigned>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
  d.year = static_cast<int>(yearOfEra + era * 400 + (d.month <= 2 ? 1 : 0));
  return d;
}

}  // namespace qv::paradox
