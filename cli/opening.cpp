#include "cli/opening.h"

#include <iostream>

#include "album/fileio.h"
#include "webview/helpers.h"

namespace cli {

std::filesystem::path ProgramFolder() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::current_path(ec) : exe.parent_path();
}

std::string ProgramDataFolder() {
  return album::Utf8FromPath(webview::ProgramDataFolder(ProgramFolder()));
}

std::unique_ptr<album::FileSource> OpenSource(const std::string& path) {
  std::string error;
  auto source = album::FileSource::Open(album::PathFromUtf8(path), error);
  if (!source) std::cerr << "Cannot open " << path << ": " << error << '\n';
  return source;
}

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
