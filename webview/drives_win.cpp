// Drive list and drive types from the system.

#include <windows.h>

#include <string>

#include "base/text.h"
#include "webview/helpers.h"

namespace webview {

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

}  // namespace webview
