// The clock of a machine image: the host's time, shifted to the start values
// machine.ini's [Clock] may give (Now=YYYY-MM-DD HH:MM:SS, Ticks=N), or
// standing still at them with Stopped=1. Tests may stop it where they like
// and move it by hand.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/Clock.h"

namespace korvane {

class ImageClock : public Clock {
 public:
  // nullopt start values run from the host's own; an image has no time zone,
  // so its local time is UTC.
  ImageClock(std::optional<double> now, std::optional<uint64_t> ticks, bool stopped);
  uint64_t tickMilliseconds() override;
  double now() override;
  // From here on both values stay where they are put until moved.
  void stopAt(double now, uint64_t ticks);
  void advance(uint64_t milliseconds);

 private:
  uint64_t elapsedMilliseconds() const;

  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
  double startNow_;
  uint64_t startTicks_;
  bool stopped_;
  uint64_t moved_ = 0;  // milliseconds added by advance
};

// "2026-12-10 13:45:00" (or only the date) as days since 30 December 1899.
std::optional<double> parseImageDateTime(const std::string& text);

}  // namespace korvane
