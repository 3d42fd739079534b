#pragma once
// Positions the user sees and the stored formats count from 1; byte offsets count from 0.

#include <cstdint>

namespace base {

/// The 1-based position of the byte at a 0-based offset.
constexpr std::int64_t PositionOf(std::int64_t offset) {
  return offset + 1;
}

/// The 0-based offset of a 1-based position.
constexpr std::int64_t OffsetOf(std::int64_t position) {
  return position - 1;
}

}  // namespace base
