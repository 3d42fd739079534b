#include "wavpress/wavpress.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <new>
#include <string>
#include <system_error>
#include <vector>

#include "platform/dynlib/dynlib.h"
#include "wavpress/bladeenc.h"
#include "wavpress/pcmsource.h"

namespace wavpress {
namespace {

using platform::FindSymbol;
using platform::LibraryHandle;
using platform::LoadBesideThisLibrary;
using platform::ReleaseLibrary;

constexpr const char* kBladeEncFileName = "libbladeenc.so";
constexpr const char* kLameFileName = "liblame_enc.so";
constexpr std::uint16_t kBitrate = 128;

// The published record is larger than its MP3 member; the rest of it stays zero.
constexpr std::size_t kConfigBufferSize = 512;

// Kept from the load hook to the unload hook; nothing else survives between calls.
std::atomic<std::int32_t> g_selected{WAVPRESS_BLADEENC};
LibraryHandle g_bladeEnc = nullptr;
LibraryHandle g_lame = nullptr;

// The extension starts at the last '.' of the file name; the path's first character never
// counts. A name without one gets ".mp3" appended, so that a dot in a folder name can never send
// the output into another folder.
std::string Mp3PathFor(const std::string& path) {
  const std::size_t nameStart = path.find_last_of('/') + 1;  // 0 without a folder
  const std::size_t dot = path.find_last_of('.');
  if (dot != std::string::npos && dot >= std::max<std::size_t>(nameStart, 1)) {
    return path.substr(0, dot) + ".mp3";
  }
  return path + ".mp3";
}

// Percentage of the frames done, truncated; 100 is kept for the last chunk, since the total is
// an estimate when the rate is converted.
std::int32_t Percent(std::int64_t done, std::int64_t total) {
  if (total <= 0) return 99;
  const double percent = static_cast<double>(done) * 100.0 / static_cast<double>(total);
  return static_cast<std::int32_t>(std::min(percent, 99.0));
}

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile() {
    if (m_file) std::fclose(m_file);
  }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates or truncates; new files are writable.
  [[nodiscard]] bool Create(const std::string& path) {
    m_file = std::fopen(path.c_str(), "wb");
    return m_file != nullptr;
  }
  [[nodiscard]] bool Write(const std::uint8_t* data, std::size_t size) {
    return size == 0 || std::fwrite(data, 1, size, m_file) == size;
  }
  // Closing flushes the last buffered bytes, so it can fail too.
  [[nodiscard]] bool Close() {
    std::FILE* file = m_file;
    m_file = nullptr;
    return std::fclose(file) == 0;
  }

 private:
  std::FILE* m_file = nullptr;
};

class StreamGuard {
 public:
  StreamGuard(BeCloseStreamFunction close, BeStream stream) : m_close(close), m_stream(stream) {}
  ~StreamGuard() { m_close(m_stream); }
  StreamGuard(const StreamGuard&) = delete;
  StreamGuard& operator=(const StreamGuard&) = delete;

