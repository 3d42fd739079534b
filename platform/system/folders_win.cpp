// Drive list, drive types and folders from the system.

#include <windows.h>

#include <string>
#include <system_error>

#include "base/text.h"
#include "platform/system/folders.h"
#include "platform/system/folders_platform.h"

namespace platform {

bool IsWritableFolder(const std::filesystem::path& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_directory(path, ec);
}

std::filesystem::path SystemTempFolder() {
  std::error_code ec;
  const auto path = std::filesystem::temp_directory_path(ec);
  return ec ? std::filesystem::path() : path;
}

std::string LogicalDriveList() {
  // Room for 26 roots of four characters ("c:\" and its NUL).
  char buffer[105] = {};
  const DWORD length = GetLogicalDriveStringsA(104, buffer);
  if (length == 0 || length > 104) return {};
  std::string list;
  for (DWORD i = 0; i < length; ++i) {
    const char c = buffer[i];
    if (c == '\0') continue;
    list += base::AsciiLower(c);
  }
  return base::Trim(list);
}

int DriveTypeOf(std::string_view path) {
  const std::string text = base::Trim(path);
  if (text.empty()) return 0;
  // The documented form of a root names it with its backslash.
  const char root[4] = {base::AsciiUpper(text.front()), ':', '\\', '\0'};
  const UINT type = GetDriveTypeA(root);
  return type >= 1 && type <= 6 ? static_cast<int>(type) : 0;
}

std::filesystem::path ProgramFolder() {
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) break;
    if (length < name.size()) {
      name.resize(length);
      return std::filesystem::path(name).parent_path();
    }
    name.resize(name.size() * 2);
  }
  return {};
}

}  // namespace platform
