#pragma once
// Time texts the player, the pages and the CUE sheet show.

#include <string>

namespace base {

/// Minutes and seconds of a time in seconds, fractions cut: "00:00", "01:05", "62:05".
/// Minutes take a leading "0" below 10; more than 99 minutes just widen the text.
std::string FormatSeconds(double seconds);

/// A whole number in decimal with a leading "0" below 10: "05", "10", "125".
std::string TwoDigitText(long long value);

}  // namespace base
