#pragma once
// The encoder window's list of WAV files apart from the window: what may be added or dropped,
// reordering, and the duplicates removed before a run.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "compose/contentslist.h"
#include "compose/listentries.h"

namespace compose {

/// WAV file paths (UTF-8) in list order. Duplicates may be added; a run removes them.
class WaveList {
 public:
  /// A path the add dialog may add: its last four characters, upper-cased, are ".WAV".
  static bool IsWaveName(std::string_view path);
  /// A drop is taken only when every path, upper-cased, holds ".WAV" somewhere: a loose test,
  /// so "My.Wavs/song.mp3" passes and fails later, when it is encoded, with its cause.
  static bool CanDrop(const std::vector<std::string>& paths);

  /// Appends `path` when IsWaveName; true when appended.
  [[nodiscard]] bool AddFile(std::string_view path);
  /// Appends folder + "/" + name for every plain file of `folder` with a WAV name, in the
  /// order the lister gives them; the number appended, or nothing (with `error` set) when the
  /// folder cannot be read.
  [[nodiscard]] std::optional<std::size_t> AddFolder(std::string_view folder,
                                                     const FolderLister& lister,
                                                     std::string& error);
  /// Appends every path when CanDrop; true when appended.
  [[nodiscard]] bool Drop(const std::vector<std::string>& paths);
  /// Removes the entry at `index`; false when there is none.
  bool Remove(std::ptrdiff_t index);
  std::optional<std::size_t> Reorder(std::ptrdiff_t dragFrom, std::ptrdiff_t target) {
    return MoveEntry(m_entries, dragFrom, target);
  }
  /// Removes every entry equal (case counted) to one above it.
  void RemoveDuplicates();
  void Clear() { m_entries.clear(); }

  const std::vector<std::string>& Entries() const { return m_entries; }
  bool Empty() const { return m_entries.empty(); }

 private:
  std::vector<std::string> m_entries;
};

}  // namespace compose
