#pragma once
// Opening an album: signature, tag, track directory, picture and lyrics blocks, and where
// each item's bytes lie. What is read is handed to the caller's display operations.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "album/albumformat.h"
#include "base/fileio.h"

namespace album {

/// What a window shows of an opened album. Texts are UTF-8.
class AlbumDisplay {
 public:
  virtual ~AlbumDisplay() = default;
  virtual void ShowAlbumTitle(const std::string& text) = 0;
  virtual void ShowArtist(const std::string& text) = 0;
  virtual void ShowComment(const std::string& text) = 0;
  virtual void ShowYear(const std::string& text) = 0;
  virtual void ShowTrackCount(int count) = 0;
  virtual void AddListItem(const std::string& text) = 0;
};

/// A display that shows nothing.
class NullDisplay : public AlbumDisplay {
 public:
  void ShowAlbumTitle(const std::string&) override {}
  void ShowArtist(const std::string&) override {}
  void ShowComment(const std::string&) override {}
  void ShowYear(const std::string&) override {}
  void ShowTrackCount(int) override {}
  void AddListItem(const std::string&) override {}
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

/// Reader state for one open album. The source must outlive the reader.
class AlbumReader {
 public:
  explicit AlbumReader(base::ByteSource& source) : m_source(source) {}

  /// The signature test.
  bool IsAlbum();

  /// Reads and shows the tag; answers whether its Genre byte was 255. Writes the opened
  /// mark (Track byte 12) and upgrades an older-layout tag through `writeBack`, best effort.
  [[nodiscard]] bool ReadAlbumTag(AlbumDisplay& display, const TagWriter& writeBack);

  /// Reads the trailer and the directory; lists the song titles (with their padding) and
  /// shows the track count. Damaged when the sizes cannot describe this file.
  [[nodiscard]] ReadStatus ReadTrackDirectory(AlbumDisplay& display);

  /// Walks the picture block and lists the names (with their padding).
  [[nodiscard]] ReadStatus ListPictures(AlbumDisplay& display);

  /// Walks the lyrics block, fills the lyrics table and lists the names.
  [[nodiscard]] ReadStatus ListLyrics(AlbumDisplay& display);

  const std::vector<TrackEntry>& TrackTable() const { return m_tracks; }
  const std::vector<PictureItem>& Pictures() const { return m_pictures; }
  const std::vector<LyricsItem>& LyricsTable() const { return m_lyrics; }
  const AlbumSections& Sections() const { return m_sections; }

  /// 0-based offset of track k's audio.
  std::int64_t TrackDataStart(std::size_t k) const;
  /// Picture k of the block.
  const PictureItem& PictureEntryAt(std::size_t k) const { return m_pictures.at(k); }
  /// 0-based offset of lyrics k's text.
  std::int64_t LyricsDataStart(std::size_t k) const { return m_lyrics.at(k).dataOffset; }

  /// Tracks, then pictures, then lyrics: the lines of an item list.
  std::vector<ArchiveItem> Items() const;

 private:
  base::ByteSource& m_source;
  AlbumTrailer m_trailer;
  AlbumSections m_sections;
  std::vector<TrackEntry> m_tracks;
  std::vector<PictureItem> m_pictures;
  std::vector<LyricsItem> m_lyrics;
};

/// The whole opening sequence: signature, tag, directory, pictures, lyrics.
[[nodiscard]] ReadStatus OpenAlbum(AlbumReader& reader, AlbumDisplay& display,
                                   const TagWriter& writeBack);

}  // namespace album
