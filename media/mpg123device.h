#pragma once
// The media device on libmpg123. Each open file is held under its alias with its decoder;
// the player adds its commands (play, stop, seek, status position/mode) to this class.

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "media/command.h"
#include "media/decoder.h"
#include "media/mediadevice.h"

namespace media {

class Mpg123Device : public MediaDevice {
 public:
  MediaReply SendString(std::string_view command) override;

 protected:
  struct OpenFile {
    std::filesystem::path path;
    std::unique_ptr<Decoder> decoder;
    std::optional<std::int32_t> length;  ///< milliseconds, once scanned
  };

  /// The file open under `alias`, or nullptr.
  OpenFile* Find(const std::string& alias);

 private:
  MediaReply Open(const MediaCommand& command);
  MediaReply Set(const MediaCommand& command);
  MediaReply Status(const MediaCommand& command);
  MediaReply Close(const MediaCommand& command);

  std::map<std::string, OpenFile> m_files;
};

}  // namespace media
