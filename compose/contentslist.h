#pragma once
// The album contents list: the ordered paths of an album's tracks, lyrics and pictures, the
// rules by which entries are added, moved and removed, the bitrate quality check and the order
// rules. A list widget mirrors Entries() after each operation and shows the `message` of its
// result, when there is one, in a message box.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "album/albumwriter.h"
#include "mp3header/mp3header.h"

namespace compose {

inline constexpr std::string_view kDuplicateItemMessage =
    "Could Not Add Item, Duplicate Name Found";
inline constexpr std::string_view kDuplicateFolderItemsMessage =
    "Item(s) Were Not Added Due To Duplicate Names";
inline constexpr std::string_view kDuplicateDropMessage =
    "Could Not Add Some Item(s), Duplicate Name Found";
inline constexpr std::string_view kQualityCheckFailedMessage =
    "Bitrate quality check of some MP3's failed (ckeck list).";
inline constexpr std::string_view kRejectedVbrPrefix = "Rejected Quality - Variable Bitrate MP3 : ";
inline constexpr std::string_view kRejectedBitratePrefix = "Rejected Quality - Non 128 kbps (";
inline constexpr std::string_view kRejectedUnreadablePrefix = "Rejected - File Cannot Be Read : ";

/// Enumerates the plain files of a folder.
class FolderLister {
 public:
  virtual ~FolderLister() = default;
  /// The names (not paths) of the folder's plain files, hidden ones left out, in the order the
  /// file system lists them. Nothing when the folder cannot be read, with the reason in `error`.
  virtual std::optional<std::vector<std::string>> PlainFileNames(std::string_view folder,
                                                                 std::string& error) const = 0;
};

/// The real file system: regular files (symbolic links followed), names starting with "." are
/// hidden. Names are UTF-8.
class FileSystemLister final : public FolderLister {
 public:
  std::optional<std::vector<std::string>> PlainFileNames(std::string_view folder,
                                                         std::string& error) const override;
};

/// What an adding operation did.
struct AddResult {
  std::size_t added = 0;   ///< entries appended at the end of the list
  bool duplicate = false;  ///< at least one path was already listed and was left out
  bool refused = false;    ///< nothing was considered (unacceptable path or unreadable folder)
  bool enableMakeAlbum = false;  ///< "Make Album ..." becomes enabled (it is never disabled here)
  std::string message;           ///< the message to show, or empty
  std::string error;  ///< an unreadable folder: the system's reason (for "FOLDER : reason")
};

/// One entry of the list that the quality check rejected.
struct Rejection {
  std::size_t index = 0;
  std::string path;  ///< the entry's text before it was rewritten
  mp3header::AnalyseStatus status = mp3header::AnalyseStatus::Ok;
  mp3header::MP3HeaderInfo info;
};

/// What the quality check found.
struct QualityResult {
  bool passed = true;
  /// The album's items in list order, each track with the first-frame position its analysis
  /// found; whole only when the check passed (a rejected track has none).
  std::vector<album::AlbumItem> items;
  std::vector<Rejection> rejections;  ///< in list order
  std::string message;                ///< kQualityCheckFailedMessage when not passed
};

/// The order-rule errors; the value is the error number of the rules.
enum class OrderError {
  None = 0,
  LyricsFirst = 1,
  ConsecutiveLyrics = 2,
  LyricsAfterGraphics = 3,
  NoMusic = 4,
};

/// The message of an order-rule error (empty for None).
std::string_view OrderErrorMessage(OrderError error);

/// The order rules over list texts in order: every lyrics file directly after a music file,
/// at least one music file.
OrderError CheckOrderRules(const std::vector<std::string>& entries);

/// The analysis that the quality check runs on each MP3 (AnalyseMP3 by default).
using HeaderAnalyser =
    std::function<mp3header::AnalyseStatus(const std::string& path, mp3header::MP3HeaderInfo&)>;

/// Runs the real frame analysis on a UTF-8 path.
[[nodiscard]] mp3header::AnalyseStatus AnalyseFile(const std::string& path,
                                                   mp3header::MP3HeaderInfo& info);

/// The rewritten text of a rejected entry: the unreadable text when the file could not be
/// opened, the variable-bitrate text when `isVbr`, else the bitrate text with `bitrate` in
/// decimal digits; each ends with the entry's file name.
std::string RejectionText(std::string_view entry, mp3header::AnalyseStatus status, bool isVbr,
                          std::int16_t bitrate);

/// True for a path that may go into the list: a track, lyrics or picture kind, and not an
/// album file.
bool IsAcceptablePath(std::string_view path);

/// An entry that cannot be read as a plain file.
struct UnreadableEntry {
  std::size_t index = 0;
  std::string error;  ///< the system's reason
};

/// The entries that are not plain files that can be opened for reading, in list order. (The
/// window finds these later: the quality check rejects such an MP3, and the writer leaves out
/// such a picture or lyrics file with a warning.)
std::vector<UnreadableEntry> FindUnreadable(const std::vector<std::string>& entries);

/// The contents list. Entries are full paths (UTF-8); index 0 is the top of the list.
class ContentsList {
 public:
  const std::vector<std::string>& Entries() const { return m_entries; }
  std::size_t Size() const { return m_entries.size(); }
  bool Empty() const { return m_entries.empty(); }

