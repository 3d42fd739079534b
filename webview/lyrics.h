#pragma once
// The lyrics of an album, one text per track, and how a text splits into heading and lines.

#include <string>
#include <string_view>
#include <vector>

#include "album/albumreader.h"

namespace webview {

/// One lyrics text per track (0-based), as stored: Windows-1252 bytes, empty when the track
/// has none.
struct LyricTable {
  bool present = false;  ///< the album has a lyrics block
  std::vector<std::string> texts;
};

/// Reads the lyrics block of an album whose directory and lyrics block the reader has walked.
/// Entries for the same track are joined in block order. Damaged when a text cannot be read
/// or an entry names no track of the directory.
[[nodiscard]] album::ReadStatus ReadLyrics(base::ByteSource& source,
                                           const album::AlbumReader& reader, LyricTable& table);

/// A lyrics text as the pages show it: the first line is the heading, the others the body.
/// CR LF, CR and LF each end a line; an empty last line is dropped.
struct LyricParts {
  std::string heading;
  std::vector<std::string> lines;
};

LyricParts SplitLyrics(std::string_view text);

}  // namespace webview
