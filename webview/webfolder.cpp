#include "webview/webfolder.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "base/fileio.h"
#include "base/text.h"
#include "webview/webfolder_platform.h"

namespace webview {

namespace {

constexpr char kSeparator = static_cast<char>(std::filesystem::path::preferred_separator);

}  // namespace

std::string WebFolderLevel(std::string_view text) {
  std::string level = base::Trim(base::CutAtNul(text));
  for (char& c : level) {
    if (c == '/' || c == '\\' || c == ':') c = ' ';
  }
  // Windows cannot make a folder named like a device, so both platforms use the fixed name.
  if (level.find_first_not_of(". ") == std::string::npos || base::IsReservedDeviceName(level)) {
    level = kUnnamedLevel;
  }
  return level;
}

std::string WebRootLevel() {
  return "lyrabinder-web-" + WebFolderLevel(UserName());
}

std::string WebFolderFor(std::string_view tempFolder, const DetailTexts& details) {
  return std::string(tempFolder) + WebRootLevel() + kSeparator + WebFolderLevel(details.artist) +
         kSeparator + WebFolderLevel(details.albumTitle) + kSeparator;
}

std::unique_ptr<WebFolder> PrepareWebFolder(std::string_view tempFolder, const DetailTexts& details,
                                            std::string& error) {
  if (tempFolder.empty()) {
    error = "no temporary folder: TMPDIR and the system's default are missing or not writable";
    return nullptr;
  }
  const std::string temp(tempFolder);
  const std::string artist = WebFolderLevel(details.artist);
  const std::string title = WebFolderLevel(details.albumTitle);
  OwnFolders made = MakeOwnFolders(temp, {WebRootLevel(), artist, title}, error);
  if (made.folder || !made.rootForeign) return std::move(made.folder);

  // Another user holds our root: a private folder of our own, so that our views still work.
  const std::string held = error;
  std::unique_ptr<WebFolder> folder;
  if (const std::string runtime = RuntimeFolder(); !runtime.empty()) {
    folder = MakeOwnFolders(runtime, {"lyrabinder-web", artist, title}, error).folder;
  }
  if (!folder) {
    const std::string fresh = MakeFreshFolder(temp, WebRootLevel() + "-", error);
    if (!fresh.empty()) folder = MakeOwnFolders(temp, {fresh, artist, title}, error).folder;
  }
  if (!folder) {
    error = held + "; " + error;
    return nullptr;
  }
  folder->SetNotice(held + "; the web view is in " + folder->Path() + " instead");
  return folder;
}

bool LacksScript(const WebFolder& folder) {
  return folder.Find(kScriptName) != WebFolder::Entry::File;
}

namespace {

bool IsNumberedPage(std::string_view name, std::string_view prefix) {
  constexpr std::string_view kSuffix = ".htm";
  if (!name.starts_with(prefix) || !name.ends_with(kSuffix)) return false;
  const std::string_view digits = name.substr(prefix.size(), name.size() - prefix.size() - 4);
  return !digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos;
}

}  // namespace

bool IsWebViewFile(std::string_view name) {
  for (const std::string_view page :
       {kMainPageName, kScriptName, kViewPageName, kLyricsPageName, kNoPicturesImageName}) {
    if (name == page) return true;
  }
  // Previews end in "jpg" (PreviewFileName); ".lb*.tmp" are unfinished files of ours.
  return IsNumberedPage(name, "dynamic") || IsNumberedPage(name, "lyrics") ||
         (name.size() > 3 && name.ends_with("jpg")) ||
         (name.starts_with(".lb") && name.ends_with(".tmp"));
}

bool ClearWebFolder(WebFolder& folder, std::string& error,
                    const std::function<bool(std::string_view)>& keep) {
  return folder.RemoveFiles(
      [&keep](std::string_view name) { return IsWebViewFile(name) && !(keep && keep(name)); },
      error);
}

std::string TrackLyricsPageName(int n) {
  return "lyrics" + std::to_string(n) + ".htm";
}

}  // namespace webview
