#include "webview/webfolder.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "album/fileio.h"
#include "album/text.h"
#include "webview/helpers.h"

namespace webview {

namespace {

constexpr char kSeparator = static_cast<char>(std::filesystem::path::preferred_separator);

}  // namespace

std::string WebFolderLevel(std::string_view text) {
  std::string level = album::Trim(album::CutAtNul(text));
  for (char& c : level) {
    if (c == '/' || c == '\\' || c == ':') c = ' ';
  }
  if (level.find_first_not_of(". ") == std::string::npos) level = kUnnamedLevel;
  return level;
}

std::string WebFolderFor(std::string_view tempFolder, const DetailTexts& details) {
  return std::string(tempFolder) + WebFolderLevel(details.artist) + kSeparator +
         WebFolderLevel(details.albumTitle) + kSeparator;
}

std::string PrepareWebFolder(std::string_view tempFolder, const DetailTexts& details,
                             std::string& error) {
  const std::string artistLevel =
      std::string(tempFolder) + WebFolderLevel(details.artist) + kSeparator;
  const std::string folder = WebFolderFor(tempFolder, details);
  for (const std::string& level : {std::string(tempFolder), artistLevel, folder}) {
    if (PathExists(level)) continue;
    std::error_code ec;
    std::filesystem::create_directory(album::PathFromUtf8(level), ec);
    if (ec) {
      error = "cannot create " + level + ": " + ec.message();
      return {};
    }
  }
  return folder;
}

bool LacksScript(std::string_view folder) {
  return !PathExists(std::string(folder) + std::string(kScriptName));
}

bool ClearWebFolder(std::string_view folder, std::string& error) {
  std::error_code ec;
  std::vector<std::filesystem::path> files;
  std::filesystem::directory_iterator it(album::PathFromUtf8(folder), ec);
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    std::error_code kind;
    if (!it->is_directory(kind)) files.push_back(it->path());
  }
  if (ec) {
    error = "cannot list " + std::string(folder) + ": " + ec.message();
    return false;
  }
  for (const auto& file : files) {
    std::filesystem::remove(file, ec);
    if (ec) {
      error = "cannot delete " + album::Utf8FromPath(file) + ": " + ec.message();
      return false;
    }
  }
  return true;
}

std::string TrackPageName(int n) {
  return "dynamic" + std::to_string(n) + ".htm";
}

std::string TrackLyricsPageName(int n) {
  return "lyrics" + std::to_string(n) + ".htm";
}

}  // namespace webview
