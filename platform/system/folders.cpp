#include "platform/system/folders.h"

#include <system_error>

#include "base/fileio.h"
#include "base/text.h"
#include "platform/system/folders_platform.h"

namespace platform {

std::string TempFolder() {
  const std::filesystem::path found = SystemTempFolder();
  if (found.empty()) return {};
  // A relative folder would read as a host in the pages' file addresses.
  std::error_code ec;
  const std::filesystem::path path = std::filesystem::canonical(found, ec);
  if (ec || !IsWritableFolder(path)) return {};
  return base::WithTrailingSeparator(base::Utf8FromPath(path));
}

bool PathExists(std::string_view path) {
  std::string text = base::Trim(path);
  if (text.size() > 1 && base::IsPathSeparator(text.back())) text.pop_back();
  if (text.empty()) return false;
#ifndef _WIN32
  // One root holds every path, relative ones too: only the file system can tell.
  std::error_code missing;
  return std::filesystem::exists(
      std::filesystem::symlink_status(base::PathFromUtf8(text), missing));
#else
  if (LogicalDriveList().find(base::AsciiLower(text.front())) == std::string::npos) return false;
  const int type = DriveTypeOf(text);
  if (type < 1 || type > 6) return false;
  if (text.size() == 2 && text[1] == ':') return true;
  std::error_code ec;
  return std::filesystem::exists(base::PathFromUtf8(text), ec);
#endif
}

std::filesystem::path ProgramDataFolder(const std::filesystem::path& programFolder) {
  std::error_code ec;
  const std::filesystem::path prefix = programFolder.parent_path();
  const std::filesystem::path installed = prefix / "share" / "lyrabinder" / "data";
  if (std::filesystem::is_directory(installed, ec)) return installed;
  return prefix / "data";
}

}  // namespace platform
