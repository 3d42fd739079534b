#include "compose/listentries.h"

namespace compose {

std::optional<std::size_t> MoveEntry(std::vector<std::string>& entries, std::ptrdiff_t dragFrom,
                                     std::ptrdiff_t target) {
  const auto size = static_cast<std::ptrdiff_t>(entries.size());
  if (dragFrom < 0 || target < 0 || dragFrom >= size || target >= size || dragFrom == target) {
    return std::nullopt;
  }
  // Insert a copy, then remove the original: the moved entry ends at the target's index.
  const std::string text = entries[static_cast<std::size_t>(dragFrom)];
  if (dragFrom < target) {
    entries.insert(entries.begin() + target + 1, text);
    entries.erase(entries.begin() + dragFrom);
  } else {
    entries.insert(entries.begin() + target, text);
    entries.erase(entries.begin() + dragFrom + 1);
  }
  return static_cast<std::size_t>(target);
}

bool RemoveEntry(std::vector<std::string>& entries, std::ptrdiff_t index) {
  if (index < 0 || index >= static_cast<std::ptrdiff_t>(entries.size())) return false;
  entries.erase(entries.begin() + index);
  return true;
}

}  // namespace compose
