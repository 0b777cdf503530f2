// Time as the core sees it: a tick count for measuring how long something
// took, and the machine's local date and time for what is shown or stamped.
#pragma once

#include <cstdint>

namespace korvane {

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since some fixed moment; never goes back.
  virtual uint64_t tickMilliseconds() = 0;
  // Local date and time in days since 30 December 1899, the fraction being
  // the time of day.
  virtual double now() = 0;
};

}  // namespace korvane
