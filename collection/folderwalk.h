#pragma once
// Finding the folders of a collection that hold tracks.

#include <filesystem>
#include <string>
#include <vector>

namespace collection {

struct FolderWalk {
  /// Folders holding at least one MP3 that may go into an album, in name order (depth first).
  std::vector<std::filesystem::path> folders;
  struct Unreadable {
    std::filesystem::path folder;
    std::string error;  ///< the system's reason
  };
  /// Folders that could not be listed: whether they hold tracks is unknown.
  std::vector<Unreadable> unreadable;
};

/// Walks `root` and every folder under it. Hidden folders (".name") are passed over, symbolic
/// links to folders are followed but each folder is visited once (no loops), and album files
/// ("_LB.MP3") count as no tracks, so a folder of albums is passed over.
FolderWalk FindTrackFolders(const std::filesystem::path& root);

}  // namespace collection
