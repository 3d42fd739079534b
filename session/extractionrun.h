#pragma once
// One extraction run over the chosen items of an album or AlbumWrap archive, for every front
// end: the question about files already in the folder, the copies (never one over another of
// the same run, nor over the album), the counters, the deletion of the album when every chosen
// item was extracted, and the texts the user is told.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "album/archive.h"

namespace session {

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

/// What a run takes. The source and the items stay the caller's and must outlive the run.
struct ExtractionInput {
  base::ByteSource* source = nullptr;
  const std::vector<album::ArchiveItem>* items = nullptr;
  /// Indexes into `items`, in the order they are extracted.
  std::vector<std::size_t> chosen;
  std::filesystem::path folder;
  /// The album to delete once every chosen item was extracted; empty: none.
  std::filesystem::path deleteAfter;
};

/// How one chosen item ended.
enum class ItemStatus {
  Written,     ///< under its own name
  Renamed,     ///< under a free numbered name: the album or an earlier item has its own
  Kept,        ///< a file of its name was there and was not to be replaced
  Failed,      ///< not extracted; `text` says why
  NotReached,  ///< the run was stopped before it
};

struct ItemOutcome {
  std::size_t index = 0;  ///< into the items
  ItemStatus status = ItemStatus::Failed;
  std::filesystem::path path;  ///< written, or where it would have gone
  /// Renamed: the note that says so; Kept and Failed: the file and the cause.
  std::string text;
  bool extracted() const { return status == ItemStatus::Written || status == ItemStatus::Renamed; }
};

/// What a run did.
struct ExtractionResult {
  std::vector<ItemOutcome> items;  ///< one per chosen item, in the order of the run
  bool albumDeleted = false;
  /// kAlbumKeptMessage when the album was to be deleted and was kept.
  std::string albumKept;
  /// "Cannot Delete NAME : cause" when the album was to go and could not.
  std::string deleteFailure;

  std::size_t Extracted() const;
  /// True when every chosen item was extracted: only then may the album be deleted.
  bool MayDeleteAlbum() const;
  /// The text shown at the end: the completion message (or, when nothing was extracted, that
  /// nothing was), the items renamed, the items that failed, the files kept, and whether an
  /// album that was to be deleted was kept.
  std::string CompletionText() const;
};

/// What a run asks of its front end.
class ExtractionFrontEnd {
 public:
  virtual ~ExtractionFrontEnd() = default;
  /// Called after each chosen item with the list line reached (1-based) of the list's lines,
  /// and once with both equal at the end; false stops the run there.
  [[nodiscard]] virtual bool Progress(int line, int lines) {
    (void)line;
    (void)lines;
    return true;
  }
  /// Called as each chosen item ends.
  virtual void ItemEnded(const ItemOutcome& outcome) { (void)outcome; }
};

/// The question about files already in the folder, with one name a line.
std::string ExistingFilesQuestion(const std::vector<std::string>& names);

/// The note for an item written under a free name (as the command line prints it too).
std::string RenamedNote(std::size_t index, const std::filesystem::path& written);

class ExtractionRun {
 public:
  explicit ExtractionRun(ExtractionInput input) : m_input(std::move(input)) {}

  /// The file names in the folder that the chosen items would replace: files there before the
  /// run (never the album itself, which an item does not replace), each named once. A front
  /// end asks about them (ExistingFilesQuestion) before Run, on a thread that may ask.
  [[nodiscard]] std::vector<std::string> ExistingFiles() const;

  /// Extracts the chosen items. Files already there are replaced only with
  /// base::Replace::Allowed (the user's answer), and never one the user may not write.
  /// Chosen items after a stop are NotReached. Deletes the album when asked to and every
  /// chosen item was extracted.
  [[nodiscard]] ExtractionResult Run(ExtractionFrontEnd& frontEnd,
                                     base::Replace replace = base::Replace::Never) const;

 private:
  ExtractionInput m_input;
};

}  // namespace session
