#pragma once
// Opening an album: signature, tag, track directory, picture and lyrics blocks, and where
// each item's bytes lie. Opening gives one value that a window or command shows as it likes.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "album/albumformat.h"
#include "base/fileio.h"

namespace album {

/// The detail boxes of an opened album or archive, as a window shows them. Texts are UTF-8;
/// the artist, comment and year keep their padding.
struct ShownDetails {
  std::string title;
  std::string artist;
  std::string comment;
  std::string year;
  int trackCount = 0;
};

/// The track count as the detail boxes show it: the digits with one space in front.
std::string TrackCountText(int count);

/// Writes bytes at a 0-based offset of the album through a separate write access; false on
/// failure. An empty writer leaves the album untouched.
using TagWriter = std::function<bool(std::int64_t offset, std::span<const std::uint8_t> data)>;

/// A TagWriter that patches the file at `path` (see PatchFile).
TagWriter FileTagWriter(const std::filesystem::path& path);

enum class ReadStatus { Ok, NotAlbum, Damaged };

/// A picture of the picture block.
struct PictureItem {
  PictureEntry entry;
  std::int64_t dataOffset = 0;
};

/// An entry of the lyrics block; its data starts at `dataOffset` (the 1-based DataEnd).
struct LyricsItem {
  LyricsEntry entry;
  std::int64_t dataOffset = 0;
};

/// An item of an album or archive in list order, with where its bytes lie.
struct ArchiveItem {
  ItemKind kind = ItemKind::Track;
  std::string name;   ///< stored file name, trimmed
  std::string title;  ///< tracks: song title, trimmed
  std::int32_t playLength = 0;
  std::int16_t trackNumber = 0;  ///< lyrics
  std::int64_t offset = 0;
  std::int64_t size = 0;
};

/// Everything opening an album gives.
struct AlbumContents {
  ReadStatus status = ReadStatus::Ok;
  bool tagAnsweredYes = false;  ///< the tag's Genre byte was 255
  ShownDetails details;
  /// The item list's lines: song titles, then picture names, then lyrics names (padded).
  std::vector<std::string> lines;
  std::vector<TrackEntry> tracks;
  AlbumSections sections;
  std::vector<PictureItem> pictures;
  std::vector<LyricsItem> lyrics;

  [[nodiscard]] bool ok() const { return status == ReadStatus::Ok; }
  /// Tracks, then pictures, then lyrics, with where their bytes lie.
  std::vector<ArchiveItem> Items() const;
};

/// Reader state for one open album. The source must outlive the reader.
class AlbumReader {
 public:
  explicit AlbumReader(base::ByteSource& source) : m_source(source) {}

  /// The signature test.
  bool IsAlbum();

  /// Reads the tag into the details; answers whether its Genre byte was 255. Writes the opened
  /// mark (Track byte 12) and upgrades an older-layout tag through `writeBack`, best effort.
  [[nodiscard]] bool ReadAlbumTag(const TagWriter& writeBack);

  /// Reads the trailer and the directory; lists the song titles (with their padding) and
  /// counts the tracks. Damaged when the sizes cannot describe this file.
  [[nodiscard]] ReadStatus ReadTrackDirectory();

  /// Walks the picture block and lists the names (with their padding).
  [[nodiscard]] ReadStatus ListPictures();

  /// Walks the lyrics block, fills the lyrics table and lists the names.
  [[nodiscard]] ReadStatus ListLyrics();

  /// What has been read so far.
  const AlbumContents& Contents() const { return m_contents; }
  const ShownDetails& Details() const { return m_contents.details; }
  const std::vector<TrackEntry>& TrackTable() const { return m_contents.tracks; }
  const std::vector<PictureItem>& Pictures() const { return m_contents.pictures; }
  const std::vector<LyricsItem>& LyricsTable() const { return m_contents.lyrics; }
  const AlbumSections& Sections() const { return m_contents.sections; }

  /// 0-based offset of track k's audio.
  std::int64_t TrackDataStart(std::size_t k) const;
  /// Picture k of the block.
  const PictureItem& PictureEntryAt(std::size_t k) const { return Pictures().at(k); }
  /// 0-based offset of lyrics k's text.
  std::int64_t LyricsDataStart(std::size_t k) const { return LyricsTable().at(k).dataOffset; }

  /// Tracks, then pictures, then lyrics: the lines of an item list.
  std::vector<ArchiveItem> Items() const { return m_contents.Items(); }

 private:
  base::ByteSource& m_source;
  AlbumTrailer m_trailer;
  AlbumContents m_contents;
};

/// The whole opening sequence: signature, tag, directory, pictures, lyrics. The status says
/// how far it came; the rest holds what was read until then.
[[nodiscard]] AlbumContents OpenAlbum(base::ByteSource& source, const TagWriter& writeBack);

}  // namespace album
