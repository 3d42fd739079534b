#pragma once
// Reordering and removing entries of a list as both file lists (the album contents and the WAV
// files) do under the mouse and the keyboard.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace compose {

/// Moves the entry at `dragFrom` to `target`, as a list reorders under the mouse: the moved
/// entry ends at the target's index. Nothing (and no change) when either index is outside the
/// list or both are equal.
std::optional<std::size_t> MoveEntry(std::vector<std::string>& entries, std::ptrdiff_t dragFrom,
                                     std::ptrdiff_t target);

/// Removes the entry at `index`; false (and no change) when there is none.
bool RemoveEntry(std::vector<std::string>& entries, std::ptrdiff_t index);

}  // namespace compose
