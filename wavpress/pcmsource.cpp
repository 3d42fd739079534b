#include "wavpress/pcmsource.h"

#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <cmath>

namespace wavpress {
namespace {

// Frames read from the file at a time; the converter's output block holds as many.
constexpr std::size_t kBlockFrames = 8192;

}  // namespace

std::unique_ptr<PcmSource> PcmSource::Open(const char* path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path, SFM_READ, &info);
  if (!file) return nullptr;
  std::unique_ptr<PcmSource> source(new PcmSource);
  source->m_file = file;
  if (info.channels < 1 || info.channels > 2 || info.samplerate <= 0 || info.frames < 0) {
    return nullptr;
  }
  const auto channels = static_cast<std::size_t>(info.channels);
  source->m_channels = info.channels;
  // Floating-point data beyond full scale is clipped, not wrapped around.
  sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  if (info.samplerate == kTargetRate) {
    source->m_totalFrames = info.frames;
    source->m_shortBlock.resize(kBlockFrames * channels);
    return source;
  }
  soxr_error_t error = nullptr;
  soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_INT16_I);
  // libsoxr seeds its dither from the clock: the same file would give other bytes on every run.
  // Rounding keeps an encoding repeatable.
  io.flags |= SOXR_NO_DITHER;
  source->m_resampler = soxr_create(info.samplerate, kTargetRate, static_cast<unsigned>(channels),
                                    &error, &io, nullptr, nullptr);
  if (error || !source->m_resampler) return nullptr;
  source->m_totalFrames = std::llround(static_cast<double>(info.frames) * kTargetRate /
                                       static_cast<double>(info.samplerate));
  source->m_floatBlock.resize(kBlockFrames * channels);
  source->m_converted.resize(kBlockFrames * channels);
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
  const sf_count_t got = sf_readf_short(m_file, m_shortBlock.data(), kBlockFrames);
  if (got <= 0) {
    // libsndfile gives 0 both at the end and after an error; only its error state tells.
    if (sf_error(m_file) != SF_ERR_NO_ERROR) return false;
    m_finished = true;
    return true;
  }
  AppendFrames(m_shortBlock.data(), static_cast<std::size_t>(got));
  return true;
}

bool PcmSource::ReadConverted() {
  const auto channels = static_cast<std::size_t>(m_channels);
  if (m_floatOffset == m_floatFrames && !m_inputDone) {
    const sf_count_t got = sf_readf_float(m_file, m_floatBlock.data(), kBlockFrames);
    if (got <= 0) {
      if (sf_error(m_file) != SF_ERR_NO_ERROR) return false;
      m_inputDone = true;
    }
    m_floatOffset = 0;
    m_floatFrames = got > 0 ? static_cast<std::size_t>(got) : 0;
  }
  // A null input tells soxr that the input has ended; it then gives out what it holds back.
  const bool flushing = m_inputDone && m_floatOffset == m_floatFrames;
  const float* in = flushing ? nullptr : m_floatBlock.data() + m_floatOffset * channels;
  std::size_t used = 0;
  std::size_t made = 0;
  const soxr_error_t error = soxr_process(m_resampler, in, m_floatFrames - m_floatOffset, &used,
                                          m_converted.data(), kBlockFrames, &made);
  if (error) return false;
  m_floatOffset += used;
  if (flushing && made == 0) m_finished = true;
  AppendFrames(m_converted.data(), made);
  return true;
}

void PcmSource::AppendFrames(const std::int16_t* samples, std::size_t frames) {
  if (m_channels == 2) {
    m_ready.insert(m_ready.end(), samples, samples + frames * 2);
    return;
  }
  for (std::size_t i = 0; i < frames; ++i) {
    m_ready.push_back(samples[i]);
    m_ready.push_back(samples[i]);
  }
}

}  // namespace wavpress
