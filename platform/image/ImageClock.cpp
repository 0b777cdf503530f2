#include "platform/image/ImageClock.h"

#include <cstdio>

namespace korvane {

namespace {

constexpr double kMillisecondsPerDay = 86400000.0;
constexpr int kUnixEpochInDays = 25569;  // 1 January 1970 counted from 30 December 1899

double hostNow() {
  const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count();
  return kUnixEpochInDays + static_cast<double>(ms) / kMillisecondsPerDay;
}

uint64_t hostTicks() {
  const auto sinceBoot = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(sinceBoot).count());
}

}  // namespace

ImageClock::ImageClock(std::optional<double> now, std::optional<uint64_t> ticks, bool stopped)
    : startNow_(now.value_or(hostNow())), startTicks_(ticks.value_or(hostTicks())), stopped_(stopped) {}

uint64_t ImageClock::elapsedMilliseconds() const {
  if (stopped_) return moved_;
  const auto running = std::chrono::steady_clock::now() - started_;
  return moved_ + static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(running).count());
}

uint64_t ImageClock::tickMilliseconds() { return startTicks_ + elapsedMilliseconds(); }

double ImageClock::now() { return startNow_ + static_cast<double>(elapsedMilliseconds()) / kMillisecondsPerDay; }

void ImageClock::stopAt(double now, uint64_t ticks) {
  startNow_ = now;
  startTicks_ = ticks;
  stopped_ = true;
  moved_ = 0;
}

void ImageClock::advance(uint64_t milliseconds) { moved_ += milliseconds; }

std::optional<double> parseImageDateTime(const std::string& text) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, used = 0;
  const int fields = std::sscanf(text.c_str(), "%4d-%2d-%2d%n %2d:%2d:%2d%n", &year, &month, &day, &used, &hour,
                                 &minute, &second, &used);
  if ((fields != 3 && fields != 6) || static_cast<size_t>(used) != text.size()) return std::nullopt;
  if (year < 1601 || hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) return std::nullopt;
  if (month < 1 || day < 1) return std::nullopt;
  const std::chrono::year_month_day date{std::chrono::year(year), std::chrono::month(static_cast<unsigned>(month)),
                                         std::chrono::day(static_cast<unsigned>(day))};
  if (!date.ok()) return std::nullopt;
  const auto days = std::chrono::sys_days(date).time_since_epoch().count();
  return kUnixEpochInDays + static_cast<double>(days) + (hour * 3600 + minute * 60 + second) / 86400.0;
}

}  // namespace korvane
