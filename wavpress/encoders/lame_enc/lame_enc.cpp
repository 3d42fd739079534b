// An encoder library with the BladeEnc interface over libmp3lame: MPEG-1 Layer III at a constant
// bit rate, configured by the record of wavpress/bladeenc.h.

#include <lame/lame.h>

#include <algorithm>
#include <array>
#include <cstdarg>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <type_traits>

#include "wavpress/bladeenc.h"

#define LAME_ENC_API extern "C" __attribute__((visibility("default")))

namespace lame_enc {
namespace {

using namespace wavpress;

constexpr std::uint32_t kFrameSamples = 1152;  // per channel in an MPEG-1 Layer III frame
// libmp3lame's bound for one call: 1.25 bytes per sample of one channel plus 7200; the flush
// needs at most 7200.
constexpr std::uint32_t kBufferSize = kFrameSamples * 5 / 4 + 7200;
constexpr std::size_t kMaxStreams = 64;

constexpr std::array<std::uint32_t, 3> kSampleRates = {32000, 44100, 48000};
constexpr std::array<std::uint16_t, 14> kBitrates = {32,  40,  48,  56,  64,  80,  96,
                                                     112, 128, 160, 192, 224, 256, 320};

struct Stream {
  explicit Stream(lame_t flags, int channels) : m_flags(flags), m_channels(channels) {}
  ~Stream() { lame_close(m_flags); }
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;

  lame_t m_flags;
  int m_channels;
  // Held while the stream encodes; the table's lock is not, so streams encode in parallel.
  std::mutex m_mutex;
  bool m_flushed = false;
};

// The table of streams; lame_init_params also sets up tables of libmp3lame shared by every
// stream, so configuring happens under this lock too.
std::mutex g_mutex;
std::map<BeStream, std::shared_ptr<Stream>> g_streams;
BeStream g_lastHandle = 0;

template <typename T, std::size_t N>
bool Contains(const std::array<T, N>& values, T value) {
  return std::find(values.begin(), values.end(), value) != values.end();
}

MPEG_mode LameMode(std::uint8_t mode) {
  switch (mode) {
    case kModeJointStereo:
      return JOINT_STEREO;
    case kModeDualChannel:
      return DUAL_CHANNEL;
    case kModeMono:
      return MONO;
    default:
      return STEREO;
  }
}

// libmp3lame prints its messages to stderr unless told otherwise; a library shows nothing.
void Quiet(const char*, va_list) {}

// Null for a configuration libmp3lame refuses.
lame_t Configure(const Mp3Config& config) {
  lame_t flags = lame_init();
  if (!flags) return nullptr;
  lame_set_errorf(flags, Quiet);
  lame_set_debugf(flags, Quiet);
  lame_set_msgf(flags, Quiet);
  const auto rate = static_cast<int>(config.SampleRate);
  lame_set_num_channels(flags, config.Mode == kModeMono ? 1 : 2);
  lame_set_in_samplerate(flags, rate);
  lame_set_out_samplerate(flags, rate);
  lame_set_mode(flags, LameMode(config.Mode));
  lame_set_VBR(flags, vbr_off);
  lame_set_brate(flags, config.Bitrate);
  lame_set_extension(flags, config.Private ? 1 : 0);
  lame_set_error_protection(flags, config.Crc ? 1 : 0);
  lame_set_copyright(flags, config.Copyright ? 1 : 0);
  lame_set_original(flags, config.Original ? 1 : 0);
  // Callers write chunks as they come and never go back, so no tag frame is reserved at the
  // start, and no ID3 tag is added at the end.
  lame_set_bWriteVbrTag(flags, 0);
  lame_set_write_id3tag_automatic(flags, 0);
  if (lame_init_params(flags) < 0) {
    lame_close(flags);
    return nullptr;
  }
  return flags;
}

// Null for an unknown handle. A stream closed meanwhile lives on until its last call returns.
std::shared_ptr<Stream> Find(BeStream handle) {
  std::lock_guard lock(g_mutex);
  const auto found = g_streams.find(handle);
  return found == g_streams.end() ? nullptr : found->second;
}

// Runs `body` on the stream of `handle` under its lock: unknown and flushed streams are
// invalid handles.
template <typename Body>
BeResult WithOpenStream(BeStream handle, Body&& body) {
  const std::shared_ptr<Stream> found = Find(handle);
  if (!found) return kBeInvalidHandle;
  std::lock_guard lock(found->m_mutex);
  if (found->m_flushed) return kBeInvalidHandle;
  return body(*found);
}

BeResult Written(int made, std::uint32_t* written) {
  // libmp3lame: -1 means the buffer was too small; other negative values are internal failures.
  if (made == -1) return kBeBufferTooSmall;
  if (made < 0) return kBeInvalidFormatParameters;
  *written = static_cast<std::uint32_t>(made);
  return kBeOk;
}

// Nothing may unwind into the caller, which need not be C++ at all: whatever throws (memory,
// a lock) ends as a failure code. The BladeEnc codes have no general failure; running out of
// resources is what "no more handles" says.
template <typename Body>
BeResult AtBoundary(Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return kBeNoMoreHandles;
  }
}

}  // namespace
}  // namespace lame_enc

