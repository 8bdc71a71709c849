#include "db/sql/date_text.h"

#include <array>
#include <cstdio>

#include "db/jet/storage/date.h"

namespace qv::sql {
namespace {

constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
constexpr char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

constexpr std::array<std::string_view, 12> kMonths = {"january",   "february", "march",    "april",
                                                      "may",       "june",     "july",     "august",
                                                      "september", "october",  "november", "december"};

// 1..12 for a month name or an abbreviation of at least three letters ("Sept" too); 0 otherwise.
int monthFromWord(std::string_view word) {
  if (word.size() < 3) return 0;
  for (size_t m = 0; m < kMonths.size(); ++m) {
    if (word.size() > kMonths[m].size()) continue;
    bool match = true;
    for (size_t i = 0; i < word.size() && match; ++i) match = lower(word[i]) == kMonths[m][i];
    if (match) return static_cast<int>(m) + 1;
  }
  return 0;
}

bool isWord(std::string_view word, std::string_view lowerKeyword) {
  if (word.size() != lowerKeyword.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    if (lower(word[i]) != lowerKeyword[i]) return false;
  }
  return true;
}

int daysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0)) return 29;
  return kDays[month - 1];
}

struct DateElement {
  int value = 0;
  int digits = 0;  // 0 for a month name
};

}  // namespace

bool parseDateText(std::string_view text, double& oleDate) {
  size_t i = 0;
  const size_t n = text.size();
  std::array<DateElement, 3> elements{};
  int elementCount = 0;
  bool haveTime = false;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
  int meridiem = 0;  // 1 AM, 2 PM

  auto readNumber = [&](int& value, int& digits) {
    value = 0;
    digits = 0;
    while (i < n && isDigit(text[i])) {
      if (digits < 9) value = value * 10 + (text[i] - '0');
      ++digits;
      ++i;
    }
    return digits > 0 && digits <= 9;
  };

  while (i < n) {
    char c = text[i];
    if (c == ' ' || c == '\t' || c == ',' || c == '\r' || c == '\n') {
      ++i;
      continue;
    }
    if (isDigit(c)) {
      int value, digits;
      if (!readNumber(value, digits)) return false;
      if (i < n && text[i] == ':') {
        // A time: h:mm[:ss[.fff]]
        if (haveTime || digits > 2) return false;
        haveTime = true;
        hour = value;
        ++i;
        if (!readNumber(minute, digits) || digits > 2) return false;
        if (i < n && text[i] == ':') {
          ++i;
          if (!readNumber(second, digits) || digits > 2) return false;
          if (i < n && text[i] == '.' && i + 1 < n && isDigit(text[i + 1])) {
            ++i;
            int scale = 100;
            while (i < n && isDigit(text[i])) {
              millisecond += (text[i] - '0') * scale;
              scale /= 10;
              ++i;
            }
          }
        }
        continue;
      }
      if (haveTime || elementCount == 3) return false;
      elements[static_cast<size_t>(elementCount++)] = DateElement{value, digits};
      if (i < n && (text[i] == '/' || text[i] == '-' || text[i] == '.')) {
        ++i;
        if (i >= n || !(isDigit(text[i]) || isLetter(text[i]))) return false;
      }
      continue;
    }
    if (isLetter(c)) {
      size_t start = i;
      while (i < n && isLetter(text[i])) ++i;
      std::string_view word = text.substr(start, i - start);
      if (isWord(word, "am") || isWord(word, "a")) {
        if (!haveTime || meridiem) return false;
        meridiem = 1;
      } else if (isWord(word, "pm") || isWord(word, "p")) {
        if (!haveTime || meridiem) return false;
        meridiem = 2;
      } else if (isWord(word, "t") && elementCount == 3 && !haveTime && i < n && isDigit(text[i])) {
        // ISO date-time separator.
      } else if (int m = monthFromWord(word); m != 0 && !haveTime && elementCount < 3) {
        elements[static_cast<size_t>(elementCount++)] = DateElement{m, 0};
        if (i < n && (text[i] == '/' || text[i] == '-' || text[i] == '.')) ++i;
      } else {
        return false;
      }
      continue;
    }
    return false;
  }

  jet::DateParts parts;  // 12/30/1899 00:00
  if (elementCount == 0) {
    if (!haveTime) return false;
  } else {
    if (elementCount != 3) return false;
    int year, month, day;
    int nameAt = -1;
    for (int k = 0; k < 3; ++k) {
      if (elements[static_cast<size_t>(k)].digits == 0) {
        if (nameAt >= 0) return false;
        nameAt = k;
      }
    }
    auto isYearLike = [](const DateElement& e) { return e.digits >= 3 || e.value > 31; };
    if (nameAt >= 0) {
      month = elements[static_cast<size_t>(nameAt)].value;
      const DateElement* others[2];
      int o = 0;
      for (int k = 0; k < 3; ++k) {
        if (k != nameAt) others[o++] = &elements[static_cast<size_t>(k)];
      }
      if (isYearLike(*others[0]) && !isYearLike(*others[1])) {
        year = others[0]->value;
        day = others[1]->value;
        if (others[0]->digits <= 2) return false;
      } else {
        year = others[1]->value;
        day = others[0]->value;
        if (others[1]->digits <= 2 && others[1]->value < 100) year = year < 30 ? 2000 + year : 1900 + year;
      }
    } else if (elements[0].digits >= 3) {
      year = elements[0].value;
      month = elements[1].value;
      day = elements[2].value;
    } else {
      month = elements[0].value;
      day = elements[1].value;
      year = elements[2].value;
      if (month > 12 && day <= 12) std::swap(month, day);
      if (elements[2].digits <= 2) year = year < 30 ? 2000 + year : 1900 + year;
    }
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month)) return false;
    parts.year = year;
    parts.month = month;
    parts.day = day;
  }
  if (haveTime) {
    if (meridiem) {
      if (hour < 1 || hour > 12) return false;
      if (hour == 12) hour = 0;
      if (meridiem == 2) hour += 12;
    }
    if (hour > 23 || minute > 59 || second > 59) return false;
    parts.hour = hour;
    parts.minute = minute;
    parts.second = second;
    parts.millisecond = millisecond;
  }
  oleDate = jet::oleDateFromParts(parts);
  return true;
}

void formatDateText(double oleDate, std::string& out) {
  const jet::DateParts p = jet::partsFromOleDate(oleDate);
  char buffer[64];
  int len = 0;
  const bool hasDate = !(p.year == 1899 && p.month == 12 && p.day == 30);
  const bool hasTime = p.hour || p.minute || p.second || p.millisecond;
  if (hasDate || !hasTime) len = std::snprintf(buffer, sizeof buffer, "%d/%d/%d", p.month, p.day, p.year);
  if (hasTime) {
    const int h12 = p.hour % 12 == 0 ? 12 : p.hour % 12;
    len += std::snprintf(buffer + len, sizeof buffer - static_cast<size_t>(len), "%s%d:%02d:%02d %s",
                         hasDate ? " " : "", h12, p.minute, p.second, p.hour < 12 ? "AM" : "PM");
  }
  out.assign(buffer, static_cast<size_t>(len));
}

}  // namespace qv::sql
