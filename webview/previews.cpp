#include "webview/previews.h"

#include <algorithm>
#include <cmath>

#include "album/archive.h"
#include "base/text.h"

namespace webview {

PictureSize FitPreview(PictureSize picture) {
  if (picture.width <= kPreviewBox && picture.height <= kPreviewBox) return picture;
  const double factor = std::min(static_cast<double>(kPreviewBox) / picture.width,
                                 static_cast<double>(kPreviewBox) / picture.height);
  const auto side = [factor](int length) {
    return std::max(1, static_cast<int>(std::lround(length * factor)));
  };
  return {side(picture.width), side(picture.height)};
}

std::string PreviewFileName(std::string_view pictureName) {
  const std::size_t keep = pictureName.size() >= 3 ? pictureName.size() - 3 : 0;
  std::string stem(pictureName.substr(0, keep));
  std::string extension = "jpg";
  if (!stem.empty() && stem.back() == '.') {
    stem.pop_back();
    extension = ".jpg";
  }
  return std::string(base::CutUtf8(stem, kMaxFileNameBytes - extension.size())) + extension;
}

std::optional<std::vector<std::uint8_t>> MakePreview(PictureService& service,
                                                     std::span<const std::uint8_t> picture) {
  return service.ScaledJpeg(picture, FitPreview, kPreviewQuality);
}

PreviewResult MakePreviews(base::ByteSource& source,
                           const std::vector<album::PictureItem>& pictures, WebFolder& folder,
                           PictureService& service, const base::Progress& progress) {
  PreviewResult result;
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    const album::PictureItem& item = pictures[i];
    const std::string name = album::SafeFileName(base::Trim(item.entry.FileName));
    result.pictureNames.push_back(name);
    const std::string jpeg = PreviewFileName(name);
    // A preview made at an earlier opening (or for a picture of the same base name) stays.
    if (folder.Find(jpeg) != WebFolder::Entry::File) {
      std::vector<std::uint8_t> bytes(static_cast<std::size_t>(item.entry.DataSize));
      if (!source.ReadAt(item.dataOffset, bytes)) {
        result.status = PreviewStatus::Unreadable;
        result.error = "cannot read the picture " + name;
        return result;
      }
      std::string error;
      const auto preview = MakePreview(service, bytes);
      if (!preview) {
        result.failures.push_back(name);
      } else if (!folder.WriteFile(jpeg, *preview, error)) {
        result.failures.push_back(name + " (" + error + ")");
      }
    }
    if (progress) {
      (void)progress(static_cast<int>(i + 1), static_cast<int>(pictures.size()));
    }
  }
  return result;
}

}  // namespace webview