  /// True when an entry equals `text` as a whole, without regard to case.
  bool IsInList(std::string_view text) const;

  /// Adds one chosen file at the end. An album file or an unacceptable kind is ignored without
  /// a message (enableMakeAlbum stays false); a listed path gives kDuplicateItemMessage.
  [[nodiscard]] AddResult AddFile(std::string_view path);

  /// Adds a folder's contents: pictures first, then the tracks sorted by track number, each
  /// followed by the first lyrics file whose name contains its title key, then the remaining
  /// lyrics. Duplicates give kDuplicateFolderItemsMessage. `folder` may end with "/" or not.
  [[nodiscard]] AddResult AddFolder(std::string_view folder, const FolderLister& lister);

  /// Whether a drop of these paths is accepted: every path acceptable (IsAcceptablePath).
  static bool CanDrop(const std::vector<std::string>& paths);

  /// Adds dropped files in the given order. The whole drop is refused (nothing added, refused
  /// set) when one path is unacceptable; duplicates give kDuplicateDropMessage.
  [[nodiscard]] AddResult Drop(const std::vector<std::string>& paths);

  /// Moves the entry at `dragFrom` to `target` (the index under the mouse on release); the
  /// entries between shift by one. Returns the moved entry's new index (= target), or nothing
  /// when either index is outside the list or they are equal.
  std::optional<std::size_t> Reorder(std::ptrdiff_t dragFrom, std::ptrdiff_t target);

  /// Removes the entry at `index`; false (and no change) when there is none.
  bool Remove(std::ptrdiff_t index);

  void Clear();

  /// The bitrate quality check: analyses every MP3 entry with a fresh record; accepts 128 kbps
  /// constant bitrate only. Rejected entries are rewritten to their rejection texts; the check
  /// goes on after a rejection. After a failed check Locked() is true.
  [[nodiscard]] QualityResult QualityCheck(const HeaderAnalyser& analyse = AnalyseFile);

  /// The order rules over the current entries.
  OrderError CheckOrderRules() const { return compose::CheckOrderRules(m_entries); }

  /// True once a quality check has rewritten entries: the list can no longer be submitted
  /// (the window hides its add, remove and make buttons until it is opened again).
  bool Locked() const { return m_locked; }

 private:
  // Appends `path` unless it is listed; remembers a duplicate.
  void AppendUnlessListed(std::string path, AddResult& result);

  std::vector<std::string> m_entries;
  bool m_locked = false;
};

}  // namespace compose
