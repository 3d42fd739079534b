#pragma once
// One folder of a collection made into an album: the plan of every folder's album first (the
// names, which must not clash), then one job per folder, which may run in parallel.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "album/albumwriter.h"

namespace collection {

class LameLibrary;

/// A folder's album as planned before any is made.
struct FolderPlan {
  std::filesystem::path folder;
  std::vector<std::string> entries;  ///< the contents list by the folder rule
  album::AlbumDetails details;       ///< the proposals of the tracks' tags and names
  std::filesystem::path album;       ///< empty when no album can be named
  std::string reason;                ///< why not, when `album` is empty
};

/// Plans the albums of `folders`: each folder's contents as "Add Folder Contents" gathers them,
/// the details the details window proposes, and the album named as its save dialog proposes,
/// beside the folder or in `outFolder` when not empty. A name taken by an earlier folder gets
/// " (2)", " (3)" ... after the album title.
std::vector<FolderPlan> PlanFolders(const std::vector<std::filesystem::path>& folders,
                                    const std::filesystem::path& outFolder);

/// What a folder job takes.
struct FolderJobInput {
  FolderPlan plan;
  bool convert = false;  ///< convert the tracks the quality check refuses
  bool force = false;    ///< make the album even when it is newer than the folder
};

enum class FolderStatus { Made, Skipped, Failed, Stopped };

/// "made", "skipped", "failed", "stopped".
std::string_view FolderStatusName(FolderStatus status);

struct FolderResult {
  FolderStatus status = FolderStatus::Made;
  std::string reason;                  ///< why skipped, failed or stopped; warnings when made
  std::size_t tracks = 0;              ///< tracks in the album made
  std::vector<std::string> converted;  ///< file names of the tracks converted
  std::int64_t bytes = 0;              ///< bytes written (album and converted tracks)
};

/// What a job asks of the one who runs it.
class JobControl {
 public:
  virtual ~JobControl() = default;
  /// True once the job is to stop at its next chunk.
  [[nodiscard]] virtual bool Stopped() = 0;
};

/// The reason of a folder skipped because its album is up to date.
inline constexpr std::string_view kUpToDateReason =
    "the album is newer than every file of the folder";

/// The reason of a folder skipped because an album older than some of its files is there.
inline constexpr std::string_view kOlderAlbumReason =
    "an album of that name exists and is older than the folder; --force replaces it";

/// Makes the album of one planned folder. Skipped when no album can be named, when its album
/// exists (unless `force`; the reason tells an up-to-date album from an older one), or when the
/// contents are refused (by the quality check, the order rules or the track table). An album is
/// written whole or not at all. `encoder` may be null
/// without `convert`.
[[nodiscard]] FolderResult RunFolderJob(const FolderJobInput& input, const LameLibrary* encoder,
                                        JobControl& control);

}  // namespace collection
