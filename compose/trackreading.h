#pragma once
// Reading a track for the details window: its song title and track line, and the proposals
// for album title, artist and year, from the ID3v1 tag or else from the file name.

#include <string>
#include <string_view>
#include <vector>

#include "base/fileio.h"

namespace compose {

/// The details window's fields as the track readings fill them (UTF-8). A reading fills an
/// empty field only, so the first track that offers a value wins.
struct DetailsProposal {
  std::vector<std::string> albumNames;  ///< the album-title list, each name once (case-blind)
  std::string albumTitle;               ///< album title
  std::string artist;
  std::string year;
};

/// What one track gives the details window.
struct TrackReading {
  bool fromTag = false;   ///< the file ends in an ID3v1 tag
  std::string songTitle;  ///< the guessed song title
  std::string line;       ///< song title + "   -   " + a second part (artist, usually)
};

/// Twelve spaces: the second part of a track line when a file name has no "-".
inline constexpr std::string_view kNoSecondPart = "            ";

/// A track line: title, separator, second part.
std::string TrackLine(std::string_view songTitle, std::string_view secondPart);

/// Reads the track at `path` from `source` (the file's bytes; the tag is its last 128 bytes)
/// and fills empty fields of `proposal`. Tag texts are Windows-1252, cut at their first NUL and
/// trimmed. Without a tag the file name after the last "/" decides: "artist - title.mp3" or
/// "artist - album - title.mp3"; a first piece that is a number proposes nothing.
TrackReading ReadTrack(std::string_view path, base::ByteSource& source, DetailsProposal& proposal);

/// The same for a file on disk; a file that cannot be read counts as one without a tag.
TrackReading ReadTrackFile(std::string_view path, DetailsProposal& proposal);

}  // namespace compose
