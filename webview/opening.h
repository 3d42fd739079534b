#pragma once
// Opening an album for playing: the album is read, its web folder made, and, when the album
// asks for it, the web view regenerated. The player window and the Winamp component share
// this sequence; the hooks let each show its own state at the same points.

#include <functional>
#include <string>
#include <vector>

#include "album/albumreader.h"
#include "webview/previews.h"
#include "webview/webfolder.h"

namespace webview {

struct OpeningOptions {
  std::string tempFolder;        ///< where web folders live (TempFolder())
  std::string dataFolder;        ///< the program's data folder, holding "vrnprog2.gif"
  bool rewriteMainPage = false;  ///< write the main frameset even when it exists
  /// Called once a regeneration is decided, before the folder is emptied (the folder is
  /// checked and locked by then).
  std::function<void()> beforeRegeneration;
  /// Called before the previews are made (only for albums with pictures).
  std::function<void()> beforePreviews;
  /// Called after each preview.
  base::Progress afterPicture;  ///< after each picture, so that a window can let its events run
  /// Called between the previews and the pages.
  std::function<void()> beforePages;
};

enum class OpeningStatus {
  Ok,
  NotAlbum,      ///< the signature test failed
  Damaged,       ///< the directory, picture or lyrics block cannot describe this file
  FolderFailed,  ///< the web folder could not be made or emptied
  WriteFailed,   ///< a preview or page could not be written
};

struct WebViewOpening {
  OpeningStatus status = OpeningStatus::Ok;
  std::string error;            ///< what failed, for FolderFailed and WriteFailed
  bool tagAnsweredYes = false;  ///< the tag's Genre byte was 255
  DetailTexts details;          ///< as shown
  std::string folder;           ///< the web folder, ending in a separator
  bool regenerated = false;
  std::vector<std::string> pictureNames;
  /// Failures that left the pages usable: pictures without preview, "view.js" or
  /// "view.htm" not written, "vrnprog2.gif" not copied.
  std::vector<std::string> warnings;
};

/// Runs the opening on an album source: signature test, tag (with `writeBack` for the opened
/// mark; empty leaves the album untouched), track directory, picture and lyrics blocks,
/// lyrics, web folder; then, when the folder holds no "view.js" or the tag answered yes,
/// empties the folder and writes the previews and pages. The reader keeps what it read
/// (`Contents()`) for the caller.
[[nodiscard]] WebViewOpening OpenWebView(base::ByteSource& source, album::AlbumReader& reader,
                                         const album::TagWriter& writeBack,
                                         PictureService& pictures, const OpeningOptions& options);

}  // namespace webview
