#include "media/decoder.h"

#include <mpg123.h>

#include <limits>

namespace media {
namespace {

// libmpg123 before 1.27 needs one global initialisation; later versions ignore it.
bool InitialiseLibrary() {
  static const bool ok = mpg123_init() == MPG123_OK;
  return ok;
}

}  // namespace

std::unique_ptr<Decoder> Decoder::Open(const std::filesystem::path& path, std::string& error) {
  if (!InitialiseLibrary()) {
    error = "libmpg123 cannot be initialised";
    return nullptr;
  }
  int result = MPG123_OK;
  mpg123_handle* handle = mpg123_new(nullptr, &result);
  if (!handle) {
    error = mpg123_plain_strerror(result);
    return nullptr;
  }
  std::unique_ptr<Decoder> decoder(new Decoder(handle));
  // Gapless decoding would trim the encoder delay and padding that an info frame declares;
  // inside an album those samples are played, and the info frame itself is an ordinary frame.
  mpg123_param(handle, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0.0);
  mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_IGNORE_INFOFRAME | MPG123_QUIET, 0.0);
  if (mpg123_open(handle, path.c_str()) != MPG123_OK) {
    error = mpg123_strerror(handle);
    return nullptr;
  }
  int encoding = 0;
  if (mpg123_getformat(handle, &decoder->m_rate, &decoder->m_channels, &encoding) != MPG123_OK ||
      decoder->m_rate <= 0) {
    error = "no MPEG audio";
    return nullptr;
  }
  return decoder;
}

Decoder::~Decoder() {
  mpg123_close(m_handle);
  mpg123_delete(m_handle);
}

std::optional<std::int64_t> Decoder::ScanSamples() {
  if (mpg123_scan(m_handle) != MPG123_OK) return std::nullopt;
  const off_t samples = mpg123_length(m_handle);
  if (samples <= 0) return std::nullopt;
  return static_cast<std::int64_t>(samples);
}

std::int32_t SamplesToMilliseconds(std::int64_t samples, long rate) {
  if (samples <= 0 || rate <= 0) return 0;
  const std::int64_t ms = (samples * 1000 + rate / 2) / rate;
  return static_cast<std::int32_t>(
      std::min<std::int64_t>(ms, std::numeric_limits<std::int32_t>::max()));
}

std::optional<std::int32_t> ExactLength(const std::filesystem::path& path) {
  std::string error;
  auto decoder = Decoder::Open(path, error);
  if (!decoder) return std::nullopt;
  const auto samples = decoder->ScanSamples();
  if (!samples) return std::nullopt;
  const std::int32_t ms = SamplesToMilliseconds(*samples, decoder->Rate());
  if (ms == 0) return std::nullopt;
  return ms;
}

}  // namespace media
