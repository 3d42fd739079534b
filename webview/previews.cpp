#include "webview/previews.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <thread>

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

namespace {

std::string PictureName(const album::PictureItem& picture) {
  return album::SafeFileName(base::Trim(picture.entry.FileName));
}

}  // namespace

std::string PreviewSource(std::string_view album, const album::PictureItem& picture) {
  return std::string(album) + '@' + std::to_string(picture.dataOffset) + '+' +
         std::to_string(picture.entry.DataSize);
}

std::vector<std::string> LastingPreviews(const WebFolder& folder,
                                         const std::vector<album::PictureItem>& pictures,
                                         std::string_view album) {
  std::vector<std::string> lasting;
  if (album.empty()) return lasting;
  std::vector<std::string> seen;
  for (const album::PictureItem& picture : pictures) {
    // Of pictures sharing a preview name, the first one's preview is the one made.
    std::string preview = PreviewFileName(PictureName(picture));
    if (std::find(seen.begin(), seen.end(), preview) != seen.end()) continue;
    seen.push_back(preview);
    if (folder.SourceOf(preview) == PreviewSource(album, picture)) {
      lasting.push_back(std::move(preview));
    }
  }
  return lasting;
}

PreviewResult MakePreviews(base::ByteSource& source,
                           const std::vector<album::PictureItem>& pictures, WebFolder& folder,
                           PictureService& service, const base::Progress& progress,
                           std::string_view album) {
  PreviewResult result;
  // One picture per core (two at least) at a time: memory holds a batch of pictures, never
  // the whole block. Pictures are read and previews written here, in block order.
  const std::size_t batch =
      service.ConcurrentCalls() ? std::max(2u, std::thread::hardware_concurrency()) : 1;
  struct Job {
    std::string name;
    std::string jpeg;
    std::string source;  // the mark the preview is written with
    std::vector<std::uint8_t> bytes;
    std::optional<std::vector<std::uint8_t>> preview;
    bool make = false;
  };
  for (std::size_t first = 0; first < pictures.size(); first += batch) {
    std::vector<Job> jobs;
    for (std::size_t i = first; i < std::min(pictures.size(), first + batch); ++i) {
      const album::PictureItem& item = pictures[i];
      Job job;
      job.name = PictureName(item);
      if (!album.empty()) job.source = PreviewSource(album, item);
      job.jpeg = PreviewFileName(job.name);
      result.pictureNames.push_back(job.name);
      // A preview made at an earlier opening (or for a picture of the same base name) stays.
      job.make = folder.Find(job.jpeg) != WebFolder::Entry::File &&
                 std::none_of(jobs.begin(), jobs.end(),
                              [&](const Job& other) { return other.jpeg == job.jpeg; });
      if (job.make) {
        job.bytes.resize(static_cast<std::size_t>(item.entry.DataSize));
        if (!source.ReadAt(item.dataOffset, job.bytes)) {
          result.status = PreviewStatus::Unreadable;
          result.error = "cannot read the picture " + job.name;
          return result;
        }
      }
      jobs.push_back(std::move(job));
    }
    const auto make = [&service](Job& job) {
      if (job.make) job.preview = MakePreview(service, job.bytes);
    };
    std::vector<std::thread> helpers;
    for (std::size_t j = 1; j < jobs.size(); ++j) helpers.emplace_back(make, std::ref(jobs[j]));
    make(jobs.front());
    for (std::thread& helper : helpers) helper.join();
    for (std::size_t j = 0; j < jobs.size(); ++j) {
      const Job& job = jobs[j];
      std::string error;
      if (job.make && !job.preview) {
        result.failures.push_back(job.name);
      } else if (job.make && !folder.WriteFile(job.jpeg, *job.preview, error, job.source)) {
        result.failures.push_back(job.name + " (" + error + ")");
      }
      if (progress) {
        (void)progress(static_cast<int>(first + j + 1), static_cast<int>(pictures.size()));
      }
    }
  }
  return result;
}

}  // namespace webview
