#include "cli/opening.h"

#include <iostream>

#include "album/fileio.h"

namespace cli {

bool OpenForReading(const std::string& path, OpenedFile& opened) {
  std::string error;
  const album::OpenStatus status =
      album::OpenArchive(album::PathFromUtf8(path), opened.shown, {}, opened.archive, error);
  if (status == album::OpenStatus::CannotOpen) {
    std::cerr << "Cannot open " << path << ": " << error << '\n';
    return false;
  }
  if (status != album::OpenStatus::Ok) {
    std::cerr << album::kDamagedMessage << '\n';
    return false;
  }
  return true;
}

}  // namespace cli
