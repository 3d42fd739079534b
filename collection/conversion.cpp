#include "collection/conversion.h"

#include <array>
#include <cstdlib>
#include <vector>

#include "album/albumformat.h"
#include "base/fileio.h"
#include "base/id3v1.h"
#include "base/text.h"
#include "compose/contentslist.h"
#include "media/decoder.h"
#include "mp3header/mp3header.h"
#include "platform/dynlib/dynlib.h"

namespace collection {
namespace {

constexpr const char* kLameFileName = "liblame_enc.so";
constexpr long kRate = 44100;
// The source's tags as bytes: a leading ID3v2 tag and a closing ID3v1 tag, each empty when
// absent. False when the source cannot be read.
bool ReadTags(const std::filesystem::path& path, std::vector<std::uint8_t>& id3v2,
              std::vector<std::uint8_t>& id3v1, std::string& error) {
  auto source = base::FileSource::Open(path, error);
  if (!source) return false;
  const std::int64_t size = source->Size();
  id3v2.resize(static_cast<std::size_t>(mp3header::Id3v2Length(*source, size)));
  if (!source->ReadAt(0, id3v2)) return false;
  if (size < static_cast<std::int64_t>(id3v2.size() + base::id3v1::kSize)) return true;
  id3v1.resize(base::id3v1::kSize);
  if (!source->ReadAt(size - static_cast<std::int64_t>(base::id3v1::kSize), id3v1)) return false;
  if (!base::id3v1::IsTag(id3v1)) id3v1.clear();
  return true;
}

}  // namespace

std::unique_ptr<LameLibrary> LameLibrary::Load(std::string& error) {
  void* library = platform::LoadProgramModule(kLameFileName, error);
  if (!library) return nullptr;
  std::unique_ptr<LameLibrary> encoder(new LameLibrary(library));
  if (!wavpress::BindBeFunctions(
          [&](const char* name) { return platform::FindSymbol(library, name); },
          encoder->functions)) {
    error = std::string(kLameFileName) + " lacks a function of the encoder interface";
    return nullptr;
  }
  return encoder;
}

LameLibrary::~LameLibrary() {
  platform::ReleaseLibrary(m_library);
}

ConvertResult ConvertTrack(const LameLibrary& encoder, const std::filesystem::path& source,
                           const std::filesystem::path& target,
                           const std::function<bool()>& stopped) {
  const std::string name = base::Utf8FromPath(source);
  const auto fail = [&](ConvertStatus status, const std::string& cause) {
    return ConvertResult{status, "Cannot convert " + name + ": " + cause};
  };
  std::string error;
  std::vector<std::uint8_t> id3v2, id3v1;
  if (!ReadTags(source, id3v2, id3v1, error)) {
    return fail(ConvertStatus::Failed, error.empty() ? "cannot read it" : error);
  }
  // The sound alone: the source's own delay, padding and info frame would add to the new
  // encoder's and lengthen the track.
  auto decoder = media::Decoder::Open(source, error, kRate, true);
  if (!decoder) return fail(ConvertStatus::NotAudio, error);

  std::array<std::uint8_t, wavpress::kConfigBufferSize> record{};
  wavpress::PutMp3Config(record, {.SampleRate = kRate, .Mode = wavpress::kModeStereo});
  std::uint32_t samplesPerChunk = 0, bufferSize = 0;
  wavpress::BeStream stream = 0;
  if (encoder.functions.initStream(record.data(), &samplesPerChunk, &bufferSize, &stream) !=
      wavpress::kBeOk) {
    return fail(ConvertStatus::Failed, "the encoder refused its settings");
  }
  const wavpress::BeStreamGuard guard(encoder.functions.closeStream, stream);
  const std::size_t chunkFrames = samplesPerChunk / 2;
  if (chunkFrames == 0 || bufferSize == 0) {
    return fail(ConvertStatus::Failed, "the encoder refused its settings");
  }
  std::vector<std::int16_t> pcm(chunkFrames * 2);
  std::vector<std::uint8_t> mp3(bufferSize);

  auto file = base::AtomicFile::Create(target, error);
  if (!file) return fail(ConvertStatus::Failed, "cannot create " + target.string() + ": " + error);
  const auto write = [&](std::span<const std::uint8_t> bytes) {
    return bytes.empty() || file->Sink().Write(bytes);
  };
  const auto writeFailed = [&] {
    return fail(ConvertStatus::Failed,
                "cannot write " + target.string() + ": " + file->WriteError());
  };
  if (!write(id3v2)) return writeFailed();
  for (;;) {
    if (stopped && stopped()) return fail(ConvertStatus::Stopped, "stopped");
    // A chunk is filled whole except at the end: the encoder takes any count, but fewer calls.
    std::size_t frames = 0;
    while (frames < chunkFrames) {
      const std::size_t got = decoder->ReadPcm(pcm.data() + frames * 2, chunkFrames - frames);
      if (got == 0) break;
      frames += got;
    }
    if (frames == 0) break;
    std::uint32_t written = 0;
    if (encoder.functions.encodeChunk(stream, static_cast<std::uint32_t>(frames * 2), pcm.data(),
                                      mp3.data(), &written) != wavpress::kBeOk ||
        written > bufferSize) {
      return fail(ConvertStatus::Failed, "the encoder failed");
    }
    if (!write({mp3.data(), written})) return writeFailed();
  }
  std::uint32_t written = 0;
  if (encoder.functions.deinitStream(stream, mp3.data(), &written) != wavpress::kBeOk ||
      written > bufferSize) {
    return fail(ConvertStatus::Failed, "the encoder failed");
  }
  if (!write({mp3.data(), written}) || !write(id3v1)) return writeFailed();
  if (!file->Commit(error, base::Replace::Allowed)) {
    return fail(ConvertStatus::Failed, "cannot write " + target.string() + ": " + error);
  }
  return {};
}

}  // namespace collection

