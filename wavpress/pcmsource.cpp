#include "wavpress/pcmsource.h"

#include <sndfile.h>
#include <soxr.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/fileio.h"

namespace wavpress {
namespace {

// Frames read from the file at a time; the converter's output block holds as many.
constexpr std::size_t kBlockFrames = 8192;

}  // namespace

// A file in memory, read through libsndfile's virtual I/O.
struct PcmSource::Memory {
  std::span<const std::uint8_t> bytes;
  sf_count_t position = 0;

  static sf_count_t Length(void* self) {
    return static_cast<sf_count_t>(static_cast<Memory*>(self)->bytes.size());
  }
  static sf_count_t Seek(sf_count_t offset, int whence, void* self) {
    auto* memory = static_cast<Memory*>(self);
    const sf_count_t base = whence == SEEK_CUR   ? memory->position
                            : whence == SEEK_END ? Length(self)
                                                 : 0;
    const sf_count_t target = base + offset;
    if (target < 0 || target > Length(self)) return -1;
    memory->position = target;
    return target;
  }
  static sf_count_t Read(void* out, sf_count_t count, void* self) {
    auto* memory = static_cast<Memory*>(self);
    const sf_count_t take =
        std::max<sf_count_t>(0, std::min(count, Length(self) - memory->position));
    std::copy_n(memory->bytes.data() + memory->position, take, static_cast<std::uint8_t*>(out));
    memory->position += take;
    return take;
  }
  static sf_count_t Write(const void*, sf_count_t, void*) { return 0; }
  static sf_count_t Tell(void* self) { return static_cast<Memory*>(self)->position; }
};

std::unique_ptr<PcmSource> PcmSource::Open(const char* path, PcmOpenError& error) {
  // Only a regular file is opened for reading: a FIFO or a device would block or never end.
  std::string reason;
  base::FileHandle file = base::OpenRegularFile(path, reason);
  if (!file) {
    error = {PcmRefusal::Unreadable, reason};
    return nullptr;
  }
  const int fd = ::dup(::fileno(file.get()));
  if (fd < 0) {
    error = {PcmRefusal::Unreadable, base::LastErrorText()};
    return nullptr;
  }
  SF_INFO info{};
  SNDFILE* sound = sf_open_fd(fd, SFM_READ, &info, SF_TRUE);
  if (!sound) {
    error = {PcmRefusal::NotAudio,
             std::string("not audio in a format that is read (") + sf_strerror(nullptr) + ")"};
    return nullptr;
  }
  return Adopt(std::unique_ptr<PcmSource>(new PcmSource), sound, info.channels, info.samplerate,
               info.frames, error);
}

std::unique_ptr<PcmSource> PcmSource::OpenMemory(std::span<const std::uint8_t> bytes,
                                                 PcmOpenError& error) {
  std::unique_ptr<PcmSource> source(new PcmSource);
  source->m_memory = std::make_unique<Memory>();
  source->m_memory->bytes = bytes;
  SF_VIRTUAL_IO io{&Memory::Length, &Memory::Seek, &Memory::Read, &Memory::Write, &Memory::Tell};
  SF_INFO info{};
  SNDFILE* sound = sf_open_virtual(&io, SFM_READ, &info, source->m_memory.get());
  if (!sound) {
    error = {PcmRefusal::NotAudio, sf_strerror(nullptr)};
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
  if (channels < 1 || channels > 2) {
    error = {PcmRefusal::Channels,
             std::to_string(channels) + " channels: only mono and stereo are taken"};
    return nullptr;
  }
  if (frames < 0) {
    error = {PcmRefusal::NotAudio, "no length"};
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
  soxr_error_t soxrError = nullptr;
  soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_INT16_I);
  // libsoxr seeds its dither from the clock: the same file would give other bytes on every run.
  // Rounding keeps an encoding repeatable.
  io.flags |= SOXR_NO_DITHER;
  source->m_resampler = soxr_create(rate, kTargetRate, static_cast<unsigned>(channelCount),
                                    &soxrError, &io, nullptr, nullptr);
  if (soxrError || !source->m_resampler) {
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
    if (sf_error(m_file) != SF_ERR_NO_ERROR) return false;
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
      if (sf_error(m_file) != SF_ERR_NO_ERROR) return false;
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
