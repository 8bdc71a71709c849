#include "db/jet/storage/date.h"

#include <cmath>

namespace qv::jet {
namespace {
constexpr int64_t kMsPerDay = 86400000;
// Days from 0001-01-01 to 1899-12-30.
const int64_t kOleEpoch = daysFromCivil(1899, 12, 30);
}  // namespace

int64_t daysFromCivil(int year, int month, int day) {
  // Shift the year to start in March so the leap day is the last of the year.
  int64_t y = year - (month <= 2 ? 1 : 0);
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t mp = (month + 9) % 12;
  int64_t doy = (153 * mp + 2) / 5 + day - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  // 0000-03-01 is day 0 of this count; 0001-01-01 is day 306.
  return era * 146097 + doe - 306;
}

void civilFromDays(int64_t days, int* year, int* month, int* day) {
  int64_t z = days + 306;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t y = yoe + era * 400;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t d = doy - (153 * mp + 2) / 5 + 1;
  int64_t m = mp < 10 ? mp + 3 : mp - 9;
  *year = static_cast<int>(y + (m <= 2 ? 1 : 0));
  *month = static_cast<int>(m);
  *day = static_cast<int>(d);
}

double oleDateFromParts(const DateParts& p) {
  int64_t days = daysFromCivil(p.year, p.month, p.day) - kOleEpoch;
  int64_t ms = ((p.hour * 60 + p.minute) * 60 + p.second) * 1000LL + p.millisecond;
  double fraction = static_cast<double>(ms) / static_cast<double>(kMsPerDay);
  return days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
}

DateParts partsFromOleDate(double value) {
  DateParts p;
  if (!std::isfinite(value)) return p;
  double whole = std::trunc(value);
  double fraction = std::fabs(value - whole);
  int64_t days = static_cast<int64_t>(whole);
  int64_t ms = std::llround(fraction * static_cast<double>(kMsPerDay));
  if (ms >= kMsPerDay) {
    // Rounding carried into the next day; the fraction always counts forwards.
    ms -= kMsPerDay;
    days += 1;
  }
  civilFromDays(days + kOleEpoch, &p.year, &p.month, &p.day);
  p.hour = static_cast<int>(ms / 3600000);
  p.minute = static_cast<int>(ms / 60000 % 60);
  p.second = static_cast<int>(ms / 1000 % 60);
  p.millisecond = static_cast<int>(ms % 1000);
  return p;
}

}  // namespace qv::jet
