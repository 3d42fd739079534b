#include "media/mediadevice.h"

#include <algorithm>

#include "base/text.h"

namespace media {

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
    case MediaError::FileShrank:
      return "the file became shorter while it played";
    case MediaError::ReadFailed:
      return "the file cannot be read any more";
    case MediaError::Undecodable:
      return "the audio stopped decoding before its end";
  }
  return "unknown error";
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
  const double value = base::RoundHalfEven(base::LeadingNumber(reply));
  if (!(value > 0.0)) return 0;
  return value >= 2147483647.0 ? 2147483647 : static_cast<std::int32_t>(value);
}

}  // namespace media
