#include "platform/DateText.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace korvane {

namespace {

constexpr int64_t kMillisecondsPerDay = 86400000;

struct Moment {
  int year, month, day;
  int hour, minute, second;
};

// The civil date of a day counted from 30 December 1899, by the proleptic
// Gregorian calendar, with the time of day rounded to the millisecond.
Moment momentOf(double days) {
  const auto milliseconds = static_cast<int64_t>(std::llround(days * kMillisecondsPerDay));
  int64_t day = milliseconds / kMillisecondsPerDay;
  int64_t ofDay = milliseconds % kMillisecondsPerDay;
  if (ofDay < 0) {
    ofDay += kMillisecondsPerDay;
    --day;
  }
  // Days from 1 March of year 0 of a 400-year era.
  const int64_t z = day - 25569 + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t dayOfEra = z - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
  const int month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
  const int dayOfMonth = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
  const int seconds = static_cast<int>(ofDay / 1000);
  return {static_cast<int>(yearOfEra + era * 400 + (month <= 2)), month, dayOfMonth,
          seconds / 3600, seconds / 60 % 60, seconds % 60};
}

std::string number(int value, bool twoDigits) {
  char text[16];
  std::snprintf(text, sizeof text, twoDigits ? "%02d" : "%d", value);
  return text;
}

// The first character of UTF-8 text, whatever its length in bytes.
std::string firstCharacter(const std::string& text) {
  size_t end = text.empty() ? 0 : 1;
  while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
  return text.substr(0, end);
}

// One run of the same picture letter; nothing for a letter that is no field.
std::string field(char letter, size_t run, const Moment& at, const LocaleFormats& locale) {
  const bool two = run > 1;
  switch (letter) {
    case 'd': return number(at.day, two);
    case 'M': return number(at.month, two);
    case 'y': return run > 2 ? number(at.year, true) : number(at.year % 100, true);
    case 'h': return number(at.hour % 12 == 0 ? 12 : at.hour % 12, two);
    case 'H': return number(at.hour, two);
    case 'm': return number(at.minute, two);
    case 's': return number(at.second, two);
    case 't': {
      const std::string& half = at.hour < 12 ? locale.amDesignator : locale.pmDesignator;
      return two ? half : firstCharacter(half);
    }
    default: return {};
  }
}

}  // namespace

std::string formatDateTime(const std::string& picture, double days, const LocaleFormats& locale) {
  const Moment at = momentOf(days);
  std::string out;
  for (size_t k = 0; k < picture.size();) {
    const char letter = picture[k];
    if (letter == '\'') {
      const size_t close = std::min(picture.find('\'', k + 1), picture.size());
      out += picture.substr(k + 1, close - k - 1);
      k = close + 1;
      continue;
    }
    size_t run = 1;
    while (k + run < picture.size() && picture[k + run] == letter) ++run;
    const std::string text = field(letter, run, at, locale);
    out += text.empty() ? picture.substr(k, run) : text;
    k += run;
  }
  return out;
}

}  // namespace korvane
