#pragma once
// The album file: records, sizes and where each section lies, counted back from the end.
//
//   audio | picture block | lyrics block | track directory | trailer (28) | ID3v1.1 tag (128)

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace album {

inline constexpr std::string_view kSignature = "MP3 - Lyrabinder";
inline constexpr std::string_view kProgramTitle = "MP3 - Lyrabinder";
inline constexpr std::string_view kDamagedMessage = "File Is Damaged, Or Of An Unsupported Type !";

inline constexpr std::size_t kTrackEntrySize = 312;
inline constexpr std::size_t kPictureHeaderSize = 258;
inline constexpr std::size_t kLyricsHeaderSize = 260;
inline constexpr std::size_t kTrailerSize = 28;  // signature and three Longs
inline constexpr std::size_t kTagSize = 128;
inline constexpr std::size_t kTailSize = kTrailerSize + kTagSize;  // 156
inline constexpr std::size_t kFileNameWidth = 254;
inline constexpr std::size_t kSongTitleWidth = 50;
inline constexpr std::uint8_t kAlbumGenre = 255;
inline constexpr std::uint8_t kOpenedTrackByte = 12;
/// The most tracks an album (or an AlbumWrap archive) may hold: lyrics name their track in an
/// Integer, so no more are written, and a file that claims more is damaged.
inline constexpr int kMaxTracks = 32767;

/// One track of the directory. Texts are UTF-8; they are stored in Windows-1252.
struct TrackEntry {
  std::int32_t PlayLength = 0;  ///< milliseconds
  std::int32_t AudioBytes = 0;
  std::string FileName;   ///< Char[254]
  std::string SongTitle;  ///< Char[50]
};

/// Fixed part of a picture entry; the picture's bytes follow it.
struct PictureEntry {
  std::int32_t DataSize = 0;
  std::string FileName;  ///< Char[254]
};

/// Fixed part of a lyrics entry; the text's bytes follow it.
struct LyricsEntry {
  std::int32_t DataSize = 0;
  std::int16_t TrackNumber = 0;  ///< 1-based index in the track directory
  std::string FileName;          ///< Char[254]
};

/// The three block lengths that follow the signature.
struct AlbumTrailer {
  std::int32_t DirBytes = 0;
  std::int32_t PictureBytes = 0;
  std::int32_t LyricsBytes = 0;
};

/// The closing ID3v1.1 tag.
struct AlbumTag {
  std::string Identifier;  ///< Char[3], "TAG"
  std::string Title;       ///< Char[30]
  std::string Artist;      ///< Char[30]
  std::string Album;       ///< Char[30]
  std::string Year;        ///< Char[4]
  std::string Comment;     ///< Char[28]
  std::uint8_t Zero = 0;
  std::uint8_t Track = 0;
  std::uint8_t Genre = 0;
};

std::array<std::uint8_t, kTrackEntrySize> EncodeTrackEntry(const TrackEntry& entry);
TrackEntry DecodeTrackEntry(std::span<const std::uint8_t, kTrackEntrySize> bytes);

std::array<std::uint8_t, kPictureHeaderSize> EncodePictureEntry(const PictureEntry& entry);
PictureEntry DecodePictureEntry(std::span<const std::uint8_t, kPictureHeaderSize> bytes);

std::array<std::uint8_t, kLyricsHeaderSize> EncodeLyricsEntry(const LyricsEntry& entry);
LyricsEntry DecodeLyricsEntry(std::span<const std::uint8_t, kLyricsHeaderSize> bytes);

/// Signature and block lengths.
std::array<std::uint8_t, kTrailerSize> EncodeAlbumTrailer(const AlbumTrailer& trailer);
/// Nothing when the signature does not match.
std::optional<AlbumTrailer> DecodeAlbumTrailer(std::span<const std::uint8_t, kTrailerSize> bytes);

std::array<std::uint8_t, kTagSize> EncodeAlbumTag(const AlbumTag& tag);
AlbumTag DecodeAlbumTag(std::span<const std::uint8_t, kTagSize> bytes);

/// Where the sections of an album of `size` bytes lie (0-based offsets).
struct AlbumSections {
  std::int64_t pictureOffset = 0;  ///< also the length of the audio section
  std::int64_t lyricsOffset = 0;
  std::int64_t directoryOffset = 0;
  int trackCount = 0;
};

/// Locates the sections from the trailer. Nothing when the sizes cannot describe an album of
/// this length: a negative size, blocks that run past the start of the file, or a directory
/// that is not a whole number of track entries from 1 to kMaxTracks.
std::optional<AlbumSections> LocateSections(std::int64_t size, const AlbumTrailer& trailer);

enum class ItemKind { Track, Lyrics, Picture, Other };

/// The kind of a path or list line, from its last four characters upper-cased:
/// ".MP3" track, ".TXT" lyrics, ".JPG" or ".GIF" picture.
ItemKind KindOf(std::string_view pathOrText);

/// True for album files: the upper-cased path contains "_LB.MP3".
bool IsAlbumFileName(std::string_view path);

}  // namespace album
