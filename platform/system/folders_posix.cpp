// Systems with one file-system root: every absolute path lies on it.

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <system_error>

#include "base/text.h"
#include "platform/system/folders.h"
#include "platform/system/folders_platform.h"

namespace platform {

namespace {
constexpr int kFixedDrive = 3;
}

bool IsWritableFolder(const std::filesystem::path& path) {
  std::error_code ec;
  if (path.empty() || !std::filesystem::is_directory(path, ec)) return false;
  return ::access(path.c_str(), W_OK | X_OK) == 0;
}

std::filesystem::path SystemTempFolder() {
  // As temp_directory_path looks, but a variable that is empty or names no writable folder is
  // passed over instead of ending the search.
  for (const char* name : {"TMPDIR", "TMP", "TEMP", "TEMPDIR"}) {
    const char* value = std::getenv(name);
    if (value && *value && IsWritableFolder(value)) return value;
  }
  return "/tmp";
}

std::string LogicalDriveList() {
  return "/";
}

int DriveTypeOf(std::string_view path) {
  const std::string text = base::Trim(path);
  return !text.empty() && text.front() == '/' ? kFixedDrive : 0;
}

std::filesystem::path ProgramFolder() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : exe.parent_path();
}

}  // namespace platform
