#pragma once
// The encoder bridge as the encoder window uses it: one real implementation that loads
// libwavpress by name, and doubles in the tests.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "base/progress.h"

namespace app {

/// Called after every chunk of a conversion with the percentage done (0 of 100 to 100 of 100);
/// false asks the conversion to stop.
using EncodeProgress = base::Progress;

class Mp3Encoder {
 public:
  virtual ~Mp3Encoder() = default;
  /// Selects the encoder library for the following conversions (0: LAME).
  virtual void SetEncoder(std::int32_t encoder) = 0;
  /// Converts the WAV file `path` (UTF-8) into an MP3 beside it (into `output` when not empty),
  /// replacing an existing MP3 only when `replace` says so: WAVPRESS_OK, WAVPRESS_FAILED or
  /// WAVPRESS_STOPPED. Runs on a worker thread; calls do not overlap.
  virtual std::int32_t EncodeMp3(const std::string& path, bool replace,
                                 const EncodeProgress& progress,
                                 const std::filesystem::path& output = {}) = 0;
  /// After a conversion that did not succeed, the bridge's word on it: for a failure the input
  /// and the cause; for a stop where its part went when an MP3 was there before (that one is
  /// kept), else empty. Empty after a success.
  virtual std::string FailureNote() const { return {}; }
};

/// libwavpress, loaded by name at the first call and kept loaded. While it cannot be loaded,
/// every conversion fails (and the next call tries again).
std::unique_ptr<Mp3Encoder> CreateWavpressEncoder();

}  // namespace app
