#pragma once
// The chunks of a RIFF WAVE file, walked by us with every size checked against the file. What
// reads the samples then sees a canonical header of our own making (RIFF, fmt, data) followed by
// the data chunk's bytes, never the file's own header: a malformed chunk cannot reach it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "base/fileio.h"

namespace wavpress {

/// "RIFF" size "WAVE", a 16-byte "fmt " chunk, "data" size.
inline constexpr std::size_t kCanonicalHeaderSize = 44;

/// The sample data of a WAV file and the header that describes it.
struct WavLayout {
  std::array<std::uint8_t, kCanonicalHeaderSize> header{};
  std::int64_t dataOffset = 0;  ///< where the data chunk's bytes start in the file
  std::int64_t dataSize = 0;    ///< how many there are, all within the file
};

/// Walks the chunks of `file`. Nothing when it is not a RIFF WAVE file whose every chunk lies
/// within the file (and within the RIFF size where that is smaller), with each `LIST` chunk's
/// sub-chunks within their `LIST`, and with a "fmt " chunk of a sample format we read (integer
/// PCM of 8, 16, 24 or 32 bits, float of 32 or 64 bits, A-law or u-law, also in the extensible
/// form) and a "data" chunk. The first of each counts; every other chunk is passed over.
[[nodiscard]] std::optional<WavLayout> WalkWav(base::ByteSource& file);

}  // namespace wavpress