 private:
  BeCloseStreamFunction m_close;
  BeStream m_stream;
};

template <typename Function>
Function Lookup(LibraryHandle library, const char* name) {
  return reinterpret_cast<Function>(FindSymbol(library, name));
}

std::int32_t Encode(const char* path, const WavpressProgress* progress) {
  if (!path) return WAVPRESS_FAILED;
  // No fall-back: the selected library or nothing.
  const LibraryHandle library = g_selected == WAVPRESS_BLADEENC ? g_bladeEnc : g_lame;
  if (!library) return WAVPRESS_FAILED;
  const auto initStream = Lookup<BeInitStreamFunction>(library, "beInitStream");
  const auto encodeChunk = Lookup<BeEncodeChunkFunction>(library, "beEncodeChunk");
  const auto deinitStream = Lookup<BeDeinitStreamFunction>(library, "beDeinitStream");
  const auto closeStream = Lookup<BeCloseStreamFunction>(library, "beCloseStream");
  if (!initStream || !encodeChunk || !deinitStream || !closeStream) return WAVPRESS_FAILED;

  // Only what libsndfile reads as audio is encoded, never a header or a foreign file's bytes.
  const auto source = PcmSource::Open(path);
  if (!source) return WAVPRESS_FAILED;
  const std::string outputPath = Mp3PathFor(path);
  // An input whose extension already is ".mp3" would be truncated by its own output.
  std::error_code sameFileError;
  if (std::filesystem::equivalent(path, outputPath, sameFileError)) return WAVPRESS_FAILED;
  OutputFile output;
  if (!output.Create(outputPath)) return WAVPRESS_FAILED;

  std::array<std::uint8_t, kConfigBufferSize> record{};
  PutMp3Config(record, {.SampleRate = kTargetRate, .Mode = kModeStereo, .Bitrate = kBitrate});
  std::uint32_t samplesPerChunk = 0;
  std::uint32_t bufferSize = 0;
  BeStream stream = 0;
  if (initStream(record.data(), &samplesPerChunk, &bufferSize, &stream) != kBeOk) {
    return WAVPRESS_FAILED;
  }
  const StreamGuard guard(closeStream, stream);
  const std::size_t chunkFrames = samplesPerChunk / 2;
  if (chunkFrames == 0 || bufferSize == 0) return WAVPRESS_FAILED;
  std::vector<std::int16_t> pcm;
  std::vector<std::uint8_t> mp3;
  try {
    pcm.resize(chunkFrames * 2);
    mp3.resize(bufferSize);
  } catch (const std::bad_alloc&) {
    return WAVPRESS_FAILED;
  }

  const std::int64_t total = source->TotalFrames();
  std::int64_t done = 0;
  for (;;) {
    const std::int64_t frames = source->Read(pcm);
    if (frames < 0) return WAVPRESS_FAILED;
    if (frames == 0) break;
    std::uint32_t written = 0;
    if (encodeChunk(stream, static_cast<std::uint32_t>(frames * 2), pcm.data(), mp3.data(),
                    &written) != kBeOk) {
      return WAVPRESS_FAILED;
    }
    if (written > bufferSize || !output.Write(mp3.data(), written)) return WAVPRESS_FAILED;
    done += frames;
    const std::int32_t percent = source->AtEnd() ? 100 : Percent(done, total);
    // After a stop nothing more is encoded and the stream is not flushed.
    if (progress && *progress && (*progress)(percent) == 0) return WAVPRESS_STOPPED;
  }

  std::uint32_t written = 0;
  if (deinitStream(stream, mp3.data(), &written) != kBeOk) return WAVPRESS_FAILED;
  if (written > bufferSize || !output.Write(mp3.data(), written)) return WAVPRESS_FAILED;
  return output.Close() ? WAVPRESS_OK : WAVPRESS_FAILED;
}

// Load and unload hooks. A library that cannot be loaded is passed over silently: it shows as
// WAVPRESS_FAILED from every EncodeMp3 that selects it.
__attribute__((constructor)) void OnLoad() {
  try {
    g_bladeEnc = LoadBesideThisLibrary(kBladeEncFileName);
    g_lame = LoadBesideThisLibrary(kLameFileName);
  } catch (...) {
  }
  g_selected = WAVPRESS_BLADEENC;
}

__attribute__((destructor)) void OnUnload() {
  ReleaseLibrary(g_lame);
  ReleaseLibrary(g_bladeEnc);
  g_lame = nullptr;
  g_bladeEnc = nullptr;
}

}  // namespace
}  // namespace wavpress

extern "C" {

WAVPRESS_API int32_t WAVPRESS_CALL SetEncoder(int32_t encoder) {
  wavpress::g_selected = encoder;
  return 0;
}

WAVPRESS_API int32_t WAVPRESS_CALL EncodeMp3(const char* path, const WavpressProgress* progress) {
  try {
    return wavpress::Encode(path, progress);
  } catch (...) {
    return WAVPRESS_FAILED;
  }
}

}  // extern "C"
