#include "media/command.h"

#include "base/text.h"

namespace media {
namespace {

std::vector<std::string> Words(std::string_view text) {
  std::vector<std::string> words;
  std::size_t at = 0;
  while (true) {
    at = text.find_first_not_of(" \t", at);
    if (at == std::string_view::npos) return words;
    const auto end = text.find_first_of(" \t", at);
    words.push_back(base::AsciiLower(text.substr(at, end - at)));
    at = end;
  }
}

}  // namespace

std::optional<MediaCommand> ParseCommand(std::string_view command) {
  std::vector<std::string> words = Words(command);
  if (words.empty()) return std::nullopt;
  MediaCommand parsed;
  parsed.verb = words.front();
  if (parsed.verb != "open") {
    if (words.size() > 1) parsed.target = words[1];
    parsed.words.assign(words.begin() + std::min<std::ptrdiff_t>(2, std::ssize(words)),
                        words.end());
    return parsed;
  }
  // The path keeps its case and, when quoted, its spaces.
  std::string_view rest = command.substr(command.find_first_not_of(" \t"));
  rest.remove_prefix(4);
  const auto start = rest.find_first_not_of(" \t");
  if (start == std::string_view::npos) return std::nullopt;
  rest.remove_prefix(start);
  std::string_view options;
  if (rest.front() == '"') {
    const auto close = rest.rfind('"');
    if (close == 0) return std::nullopt;
    parsed.target = std::string(rest.substr(1, close - 1));
    options = rest.substr(close + 1);
  } else {
    const auto end = rest.find_first_of(" \t");
    parsed.target = std::string(rest.substr(0, end));
    options = end == std::string_view::npos ? std::string_view{} : rest.substr(end);
  }
  if (parsed.target.empty()) return std::nullopt;
  parsed.words = Words(options);
  return parsed;
}

std::optional<std::string> OptionValue(const std::vector<std::string>& words,
                                       std::string_view key) {
  for (std::size_t i = 0; i + 1 < words.size(); ++i) {
    if (words[i] == key) return words[i + 1];
  }
  return std::nullopt;
}

}  // namespace media
