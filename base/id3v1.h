#pragma once
// The ID3v1.1 tag at the end of an MP3 file: 128 bytes, fields of fixed width in Windows-1252.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/text.h"

namespace base::id3v1 {

struct Field {
  std::size_t offset;
  std::size_t width;
};

inline constexpr std::size_t kSize = 128;
inline constexpr Field kIdentifier{0, 3};  ///< "TAG"
inline constexpr Field kTitle{3, 30};
inline constexpr Field kArtist{33, 30};
inline constexpr Field kAlbum{63, 30};
inline constexpr Field kYear{93, 4};
inline constexpr Field kComment{97, 28};  ///< ID3v1.1: 28 bytes, then a zero and the track
inline constexpr std::size_t kZeroOffset = 125;
inline constexpr std::size_t kTrackOffset = 126;
inline constexpr std::size_t kGenreOffset = 127;
inline constexpr std::string_view kMarker = "TAG";

/// Whether 128 bytes start with the tag's marker.
inline bool IsTag(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= kSize &&
         std::equal(kMarker.begin(), kMarker.end(), bytes.begin(),
                    [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

inline void Put(std::span<std::uint8_t> tag, Field field, std::string_view utf8) {
  PutField(tag, field.offset, field.width, utf8);
}

inline std::string Get(std::span<const std::uint8_t> tag, Field field) {
  return GetField(tag, field.offset, field.width);
}

}  // namespace base::id3v1
