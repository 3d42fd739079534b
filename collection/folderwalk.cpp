#include "collection/folderwalk.h"

#include <sys/stat.h>

#include <algorithm>
#include <set>
#include <utility>

#include "album/albumformat.h"
#include "base/fileio.h"
#include "compose/contentslist.h"

namespace collection {
namespace {

using FolderId = std::pair<dev_t, ino_t>;

struct Walker {
  FolderWalk walk;
  std::set<FolderId> seen;

  void Visit(const std::filesystem::path& folder) {
    struct stat info {};
    // A folder reached again (a link back up, or a second link to it) is not walked twice.
    if (stat(folder.c_str(), &info) != 0 || !seen.insert({info.st_dev, info.st_ino}).second) {
      return;
    }
    std::error_code error;
    std::filesystem::directory_iterator it(folder, error);
    if (error) {
      walk.unreadable.push_back({folder, error.message()});
      return;
    }
    bool tracks = false;
    std::vector<std::filesystem::path> children;
    for (; it != std::filesystem::directory_iterator(); it.increment(error)) {
      if (error) {
        walk.unreadable.push_back({folder, error.message()});
        return;
      }
      const std::filesystem::directory_entry& entry = *it;
      const std::string name = entry.path().filename().string();
      if (name.starts_with('.')) continue;
      std::error_code statusError;
      const auto status = entry.status(statusError);  // links followed
      if (std::filesystem::is_directory(status)) {
        children.push_back(entry.path());
      } else if (std::filesystem::is_regular_file(status) && compose::IsAcceptablePath(name) &&
                 album::KindOf(name) == album::ItemKind::Track) {
        tracks = true;
      }
    }
    if (tracks) walk.folders.push_back(folder);
    std::sort(children.begin(), children.end());
    for (const auto& child : children) Visit(child);
  }
};

}  // namespace

FolderWalk FindTrackFolders(const std::filesystem::path& root) {
  Walker walker;
  walker.Visit(root);
  return std::move(walker.walk);
}

}  // namespace collection
