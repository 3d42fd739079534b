#pragma once
// The audio of a sound file as the encoder is configured for it: 16-bit stereo frames at
// 44100 Hz, whatever rate, sample format and channel count (one or two) the file holds.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

struct sf_private_tag;
struct soxr;

namespace wavpress {

inline constexpr int kTargetRate = 44100;

class PcmSource {
 public:
  /// Opens `path`; nothing when libsndfile cannot read it as audio of one or two channels, or
  /// when its rate cannot be converted.
  static std::unique_ptr<PcmSource> Open(const char* path);
  ~PcmSource();
  PcmSource(const PcmSource&) = delete;
  PcmSource& operator=(const PcmSource&) = delete;

  /// Frames of the whole file at 44100 Hz (an estimate within a frame or two when converting).
  std::int64_t TotalFrames() const { return m_totalFrames; }

  /// Fills `out` with up to out.size() / 2 interleaved stereo frames. Returns the number of
  /// frames, fewer only at the end; -1 after a read or conversion error.
  std::int64_t Read(std::span<std::int16_t> out);

  /// True when no frame is left; reads ahead to find out. False after an error, which the next
  /// Read reports.
  bool AtEnd();

 private:
  PcmSource() = default;
  void Refill();
  bool ReadDirect();
  bool ReadConverted();
  void AppendFrames(const std::int16_t* samples, std::size_t frames);

  sf_private_tag* m_file = nullptr;
  soxr* m_resampler = nullptr;
  int m_channels = 0;
  std::int64_t m_totalFrames = 0;
  bool m_inputDone = false;
  bool m_finished = false;
  bool m_failed = false;
  std::vector<std::int16_t> m_shortBlock;  // as read, direct path
  std::vector<float> m_floatBlock;         // as read, converting path
  std::size_t m_floatOffset = 0;           // frames of m_floatBlock already converted
  std::size_t m_floatFrames = 0;
  std::vector<std::int16_t> m_converted;  // soxr output, file's channel count
  std::vector<std::int16_t> m_ready;      // stereo frames not yet handed out
  std::size_t m_readyOffset = 0;          // in samples
};

}  // namespace wavpress
