#pragma once
// Splitting a media command string into its verb, target and options.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace media {

struct MediaCommand {
  std::string verb;                ///< lower-cased: "open", "set", "status", "close", ...
  std::string target;              ///< the alias or "all"; for open, the path (quotes removed)
  std::vector<std::string> words;  ///< the remaining words, lower-cased
};

/// Nothing for an empty command or an open without a path. A quoted path runs from the first
/// quote to the last one, so a path may itself hold quotes and spaces.
std::optional<MediaCommand> ParseCommand(std::string_view command);

/// The word after `key` in `words` ("alias" in open ... alias mp3), or nothing.
std::optional<std::string> OptionValue(const std::vector<std::string>& words, std::string_view key);

}  // namespace media
