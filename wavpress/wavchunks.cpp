#include "wavpress/wavchunks.h"

#include <algorithm>
#include <span>
#include <string_view>

#include "base/bytes.h"

namespace wavpress {
namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatFloat = 3;
constexpr std::uint16_t kFormatALaw = 6;
constexpr std::uint16_t kFormatMuLaw = 7;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;

// fmt: tag(2) channels(2) rate(4) bytes per second(4) block align(2) bits(2); the extensible
// form adds cbSize(2) valid bits(2) channel mask(4) and the sub-format GUID(16), whose first two
// bytes are the plain tag and whose other fourteen are fixed.
constexpr std::size_t kPlainFmtSize = 16;
constexpr std::size_t kExtensibleFmtSize = 40;
constexpr std::size_t kSubFormatOffset = 24;
constexpr std::array<std::uint8_t, 14> kSubFormatTail = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                         0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

constexpr std::uint32_t kMaxRiffSize = 0xFFFFFFFFu;
constexpr std::uint16_t kMaxChannels = 64;

std::uint16_t U16(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(base::GetLE16(bytes, offset));
}
std::uint32_t U32(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return static_cast<std::uint32_t>(base::GetLE32(bytes, offset));
}
bool IsId(std::span<const std::uint8_t> bytes, std::size_t offset, std::string_view id) {
  return std::equal(id.begin(), id.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}
void PutId(std::span<std::uint8_t> out, std::size_t offset, std::string_view id) {
  std::copy(id.begin(), id.end(), out.begin() + static_cast<std::ptrdiff_t>(offset));
}

struct SampleFormat {
  std::uint16_t tag = 0;
  std::uint16_t channels = 0;
  std::uint32_t rate = 0;
  std::uint16_t bits = 0;
};

// Only formats whose frames are whole bytes of one layout are taken; the compressed ones need
// fields of their own that would reach the reader unchecked.
std::optional<SampleFormat> ParseFmt(std::span<const std::uint8_t> fmt) {
  if (fmt.size() < kPlainFmtSize) return std::nullopt;
  SampleFormat format{U16(fmt, 0), U16(fmt, 2), U32(fmt, 4), U16(fmt, 14)};
  if (format.tag == kFormatExtensible) {
    if (fmt.size() < kExtensibleFmtSize || U16(fmt, 16) < kExtensibleFmtSize - 18) {
      return std::nullopt;
    }
    if (!std::equal(kSubFormatTail.begin(), kSubFormatTail.end(),
                    fmt.begin() + kSubFormatOffset + 2)) {
      return std::nullopt;
    }
    format.tag = U16(fmt, kSubFormatOffset);
  }
  // libsndfile spins on thousands of channels; no WAV we could take has more than a few.
  if (format.channels == 0 || format.channels > kMaxChannels || format.rate == 0) {
    return std::nullopt;
  }
  bool known = false;
  switch (format.tag) {
    case kFormatPcm:
      known = format.bits == 8 || format.bits == 16 || format.bits == 24 || format.bits == 32;
      break;
    case kFormatFloat:
      known = format.bits == 32 || format.bits == 64;
      break;
    case kFormatALaw:
    case kFormatMuLaw:
      known = format.bits == 8;
      break;
    default:
      break;
  }
  // The block of one frame must fit its 16-bit field.
  if (!known || std::uint32_t{format.channels} * (format.bits / 8u) > 0xFFFFu) return std::nullopt;
  return format;
}

// RIFF size, then the fmt chunk with its sizes recomputed from the format, then the data size.
std::array<std::uint8_t, kCanonicalHeaderSize> CanonicalHeader(const SampleFormat& format,
                                                               std::uint32_t dataSize) {
  std::array<std::uint8_t, kCanonicalHeaderSize> header{};
  const auto blockAlign = static_cast<std::uint16_t>(format.channels * (format.bits / 8u));
  const std::uint64_t byteRate = std::uint64_t{format.rate} * blockAlign;
  PutId(header, 0, "RIFF");
  base::PutLE32(header, 4, static_cast<std::int32_t>(kCanonicalHeaderSize - 8 + dataSize));
  PutId(header, 8, "WAVE");
  PutId(header, 12, "fmt ");
  base::PutLE32(header, 16, static_cast<std::int32_t>(kPlainFmtSize));
  base::PutLE16(header, 20, static_cast<std::int16_t>(format.tag));
  base::PutLE16(header, 22, static_cast<std::int16_t>(format.channels));
  base::PutLE32(header, 24, static_cast<std::int32_t>(format.rate));
  base::PutLE32(header, 28,
                static_cast<std::int32_t>(std::min<std::uint64_t>(byteRate, kMaxRiffSize)));
  base::PutLE16(header, 32, static_cast<std::int16_t>(blockAlign));
  base::PutLE16(header, 34, static_cast<std::int16_t>(format.bits));
  PutId(header, 36, "data");
  base::PutLE32(header, 40, static_cast<std::int32_t>(dataSize));
  return header;
}

// The sub-chunks of a LIST body (after its 4-byte list type) each lie within it.
bool ListFits(base::ByteSource& file, std::int64_t offset, std::int64_t end) {
  std::array<std::uint8_t, 8> head{};
  while (end - offset >= 8) {
    if (!file.ReadAt(offset, head)) return false;
    const std::int64_t size = U32(head, 4);
    if (size > end - offset - 8) return false;
    offset += 8 + size + (size & 1);
  }
  return true;
}

}  // namespace

std::optional<WavLayout> WalkWav(base::ByteSource& file) {
  const std::int64_t fileSize = file.Size();
  std::array<std::uint8_t, 12> riff{};
  if (fileSize < 12 || !file.ReadAt(0, riff)) return std::nullopt;
  if (!IsId(riff, 0, "RIFF") || !IsId(riff, 8, "WAVE")) return std::nullopt;
  // Writers that stream often leave the RIFF size too large; what lies past a smaller one (a
  // tag appended later) is not ours to walk. Every chunk must lie within the file either way.
  const std::int64_t riffEnd = std::min<std::int64_t>(fileSize, 8 + std::int64_t{U32(riff, 4)});

  std::optional<SampleFormat> format;
  std::optional<WavLayout> layout;
  std::array<std::uint8_t, 8> head{};
  std::int64_t offset = 12;
  while (riffEnd - offset >= 8) {
    if (!file.ReadAt(offset, head)) return std::nullopt;
    const std::int64_t body = offset + 8;
    const std::int64_t size = U32(head, 4);
    if (size > fileSize - body) return std::nullopt;
    if (IsId(head, 0, "fmt ") && !format) {
      std::array<std::uint8_t, kExtensibleFmtSize> fmt{};
      const auto used = static_cast<std::size_t>(std::min<std::int64_t>(size, fmt.size()));
      if (!file.ReadAt(body, std::span(fmt).first(used))) return std::nullopt;
      format = ParseFmt(std::span(fmt).first(used));
      if (!format) return std::nullopt;
    } else if (IsId(head, 0, "data") && !layout) {
      layout = WavLayout{{}, body, size};
    } else if (IsId(head, 0, "LIST")) {
      if (size < 4 || !ListFits(file, body + 4, body + size)) return std::nullopt;
    }
    offset = body + size + (size & 1);
  }
  if (!format || !layout) return std::nullopt;
  // The canonical RIFF size must fit 32 bits too: a data chunk that nearly fills them loses
  // its last few bytes.
  constexpr auto kMaxDataSize =
      static_cast<std::int64_t>(kMaxRiffSize - (kCanonicalHeaderSize - 8) - 1);
  layout->dataSize = std::min(layout->dataSize, kMaxDataSize);
  layout->header = CanonicalHeader(*format, static_cast<std::uint32_t>(layout->dataSize));
  return layout;
}

}  // namespace wavpress
