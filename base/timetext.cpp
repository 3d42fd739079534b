#include "base/timetext.h"

#include <cmath>

namespace base {

std::string TwoDigitText(long long value) {
  std::string text = std::to_string(value);
  return value < 10 ? "0" + text : text;
}

std::string FormatSeconds(double seconds) {
  const auto whole = static_cast<long long>(std::fabs(std::trunc(seconds)));
  return TwoDigitText(whole / 60) + ":" + TwoDigitText(whole % 60);
}

}  // namespace base
