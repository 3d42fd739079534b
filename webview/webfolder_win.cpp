// Web folders on Windows: the per-user temporary folder is private already.
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "base/fileio.h"
#include "webview/webfolder_platform.h"

namespace webview {

std::string UserName() {
  const char* name = std::getenv("USERNAME");
  return name && *name ? name : "user";
}

bool MakeOwnFolders(const std::string& base, const std::vector<std::string>& levels,
                    std::string& error) {
  std::filesystem::path path = base::PathFromUtf8(base);
  for (const std::string& level : levels) {
    path /= base::PathFromUtf8(level);
    std::error_code ec;
    const auto status = std::filesystem::symlink_status(path, ec);
    if (std::filesystem::is_directory(status)) continue;
    if (std::filesystem::exists(status)) {
      error = base::Utf8FromPath(path) + " is not a folder (a link or a file is in its place)";
      return false;
    }
    std::filesystem::create_directory(path, ec);
    if (ec) {
      error = "cannot create " + base::Utf8FromPath(path) + ": " + ec.message();
      return false;
    }
  }
  return true;
}

bool RemoveFilesIn(const std::string& folder, const std::function<bool(std::string_view)>& pick,
                   std::string& error) {
  std::error_code ec;
  const std::filesystem::path path = base::PathFromUtf8(folder);
  if (std::filesystem::is_symlink(path, ec)) {
    error = folder + " is not a folder (a link is in its place)";
    return false;
  }
  std::vector<std::filesystem::path> files;
  std::filesystem::directory_iterator it(path, ec);
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    std::error_code kind;
    if (it->is_directory(kind) && !it->is_symlink(kind)) continue;
    if (pick(base::Utf8FromPath(it->path().filename()))) files.push_back(it->path());
  }
  if (ec) {
    error = "cannot list " + folder + ": " + ec.message();
    return false;
  }
  for (const auto& file : files) {
    std::filesystem::remove(file, ec);
    if (ec) {
      error = "cannot delete " + base::Utf8FromPath(file) + ": " + ec.message();
      return false;
    }
  }
  return true;
}

}  // namespace webview
