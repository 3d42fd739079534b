#include "album/albumformat.h"

#include <algorithm>
#include <cctype>

#include "base/bytes.h"
#include "base/id3v1.h"
#include "base/text.h"

namespace album {

std::array<std::uint8_t, kTrackEntrySize> EncodeTrackEntry(const TrackEntry& entry) {
  std::array<std::uint8_t, kTrackEntrySize> out{};
  base::PutLE32(out, 0, entry.PlayLength);
  base::PutLE32(out, 4, entry.AudioBytes);
  base::PutField(out, 8, kFileNameWidth, entry.FileName);
  base::PutField(out, 262, kSongTitleWidth, entry.SongTitle);
  return out;
}

TrackEntry DecodeTrackEntry(std::span<const std::uint8_t, kTrackEntrySize> bytes) {
  return {base::GetLE32(bytes, 0), base::GetLE32(bytes, 4),
          base::GetField(bytes, 8, kFileNameWidth), base::GetField(bytes, 262, kSongTitleWidth)};
}

std::array<std::uint8_t, kPictureHeaderSize> EncodePictureEntry(const PictureEntry& entry) {
  std::array<std::uint8_t, kPictureHeaderSize> out{};
  base::PutLE32(out, 0, entry.DataSize);
  base::PutField(out, 4, kFileNameWidth, entry.FileName);
  return out;
}

PictureEntry DecodePictureEntry(std::span<const std::uint8_t, kPictureHeaderSize> bytes) {
  return {base::GetLE32(bytes, 0), base::GetField(bytes, 4, kFileNameWidth)};
}

std::array<std::uint8_t, kLyricsHeaderSize> EncodeLyricsEntry(const LyricsEntry& entry) {
  std::array<std::uint8_t, kLyricsHeaderSize> out{};
  base::PutLE32(out, 0, entry.DataSize);
  base::PutLE16(out, 4, entry.TrackNumber);
  base::PutField(out, 6, kFileNameWidth, entry.FileName);
  return out;
}

LyricsEntry DecodeLyricsEntry(std::span<const std::uint8_t, kLyricsHeaderSize> bytes) {
  return {base::GetLE32(bytes, 0), base::GetLE16(bytes, 4),
          base::GetField(bytes, 6, kFileNameWidth)};
}

std::array<std::uint8_t, kTrailerSize> EncodeAlbumTrailer(const AlbumTrailer& trailer) {
  std::array<std::uint8_t, kTrailerSize> out{};
  std::copy(kSignature.begin(), kSignature.end(), out.begin());
  base::PutLE32(out, 16, trailer.DirBytes);
  base::PutLE32(out, 20, trailer.PictureBytes);
  base::PutLE32(out, 24, trailer.LyricsBytes);
  return out;
}

std::optional<AlbumTrailer> DecodeAlbumTrailer(std::span<const std::uint8_t, kTrailerSize> bytes) {
  if (!std::equal(kSignature.begin(), kSignature.end(), bytes.begin(),
                  [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; })) {
    return std::nullopt;
  }
  return AlbumTrailer{base::GetLE32(bytes, 16), base::GetLE32(bytes, 20), base::GetLE32(bytes, 24)};
}

std::array<std::uint8_t, kTagSize> EncodeAlbumTag(const AlbumTag& tag) {
  std::array<std::uint8_t, kTagSize> out{};
  using namespace base::id3v1;
  Put(out, kIdentifier, tag.Identifier);
  Put(out, kTitle, tag.Title);
  Put(out, kArtist, tag.Artist);
  Put(out, kAlbum, tag.Album);
  Put(out, kYear, tag.Year);
  Put(out, kComment, tag.Comment);
  out[kZeroOffset] = tag.Zero;
  out[kTrackOffset] = tag.Track;
  out[kGenreOffset] = tag.Genre;
  return out;
}

AlbumTag DecodeAlbumTag(std::span<const std::uint8_t, kTagSize> bytes) {
  using namespace base::id3v1;
  return {Get(bytes, kIdentifier), Get(bytes, kTitle),  Get(bytes, kArtist),
          Get(bytes, kAlbum),      Get(bytes, kYear),   Get(bytes, kComment),
          bytes[kZeroOffset],      bytes[kTrackOffset], bytes[kGenreOffset]};
}

std::optional<AlbumSections> LocateSections(std::int64_t size, const AlbumTrailer& trailer) {
  const std::int64_t dir = trailer.DirBytes;
  const std::int64_t pictures = trailer.PictureBytes;
  const std::int64_t lyrics = trailer.LyricsBytes;
  if (dir < 0 || pictures < 0 || lyrics < 0) return std::nullopt;
  const auto entrySize = static_cast<std::int64_t>(kTrackEntrySize);
  if (dir < entrySize || dir % entrySize != 0 || dir / entrySize > kMaxTracks) {
    return std::nullopt;
  }
  const std::int64_t tail = static_cast<std::int64_t>(kTailSize);
  if (dir + pictures + lyrics + tail > size) return std::nullopt;
  AlbumSections s;
  s.directoryOffset = size - (dir + tail);
  s.lyricsOffset = s.directoryOffset - lyrics;
  s.pictureOffset = s.lyricsOffset - pictures;
  s.trackCount = static_cast<int>(dir / static_cast<std::int64_t>(kTrackEntrySize));
  return s;
}

ItemKind KindOf(std::string_view pathOrText) {
  const std::string last = base::AsciiUpper(base::LastFour(pathOrText));
  if (last == ".MP3") return ItemKind::Track;
  if (last == ".TXT") return ItemKind::Lyrics;
  if (last == ".JPG" || last == ".GIF") return ItemKind::Picture;
  return ItemKind::Other;
}

bool IsAlbumFileName(std::string_view path) {
  return base::AsciiUpper(path).find("_LB.MP3") != std::string::npos;
}

}  // namespace album
