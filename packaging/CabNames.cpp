#include "packaging/CabNames.h"

#include <array>
#include <string_view>
#include <vector>

#include "platform/Text.h"

namespace korvane {

namespace {

constexpr int64_t kUnitsPerSecond = 10000000;
constexpr int64_t kSecondsPerDay = 86400;
// Days from 1601-01-01, where FILETIME counts from, to 1970-01-01.
constexpr int64_t kDaysTo1970 = 134774;

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
int64_t daysFromCivil(int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

struct Civil {
  int64_t year;
  unsigned month, day;
};

Civil civilFromDays(int64_t days) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned shifted = (5 * dayOfYear + 2) / 153;
  const unsigned day = dayOfYear - (153 * shifted + 2) / 5 + 1;
  const unsigned month = shifted < 10 ? shifted + 3 : shifted - 9;
  return Civil{static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2), month, day};
}

unsigned daysInMonth(int64_t year, unsigned month) {
  static constexpr std::array<unsigned, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

std::string catPath(const std::string& first, const std::string& second) {
  if (first.empty()) return second;
  if (second.empty()) return first;
  const bool firstEnds = first.back() == '\\', secondStarts = second.front() == '\\';
  if (firstEnds && secondStarts) return first + second.substr(1);
  if (firstEnds || secondStarts) return first + second;
  return first + "\\" + second;
}

std::string withTrailingBackslash(const std::string& path) {
  return path.empty() || path.back() == '\\' ? path : path + "\\";
}

std::string expandFileName(FileSystem& files, const std::string& name) { return fullPathName(files, name); }

std::string fillTemplate(const std::string& text, long number) {
  std::string out;
  for (char c : text) out += c == '*' ? std::to_string(number) : std::string(1, c);
  return out;
}

bool entryNameStaysInside(const std::string& name) {
  if (name.empty()) return false;
  for (const std::string& part : pathParts(name))
    if (!nameStaysInFolder(part)) return false;
  return true;
}

std::optional<DosTime> dosTimeOf(int64_t fileTime) {
  if (fileTime < 0) return std::nullopt;
  const int64_t seconds = fileTime / kUnitsPerSecond;
  const Civil date = civilFromDays(seconds / kSecondsPerDay - kDaysTo1970);
  if (date.year < 1980 || date.year > 2107) return std::nullopt;
  const auto secondOfDay = static_cast<unsigned>(seconds % kSecondsPerDay);
  DosTime dos;
  dos.date = static_cast<uint16_t>(((date.year - 1980) << 9) | (date.month << 5) | date.day);
  dos.time = static_cast<uint16_t>(((secondOfDay / 3600) << 11) | ((secondOfDay / 60 % 60) << 5) | (secondOfDay % 60 / 2));
  return dos;
}

std::optional<int64_t> fileTimeOf(DosTime dos) {
  const int64_t year = 1980 + (dos.date >> 9);
  const unsigned month = (dos.date >> 5) & 0xF, day = dos.date & 0x1F;
  const unsigned hour = dos.time >> 11, minute = (dos.time >> 5) & 0x3F, second = (dos.time & 0x1F) * 2;
  if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour > 23 || minute > 59 || second > 59)
    return std::nullopt;
  const int64_t days = daysFromCivil(year, month, day) + kDaysTo1970;
  return ((days * kSecondsPerDay) + hour * 3600 + minute * 60 + second) * kUnitsPerSecond;
}

}  // namespace korvane
