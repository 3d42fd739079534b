#pragma once
// The folder of an album's web view: temporary folder / the user's web root / artist / album
// title. Only the root of our own, made by us and private to us, can hold album texts, so no
// album can name a folder that another program or user uses.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "base/pagenames.h"

namespace webview {

/// The details as the player's detail boxes hold them after opening (UTF-8): the album
/// title trimmed, the artist with its padding, the year as its four characters.
struct DetailTexts {
  std::string albumTitle;
  std::string artist;
  std::string year;
};

using base::kMainPageName;
inline constexpr std::string_view kScriptName = "view.js";
inline constexpr std::string_view kViewPageName = "view.htm";
inline constexpr std::string_view kLyricsPageName = "lyrics.htm";
inline constexpr std::string_view kNoPicturesImageName = "vrnprog2.gif";

/// The name a level gets when the artist or title leaves nothing usable.
inline constexpr std::string_view kUnnamedLevel = "_";

/// One folder level from an artist or album title: cut at a NUL, trimmed, with "/", "\" and
/// ":" replaced by blanks. A level of only dots and blanks (empty, ".", "..") would name the
/// folder above or the level itself on some systems, and a reserved device name ("CON",
/// "lpt1.x") cannot be made on Windows: such a level becomes kUnnamedLevel instead.
std::string WebFolderLevel(std::string_view text);

/// The first level under the temporary folder: "lyrabinder-web-" + the user's name.
std::string WebRootLevel();

/// tempFolder + WebRootLevel() + separator + artist level + separator + title level +
/// separator (tempFolder ends in a separator).
std::string WebFolderFor(std::string_view tempFolder, const DetailTexts& details);

/// An opened web folder: the checked title folder, held open (and locked against other runs)
/// for as long as the object lives. Every look, clear and write goes through it, never by
/// path again, so swapping a level for a link after the check changes nothing.
class WebFolder {
 public:
  struct Handle;  // the platform's open folder
  WebFolder(std::string path, std::unique_ptr<Handle> handle);
  ~WebFolder();
  WebFolder(const WebFolder&) = delete;
  WebFolder& operator=(const WebFolder&) = delete;

  /// Opens an existing folder of this user (its last level not through a symlink).
  [[nodiscard]] static std::unique_ptr<WebFolder> OpenExisting(std::string_view path,
                                                               std::string& error);

  /// The folder's path, ending in a separator (for addresses and messages only).
  const std::string& Path() const { return m_path; }
  /// Why the folder is not where the user would look for it; empty when it is.
  const std::string& Notice() const { return m_notice; }
  void SetNotice(std::string notice) { m_notice = std::move(notice); }

  enum class Entry { Missing, File, Other };
  /// What the folder holds under `name` (a symlink is Other, never followed).
  Entry Find(std::string_view name) const;

  /// Deletes the plain files and symlinks (never their targets) whose names `pick` accepts.
  [[nodiscard]] bool RemoveFiles(const std::function<bool(std::string_view)>& pick,
                                 std::string& error);

  /// Writes a whole file under a fresh temporary name and renames it onto `name`, replacing
  /// a file or symlink there. False, with "cannot write PATH: reason", when it fails. A
  /// non-empty `source` is kept beside the file (an extended attribute, where the file system
  /// has them), for SourceOf.
  [[nodiscard]] bool WriteFile(std::string_view name, std::span<const std::uint8_t> bytes,
                               std::string& error, std::string_view source = {});
  /// The `source` the file `name` was written with; empty when none was kept.
  [[nodiscard]] std::string SourceOf(std::string_view name) const;

 private:
  std::string m_path;
  std::string m_notice;
  std::unique_ptr<Handle> m_handle;
};

/// Builds the web folder under `tempFolder`, creating its missing levels (mode 0700) without
/// following a symlink, and opens it. The temporary folder is refused when another user owns
/// it or others may write to it without the sticky bit. When another user holds our root
/// level, a private folder of our own is used instead and Notice() says where. Nothing on
/// failure (also for an empty `tempFolder`), with the reason in `error`.
[[nodiscard]] std::unique_ptr<WebFolder> PrepareWebFolder(std::string_view tempFolder,
                                                          const DetailTexts& details,
                                                          std::string& error);

/// True when the folder holds no file named "view.js".
bool LacksScript(const WebFolder& folder);

/// True for the names of the files the web view writes: its pages, "view.js",
/// "vrnprog2.gif", the previews and unfinished temporary files.
bool IsWebViewFile(std::string_view name);

/// Deletes the web view's files (IsWebViewFile) in `folder` but those `keep` names, nothing
/// else.
[[nodiscard]] bool ClearWebFolder(WebFolder& folder, std::string& error,
                                  const std::function<bool(std::string_view)>& keep = {});

/// What tells an open file from any other and from itself once changed (device, file number,
/// size and modification time); empty where the system cannot tell.
[[nodiscard]] std::string FileIdentity(std::FILE* file);

using base::TrackPageName;

/// The lyrics page of track n (1-based): "lyrics" + n + ".htm".
std::string TrackLyricsPageName(int n);

}  // namespace webview
