#pragma once
// The encoder bridge as an encoding run uses it: one real client that loads libwavpress by name,
// and doubles in the tests.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "base/progress.h"

namespace session {

/// What one conversion gave.
struct EncodeOutcome {
  std::int32_t result = 0;  ///< WAVPRESS_OK, WAVPRESS_FAILED or WAVPRESS_STOPPED
  std::int32_t cause = 0;   ///< a WAVPRESS_* cause after a failure
  /// For a failure the input and the cause; for a stop where its part went when an MP3 was
  /// there before (that one is kept), else empty; empty after a success.
  std::string note;
};

class Mp3Encoder {
 public:
  virtual ~Mp3Encoder() = default;
  /// Selects the encoder library for the following conversions of this encoder (0: LAME).
  virtual void SetEncoder(std::int32_t encoder) = 0;
  /// Converts the WAV file `path` (UTF-8) into an MP3 beside it (into `output` when not empty),
  /// replacing an existing MP3 only when `replace` says so. `progress` gets the percentage of
  /// 100 after every chunk; false stops the conversion. Calls may run at once on several
  /// threads, each on its own file.
  [[nodiscard]] virtual EncodeOutcome EncodeMp3(const std::string& path, bool replace,
                                                const base::Progress& progress,
                                                const std::filesystem::path& output = {}) = 0;
  /// Empty when conversions can run; else why not (the bridge cannot be loaded).
  [[nodiscard]] virtual std::string Unavailable() { return {}; }
};

/// libwavpress, loaded by name at the first call and kept loaded. While it cannot be loaded,
/// every conversion fails with the loader's reason (and the next call tries again).
[[nodiscard]] std::unique_ptr<Mp3Encoder> CreateWavpressEncoder();

}  // namespace session
