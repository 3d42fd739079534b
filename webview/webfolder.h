#pragma once
// The folder of an album's web view: temporary folder / the user's web root / artist / album
// title. Only the root of our own, made by us and private to us, can hold album texts, so no
// album can name a folder that another program or user uses.

#include <string>
#include <string_view>

namespace webview {

/// The details as the player's detail boxes hold them after opening (UTF-8): the album
/// title trimmed, the artist with its padding, the year as its four characters.
struct DetailTexts {
  std::string albumTitle;
  std::string artist;
  std::string year;
};

inline constexpr std::string_view kMainPageName = "MP3 - LyrabinderWeb.htm";
inline constexpr std::string_view kScriptName = "view.js";
inline constexpr std::string_view kViewPageName = "view.htm";
inline constexpr std::string_view kLyricsPageName = "lyrics.htm";
inline constexpr std::string_view kNoPicturesImageName = "vrnprog2.gif";

/// The name a level gets when the artist or title leaves nothing usable.
inline constexpr std::string_view kUnnamedLevel = "_";

/// One folder level from an artist or album title: cut at a NUL, trimmed, with "/", "\" and
/// ":" replaced by blanks. A level of only dots and blanks (empty, ".", "..") would name the
/// folder above or the level itself on some systems, so it becomes kUnnamedLevel instead.
std::string WebFolderLevel(std::string_view text);

/// The first level under the temporary folder: "lyrabinder-web-" + the user's name.
std::string WebRootLevel();

/// tempFolder + WebRootLevel() + separator + artist level + separator + title level +
/// separator (tempFolder ends in a separator).
std::string WebFolderFor(std::string_view tempFolder, const DetailTexts& details);

/// Builds the web folder under `tempFolder` and creates its missing levels (mode 0700), never
/// following a symlink and refusing a level that is not a folder of this user. Nothing on
/// failure (also for an empty `tempFolder`), with the reason in `error`.
[[nodiscard]] std::string PrepareWebFolder(std::string_view tempFolder, const DetailTexts& details,
                                           std::string& error);

/// True when the folder holds no file named "view.js".
bool LacksScript(std::string_view folder);

/// True for the names of the files the web view writes: its pages, "view.js",
/// "vrnprog2.gif", the previews and unfinished temporary files.
bool IsWebViewFile(std::string_view name);

/// Deletes the web view's files (IsWebViewFile) in `folder`, nothing else, without following
/// a symlink. False, with the reason, when the folder is not ours or a file could not be
/// deleted.
[[nodiscard]] bool ClearWebFolder(std::string_view folder, std::string& error);

/// The page of track n (1-based): "dynamic" + n + ".htm".
std::string TrackPageName(int n);

/// The lyrics page of track n (1-based): "lyrics" + n + ".htm".
std::string TrackLyricsPageName(int n);

}  // namespace webview
