#include "webview/helpers.h"

#ifndef _WIN32
#include <unistd.h>
#endif

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <system_error>

#include "base/fileio.h"
#include "base/text.h"

namespace webview {

namespace {

std::mt19937& Generator() {
  static std::mt19937 generator;
  return generator;
}

}  // namespace

std::string TwoDigitText(long long value) {
  std::string text = std::to_string(value);
  return value < 10 ? "0" + text : text;
}

std::string FormatSeconds(double seconds) {
  const auto whole = static_cast<long long>(std::fabs(std::trunc(seconds)));
  return TwoDigitText(whole / 60) + ":" + TwoDigitText(whole % 60);
}

void SeedRandomFromClock() {
  Generator().seed(static_cast<std::mt19937::result_type>(
      std::chrono::system_clock::now().time_since_epoch().count()));
}

int RandomInt(int low, int high) {
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  const double r = uniform(Generator());
  const auto span = static_cast<double>(high) - static_cast<double>(low) + 1.0;
  return static_cast<int>(std::floor(r * span)) + low;
}

namespace {

bool IsWritableFolder(const std::filesystem::path& path) {
  std::error_code ec;
  if (path.empty() || !std::filesystem::is_directory(path, ec)) return false;
#ifdef _WIN32
  return true;
#else
  return ::access(path.c_str(), W_OK | X_OK) == 0;
#endif
}

std::filesystem::path SystemTempFolder() {
#ifdef _WIN32
  std::error_code ec;
  const auto path = std::filesystem::temp_directory_path(ec);
  return ec ? std::filesystem::path() : path;
#else
  // As temp_directory_path looks, but a variable that is empty or names no writable folder is
  // passed over instead of ending the search.
  for (const char* name : {"TMPDIR", "TMP", "TEMP", "TEMPDIR"}) {
    const char* value = std::getenv(name);
    if (value && *value && IsWritableFolder(value)) return value;
  }
  return "/tmp";
#endif
}

}  // namespace

std::string TempFolder() {
  const std::filesystem::path found = SystemTempFolder();
  if (found.empty()) return {};
  // A relative folder would read as a host in the pages' file addresses.
  std::error_code ec;
  const std::filesystem::path path = std::filesystem::canonical(found, ec);
  if (ec || !IsWritableFolder(path)) return {};
  std::string folder = base::Utf8FromPath(path);
  if (!base::IsPathSeparator(folder.back())) {
    folder += static_cast<char>(std::filesystem::path::preferred_separator);
  }
  return folder;
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

}  // namespace webview
