#pragma once
// The names of the web view's pages that the player turns to: the writer of the pages and the
// player must agree on them.

#include <string>
#include <string_view>

namespace base {

inline constexpr std::string_view kMainPageName = "MP3 - LyrabinderWeb.htm";

/// The page of track n (1-based): "dynamic" + n + ".htm".
inline std::string TrackPageName(int n) {
  return "dynamic" + std::to_string(n) + ".htm";
}

}  // namespace base
