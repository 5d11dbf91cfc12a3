#include "Port/Time.h"

#include <sys/time.h>

#include <ctime>

int UT_CPUTIME::GetCurrTime(TimeVal& now) {
  struct timeval tv {};
  if (gettimeofday(&tv, nullptr) != 0) return 1;
  now.sec = tv.tv_sec;
  now.usec = tv.tv_usec;
  return 0;
}

void UT_CPUTIME::normalize(TimeVal& value) {
  constexpr std::int64_t kMicros = 1000000;
  std::int64_t carry = value.usec / kMicros;
  std::int64_t rest = value.usec % kMicros;
  if (rest < 0) {
    rest += kMicros;
    --carry;
  }
  value.sec += carry;
  value.usec = rest;
}

void UT_TIME::CTime(const std::int64_t* seconds, Port::StringBase<char>& text) {
  text = "";
  if (seconds == nullptr) return;
  const std::time_t t = static_cast<std::time_t>(*seconds);
  struct tm parts {};
  char buffer[64];
  if (localtime_r(&t, &parts) == nullptr) return;
  if (std::strftime(buffer, sizeof buffer, "%a %b %e %H:%M:%S %Y\n", &parts) == 0) return;
  text = buffer;
}
