#include "media/mpg123device.h"

#include <algorithm>

#include "base/fileio.h"
#include "base/text.h"

namespace media {
namespace {

MediaReply Error(MediaError error) {
  return {error, {}};
}

}  // namespace

std::unique_ptr<MediaDevice> CreateMediaDevice() {
  return std::make_unique<Mpg123Device>();
}

Mpg123Device::Mpg123Device(OutputFactory outputs)
    : m_outputs(std::move(outputs)), m_volume(std::make_shared<std::atomic<int>>(1000)) {}

Mpg123Device::~Mpg123Device() {
  for (auto& entry : m_files) Release(entry.second);
}

MediaReply Mpg123Device::SendString(std::string_view text) {
  const auto command = ParseCommand(text);
  if (!command) return Error(MediaError::MissingParameter);
  if (command->verb == "open") return Open(*command);
  if (command->verb == "set") return Set(*command);
  if (command->verb == "status") return Status(*command);
  if (command->verb == "close") return Close(*command);
  if (command->verb == "play") return Play(*command);
  if (command->verb == "pause") return PauseOrStop(*command, Mode::Paused);
  if (command->verb == "stop") return PauseOrStop(*command, Mode::Stopped);
  if (command->verb == "setaudio") return SetAudio(*command);
  return Error(MediaError::UnrecognizedCommand);
}

Mpg123Device::OpenFile* Mpg123Device::Find(const std::string& alias) {
  const auto it = m_files.find(alias);
  return it == m_files.end() ? nullptr : &it->second;
}

MediaReply Mpg123Device::Open(const MediaCommand& command) {
  // Without an alias the device is known by its path.
  std::string alias = OptionValue(command.words, "alias").value_or("");
  if (alias.empty()) {
    alias = base::AsciiLower(command.target);
  }
  if (m_files.contains(alias)) return Error(MediaError::AliasInUse);
  OpenFile file;
  file.path = base::PathFromUtf8(command.target);
  if (const auto length = HeaderLength(file.path)) {
    file.rate = length->rate;
    file.length = SamplesToMilliseconds(length->samples, length->rate);
  } else {
    std::string error;
    file.decoder = Decoder::Open(file.path, error);
    if (!file.decoder) return Error(MediaError::CannotOpen);
    file.rate = file.decoder->Rate();
  }
  m_files.emplace(std::move(alias), std::move(file));
  return {};
}

MediaReply Mpg123Device::Set(const MediaCommand& command) {
  if (command.target.empty()) return Error(MediaError::MissingParameter);
  if (!Find(command.target)) return Error(MediaError::UnknownAlias);
  const auto format = OptionValue(command.words, "format");
  if (command.words.size() != 3 || command.words[0] != "time" || !format) {
    return Error(MediaError::UnrecognizedCommand);
  }
  // Replies stay in milliseconds whatever the format: the callers read them as such.
  if (*format != "tmsf" && *format != "milliseconds" && *format != "ms") {
    return Error(MediaError::UnrecognizedCommand);
  }
  return {};
}

std::int32_t Mpg123Device::LengthMs(OpenFile& file) {
  if (file.length) return *file.length;
  std::error_code error;
  const auto size = std::filesystem::file_size(file.path, error);
  const auto changed = std::filesystem::last_write_time(file.path, error);
  const auto known = m_lengths.find(file.path);
  if (!error && known != m_lengths.end() && known->second.size == static_cast<std::int64_t>(size) &&
      known->second.changed == changed) {
    file.length = known->second.ms;
    return *file.length;
  }
  // The header was tried when the file was opened.
  const auto samples = file.decoder->ScanSamples();
  file.length = samples ? SamplesToMilliseconds(*samples, file.rate) : 0;
  if (!error && samples) {
    m_lengths[file.path] = {static_cast<std::int64_t>(size), changed, *file.length};
  }
  return *file.length;
}

std::int32_t Mpg123Device::PositionMs(const OpenFile& file) const {
  const long rate = file.rate;
  const std::int64_t played = file.output ? file.output->PlayedFrames() : 0;
  return SamplesToMilliseconds(file.startSample + played, rate);
}

MediaReply Mpg123Device::Status(const MediaCommand& command) {
  if (command.target.empty() || command.words.empty()) return Error(MediaError::MissingParameter);
  OpenFile* file = Find(command.target);
  if (!file) return Error(MediaError::UnknownAlias);
  if (command.words.size() != 1) return Error(MediaError::UnrecognizedCommand);
  const std::string& item = command.words[0];
  if (item == "length") return {MediaError::None, std::to_string(LengthMs(*file))};
  if (item == "position") {
    if (const MediaError fault = Fault(*file); fault != MediaError::None) return Error(fault);
    return {MediaError::None, std::to_string(PositionMs(*file))};
  }
  if (item == "mode") {
    switch (file->mode) {
      case Mode::Playing:
        return {MediaError::None, "playing"};
      case Mode::Paused:
        return {MediaError::None, "paused"};
      case Mode::Stopped:
        return {MediaError::None, "stopped"};
    }
  }
  return Error(MediaError::UnrecognizedCommand);
}

MediaError Mpg123Device::Fault(OpenFile& file) {
  if (file.fault != MediaError::None || !file.player) return file.fault;
  const std::int64_t endedAt = file.endedAt->load();
  if (file.player->FileShrank() || file.player->Fault() == FileFault::Shrank) {
    file.fault = MediaError::FileShrank;
  } else if (file.player->Fault() == FileFault::ReadError) {
    file.fault = MediaError::ReadFailed;
  } else if (endedAt >= 0 && SamplesToMilliseconds(endedAt, file.rate) < LengthMs(file)) {
    // The end of an album's audio is junk to the decoder (pictures, lyrics, directory) just
    // as overwritten audio is: only the length tells a failure from the end.
    file.fault = MediaError::Undecodable;
  }
  return file.fault;
}

bool Mpg123Device::StartPlayback(OpenFile& file) {
  if (file.output) return true;
  if (file.failed) return false;
  // The length as the file is now, before playing may find it changed.
  (void)LengthMs(file);
  std::string error;
  file.player = Decoder::Open(file.path, error);
  if (file.player) file.output = m_outputs ? m_outputs() : nullptr;
  if (!file.player || !file.output) {
    file.failed = true;
    file.player.reset();
    file.output.reset();
    return false;
  }
  Decoder* decoder = file.player.get();
  const int channels = decoder->Channels();
  std::shared_ptr<std::atomic<int>> volume = m_volume;
  std::shared_ptr<std::atomic<std::int64_t>> endedAt = file.endedAt;
  PcmPull pull = [decoder, channels, volume, endedAt](std::int16_t* out, std::size_t frames) {
    const std::size_t got = decoder->ReadPcm(out, frames);
    if (got < frames && endedAt->load() < 0) endedAt->store(decoder->Tell());
    const int level = volume->load();
    if (level < 1000) {
      const std::size_t values = got * static_cast<std::size_t>(channels);
      for (std::size_t i = 0; i < values; ++i) {
        out[i] = static_cast<std::int16_t>(out[i] * level / 1000);
      }
    }
    return got;
  };
  if (!file.output->Open(decoder->Rate(), channels, std::move(pull))) {
    file.failed = true;
    Release(file);
    return false;
  }
  return true;
}

MediaReply Mpg123Device::Play(const MediaCommand& command) {
  if (command.target.empty()) return Error(MediaError::MissingParameter);
  OpenFile* file = Find(command.target);
  if (!file) return Error(MediaError::UnknownAlias);
  std::optional<std::int64_t> fromMs;
  if (!command.words.empty()) {
    const auto from = OptionValue(command.words, "from");
    if (command.words.size() != 2 || !from || from->empty() ||
        from->find_first_not_of("0123456789") != std::string::npos || from->size() > 10) {
      return Error(MediaError::UnrecognizedCommand);
    }
    fromMs = std::stoll(*from);
  }
  if (!StartPlayback(*file)) return Error(MediaError::CannotOpen);
  if (const MediaError fault = Fault(*file); fault != MediaError::None) return Error(fault);
  if (fromMs || file->mode == Mode::Stopped) {
    // Play without a position resumes a pause and restarts a stop where it stopped.
    const long rate = file->rate;
    const std::int64_t sample =
        fromMs ? *fromMs * rate / 1000 : file->startSample + file->output->PlayedFrames();
    Decoder* player = file->player.get();
    std::atomic<std::int64_t>& endedAt = *file->endedAt;
    std::int64_t start = sample;
    file->output->SetPaused(true);
    file->output->Reset([player, &start, &endedAt] {
      start = player->SeekSample(start).value_or(start);
      endedAt = -1;
    });
    file->startSample = start;
  }
  file->output->SetPaused(false);
  file->mode = Mode::Playing;
  return {};
}

MediaReply Mpg123Device::PauseOrStop(const MediaCommand& command, Mode mode) {
  if (command.target.empty()) return Error(MediaError::MissingParameter);
  if (!command.words.empty()) return Error(MediaError::UnrecognizedCommand);
  OpenFile* file = Find(command.target);
  if (!file) return Error(MediaError::UnknownAlias);
  if (file->output) file->output->SetPaused(true);
  if (mode == Mode::Stopped || file->mode != Mode::Stopped) file->mode = mode;
  return {};
}

MediaReply Mpg123Device::SetAudio(const MediaCommand& command) {
  // setaudio ALIAS|all volume to N (0..1000): the device's volume, for this and later files.
  if (command.target.empty()) return Error(MediaError::MissingParameter);
  if (command.target != "all" && !Find(command.target)) return Error(MediaError::UnknownAlias);
  const auto level = OptionValue(command.words, "to");
  if (command.words.size() != 3 || command.words[0] != "volume" || !level || level->empty() ||
      level->size() > 4 || level->find_first_not_of("0123456789") != std::string::npos) {
    return Error(MediaError::UnrecognizedCommand);
  }
  m_volume->store(std::min(std::stoi(*level), 1000));
  return {};
}

void Mpg123Device::Release(OpenFile& file) {
  file.output.reset();  // stops the output's thread before its decoder goes
  file.player.reset();
}

MediaReply Mpg123Device::Close(const MediaCommand& command) {
  if (command.target.empty()) return Error(MediaError::MissingParameter);
  if (command.target == "all") {
    for (auto& entry : m_files) Release(entry.second);
    m_files.clear();
    return {};
  }
  OpenFile* file = Find(command.target);
  if (!file) return Error(MediaError::UnknownAlias);
  Release(*file);
  m_files.erase(command.target);
  return {};
}

}  // namespace media
