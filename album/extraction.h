#pragma once
// Extracting the items chosen on an album's item list: which bytes go where, when the album
// may be deleted afterwards, and what the user is told at the end.

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "album/archive.h"
#include "base/progress.h"

namespace album {

inline constexpr std::string_view kExtractionCompletedMessage = "File(s) Extraction Completed.";
inline constexpr std::string_view kNothingExtractedMessage = "No File Was Extracted.";
/// Before an extraction over files that exist: the question, then one name a line.
inline constexpr std::string_view kExistingFilesQuestion =
    "These File(s) Exist Already In The Folder. Replace Them, Or Keep Them And Skip Their "
    "Items ?";
inline constexpr std::string_view kReplaceButton = "Replace";
inline constexpr std::string_view kKeepButton = "Keep";
/// Put before the name of a file that was kept, at the end.
inline constexpr std::string_view kKeptFilePrefix = "Kept, Not Extracted : ";
inline constexpr std::string_view kAlbumKeptMessage =
    "The Album Was Not Deleted, Because Not Every Selected Item Was Extracted.";

/// What an extraction did.
struct ExtractionResult {
  std::size_t selected = 0;
  std::vector<std::filesystem::path> written;
  /// One line per selected item that was not extracted, naming it and the cause.
  std::vector<std::string> failures;
  /// The file names of selected items skipped because a file of that name was kept.
  std::vector<std::string> kept;
};

/// The file names in `folder` that the selected items would replace: files there before the
/// run (never the album itself, which an item does not replace), each named once.
[[nodiscard]] std::vector<std::string> ExistingTargets(base::ByteSource& source,
                                                       const std::vector<ArchiveItem>& items,
                                                       const std::vector<bool>& selected,
                                                       const std::filesystem::path& folder);

/// Extracts every item of `items` whose flag in `selected` is set into `folder`, in list order.
/// Each item's kind and place come from the album's own records (never from the text its line
/// shows). Existing files are replaced as `replace` allows (see Extraction); where it does not,
/// their items are kept. Selected items after a stop count as not extracted.
[[nodiscard]] ExtractionResult ExtractSelected(base::ByteSource& source,
                                               const std::vector<ArchiveItem>& items,
                                               const std::vector<bool>& selected,
                                               const std::filesystem::path& folder,
                                               const base::Progress& progress = {},
                                               base::Replace replace = base::Replace::Allowed);

/// True when every selected item was extracted: only then may the album be deleted.
bool MayDeleteAlbum(const ExtractionResult& result);

/// The text shown when the extraction has ended: the completion message (or, when nothing was
/// extracted, that nothing was), then the items that failed, the files kept, and whether an
/// album that was to be deleted was kept.
std::string ExtractionCompletionText(const ExtractionResult& result, bool deleteAlbum);

}  // namespace album
