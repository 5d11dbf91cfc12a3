#pragma once
// Wall-clock time as seconds and microseconds, and its text form.

#include <cstdint>

#include "Port/StringBase.h"

class UT_CPUTIME {
 public:
  struct TimeVal {
    std::int64_t sec = 0;
    std::int64_t usec = 0;
  };

  // Current time since the epoch; 0 on success, non-zero on failure.
  static int GetCurrTime(TimeVal& now);

  // Brings microseconds into [0, 1000000), carrying whole seconds (floor) into `sec`.
  static void normalize(TimeVal& value);
};

class UT_TIME {
 public:
  // Local time of `*seconds` in the form "Www Mmm dd hh:mm:ss yyyy\n"; empty for a null pointer.
  static void CTime(const std::int64_t* seconds, Port::StringBase<char>& text);
};
