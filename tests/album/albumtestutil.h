#pragma once
// Building albums from files made in a temporary folder.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "album/albumwriter.h"
#include "base/bytes.h"
#include "base/fileio.h"
#include "tests/support/testsupport.h"

namespace album::testing {

struct Source {
  std::string name;  ///< relative to the folder; folders are created
  testsupport::Bytes data;
  std::int32_t firstFrame = 1;  ///< MP3s only
  std::string title = "Title";
  std::string storedName;  ///< the track table's FileName, when not the file's own name
};

/// Writes the sources and an album of them; returns the result.
inline WriteResult MakeAlbum(const testsupport::ScopedTempDir& dir,
                             const std::vector<Source>& sources,
                             const std::filesystem::path& output, AlbumDetails details = {},
                             std::vector<TitleCorrection> corrections = {},
                             WriteProgress progress = {}) {
  std::vector<AlbumItem> items;
  std::size_t tracks = 0;
  for (const Source& source : sources) {
    const auto path = dir / source.name;
    std::filesystem::create_directories(path.parent_path());
    testsupport::WriteFile(path, source.data);
    if (KindOf(source.name) != ItemKind::Track) {
      items.push_back(FileItem(path.string()));
      continue;
    }
    const TrackEntry track{1000 + static_cast<std::int32_t>(tracks), 0,
                           source.storedName.empty() ? path.filename().string() : source.storedName,
                           source.title};
    items.push_back(
        TrackItem(path.string(), source.firstFrame, track,
                  tracks < corrections.size() ? corrections[tracks] : TitleCorrection{}));
    ++tracks;
  }
  if (details.tracks.empty()) details.tracks = std::to_string(tracks);
  return WriteAlbum(output, items, details, progress);
}

/// One item of an AlbumWrap archive: its stored name and bytes.
struct WrapItem {
  std::string name;
  base::Bytes data;
};

/// An archive laid out as AlbumWrap writes it: ID3v2 frames in the header (title "Wrapped
/// Album", artist "Some Artist", comment `author`, and a frame the reader passes over), the
/// marker, the 12-character count (`countText`, else the number of items), one 501-byte record
/// per item, then the items' bytes.
inline base::Bytes MakeWrap(const std::vector<WrapItem>& items, std::string countText = "",
                            std::string_view author = "Wrapper") {
  base::Bytes out = {'I', 'D', '3', 3, 0, 0, 0, 0, 0x0A, 0x23};
  const auto frame = [&out](std::string_view id, std::string_view text) {
    // ID3v2.3 frame: id, big-endian size, flags, encoding byte 0, text.
    const auto size = static_cast<std::uint32_t>(text.size() + 1);
    out.insert(out.end(), id.begin(), id.end());
    for (int shift = 24; shift >= 0; shift -= 8)
      out.push_back(static_cast<std::uint8_t>(size >> shift));
    out.insert(out.end(), {0, 0, 0});
    out.insert(out.end(), text.begin(), text.end());
  };
  frame("TIT2", "Wrapped Album");
  frame("TPE1", "Some Artist");
  frame("COMM", author);
  frame("TXXX", "ignored");
  const std::string marker = "[][] AlbumWrap [][]";
  out.insert(out.end(), marker.begin(), marker.end());
  out.resize(1325, 0);
  if (countText.empty()) countText = std::to_string(items.size());
  countText.resize(12, ' ');
  out.insert(out.end(), countText.begin(), countText.end());
  for (const WrapItem& item : items) {
    char size[32];
    std::snprintf(size, sizeof size, "%.4f", static_cast<double>(item.data.size()) / 10000.0);
    std::string record = std::string(size) + "[][]x[][]" + item.name + "[][]";
    record.resize(501, ' ');
    out.insert(out.end(), record.begin(), record.end());
  }
  for (const WrapItem& item : items) out.insert(out.end(), item.data.begin(), item.data.end());
  return out;
}

}  // namespace album::testing
