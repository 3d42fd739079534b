#pragma once
// Writing an album file from its contents list, track table and details.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "album/albumformat.h"
#include "base/fileio.h"
#include "base/progress.h"

namespace album {

/// The details as the details window holds them (UTF-8).
struct AlbumDetails {
  std::string albumTitle;
  std::string artist;
  std::string year;
  std::string completeness;
  std::string tracks;  ///< converted to a number by its leading digits
};

/// A track line of the details window: ticked means "the title is the part after the
/// separator".
struct TitleCorrection {
  bool ticked = false;
  std::string lineText;
};

inline constexpr std::string_view kTrackLineSeparator = "   -   ";

/// The title a ticked track line stands for: the text after the last separator.
std::string CorrectedTitle(std::string_view lineText);

/// Progress of a write: rising values of items + 2 steps; the return value is not heeded (a
/// write runs to its end or its failure).
using WriteProgress = base::Progress;

/// One entry of the album's contents, in list order.
struct AlbumItem {
  ItemKind kind = ItemKind::Other;
  std::string path;  ///< UTF-8
  /// Tracks: the 1-based position of the first frame (1 or less: the file is copied whole).
  std::int32_t firstFramePosition = 1;
  /// Tracks: PlayLength, FileName and SongTitle (AudioBytes is the writer's).
  TrackEntry track;
  /// Tracks: the track line, and whether its title is corrected.
  TitleCorrection correction;
};

/// A track item.
AlbumItem TrackItem(std::string path, std::int32_t firstFramePosition, TrackEntry track,
                    TitleCorrection correction = {});

/// A picture or lyrics item (or any other, which the album leaves out); the kind from the name.
AlbumItem FileItem(std::string path);

enum class WriteStatus {
  Ok,
  TrackCount,        ///< no track, or more than the track numbers can count
  TracksOutOfRange,  ///< the tracks value does not fit a byte
  TooLarge,          ///< a size does not fit the format's 32-bit fields
  CannotCreate,      ///< the output could not be created
  SourceUnreadable,  ///< an MP3 could not be opened or read
  WriteFailed,       ///< writing or moving the output into place failed
  TargetExists,      ///< a file of the output's name appeared meanwhile and was kept
  Stopped,           ///< the progress callback asked to stop; nothing was kept
};

struct WriteResult {
  WriteStatus status = WriteStatus::Ok;
  /// What failed, naming the file and the cause (empty on success).
  std::string error;
  /// Pictures or lyrics that could not be read: the system's description of each failure.
  /// The block they belong to ends there; writing goes on.
  std::vector<std::string> warnings;
  bool ok() const { return status == WriteStatus::Ok; }
};

/// Writes the album of `items` (in list order) to `output`. The file appears only when
/// complete; on failure nothing is left behind. A file of that name is replaced only with
/// Replace::Allowed (the user agreed); with Replace::Never one that appeared during the writing
/// is kept (TargetExists).
[[nodiscard]] WriteResult WriteAlbum(const std::filesystem::path& output,
                                     const std::vector<AlbumItem>& items,
                                     const AlbumDetails& details, const WriteProgress& progress,
                                     base::Replace replace = base::Replace::Allowed);

/// Writes the same bytes as WriteAlbum into `out`; `outputName` names the output in messages.
/// What was written before a failure stays in `out`.
[[nodiscard]] WriteResult WriteAlbumTo(base::ByteSink& out, std::string_view outputName,
                                       const std::vector<AlbumItem>& items,
                                       const AlbumDetails& details, const WriteProgress& progress);

/// The tracks value as stored in the tag, or nothing when it does not fit a byte.
std::optional<std::uint8_t> TracksByte(std::string_view tracks);

/// The message for a tracks value that does not fit a byte.
std::string TracksValueMessage(std::string_view tracks);

}  // namespace album
