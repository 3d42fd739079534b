#pragma once
// Little-endian integers at explicit offsets of a byte buffer (and the big-endian ones of MP3
// headers).

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace base {

using Bytes = std::vector<std::uint8_t>;

inline void PutLE16(std::span<std::uint8_t> out, std::size_t offset, std::int16_t value) {
  const auto v = static_cast<std::uint16_t>(value);
  out[offset] = static_cast<std::uint8_t>(v & 0xFFu);
  out[offset + 1] = static_cast<std::uint8_t>(v >> 8);
}

inline void PutLE32(std::span<std::uint8_t> out, std::size_t offset, std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  for (std::size_t i = 0; i < 4; ++i) out[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline std::int16_t GetLE16(std::span<const std::uint8_t> in, std::size_t offset) {
  const auto v = static_cast<std::uint16_t>(in[offset] | (in[offset + 1] << 8));
  return static_cast<std::int16_t>(v);
}

inline std::int32_t GetLE32(std::span<const std::uint8_t> in, std::size_t offset) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(in[offset + i]) << (8 * i);
  return static_cast<std::int32_t>(v);
}

inline std::uint32_t GetBE32(std::span<const std::uint8_t> in, std::size_t offset) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | in[offset + i];
  return v;
}

}  // namespace base
