#pragma once
// Albums and pictures for the web view tests.

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

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

/// Reads FakePicture bytes and "encodes" the fitted size as "JPEG <width>x<height>".
class FakePictureService final : public PictureService {
 public:
  std::vector<PictureSize> fitted;
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
    fitted.push_back(target);
    return testsupport::BytesOf("JPEG " + std::to_string(target.width) + "x" +
                                std::to_string(target.height));
  }
};

/// A GIF picture of a four-colour palette (RGB triples), each pixel an index into it; the
/// index `transparent` is see-through (-1: none). Its LZW data starts over every two pixels,
/// which keeps every code three bits wide.
inline Bytes Gif(int width, int height, const std::array<std::uint8_t, 12>& palette,
                 const std::function<int(int x, int y)>& pixel, int transparent = -1) {
  Bytes out = testsupport::BytesOf("GIF89a");
  const auto put16 = [&](int v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  put16(width);
  put16(height);
  out.insert(out.end(), {0x81, 0, 0});  // global palette of 4 entries
  out.insert(out.end(), palette.begin(), palette.end());
  if (transparent >= 0) {
    out.insert(out.end(), {0x21, 0xF9, 4, 1, 0, 0, static_cast<std::uint8_t>(transparent), 0});
  }
  out.push_back(0x2C);
  put16(0);
  put16(0);
  put16(width);
  put16(height);
  out.push_back(0);
  out.push_back(2);  // minimum code size: codes 0-3 pixels, 4 clear, 5 end
  Bytes data;
  std::uint32_t bits = 0;
  int count = 0;
  const auto code = [&](int value) {
    bits |= static_cast<std::uint32_t>(value) << count;
    count += 3;
    while (count >= 8) {
      data.push_back(static_cast<std::uint8_t>(bits & 0xFF));
      bits >>= 8;
      count -= 8;
    }
  };
  int inRun = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (inRun == 0) code(4);
      code(pixel(x, y));
      inRun = (inRun + 1) % 2;
    }
  }
  code(5);
  if (count > 0) data.push_back(static_cast<std::uint8_t>(bits & 0xFF));
  for (std::size_t at = 0; at < data.size(); at += 255) {
    const std::size_t length = std::min<std::size_t>(255, data.size() - at);
    out.push_back(static_cast<std::uint8_t>(length));
    out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
               data.begin() + static_cast<std::ptrdiff_t>(at + length));
  }
  out.push_back(0);
  out.push_back(0x3B);
  return out;
}

/// The web folder under `tempFolder` as the opening builds it.
inline std::string FolderText(const std::filesystem::path& path) {
  std::string text = base::Utf8FromPath(path);
  text += static_cast<char>(std::filesystem::path::preferred_separator);
  return text;
}

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
