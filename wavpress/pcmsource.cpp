#include "wavpress/pcmsource.h"

#include "base/bytes.h"

#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "base/fileio.h"

namespace wavpress {
namespace {

// Frames read from the file at a time; the converter's output block holds as many.
constexpr std::size_t kBlockFrames = 8192;

}  // namespace

// What libsndfile reads: our canonical header, then the data chunk's bytes straight from the
// file. It never sees the file's own header.
struct PcmSource::View {
  std::unique_ptr<base::ByteSource> file;
  WavLayout layout;
  sf_count_t position = 0;
  bool failed = false;  // the file gave fewer bytes than it held when it was walked

  static View& Of(void* self) { return *static_cast<View*>(self); }
  static sf_count_t Length(void* self) {
    return static_cast<sf_count_t>(kCanonicalHeaderSize) + Of(self).layout.dataSize;
  }
  static sf_count_t Seek(sf_count_t offset, int whence, void* self) {
    View& view = Of(self);
    const sf_count_t base = whence == SEEK_CUR   ? view.position
                            : whence == SEEK_END ? Length(self)
                                                 : 0;
    const sf_count_t target = base + offset;
    // Past the end is allowed, as with a file: libsndfile looks there for the pad byte of an
    // odd data chunk and spins when the seek fails.
    if (target < 0) return -1;
    view.position = target;
    return target;
  }
  static sf_count_t Read(void* out, sf_count_t count, void* self) {
    View& view = Of(self);
    const sf_count_t take = std::max<sf_count_t>(0, std::min(count, Length(self) - view.position));
    auto* bytes = static_cast<std::uint8_t*>(out);
    constexpr auto kHeader = static_cast<sf_count_t>(kCanonicalHeaderSize);
    sf_count_t done = 0;
    if (view.position < kHeader) {
      done = std::min(take, kHeader - view.position);
      std::copy_n(view.layout.header.begin() + view.position, done, bytes);
    }
    if (done < take) {
      const std::int64_t from = view.layout.dataOffset + view.position + done - kHeader;
      if (!view.file->ReadAt(from, {bytes + done, static_cast<std::size_t>(take - done)})) {
        view.failed = true;
        return done;
      }
      done = take;
    }
    view.position += done;
    return done;
  }
  static sf_count_t Write(const void*, sf_count_t, void*) { return 0; }
  static sf_count_t Tell(void* self) { return Of(self).position; }
};

namespace {

// Bytes the caller keeps, read in place.
class SpanSource final : public base::ByteSource {
 public:
  explicit SpanSource(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
  std::int64_t Size() const override { return static_cast<std::int64_t>(m_bytes.size()); }
  bool ReadAt(std::int64_t offset, std::span<std::uint8_t> out) override {
    if (offset < 0 || offset > Size() || static_cast<std::int64_t>(out.size()) > Size() - offset) {
      return false;
    }
    std::copy_n(m_bytes.begin() + offset, out.size(), out.begin());
    return true;
  }

 private:
  std::span<const std::uint8_t> m_bytes;
};

// libsoxr seeds its dither from the clock: the same file would give other bytes on every run.
// Rounding keeps an encoding repeatable.
soxr_t CreateConverter(int rate, unsigned channels) {
  soxr_error_t error = nullptr;
  soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_INT16_I);
  io.flags |= SOXR_NO_DITHER;
  const soxr_t converter = soxr_create(rate, kTargetRate, channels, &error, &io, nullptr, nullptr);
  if (error && converter) soxr_delete(converter);
  return error ? nullptr : converter;
}

}  // namespace

std::unique_ptr<PcmSource> PcmSource::Open(const char* path, PcmOpenError& error) {
  // Only a regular file is opened for reading: a FIFO or a device would block or never end.
  std::string reason;
  std::unique_ptr<base::ByteSource> file = base::FileSource::Open(path, reason);
  if (!file) {
    error = {PcmRefusal::Unreadable, reason};
    return nullptr;
  }
  return OpenSource(std::move(file), error);
}

std::unique_ptr<PcmSource> PcmSource::OpenMemory(std::span<const std::uint8_t> bytes,
                                                 PcmOpenError& error) {
  return OpenSource(std::make_unique<SpanSource>(bytes), error);
}

// Only mono and stereo are taken; false with the refusal in `error` otherwise.
static bool TakesChannels(int channels, PcmOpenError& error) {
  if (channels >= 1 && channels <= 2) return true;
  error = {PcmRefusal::Channels,
           std::to_string(channels) + " channels: only mono and stereo are taken"};
  return false;
}

// Where the canonical header keeps the channel count.
constexpr std::size_t kChannelsOffset = 22;

std::unique_ptr<PcmSource> PcmSource::OpenSource(std::unique_ptr<base::ByteSource> file,
                                                 PcmOpenError& error) {
  // libsndfile's own header parsing has hung on malformed chunks: it gets only what we walked.
  std::optional<WavLayout> layout = WalkWav(*file);
  if (!layout) {
    error = {PcmRefusal::NotWav, std::string(kNotWav)};
    return nullptr;
  }
  // libsndfile spins on some headers of many channels, which are refused anyway.
  if (!TakesChannels(base::GetLE16(layout->header, kChannelsOffset), error)) return nullptr;
  std::unique_ptr<PcmSource> source(new PcmSource);
  source->m_view = std::make_unique<View>(View{std::move(file), *layout});
  SF_VIRTUAL_IO io{&View::Length, &View::Seek, &View::Read, &View::Write, &View::Tell};
  SF_INFO info{};
  SNDFILE* sound = sf_open_virtual(&io, SFM_READ, &info, source->m_view.get());
  if (!sound) {
    error = {PcmRefusal::NotWav, std::string(kNotWav) + " (" + sf_strerror(nullptr) + ")"};
    return nullptr;
  }
  return Adopt(std::move(source), sound, info.channels, info.samplerate, info.frames, error);
}

std::unique_ptr<PcmSource> PcmSource::Adopt(std::unique_ptr<PcmSource> source, SNDFILE* file,
                                            int channels, int rate, std::int64_t frames,
                                            PcmOpenError& error) {
  source->m_file = file;
  // A rate like 1 Hz would turn a few bytes into hours of sound.
  if (rate < kMinRate || rate > kMaxRate) {
    error = {PcmRefusal::Rate, "sample rate " + std::to_string(rate) + " Hz is outside " +
                                   std::to_string(kMinRate) + "-" + std::to_string(kMaxRate) +
                                   " Hz"};
    return nullptr;
  }
  if (!TakesChannels(channels, error)) return nullptr;
  if (frames <= 0) {
    error = {PcmRefusal::NoAudio, std::string(kNoAudio)};
    return nullptr;
  }
  const auto channelCount = static_cast<std::size_t>(channels);
  source->m_channels = channels;
  // Floating-point data beyond full scale is clipped, not wrapped around.
  sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  if (rate == kTargetRate) {
    source->m_totalFrames = frames;
    source->m_shortBlock.reset(new std::int16_t[kBlockFrames * channelCount]);
    return source;
  }
  source->m_resampler = CreateConverter(rate, static_cast<unsigned>(channelCount));
  if (!source->m_resampler) {
    error = {PcmRefusal::NotAudio, "the sample rate cannot be converted"};
    return nullptr;
  }
  source->m_totalFrames =
      std::llround(static_cast<double>(frames) * kTargetRate / static_cast<double>(rate));
  source->m_floatBlock.reset(new float[kBlockFrames * channelCount]);
  source->m_converted.reset(new std::int16_t[kBlockFrames * channelCount]);
  return source;
}

PcmSource::~PcmSource() {
  if (m_resampler) soxr_delete(m_resampler);
  if (m_file) sf_close(m_file);
}

std::int64_t PcmSource::Read(std::span<std::int16_t> out) {
  const std::size_t wanted = out.size() / 2;
  std::size_t got = 0;
  while (got < wanted) {
    if (m_failed) return -1;
    if (m_readyOffset == m_ready.size()) {
      if (m_finished) break;
      Refill();
      continue;
    }
    const std::size_t take = std::min((m_ready.size() - m_readyOffset) / 2, wanted - got);
    std::copy_n(m_ready.begin() + static_cast<std::ptrdiff_t>(m_readyOffset), take * 2,
                out.begin() + static_cast<std::ptrdiff_t>(got * 2));
    m_readyOffset += take * 2;
    got += take;
  }
  return static_cast<std::int64_t>(got);
}

bool PcmSource::AtEnd() {
  while (m_readyOffset == m_ready.size() && !m_finished && !m_failed) Refill();
  return !m_failed && m_readyOffset == m_ready.size();
}

void PcmSource::Refill() {
  m_ready.clear();
  m_readyOffset = 0;
  if (!(m_resampler ? ReadConverted() : ReadDirect())) m_failed = true;
}

bool PcmSource::ReadDirect() {
  const sf_count_t got = sf_readf_short(m_file, m_shortBlock.get(), kBlockFrames);
  if (got <= 0) {
    // libsndfile gives 0 both at the end and after an error; only its error state tells.
    if (sf_error(m_file) != SF_ERR_NO_ERROR || m_view->failed) return false;
    m_finished = true;
    return true;
  }
  AppendFrames(m_shortBlock.get(), static_cast<std::size_t>(got));
  return true;
}

bool PcmSource::ReadConverted() {
  const auto channels = static_cast<std::size_t>(m_channels);
  if (m_floatOffset == m_floatFrames && !m_inputDone) {
    const sf_count_t got = sf_readf_float(m_file, m_floatBlock.get(), kBlockFrames);
    if (got <= 0) {
      if (sf_error(m_file) != SF_ERR_NO_ERROR || m_view->failed) return false;
      m_inputDone = true;
    }
    m_floatOffset = 0;
    m_floatFrames = got > 0 ? static_cast<std::size_t>(got) : 0;
  }
  // A null input tells soxr that the input has ended; it then gives out what it holds back.
  const bool flushing = m_inputDone && m_floatOffset == m_floatFrames;
  const float* in = flushing ? nullptr : m_floatBlock.get() + m_floatOffset * channels;
  std::size_t used = 0;
  std::size_t made = 0;
  const soxr_error_t error = soxr_process(m_resampler, in, m_floatFrames - m_floatOffset, &used,
                                          m_converted.get(), kBlockFrames, &made);
  if (error) return false;
  m_floatOffset += used;
  if (flushing && made == 0) m_finished = true;
  AppendFrames(m_converted.get(), made);
  return true;
}

void PcmSource::AppendFrames(const std::int16_t* samples, std::size_t frames) {
  const std::size_t start = m_ready.size();
  m_ready.resize(start + frames * 2);
  std::int16_t* out = m_ready.data() + start;
  if (m_channels == 2) {
    std::copy_n(samples, frames * 2, out);
    return;
  }
  for (std::size_t i = 0; i < frames; ++i) out[2 * i] = out[2 * i + 1] = samples[i];
}

}  // namespace wavpress
