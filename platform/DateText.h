// The clock's local date and time written in the user's formats.
#pragma once

#include <string>

#include "platform/SystemInfo.h"

namespace korvane {

// A moment in days since 30 December 1899 (the fraction the time of day)
// written by a Windows date or time picture: d, dd, M, MM, yy, yyyy for the
// date, h, hh (12-hour), H, HH, m, mm, s, ss for the time, tt the locale's
// morning or afternoon text and t its first character, text in single
// quotes; other characters stand for themselves, and longer runs of d and M
// (day and month names) give the numbers.
std::string formatDateTime(const std::string& picture, double days, const LocaleFormats& locale = {});

}  // namespace korvane
