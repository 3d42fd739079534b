#pragma once
// Album creation in its steps, for every front end: the checks of the contents list (quality,
// then order rules), the track table (PrepareTrackTable, CheckTrackTable) and the write. The
// window asks for the details between the steps; the command line and the demo take them as
// given.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "album/albumwriter.h"
#include "base/fileio.h"
#include "compose/contentslist.h"
#include "compose/tracktable.h"

namespace compose {

/// The checks before the details: the quality check, and the order rules when it passed.
struct ContentsVerdict {
  QualityResult quality;
  OrderError order = OrderError::None;
  bool ok() const { return quality.passed && order == OrderError::None; }
  /// What to tell the user when not ok: the quality check's message, else the order rule's.
  std::string Message() const;
};

/// Runs the quality check on `list` (rewriting rejected entries) and then the order rules.
[[nodiscard]] ContentsVerdict CheckContents(ContentsList& list,
                                            const HeaderAnalyser& analyse = AnalyseFile);

/// Writes the album of a checked list: each MP3 from its first frame (`firstFramePositions`,
/// one per MP3 as QualityResult::WriterPositions gives them), the titles of the `ticked` track
/// lines corrected.
[[nodiscard]] album::WriteResult WriteComposedAlbum(
    const std::filesystem::path& output, const std::vector<std::string>& entries,
    const std::vector<std::int32_t>& firstFramePositions, const PreparedAlbum& prepared,
    const std::vector<bool>& ticked, const album::AlbumDetails& details,
    const album::WriteProgress& progress, base::Replace replace);

}  // namespace compose
