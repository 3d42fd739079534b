#pragma once
// Reading archives of the older AlbumWrap kind ("*_ALBW.MP3"): a 1325-byte header that
// begins with an ID3v2 tag, a 12-character item count, 501-byte item records, then the
// items' audio back to back.

#include <cstdint>
#include <string>
#include <vector>

#include "album/albumreader.h"

namespace album {

inline constexpr std::int64_t kWrapHeaderSize = 1325;
inline constexpr std::int64_t kWrapCountSize = 12;
inline constexpr std::int64_t kWrapRecordSize = 501;
inline constexpr std::string_view kWrapMarker = "[][]";

class AlbumWrapReader {
 public:
  explicit AlbumWrapReader(base::ByteSource& source) : m_source(source) {}

  /// True when the header text contains "[][]".
  bool IsAlbumWrap();

  /// Reads the first frames of the header's ID3v2 tag into the details: TIT2 and TALB as the
  /// album title, TPE1 as the artist, COMM as the comment; any other frame ends the reading.
  void ReadFrames();

  /// Reads the count and the item records; lists each item's title (50 characters, padded)
  /// and counts them. Damaged when the records or sizes run past the file.
  [[nodiscard]] ReadStatus ListItems();

  const ShownDetails& Details() const { return m_details; }
  /// The item list's lines, one per item.
  const std::vector<std::string>& Lines() const { return m_lines; }

  /// The count field as stored (12 characters).
  const std::string& CountField() const { return m_countField; }
  const std::vector<TrackEntry>& TrackTable() const { return m_tracks; }
  /// Tracks only, in record order, with where their audio lies.
  std::vector<ArchiveItem> Items() const;

 private:
  base::ByteSource& m_source;
  ShownDetails m_details;
  std::vector<std::string> m_lines;
  std::string m_countField;
  std::vector<TrackEntry> m_tracks;
  std::int64_t m_audioOffset = 0;
};

/// The title an AlbumWrap item is listed by: the part of its file name after the last "-",
/// less its last four characters.
std::string WrapItemTitle(std::string_view fileName);

}  // namespace album
