#pragma once
// Dates and times in text, as Jet reads them from a text literal or between # signs
// and writes them when a date goes into a Text column.
//
// Read: a date, a time, or a date followed by a time.
//   date  month/day/year (US order; "-" or "." may stand for "/"); when the first number
//         is above 12 and the second is not, day/month/year; year-month-day when the
//         first number has three or four digits (2021-01-03); a month name or its first
//         three letters with day and year in either order (3 Jan 2021, January 3, 2021).
//         A year of one or two digits means 1930..2029.
//   time  hours:minutes[:seconds[.fraction]] [AM|PM]; a time alone is on 12/30/1899.
//   An ISO "T" may separate date and time. Blanks may surround the whole.
// Written: m/d/yyyy, h:nn:ss AM/PM, or both separated by a blank (a date at midnight
// without its time, a time on 12/30/1899 without its date).

#include <string>
#include <string_view>

namespace qv::sql {

// The Jet date value (days since 12/30/1899) of the text; false when it is no date or
// time, or names a day that does not exist, or lies outside the years 100 to 9999.
bool parseDateText(std::string_view text, double& oleDate);

void formatDateText(double oleDate, std::string& out);

// The smallest and largest date Jet holds: 1/1/100 and 12/31/9999 23:59:59.
inline constexpr double kMinOleDate = -657434.0;
inline constexpr double kMaxOleDate = 2958465.999988426;

}  // namespace qv::sql
