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

bool AlbumReader::ReadAlbumTag(const TagWriter& writeBack) {
  const std::int64_t size = m_source.Size();
  const std::int64_t tagOffset = size - static_cast<std::int64_t>(kTagSize);
  std::array<std::uint8_t, kTagSize> raw{};
  if (tagOffset < 0 || !m_source.ReadAt(tagOffset, raw)) return false;
  const AlbumTag tag = DecodeAlbumTag(raw);
  if (tag.Identifier != base::id3v1::kMarker) return false;

  const std::string album = base::Trim(tag.Album);
  ShownDetails& details = m_contents.details;
  details.title = album;
  details.artist = tag.Artist;
  details.comment = tag.Comment;
  details.year = tag.Year;

  const bool opened = tag.Genre == kAlbumGenre;
  // Writing to the album is best effort: a read-only album still opens. A mark already there
  // is not written again, so that the album's time tells whether it changed since.
  if (opened && writeBack && tag.Track != kOpenedTrackByte) {
    const std::array<std::uint8_t, 1> mark{kOpenedTrackByte};
    (void)writeBack(size - 2, mark);
  }
  m_contents.tagAnsweredYes = opened;
  if (album == kProgramTitle) {
    details.title = base::Trim(tag.Title);
  } else if (writeBack) {
    // Older layout: the title stood in the Album field. Everything else stays as read, so a
    // Track byte written above is replaced by the value read.
    base::id3v1::Put(raw, base::id3v1::kTitle, album);
    base::id3v1::Put(raw, base::id3v1::kAlbum, kProgramTitle);
    (void)writeBack(tagOffset, raw);
  }
  return opened;
}

ReadStatus AlbumReader::ReadTrackDirectory() {
  if (!IsAlbum()) return ReadStatus::NotAlbum;
  const auto located = LocateSections(m_source.Size(), m_trailer);
  if (!located) return ReadStatus::Damaged;
  m_contents.sections = *located;
  const AlbumSections& sections = m_contents.sections;

  std::vector<std::uint8_t> directory(static_cast<std::size_t>(m_trailer.DirBytes));
  if (!m_source.ReadAt(sections.directoryOffset, directory)) return ReadStatus::Damaged;
  std::vector<TrackEntry> tracks;
  tracks.reserve(static_cast<std::size_t>(sections.trackCount));
  std::int64_t audioBytes = 0;
  for (std::size_t at = 0; at < directory.size(); at += kTrackEntrySize) {
    tracks.push_back(DecodeTrackEntry(
        std::span<const std::uint8_t, kTrackEntrySize>(directory.data() + at, kTrackEntrySize)));
    audioBytes += tracks.back().AudioBytes;
    // Every track must lie inside the audio section.
    if (tracks.back().AudioBytes < 0 || audioBytes > sections.pictureOffset) {
      return ReadStatus::Damaged;
    }
  }
  m_contents.tracks = std::move(tracks);
  for (const TrackEntry& track : m_contents.tracks) m_contents.lines.push_back(track.SongTitle);
  m_contents.details.trackCount = sections.trackCount;
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

ReadStatus AlbumReader::ListPictures() {
  std::vector<PictureItem> pictures;
  const ReadStatus status = WalkBlock<kPictureHeaderSize>(
      m_source, m_contents.sections.pictureOffset, m_trailer.PictureBytes,
      [](const auto& bytes) { return DecodePictureEntry(bytes); },
      [&](const PictureEntry& entry, std::int64_t dataOffset) {
        pictures.push_back({entry, dataOffset});
      });
  if (status != ReadStatus::Ok) return status;
  m_contents.pictures = std::move(pictures);
  for (const PictureItem& picture : m_contents.pictures) {
    m_contents.lines.push_back(picture.entry.FileName);
  }
  return ReadStatus::Ok;
}

ReadStatus AlbumReader::ListLyrics() {
  std::vector<LyricsItem> lyrics;
  const ReadStatus status = WalkBlock<kLyricsHeaderSize>(
      m_source, m_contents.sections.lyricsOffset, m_trailer.LyricsBytes,
      [](const auto& bytes) { return DecodeLyricsEntry(bytes); },
      [&](const LyricsEntry& entry, std::int64_t dataOffset) {
        lyrics.push_back({entry, dataOffset});
      });
  if (status != ReadStatus::Ok) return status;
  m_contents.lyrics = std::move(lyrics);
  for (const LyricsItem& item : m_contents.lyrics) m_contents.lines.push_back(item.entry.FileName);
  return ReadStatus::Ok;
}

std::int64_t AlbumReader::TrackDataStart(std::size_t k) const {
  std::int64_t offset = 0;
  const std::vector<TrackEntry>& tracks = m_contents.tracks;
  for (std::size_t i = 0; i < k && i < tracks.size(); ++i) offset += tracks[i].AudioBytes;
  return offset;
}

std::vector<ArchiveItem> AlbumContents::Items() const {
  std::vector<ArchiveItem> items;
  std::int64_t offset = 0;
  for (const TrackEntry& track : tracks) {
    items.push_back({ItemKind::Track, base::Trim(track.FileName), base::Trim(track.SongTitle),
                     track.PlayLength, 0, offset, track.AudioBytes});
    offset += track.AudioBytes;
  }
  for (const PictureItem& picture : pictures) {
    items.push_back({ItemKind::Picture,
                     base::Trim(picture.entry.FileName),
                     {},
                     0,
                     0,
                     picture.dataOffset,
                     picture.entry.DataSize});
  }
  for (const LyricsItem& item : lyrics) {
    items.push_back({ItemKind::Lyrics,
                     base::Trim(item.entry.FileName),
                     {},
                     0,
                     item.entry.TrackNumber,
                     item.dataOffset,
                     item.entry.DataSize});
  }
  return items;
}

AlbumContents OpenAlbum(base::ByteSource& source, const TagWriter& writeBack) {
  AlbumReader reader(source);
  AlbumContents contents;
  if (!reader.IsAlbum()) {
    contents.status = ReadStatus::NotAlbum;
    return contents;
  }
  (void)reader.ReadAlbumTag(writeBack);
  ReadStatus status = reader.ReadTrackDirectory();
  if (status == ReadStatus::Ok) status = reader.ListPictures();
  if (status == ReadStatus::Ok) status = reader.ListLyrics();
  contents = reader.Contents();
  contents.status = status;
  return contents;
}

}  // namespace album
