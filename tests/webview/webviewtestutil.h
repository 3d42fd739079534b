#pragma once
// Albums and pictures for the web view tests.

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "tests/album/albumtestutil.h"
#include "webview/previews.h"

namespace webview::testing {

using testsupport::Bytes;

/// Lines joined by CR LF, each ended.
inline std::string Crlf(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

/// A text padded with blanks to `width`, as stored fields read back.
inline std::string Padded(std::string text, std::size_t width) {
  text.resize(width, ' ');
  return text;
}

/// A picture only FakePictureService understands: "PIC <width> <height>".
inline Bytes FakePicture(int width, int height) {
  return testsupport::BytesOf("PIC " + std::to_string(width) + " " + std::to_string(height));
}

/// Reads FakePicture bytes and "encodes" the fitted size as "JPEG <width>x<height>". Called
/// on several threads at once, as the Qt service is.
class FakePictureService final : public PictureService {
 public:
  std::vector<PictureSize> fitted;
  bool ConcurrentCalls() const override { return true; }
  std::optional<std::vector<std::uint8_t>> ScaledJpeg(
      std::span<const std::uint8_t> picture, const std::function<PictureSize(PictureSize)>& fit,
      int quality) override {
    const std::string text(picture.begin(), picture.end());
    PictureSize size;
    if (quality != kPreviewQuality ||
        std::sscanf(text.c_str(), "PIC %d %d", &size.width, &size.height) != 2) {
      return std::nullopt;
    }
    const PictureSize target = fit(size);
    const std::lock_guard lock(m_mutex);
    fitted.push_back(target);
    return testsupport::BytesOf("JPEG " + std::to_string(target.width) + "x" +
                                std::to_string(target.height));
  }

 private:
  std::mutex m_mutex;
};

/// A GIF picture of a four-colour palette (RGB triples), each pixel an index into it; the
/// index `transparent` is see-through (-1: none). Its LZW data starts over every two pixels,
/// which keeps every code three bits wide.
inline Bytes Gif(int width, int height, const std::array<std::uint8_t, 12>& palette,
                 const std::function<int(int x, int y)>& pixel, int transparent = -1) {
  // Codes 0-3 are pixels, 4 clears, 5 ends; packed from the lowest bit on.
  Bytes data;
  std::uint32_t bits = 0;
  int count = 0;
  const auto code = [&](int value) {
    bits |= static_cast<std::uint32_t>(value) << count;
    for (count += 3; count >= 8; count -= 8, bits >>= 8) {
      data.push_back(static_cast<std::uint8_t>(bits & 0xFF));
    }
  };
  for (int i = 0; i < width * height; ++i) {
    if (i % 2 == 0) code(4);
    code(pixel(i % width, i / width));
  }
  code(5);
  if (count > 0) data.push_back(static_cast<std::uint8_t>(bits & 0xFF));
  const auto lo = [](int v) { return static_cast<std::uint8_t>(v & 0xFF); };
  const auto hi = [](int v) { return static_cast<std::uint8_t>(v >> 8); };
  Bytes out = testsupport::BytesOf("GIF89a");
  // The screen with a global palette of 4 entries.
  out.insert(out.end(), {lo(width), hi(width), lo(height), hi(height), 0x81, 0, 0});
  out.insert(out.end(), palette.begin(), palette.end());
  if (transparent >= 0) {
    out.insert(out.end(), {0x21, 0xF9, 4, 1, 0, 0, static_cast<std::uint8_t>(transparent), 0});
  }
  // The image at 0,0 and the minimum code size 2, then the data in blocks of up to 255 bytes.
  out.insert(out.end(), {0x2C, 0, 0, 0, 0, lo(width), hi(width), lo(height), hi(height), 0, 2});
  for (auto at = data.begin(); at != data.end();) {
    const auto length = std::min<std::ptrdiff_t>(255, data.end() - at);
    out.push_back(static_cast<std::uint8_t>(length));
    out.insert(out.end(), at, at + length);
    at += length;
  }
  out.insert(out.end(), {0, 0x3B});
  return out;
}

/// The web folder under `tempFolder` as the opening builds it.
inline std::string FolderText(const std::filesystem::path& path) {
  std::string text = base::Utf8FromPath(path);
  text += static_cast<char>(std::filesystem::path::preferred_separator);
  return text;
}

#ifndef _WIN32
/// Hands a file or folder to another user (the tests run as root) with the given mode.
inline void GiveToAnotherUser(const std::filesystem::path& path, mode_t mode) {
  ASSERT_EQ(::lchown(path.c_str(), 12345, 12345), 0) << "chown needs root: " << path;
  if (!std::filesystem::is_symlink(path)) {
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
  }
}

#endif

/// The names of the files in a folder, sorted.
inline std::vector<std::string> FileNames(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(base::Utf8FromPath(entry.path().filename()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

/// The text of a file.
inline std::string ReadText(const std::filesystem::path& path) {
  const Bytes bytes = testsupport::ReadFile(path);
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace webview::testing
