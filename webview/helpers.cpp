#include "webview/helpers.h"

#include <chrono>
#include <cmath>
#include <filesystem>
#include <random>
#include <system_error>

#include "album/fileio.h"
#include "album/text.h"

namespace webview {

namespace {

std::mt19937& Generator() {
  static std::mt19937 generator;
  return generator;
}

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsSeparator(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/';
#else
  return c == '/';
#endif
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

std::string TempFolder() {
  std::error_code ec;
  std::string folder = album::Utf8FromPath(std::filesystem::temp_directory_path(ec));
  if (ec) folder.clear();
  if (folder.empty() || !IsSeparator(folder.back())) {
    folder += static_cast<char>(std::filesystem::path::preferred_separator);
  }
  return folder;
}

bool PathExists(std::string_view path) {
  std::string text = album::Trim(path);
  if (text.size() > 1 && IsSeparator(text.back())) text.pop_back();
  if (text.empty()) return false;
  if (LogicalDriveList().find(Lower(text.front())) == std::string::npos) return false;
  const int type = DriveTypeOf(text);
  if (type < 1 || type > 6) return false;
  if (text.size() == 2 && text[1] == ':') return true;
  std::error_code ec;
  return std::filesystem::exists(album::PathFromUtf8(text), ec);
}

std::filesystem::path ProgramDataFolder(const std::filesystem::path& programFolder) {
  std::error_code ec;
  const std::filesystem::path prefix = programFolder.parent_path();
  const std::filesystem::path installed = prefix / "share" / "lyrabinder" / "data";
  if (std::filesystem::is_directory(installed, ec)) return installed;
  return prefix / "data";
}

}  // namespace webview
