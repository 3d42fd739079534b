#pragma once
// Converting the tracks an album would refuse, for `create --convert` and `create --each
// --convert`: the encoder library loaded once for a run, the converted copies in a work folder
// of their own, and the texts that say what happened.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "collection/conversion.h"

namespace collection {

/// Put before the cause when a run's conversions cannot start.
inline constexpr std::string_view kCannotConvertTracks = "Cannot convert tracks: ";

/// The encoder library for every conversion of a run; nothing when it cannot be loaded, with
/// "Cannot convert tracks: " and the cause in `message`.
[[nodiscard]] std::unique_ptr<LameLibrary> LoadTrackEncoder(std::string& message);

struct TrackConversion {
  std::vector<std::string> entries;  ///< the list with converted copies in their sources' places
  std::vector<std::string> lines;    ///< to show: "Converted NAME" for each, or why it failed
  std::unique_ptr<WorkFolder> work;  ///< holds the copies; removed when dropped
  bool failed = false;
  [[nodiscard]] bool ok() const { return !failed; }
};

/// Converts every track of `entries` the quality check would refuse into a new work folder;
/// `stopped` is asked between chunks. A failure or stop ends it (failed, the cause in `lines`).
[[nodiscard]] TrackConversion ConvertRefusedTracks(const std::vector<std::string>& entries,
                                                   const std::function<bool()>& stopped);

}  // namespace collection
