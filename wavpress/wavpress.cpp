#include "wavpress/wavpress.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <new>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "base/fileio.h"
#include "platform/dynlib/dynlib.h"
#include "wavpress/bladeenc.h"
#include "wavpress/outputname.h"
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

// Kept from the load hook to the unload hook; nothing else survives between calls.
std::atomic<std::int32_t> g_selected{WAVPRESS_BLADEENC};
std::atomic<bool> g_replace{false};

// The cause of this thread's last failure, for LastFailure: encodings may run on several
// threads at once. Plain bytes, so that no thread-exit destructor keeps the library loaded.
struct Failure {
  std::int32_t code = WAVPRESS_NO_FAILURE;
  char text[1024] = {};
};
thread_local Failure g_failure;

std::int32_t Fail(std::int32_t code, const std::string& text) {
  g_failure.code = code;
  const std::size_t length = std::min(text.size(), sizeof g_failure.text - 1);
  std::copy_n(text.data(), length, g_failure.text);
  g_failure.text[length] = '\0';
  return WAVPRESS_FAILED;
}

std::int32_t FailureOf(PcmRefusal refusal) {
  switch (refusal) {
    case PcmRefusal::Rate:
      return WAVPRESS_RATE_OUT_OF_RANGE;
    case PcmRefusal::Channels:
      return WAVPRESS_CHANNELS_OUT_OF_RANGE;
    case PcmRefusal::NotWav:
    case PcmRefusal::NotAudio:
    case PcmRefusal::NoAudio:
      return WAVPRESS_UNSUPPORTED_FORMAT;
    default:
      return WAVPRESS_UNREADABLE;
  }
}
LibraryHandle g_bladeEnc = nullptr;
LibraryHandle g_lame = nullptr;

// Percentage of the frames done, truncated; 100 is kept for the last chunk, since the total is
// an estimate when the rate is converted.
std::int32_t Percent(std::int64_t done, std::int64_t total) {
  if (total <= 0) return 99;
  const double percent = static_cast<double>(done) * 100.0 / static_cast<double>(total);
  return static_cast<std::int32_t>(std::min(percent, 99.0));
}

// After a stop, a text for LastFailure that says where the part went; no failure.
void Note(const std::string& text) {
  Fail(WAVPRESS_NO_FAILURE, text);
}

// "NAME (part).mp3" beside `output`: the part of a stopped run that must not take its place.
std::string PartName(const std::filesystem::path& output) {
  const std::string name = base::Utf8FromPath(output.filename());
  const auto dot = name.rfind('.');
  const bool hasExtension = dot != std::string::npos && dot > 0;
  return (hasExtension ? name.substr(0, dot) : name) + " (part)" +
         (hasExtension ? name.substr(dot) : std::string());
}

// What one call reports to: its callback and the caller's context.
struct Reporter {
  WavpressContextProgress progress = nullptr;
  void* context = nullptr;
  bool GoOn(std::int32_t percent) const {
    return progress == nullptr || progress(context, percent) != 0;
  }
};

// The callback of EncodeMp3 sits in the caller's slot, read afresh at every report.
std::int32_t WAVPRESS_CALL CallSlot(void* slot, std::int32_t percent) {
  const WavpressProgress callback = *static_cast<const WavpressProgress*>(slot);
  return callback ? callback(percent) : 1;
}

Reporter SlotReporter(const WavpressProgress* slot) {
  if (slot == nullptr) return {};
  return {&CallSlot, const_cast<WavpressProgress*>(slot)};
}

