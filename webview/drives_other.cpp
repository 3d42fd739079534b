// Systems with one file-system root: every absolute path lies on it.

#include <string>

#include "base/text.h"
#include "webview/helpers.h"

namespace webview {

namespace {
constexpr int kFixedDrive = 3;
}

std::string LogicalDriveList() {
  return "/";
}

int DriveTypeOf(std::string_view path) {
  const std::string text = base::Trim(path);
  return !text.empty() && text.front() == '/' ? kFixedDrive : 0;
}

}  // namespace webview
