#pragma once
// Album creation, for every front end: the contents list's checks (quality, then the order
// rules), the track table and proposals, the details, and the write. The windows ask for the
// details and the file name between the steps; the command line, the demo and the collection
// run them all at once (CreateAlbum) and answer through a CreationFrontEnd.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "album/albumwriter.h"
#include "compose/contentslist.h"
#include "compose/tracktable.h"
#include "media/mediadevice.h"

namespace session {

inline constexpr std::string_view kEntriesRequiredMessage =
    "All Entries Must Be Filled To Continue";
inline constexpr std::string_view kAlbumCreatedMessage = "Album Created Successfully !";

/// The checks before the details: the quality check, and the order rules when it passed.
struct ContentsVerdict {
  compose::QualityResult quality;
  compose::OrderError order = compose::OrderError::None;
  bool ok() const { return quality.passed && order == compose::OrderError::None; }
  /// What to tell the user when not ok: the quality check's message, else the order rule's.
  std::string Message() const;
};

enum class CreationStatus {
  Made,
  Refused,           ///< the quality check or the order rules refused the contents
  NonStandardTrack,  ///< a track's playing time is 0
  DetailsMissing,    ///< a required detail is empty
  TracksValue,       ///< the tracks value does not fit a byte
  Cancelled,         ///< the front end gave no details or refused to replace the output
  Stopped,           ///< asked to stop; nothing was kept
  Failed,            ///< the write failed; nothing was kept
};

/// The answer of the checks of the details, before the output is chosen.
struct DetailsCheck {
  CreationStatus status = CreationStatus::Made;
  std::string message;
  bool ok() const { return status == CreationStatus::Made; }
};

/// One album in the making. Copyable, so that a worker can write from its own copy.
class AlbumCreation {
 public:
  /// The quality check (rejected entries of `list` are rewritten) and then the order rules.
  /// When they pass, the creation holds the list's items.
  [[nodiscard]] ContentsVerdict Check(
      compose::ContentsList& list, const compose::HeaderAnalyser& analyse = compose::AnalyseFile);

  /// Reads every track of the checked items: lengths through `device`, titles, proposals.
  const compose::PreparedAlbum& Prepare(media::MediaDevice& device,
                                        const base::Progress& progress = {});

  const compose::PreparedAlbum& Prepared() const { return m_prepared; }
  const std::vector<album::AlbumItem>& Items() const { return m_items; }

  /// In this order: a track that could not be timed (the window closes then), a required detail
  /// that is empty, a tracks value that does not fit a byte.
  [[nodiscard]] DetailsCheck CheckDetails(const album::AlbumDetails& details) const;

  /// Writes the album to `output` (see album::WriteAlbum), the titles of the `ticked` track
  /// lines corrected.
  [[nodiscard]] album::WriteResult Write(const std::filesystem::path& output,
                                         const album::AlbumDetails& details,
                                         const std::vector<bool>& ticked,
                                         const album::WriteProgress& progress,
                                         base::Replace replace) const;

 private:
  std::vector<album::AlbumItem> m_items;
  compose::PreparedAlbum m_prepared;
};

enum class CreationStep { ReadingTracks, Writing };

/// What CreateAlbum asks of its front end.
class CreationFrontEnd {
 public:
  virtual ~CreationFrontEnd() = default;
  /// The details to write from the proposals, and the track lines to tick (one flag per line);
  /// nothing cancels (the front end has said why).
  virtual std::optional<album::AlbumDetails> Details(const compose::PreparedAlbum& prepared,
                                                     std::vector<bool>& ticked) = 0;
  /// Where the album of these details goes.
  virtual std::filesystem::path Output(const album::AlbumDetails& details) = 0;
  /// `output` exists (a symlink to nothing counts): true replaces it.
  [[nodiscard]] virtual bool ReplaceExisting(const std::filesystem::path& output) = 0;
  /// Progress of a step; false stops the creation.
  [[nodiscard]] virtual bool Progress(CreationStep step, int done, int total) {
    (void)step;
    (void)done;
    (void)total;
    return true;
  }
};

/// What CreateAlbum did.
struct CreationResult {
  CreationStatus status = CreationStatus::Made;
  /// kAlbumCreatedMessage, or what refused or failed.
  std::string message;
  ContentsVerdict verdict;
  std::filesystem::path output;
  std::size_t tracks = 0;
  /// Pictures or lyrics left out of the album (see album::WriteResult).
  std::vector<std::string> warnings;
  bool ok() const { return status == CreationStatus::Made; }
};

/// The whole creation of the album of `list`, the details and the output from `frontEnd`.
[[nodiscard]] CreationResult CreateAlbum(compose::ContentsList& list, media::MediaDevice& device,
                                         CreationFrontEnd& frontEnd);

}  // namespace session
