#pragma once
// The CUE sheet beside an album: one FILE, one TRACK per directory entry.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "album/albumformat.h"
#include "webview/webfolder.h"

namespace webview {

inline constexpr std::string_view kCueExistsQuestion =
    "A CUE sheet already exists for this file,\r\nReplace it ?";
inline constexpr std::string_view kCueCreatedMessage = "CUE File created.";

struct CueTrack {
  std::string songTitle;        ///< UTF-8; cut at its first NUL and trimmed when written
  std::int32_t playLength = 0;  ///< milliseconds
};

struct CueInput {
  std::string albumFileTitle;  ///< the album's file name less its last four characters (UTF-8)
  /// What the FILE line puts after the title: ".mp3" where file names ignore case; elsewhere the
  /// album's own last four characters, so that players find the file.
  std::string albumFileExtension = ".mp3";
  DetailTexts details;  ///< trimmed when written
  std::vector<CueTrack> tracks;
};

/// The inputs for the album at `albumPath` (UTF-8) from its details and track directory.
CueInput CueInputFor(std::string_view albumPath, const DetailTexts& details,
                     const std::vector<album::TrackEntry>& tracks);

/// A time in milliseconds as minutes:seconds:frames ("03:05:19"), frames of 1/75 s rounded
/// half to even and at most 74.
std::string FormatCueTime(double ms);

/// The sheet as Windows-1252 text with CR LF line ends. Quotes inside a value become
/// apostrophes and control characters blanks, so that no value can end its field or line.
std::string CueSheetText(const CueInput& input);

/// The album path less its last four characters + ".cue".
std::string CuePathFor(std::string_view albumPath);

enum class CueStatus {
  Written,      ///< the sheet is complete at `path`
  NoAlbum,      ///< the album path is empty: nothing written
  Declined,     ///< a sheet exists and the answer was no: nothing written
  CannotWrite,  ///< nothing written (an earlier sheet stays); `error` says why
};

struct CueResult {
  CueStatus status = CueStatus::Written;
  std::string path;
  std::string error;
};

/// Asked with kCueExistsQuestion when a sheet exists; true replaces it. An empty function
/// replaces without asking.
using ReplaceQuestion = std::function<bool(std::string_view question)>;

/// Writes the sheet of the album at `albumPath` beside it, whole or not at all.
[[nodiscard]] CueResult WriteCueSheet(std::string_view albumPath, const CueInput& input,
                                      const ReplaceQuestion& confirmReplace);

}  // namespace webview
