#pragma once
// Where decoded audio goes, and the clock that says how much of it has been played.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace media {

/// Fills `out` with up to `frames` sample frames of interleaved signed 16-bit PCM; returns the
/// frames written (fewer at the end of the stream). Runs on the output's own thread.
using PcmPull = std::function<std::size_t(std::int16_t* out, std::size_t frames)>;

class AudioOutput {
 public:
  virtual ~AudioOutput() = default;
  /// Opens the output for PCM at `rate` Hz with `channels` channels, paused. False when no
  /// output (not even a silent one) can be opened.
  [[nodiscard]] virtual bool Open(long rate, int channels, PcmPull pull) = 0;
  virtual void SetPaused(bool paused) = 0;
  /// Runs `change` while the pull is not running (so it may reposition the source) and
  /// restarts the clock at 0.
  virtual void Reset(const std::function<void()>& change) = 0;
  /// The clock: sample frames played since Open or the last Reset.
  virtual std::int64_t PlayedFrames() const = 0;
};

/// The output on SDL2 audio. Without a usable audio device it falls back to SDL's silent
/// "dummy" driver, which still consumes audio in real time, so the clock runs as it would.
std::unique_ptr<AudioOutput> CreateSdlOutput();

/// Loads SDL and starts its audio ahead of the first output, so that a thread that may not
/// wait (a window's) does not pay for it at the first Play. Safe on any thread.
void PrepareSdlOutput();

}  // namespace media