using namespace wavpress;

LAME_ENC_API BeResult beInitStream(const std::uint8_t* config, std::uint32_t* samplesPerChunk,
                                   std::uint32_t* bufferSize, BeStream* stream) {
  using namespace lame_enc;
  return AtBoundary([&]() -> BeResult {
    if (!config || !samplesPerChunk || !bufferSize || !stream) return kBeInvalidFormatParameters;
    if (GetConfigKind(std::span(config, 4)) != kConfigMp3) return kBeInvalidFormat;
    const Mp3Config mp3 = GetMp3Config(std::span(config, kMp3ConfigSize));
    if (!Contains(kSampleRates, mp3.SampleRate) || !Contains(kBitrates, mp3.Bitrate) ||
        mp3.Mode > kModeMono) {
      return kBeInvalidFormatParameters;
    }
    std::lock_guard lock(g_mutex);
    if (g_streams.size() >= kMaxStreams) return kBeNoMoreHandles;
    lame_t flags = Configure(mp3);
    if (!flags) return kBeInvalidFormatParameters;
    const int channels = mp3.Mode == kModeMono ? 1 : 2;
    // Handles count up from 1, skipping 0 and any still in use.
    do {
      ++g_lastHandle;
    } while (g_lastHandle == 0 || g_streams.contains(g_lastHandle));
    std::shared_ptr<Stream> made;
    try {
      made = std::make_shared<Stream>(flags, channels);
    } catch (...) {
      lame_close(flags);  // the stream never took it over
      throw;
    }
    g_streams.emplace(g_lastHandle, std::move(made));
    *samplesPerChunk = kFrameSamples * static_cast<std::uint32_t>(channels);
    *bufferSize = kBufferSize;
    *stream = g_lastHandle;
    return kBeOk;
  });
}

LAME_ENC_API BeResult beEncodeChunk(BeStream stream, std::uint32_t samples, const std::int16_t* pcm,
                                    std::uint8_t* out, std::uint32_t* written) {
  using namespace lame_enc;
  return AtBoundary([&] {
    return WithOpenStream(stream, [&](Stream& found) -> BeResult {
      const auto channels = static_cast<std::uint32_t>(found.m_channels);
      // The buffer size reported is only enough for one chunk at a time.
      if (!out || !written || (samples > 0 && !pcm) || samples > kFrameSamples * channels) {
        return kBeInvalidFormatParameters;
      }
      const auto frames = static_cast<int>(samples / channels);  // an odd last sample is dropped
      // libmp3lame only reads the samples; its interleaved call is declared without const.
      const int made =
          channels == 2 ? lame_encode_buffer_interleaved(found.m_flags, const_cast<short*>(pcm),
                                                         frames, out, static_cast<int>(kBufferSize))
                        : lame_encode_buffer(found.m_flags, pcm, pcm, frames, out,
                                             static_cast<int>(kBufferSize));
      return Written(made, written);
    });
  });
}

LAME_ENC_API BeResult beDeinitStream(BeStream stream, std::uint8_t* out, std::uint32_t* written) {
  using namespace lame_enc;
  return AtBoundary([&] {
    return WithOpenStream(stream, [&](Stream& found) -> BeResult {
      if (!out || !written) return kBeInvalidFormatParameters;
      found.m_flushed = true;
      return Written(lame_encode_flush(found.m_flags, out, static_cast<int>(kBufferSize)), written);
    });
  });
}

LAME_ENC_API BeResult beCloseStream(BeStream stream) {
  using namespace lame_enc;
  return AtBoundary([&]() -> BeResult {
    std::lock_guard lock(g_mutex);
    return g_streams.erase(stream) == 1 ? kBeOk : kBeInvalidHandle;
  });
}

static_assert(std::is_same_v<decltype(&beInitStream), BeInitStreamFunction>);
static_assert(std::is_same_v<decltype(&beEncodeChunk), BeEncodeChunkFunction>);
static_assert(std::is_same_v<decltype(&beDeinitStream), BeDeinitStreamFunction>);
static_assert(std::is_same_v<decltype(&beCloseStream), BeCloseStreamFunction>);