namespace collection {

std::unique_ptr<WorkFolder> WorkFolder::Create(std::string& error) {
  std::error_code code;
  const std::filesystem::path temp = std::filesystem::temp_directory_path(code);
  if (code) {
    error = code.message();
    return nullptr;
  }
  std::string pattern = (temp / "lyrabinder-convert-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    error = base::LastErrorText();
    return nullptr;
  }
  return std::unique_ptr<WorkFolder>(new WorkFolder(pattern));
}

WorkFolder::~WorkFolder() {
  std::error_code ignored;  // what cannot be removed stays in the temporary folder
  std::filesystem::remove_all(m_path, ignored);
}

ConvertedList ConvertRefusedTracks(const std::vector<std::string>& entries,
                                   const LameLibrary& encoder, const std::filesystem::path& folder,
                                   const std::function<bool()>& stopped) {
  ConvertedList result;
  result.entries = entries;
  for (std::string& entry : result.entries) {
    if (album::KindOf(entry) != album::ItemKind::Track) continue;
    mp3header::MP3HeaderInfo info;
    const mp3header::AnalyseStatus status = compose::AnalyseFile(entry, info);
    if (mp3header::IsAcceptedTrack(status, info) ||
        status == mp3header::AnalyseStatus::CannotOpen) {
      continue;
    }
    // A folder per track: tracks named alike in different folders keep their names.
    const std::filesystem::path place = folder / std::to_string(result.converted.size());
    std::error_code error;
    std::filesystem::create_directory(place, error);
    const std::filesystem::path target = place / base::PathFromUtf8(base::FileNameOf(entry));
    const ConvertResult converted =
        ConvertTrack(encoder, base::PathFromUtf8(entry), target, stopped);
    if (converted.status == ConvertStatus::NotAudio) continue;
    if (!converted.ok()) {
      result.failure = converted;
      return result;
    }
    result.converted.emplace_back(base::FileNameOf(entry));
    entry = base::Utf8FromPath(target);
  }
  return result;
}

}  // namespace collection
