#include "album/albumreader.h"

#include <array>

#include "base/id3v1.h"
#include "base/text.h"

namespace album {

std::string TrackCountText(int count) {
  return " " + std::to_string(count);
}

TagWriter FileTagWriter(const std::filesystem::path& path) {
  return [path](std::int64_t offset, std::span<const std::uint8_t> data) {
    return base::PatchFile(path, offset, data);
  };
}

bool AlbumReader::IsAlbum() {
  std::array<std::uint8_t, kTrailerSize> trailer{};
  const std::int64_t size = m_source.Size();
  if (size < static_cast<std::int64_t>(kTailSize)) return false;
  if (!m_source.ReadAt(size - static_cast<std::int64_t>(kTailSize), trailer)) return false;
  const auto decoded = DecodeAlbumTrailer(trailer);
  if (decoded) m_trailer = *decoded;
  return decoded.has_value();
}

bool AlbumReader::ReadAlbumTag(AlbumDisplay& display, const TagWriter& writeBack) {
  const std::int64_t size = m_source.Size();
  const std::int64_t tagOffset = size - static_cast<std::int64_t>(kTagSize);
  std::array<std::uint8_t, kTagSize> raw{};
  if (tagOffset < 0 || !m_source.ReadAt(tagOffset, raw)) return false;
  const AlbumTag tag = DecodeAlbumTag(raw);
  if (tag.Identifier != base::id3v1::kMarker) return false;

  const std::string album = base::Trim(tag.Album);
  display.ShowAlbumTitle(album);
  display.ShowArtist(tag.Artist);
  display.ShowComment(tag.Comment);
  display.ShowYear(tag.Year);

  const bool opened = tag.Genre == kAlbumGenre;
  // Writing to the album is best effort: a read-only album still opens.
  if (opened && writeBack) {
    const std::array<std::uint8_t, 1> mark{kOpenedTrackByte};
    (void)writeBack(size - 2, mark);
  }
  if (album == kProgramTitle) {
    display.ShowAlbumTitle(base::Trim(tag.Title));
  } else if (writeBack) {
    // Older layout: the title stood in the Album field. Everything else stays as read, so a
    // Track byte written above is replaced by the value read.
    base::id3v1::Put(raw, base::id3v1::kTitle, album);
    base::id3v1::Put(raw, base::id3v1::kAlbum, kProgramTitle);
    (void)writeBack(tagOffset, raw);
  }
  return opened;
}

ReadStatus AlbumReader::ReadTrackDirectory(AlbumDisplay& display) {
  if (!IsAlbum()) return ReadStatus::NotAlbum;
  const auto sections = LocateSections(m_source.Size(), m_trailer);
  if (!sections) return ReadStatus::Damaged;
  m_sections = *sections;

  std::vector<std::uint8_t> directory(static_cast<std::size_t>(m_trailer.DirBytes));
  if (!m_source.ReadAt(m_sections.directoryOffset, directory)) return ReadStatus::Damaged;
  std::vector<TrackEntry> tracks;
  tracks.reserve(static_cast<std::size_t>(m_sections.trackCount));
  std::int64_t audioBytes = 0;
  for (std::size_t at = 0; at < directory.size(); at += kTrackEntrySize) {
    tracks.push_back(DecodeTrackEntry(
        std::span<const std::uint8_t, kTrackEntrySize>(directory.data() + at, kTrackEntrySize)));
    audioBytes += tracks.back().AudioBytes;
    // Every track must lie inside the audio section.
    if (tracks.back().AudioBytes < 0 || audioBytes > m_sections.pictureOffset) {
      return ReadStatus::Damaged;
    }
  }
  m_tracks = std::move(tracks);
  for (const TrackEntry& track : m_tracks) display.AddListItem(track.SongTitle);
  display.ShowTrackCount(m_sections.trackCount);
  return ReadStatus::Ok;
}

namespace {

// Walks a block of entries of a fixed header size followed by DataSize bytes. A tail of fewer
// than four bytes cannot hold an entry's size field, so the walk ends there: albums written by
// older versions may carry such slack. An entry that does not fit the block is damage.
template <std::size_t kHeader, typename Decode, typename Add>
ReadStatus WalkBlock(base::ByteSource& source, std::int64_t start, std::int64_t length,
                     Decode decode, Add add) {
  if (length == 0) return ReadStatus::Ok;
  const std::int64_t end = start + length;
  std::int64_t at = start;
  do {
    if (end - at < static_cast<std::int64_t>(kHeader)) return ReadStatus::Damaged;
    std::array<std::uint8_t, kHeader> header{};
    if (!source.ReadAt(at, header)) return ReadStatus::Damaged;
    const auto entry = decode(header);
    const std::int64_t dataOffset = at + static_cast<std::int64_t>(kHeader);
    if (entry.DataSize < 0 || entry.DataSize > end - dataOffset) return ReadStatus::Damaged;
    add(entry, dataOffset);
    at = dataOffset + entry.DataSize;
  } while (end - at >= 4);
  return ReadStatus::Ok;
}

}  // namespace

ReadStatus AlbumReader::ListPictures(AlbumDisplay& display) {
  std::vector<PictureItem> pictures;
  const ReadStatus status = WalkBlock<kPictureHeaderSize>(
      m_source, m_sections.pictureOffset, m_trailer.PictureBytes,
      [](const auto& bytes) { return DecodePictureEntry(bytes); },
      [&](const PictureEntry& entry, std::int64_t dataOffset) {
        pictures.push_back({entry, dataOffset});
      });
  if (status != ReadStatus::Ok) return status;
  m_pictures = std::move(pictures);
  for (const PictureItem& picture : m_pictures) display.AddListItem(picture.entry.FileName);
  return ReadStatus::Ok;
}

ReadStatus AlbumReader::ListLyrics(AlbumDisplay& display) {
  std::vector<LyricsItem> lyrics;
  const ReadStatus status = WalkBlock<kLyricsHeaderSize>(
      m_source, m_sections.lyricsOffset, m_trailer.LyricsBytes,
      [](const auto& bytes) { return DecodeLyricsEntry(bytes); },
      [&](const LyricsEntry& entry, std::int64_t dataOffset) {
        lyrics.push_back({entry, dataOffset});
      });
  if (status != ReadStatus::Ok) return status;
  m_lyrics = std::move(lyrics);
  for (const LyricsItem& item : m_lyrics) display.AddListItem(item.entry.FileName);
  return ReadStatus::Ok;
}

std::int64_t AlbumReader::TrackDataStart(std::size_t k) const {
  std::int64_t offset = 0;
  for (std::size_t i = 0; i < k && i < m_tracks.size(); ++i) offset += m_tracks[i].AudioBytes;
  return offset;
}

std::vector<ArchiveItem> AlbumReader::Items() const {
  std::vector<ArchiveItem> items;
  std::int64_t offset = 0;
  for (const TrackEntry& track : m_tracks) {
    items.push_back({ItemKind::Track, base::Trim(track.FileName), base::Trim(track.SongTitle),
                     track.PlayLength, 0, offset, track.AudioBytes});
    offset += track.AudioBytes;
  }
  for (const PictureItem& picture : m_pictures) {
    items.push_back({ItemKind::Picture,
                     base::Trim(picture.entry.FileName),
                     {},
                     0,
                     0,
                     picture.dataOffset,
                     picture.entry.DataSize});
  }
  for (const LyricsItem& lyrics : m_lyrics) {
    items.push_back({ItemKind::Lyrics,
                     base::Trim(lyrics.entry.FileName),
                     {},
                     0,
                     lyrics.entry.TrackNumber,
                     lyrics.dataOffset,
                     lyrics.entry.DataSize});
  }
  return items;
}

ReadStatus OpenAlbum(AlbumReader& reader, AlbumDisplay& display, const TagWriter& writeBack) {
  if (!reader.IsAlbum()) return ReadStatus::NotAlbum;
  (void)reader.ReadAlbumTag(display, writeBack);
  ReadStatus status = reader.ReadTrackDirectory(display);
  if (status == ReadStatus::Ok) status = reader.ListPictures(display);
  if (status == ReadStatus::Ok) status = reader.ListLyrics(display);
  return status;
}

}  // namespace album
