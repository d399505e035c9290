#include <stdlib.h>

#include "base/os.h"
#include "device/system_status.h"

namespace varnix {

int64_t GetTimeMs() {
  struct timeval now = {0, 0};
  os::Gettimeofday(&now, nullptr);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_usec / 1000;
}

bool HasTimeElapsed(int64_t start, int64_t duration) {
  int64_t now = GetTimeMs();
  if (now < start) return true;
  int64_t passed;
  if (__builtin_sub_overflow(now, start, &passed)) return true;
  return passed > duration;
}

int RandomNumber(int seed) {
  uint32_t clockBits = static_cast<uint32_t>(GetTimeMs());
  srand(static_cast<unsigned>(seed) + clockBits);
  return rand();
}

// Months are counted from March, so that the leap day ends the year.
int GetDayOfWeek(const TDate& date) {
  int y = date.year;
  int m = date.month - 1;
  if (date.month == 0 || date.month == 1) {
    y = date.year - 1;
    m = date.month + 11;
  }
  int c = y / 100;
  int r = y - 100 * c;
  int k = static_cast<int>(m * 2.6 - 0.2);
  int w = (date.day + 1) + k + r + r / 4 + c / 4 - 2 * c;
  while (w < 0) w += 7;
  return w % 7;
}

}  // namespace varnix
