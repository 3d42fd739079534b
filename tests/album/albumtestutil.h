#pragma once
// Building albums from files made in a temporary folder.

#include <string>
#include <vector>

#include "album/albumwriter.h"
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

}  // namespace album::testing
