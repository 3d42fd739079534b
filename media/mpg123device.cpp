#include "media/mpg123device.h"

#include <algorithm>

#include "album/fileio.h"
#include "album/text.h"

namespace media {
namespace {

MediaReply Error(MediaError error) {
  return {error, {}};
}

}  // namespace

std::string_view ErrorText(MediaError error) {
  switch (error) {
    case MediaError::None:
      return "no error";
    case MediaError::UnrecognizedCommand:
      return "unrecognized command";
    case MediaError::MissingParameter:
      return "missing parameter";
    case MediaError::UnknownAlias:
      return "no device open under this alias";
    case MediaError::AliasInUse:
      return "alias already in use";
    case MediaError::CannotOpen:
      return "cannot open the file as MPEG audio";
  }
  return "unknown error";
}

std::unique_ptr<MediaDevice> CreateMediaDevice() {
  return std::make_unique<Mpg123Device>();
}

std::string OpenCommand(std::string_view path) {
  // Paths pass unchanged, quoted: there are no short names to fall back on here.
  return "open \"" + std::string(path) + "\" type MPEGVideo alias mp3";
}

std::int32_t QueryPlayLength(MediaDevice& device, std::string_view path) {
  // The return codes are not examined: a file without a length replies nothing, which reads
  // as 0.
  (void)device.SendString(OpenCommand(path));
  (void)device.SendString("set mp3 time format tmsf");
  std::string reply = device.SendString("status mp3 length").text;
  reply.resize(std::min<std::size_t>(reply.size(), 29));  // a 30-character reply buffer
  (void)device.SendString("close all");
  const double value = album::RoundHalfEven(album::LeadingNumber(reply));
  if (!(value > 0.0)) return 0;
  return value >= 2147483647.0 ? 2147483647 : static_cast<std::int32_t>(value);
}

MediaReply Mpg123Device::SendString(std::string_view text) {
  const auto command = ParseCommand(text);
  if (!command) return Error(MediaError::MissingParameter);
  if (command->verb == "open") return Open(*command);
  if (command->verb == "set") return Set(*command);
  if (command->verb == "status") return Status(*command);
  if (command->verb == "close") return Close(*command);
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
    alias = command.target;
    for (char& c : alias) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 0x20) : c;
  }
  if (m_files.contains(alias)) return Error(MediaError::AliasInUse);
  OpenFile file;
  file.path = album::PathFromUtf8(command.target);
  std::string error;
  file.decoder = Decoder::Open(file.path, error);
  if (!file.decoder) return Error(MediaError::CannotOpen);
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

MediaReply Mpg123Device::Status(const MediaCommand& command) {
  if (command.target.empty() || command.words.empty()) return Error(MediaError::MissingParameter);
  OpenFile* file = Find(command.target);
  if (!file) return Error(MediaError::UnknownAlias);
  if (command.words.size() != 1 || command.words[0] != "length") {
    return Error(MediaError::UnrecognizedCommand);
  }
  if (!file->length) {
    const auto samples = file->decoder->ScanSamples();
    file->length = samples ? SamplesToMilliseconds(*samples, file->decoder->Rate()) : 0;
  }
  return {MediaError::None, std::to_string(*file->length)};
}

MediaReply Mpg123Device::Close(const MediaCommand& command) {
  if (command.target.empty()) return Error(MediaError::MissingParameter);
  if (command.target == "all") {
    m_files.clear();
    return {};
  }
  if (m_files.erase(command.target) == 0) return Error(MediaError::UnknownAlias);
  return {};
}

}  // namespace media