std::int32_t Encode(const char* path, const char* outputName, std::int32_t selected, bool replace,
                    const Reporter& reporter) {
  g_failure = {};
  if (!path || !outputName) return Fail(WAVPRESS_UNREADABLE, "no file given");
  // No fall-back: the selected library or nothing.
  const bool blade = selected == WAVPRESS_BLADEENC;
  const LibraryHandle library = blade ? g_bladeEnc : g_lame;
  const std::string encoderName = blade ? kBladeEncFileName : kLameFileName;
  if (!library) {
    return Fail(WAVPRESS_NO_ENCODER,
                std::string(path) + ": the encoder " + encoderName + " is not loaded");
  }
  BeFunctions encoder;
  if (!BindBeFunctions([&](const char* name) { return FindSymbol(library, name); }, encoder)) {
    return Fail(WAVPRESS_NO_ENCODER, std::string(path) + ": " + encoderName +
                                         " lacks a function of the encoder interface");
  }

  // Only the samples of a WAV are encoded, never a header or a foreign file's bytes; a file
  // without any gives no MP3 at all.
  PcmOpenError refused;
  const auto source = PcmSource::Open(path, refused);
  if (!source) return Fail(FailureOf(refused.refusal), std::string(path) + ": " + refused.text);
  // Every text names the input first, as front ends print it after nothing else.
  const std::string input = std::string(path) + ": ";
  const std::string outputPath = outputName;
  const std::filesystem::path output(outputPath);
  // An input whose extension already is ".mp3" would be replaced by its own output.
  if (base::SameFile(path, output)) {
    return Fail(WAVPRESS_OUTPUT_EXISTS,
                input + "it would be its own output; give it another extension (.wav)");
  }
  std::error_code folderError;
  if (std::filesystem::is_directory(std::filesystem::symlink_status(output, folderError))) {
    return Fail(WAVPRESS_CANNOT_WRITE, input + "cannot write " + outputPath + ": it is a folder");
  }
  const bool existed = base::NameTaken(output);
  if (!replace && existed) return Fail(WAVPRESS_OUTPUT_EXISTS, input + outputPath + " exists");
  // Without it the final rename would drop a file the user made read-only.
  if (existed && !base::MayReplace(output)) {
    return Fail(WAVPRESS_CANNOT_WRITE, input + outputPath + " is read-only; it is not replaced");
  }
  const base::Replace mode = existed ? base::Replace::Allowed : base::Replace::Never;
  std::string error;
  auto file = base::AtomicFile::Create(output, error);
  if (!file) {
    return Fail(WAVPRESS_CANNOT_WRITE, input + "cannot create " + outputPath + ": " + error);
  }
  const auto writeFailed = [&] {
    return Fail(WAVPRESS_CANNOT_WRITE,
                input + "cannot write " + outputPath + ": " + file->WriteError());
  };
  const auto write = [&](const std::uint8_t* data, std::size_t size) {
    return size == 0 || file->Sink().Write({data, size});
  };
  const auto encoderFailed = [&] {
    return Fail(WAVPRESS_ENCODER_ERROR, input + encoderName + " failed");
  };
  // Moves what was written into place; a file that appeared meanwhile is kept.
  const auto commit = [&]() -> bool {
    if (file->Commit(error, mode)) return true;
    if (file->TargetExisted()) {
      Fail(WAVPRESS_OUTPUT_EXISTS, input + outputPath + " appeared meanwhile; kept it");
    } else {
      Fail(WAVPRESS_CANNOT_WRITE, input + "cannot write " + outputPath + ": " + error);
    }
    return false;
  };
  // A part never replaces a file: it takes the output's place only where that is free, else
  // the first free "NAME (part).mp3" beside it.
  const auto keepPart = [&] {
    if (file->Commit(error, base::Replace::Never)) return;
    for (int attempt = 0; attempt < 100 && file->TargetExisted(); ++attempt) {
      const std::filesystem::path part = base::FreePath(output.parent_path(), PartName(output), 1);
      if (file->CommitAs(part, error, base::Replace::Never)) {
        Note(input + "stopped; " + outputPath + " is kept as it was, the part encoded so far is " +
             base::Utf8FromPath(part));
        return;
      }
    }
    Fail(WAVPRESS_CANNOT_WRITE,
         input + "stopped; the part encoded so far could not be kept: " + error);
  };

  std::array<std::uint8_t, kConfigBufferSize> record{};
  PutMp3Config(record, {.SampleRate = kTargetRate, .Mode = kModeStereo, .Bitrate = kBitrate});
  std::uint32_t samplesPerChunk = 0;
  std::uint32_t bufferSize = 0;
  BeStream stream = 0;
  if (encoder.initStream(record.data(), &samplesPerChunk, &bufferSize, &stream) != kBeOk) {
    return encoderFailed();
  }
  const BeStreamGuard guard(encoder.closeStream, stream);
  const std::size_t chunkFrames = samplesPerChunk / 2;
  if (chunkFrames == 0 || bufferSize == 0) return encoderFailed();
  std::vector<std::int16_t> pcm;
  std::vector<std::uint8_t> mp3;
  try {
    pcm.resize(chunkFrames * 2);
    mp3.resize(bufferSize);
  } catch (const std::bad_alloc&) {
    return Fail(WAVPRESS_ENCODER_ERROR, "out of memory");
  }

  const std::int64_t total = source->TotalFrames();
  std::int64_t done = 0;
  for (;;) {
    const std::int64_t frames = source->Read(pcm);
    if (frames < 0) return Fail(WAVPRESS_UNREADABLE, input + "cannot be read to its end");
    if (frames == 0) break;
    std::uint32_t written = 0;
    if (encoder.encodeChunk(stream, static_cast<std::uint32_t>(frames * 2), pcm.data(), mp3.data(),
                            &written) != kBeOk) {
      return encoderFailed();
    }
    if (written > bufferSize) return encoderFailed();
    if (!write(mp3.data(), written)) return writeFailed();
    done += frames;
    const std::int32_t percent = source->AtEnd() ? 100 : Percent(done, total);
    // After a stop nothing more is encoded and the stream is not flushed; the part encoded
    // so far is kept.
    if (!reporter.GoOn(percent)) {
      keepPart();
      return WAVPRESS_STOPPED;
    }
  }

  std::uint32_t written = 0;
  if (encoder.deinitStream(stream, mp3.data(), &written) != kBeOk || written > bufferSize) {
    return encoderFailed();
  }
  if (!write(mp3.data(), written)) return writeFailed();
  return commit() ? WAVPRESS_OK : WAVPRESS_FAILED;
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
  g_replace = false;
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

WAVPRESS_API int32_t WAVPRESS_CALL SetReplaceExisting(int32_t replace) {
  wavpress::g_replace = replace != 0;
  return 0;
}

WAVPRESS_API int32_t WAVPRESS_CALL EncodeMp3(const char* path, const WavpressProgress* progress) {
  try {
    return wavpress::Encode(path, path ? wavpress::Mp3PathFor(path).c_str() : nullptr,
                            wavpress::g_selected, wavpress::g_replace,
                            wavpress::SlotReporter(progress));
  } catch (...) {
    return wavpress::Fail(WAVPRESS_ENCODER_ERROR, "unexpected error");
  }
}

WAVPRESS_API int32_t WAVPRESS_CALL EncodeMp3As(const char* path, const char* output,
                                               const WavpressProgress* progress) {
  try {
    return wavpress::Encode(path, output, wavpress::g_selected, wavpress::g_replace,
                            wavpress::SlotReporter(progress));
  } catch (...) {
    return wavpress::Fail(WAVPRESS_ENCODER_ERROR, "unexpected error");
  }
}

WAVPRESS_API int32_t WAVPRESS_CALL EncodeMp3With(const char* path, const char* output,
                                                 int32_t encoder, int32_t flags,
                                                 WavpressContextProgress progress, void* context) {
  try {
    const std::string usual = path && !output ? wavpress::Mp3PathFor(path) : std::string();
    return wavpress::Encode(path, output ? output : usual.c_str(), encoder,
                            (flags & WAVPRESS_REPLACE_EXISTING) != 0, {progress, context});
  } catch (...) {
    return wavpress::Fail(WAVPRESS_ENCODER_ERROR, "unexpected error");
  }
}

WAVPRESS_API int32_t WAVPRESS_CALL LastFailure(char* text, int32_t size) {
  if (text && size > 0) {
    const std::string_view message = wavpress::g_failure.text;
    const auto length = std::min<std::size_t>(message.size(), static_cast<std::size_t>(size) - 1);
    std::copy_n(message.data(), length, text);
    text[length] = '\0';
  }
  return wavpress::g_failure.code;
}

}  // extern "C"
