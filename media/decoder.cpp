#include "media/decoder.h"

#include <mpg123.h>

#include <algorithm>
#include <array>
#include <limits>
#include <string_view>

#include "base/bytes.h"
#include "base/fileio.h"
#include "base/id3v1.h"
#include "media/bufferedfile.h"
#include "mp3header/mp3header.h"

namespace media {
namespace {

// libmpg123 before 1.27 needs one global initialisation; later versions ignore it.
bool InitialiseLibrary() {
  static const bool ok = mpg123_init() == MPG123_OK;
  return ok;
}

}  // namespace

std::unique_ptr<Decoder> Decoder::Open(const std::filesystem::path& path, std::string& error,
                                       long rate, bool gapless) {
  if (!InitialiseLibrary()) {
    error = "libmpg123 cannot be initialised";
    return nullptr;
  }
  auto file = BufferedFile::Open(path);
  if (!file) {
    error = "cannot open the file for reading";
    return nullptr;
  }
  int result = MPG123_OK;
  mpg123_handle* handle = mpg123_new(nullptr, &result);
  if (!handle) {
    error = mpg123_plain_strerror(result);
    return nullptr;
  }
  std::unique_ptr<Decoder> decoder(new Decoder(handle, std::move(file)));
  // Gapless decoding would trim the encoder delay and padding that an info frame declares;
  // inside an album those samples are played, and the info frame itself is an ordinary frame.
  if (!gapless) {
    mpg123_param(handle, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0.0);
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_IGNORE_INFOFRAME, 0.0);
  }
  mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
  // Every stream decodes to signed 16-bit stereo at its own rate (mono duplicated), so that an
  // album mixing mono and stereo tracks plays through one output format.
  mpg123_format_none(handle);
  const long* rates = nullptr;
  std::size_t rateCount = 0;
  mpg123_rates(&rates, &rateCount);
  for (std::size_t i = 0; i < rateCount; ++i) {
    // A stream of another rate reaches `rate` through libmpg123's automatic resampling.
    if (rate == 0 || rates[i] == rate) {
      mpg123_format(handle, rates[i], MPG123_STEREO, MPG123_ENC_SIGNED_16);
    }
  }
  if (mpg123_replace_reader_handle(handle, &BufferedFile::ReadCallback, &BufferedFile::SeekCallback,
                                   nullptr) != MPG123_OK ||
      mpg123_open_handle(handle, decoder->m_file.get()) != MPG123_OK) {
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

Decoder::Decoder(mpg123_handle_struct* handle, std::unique_ptr<BufferedFile> file)
    : m_handle(handle), m_file(std::move(file)) {}

Decoder::~Decoder() {
  mpg123_close(m_handle);
  mpg123_delete(m_handle);
}

std::optional<std::int64_t> Decoder::SeekSample(std::int64_t sample) {
  if (sample < 0) return std::nullopt;
  // What was buffered may be gone from the file: a new stretch reads it as it is.
  m_file->Refresh();
  off_t reached = mpg123_seek(m_handle, static_cast<off_t>(sample), SEEK_SET);
  if (reached < 0) return std::nullopt;
  // A target beyond the end answers the target, and the length is an estimate until every
  // frame header has been read: near the end, scan and land on the real end.
  const off_t estimate = mpg123_length(m_handle);
  if (estimate >= 0 && reached + 2 * 1152 >= estimate && mpg123_scan(m_handle) == MPG123_OK) {
    const off_t length = mpg123_length(m_handle);
    if (length >= 0 && reached > length) {
      reached = mpg123_seek(m_handle, length, SEEK_SET);
      if (reached < 0) return std::nullopt;
    }
  }
  return static_cast<std::int64_t>(reached);
}

std::size_t Decoder::ReadPcm(std::int16_t* out, std::size_t frames) {
  const std::size_t frameBytes = sizeof(std::int16_t) * static_cast<std::size_t>(m_channels);
  std::size_t done = 0;
  while (done < frames) {
    std::size_t got = 0;
    const int result =
        mpg123_read(m_handle, reinterpret_cast<unsigned char*>(out) + done * frameBytes,
                    (frames - done) * frameBytes, &got);
    done += got / frameBytes;
    // A format change mid-stream cannot happen here: one format is allowed per rate.
    if (result == MPG123_NEW_FORMAT) continue;
    if (result != MPG123_OK) break;
    if (got == 0) break;
  }
  return done;
}

std::int64_t Decoder::Tell() const {
  return static_cast<std::int64_t>(mpg123_tell(m_handle));
}

std::optional<std::vector<std::int64_t>> Decoder::SpanSamples(std::span<const std::int64_t> sizes) {
  std::vector<std::int64_t> ends;
  std::int64_t end = 0;
  for (const std::int64_t size : sizes) ends.push_back(end += std::max<std::int64_t>(size, 0));
  if (mpg123_seek(m_handle, 0, SEEK_SET) < 0) return std::nullopt;
  std::vector<std::int64_t> samples(sizes.size(), 0);
  // The first frame has been read already (it gave the format): it counts before the walk,
  // which reads headers only and decodes nothing.
  for (int result = MPG123_OK; result == MPG123_OK || result == MPG123_NEW_FORMAT;
       result = mpg123_framebyframe_next(m_handle)) {
    const auto at = static_cast<std::int64_t>(mpg123_framepos(m_handle));
    const auto span = std::upper_bound(ends.begin(), ends.end(), at) - ends.begin();
    if (span >= static_cast<std::ptrdiff_t>(samples.size())) break;
    samples[static_cast<std::size_t>(span)] += mpg123_spf(m_handle);
  }
  if (m_file->Fault() != FileFault::None) return std::nullopt;
  return samples;
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

std::optional<StreamLength> HeaderLength(const std::filesystem::path& path) {
  std::string error;
  auto file = base::FileSource::Open(path, error);
  if (!file) return std::nullopt;
  const std::int64_t size = file->Size();
  const std::int64_t first = mp3header::Id3v2Length(*file, size);
  // The frame header, the side information of two channels, then the tag's id, flags, frames
  // and bytes.
  std::array<std::uint8_t, 4 + 32 + 16> frame{};
  if (!file->ReadAt(first, frame)) return std::nullopt;
  const std::uint32_t header = base::GetBE32(frame, 0);
  // MPEG-1 Layer III, 1152 samples a frame, and nothing else.
  if ((header & 0xFFFE0000u) != 0xFFFA0000u) return std::nullopt;
  const std::size_t tag = ((header >> 6) & 3u) == 3u ? 4 + 17 : 4 + 32;
  const std::string_view id(reinterpret_cast<const char*>(frame.data() + tag), 4);
  constexpr std::uint32_t kFramesAndBytes = 3;
  if ((id != "Xing" && id != "Info") ||
      (base::GetBE32(frame, tag + 4) & kFramesAndBytes) != kFramesAndBytes) {
    return std::nullopt;
  }
  const std::int64_t frames = base::GetBE32(frame, tag + 8);
  const std::int64_t bytes = base::GetBE32(frame, tag + 12);
  std::int64_t end = size;
  std::array<std::uint8_t, base::id3v1::kMarker.size()> marker{};
  if (size - first >= static_cast<std::int64_t>(base::id3v1::kSize) &&
      file->ReadAt(size - static_cast<std::int64_t>(base::id3v1::kSize), marker) &&
      std::equal(marker.begin(), marker.end(), base::id3v1::kMarker.begin())) {
    end -= static_cast<std::int64_t>(base::id3v1::kSize);
  }
  // A file cut, joined or padded since the encoder wrote the header is scanned instead.
  if (frames <= 0 || bytes != end - first) return std::nullopt;
  mp3header::MP3HeaderInfo info;
  if (mp3header::DecodeFrameHeader({frame[0], frame[1], frame[2], frame[3]}, size, info) !=
          mp3header::AnalyseStatus::Ok ||
      info.Bitrate <= 1) {
    return std::nullopt;
  }
  return StreamLength{(frames + 1) * 1152, info.SampleRate};
}

std::optional<std::int32_t> ExactLength(const std::filesystem::path& path) {
  std::optional<StreamLength> length = HeaderLength(path);
  if (!length) {
    std::string error;
    auto decoder = Decoder::Open(path, error);
    if (!decoder) return std::nullopt;
    const auto samples = decoder->ScanSamples();
    if (!samples) return std::nullopt;
    length = StreamLength{*samples, decoder->Rate()};
  }
  const std::int32_t ms = SamplesToMilliseconds(length->samples, length->rate);
  if (ms == 0) return std::nullopt;
  return ms;
}

std::optional<std::vector<std::int32_t>> SpanLengths(const std::filesystem::path& path,
                                                     std::span<const std::int64_t> sizes) {
  std::string error;
  auto decoder = Decoder::Open(path, error);
  if (!decoder) return std::nullopt;
  const auto samples = decoder->SpanSamples(sizes);
  if (!samples) return std::nullopt;
  std::vector<std::int32_t> lengths;
  for (const std::int64_t count : *samples) {
    lengths.push_back(SamplesToMilliseconds(count, decoder->Rate()));
  }
  return lengths;
}

}  // namespace media
