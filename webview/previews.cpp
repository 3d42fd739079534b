#include "webview/previews.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "album/archive.h"
#include "base/fileio.h"
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
  struct Job {
    std::string name;
    std::string jpeg;
    std::string source;                     // the mark the preview is written with
    std::unique_ptr<std::uint8_t[]> bytes;  // not cleared first: the album fills it
    std::size_t size = 0;
    std::size_t capacity = 0;
    std::optional<std::vector<std::uint8_t>> preview;
    bool make = false;
    bool made = false;
  };
  std::vector<Job> jobs(pictures.size());
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    Job& job = jobs[i];
    job.name = PictureName(pictures[i]);
    if (!album.empty()) job.source = PreviewSource(album, pictures[i]);
    job.jpeg = PreviewFileName(job.name);
    result.pictureNames.push_back(job.name);
    // A preview made at an earlier opening (or for a picture of the same base name) stays.
    job.make = folder.Find(job.jpeg) != WebFolder::Entry::File &&
               std::none_of(jobs.begin(), jobs.begin() + static_cast<std::ptrdiff_t>(i),
                            [&](const Job& other) { return other.jpeg == job.jpeg; });
  }

  // This thread reads the pictures and writes the previews, in block order; helpers make them
  // as they come. Memory holds a window of pictures a little wider than the helpers, never the
  // whole block.
  const std::size_t helpers =
      service.ConcurrentCalls() ? std::max(2u, std::thread::hardware_concurrency()) : 0;
  const std::size_t window = helpers + 1;
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<Job*> waiting;
  bool closing = false;
  const auto help = [&] {
    std::unique_lock lock(mutex);
    while (true) {
      changed.wait(lock, [&] { return closing || !waiting.empty(); });
      if (waiting.empty()) return;
      Job& job = *waiting.front();
      waiting.pop_front();
      lock.unlock();
      auto preview = MakePreview(service, std::span(job.bytes.get(), job.size));
      lock.lock();
      job.preview = std::move(preview);
      job.made = true;
      changed.notify_all();
    }
  };
  std::vector<std::thread> threads;
  const auto finish = [&] {
    {
      std::lock_guard lock(mutex);
      closing = true;
      waiting.clear();
    }
    changed.notify_all();
    for (std::thread& thread : threads) thread.join();
  };

  // A picture's memory goes to a later one: fresh memory costs a page fault a page. At most
  // one buffer more than the window is kept.
  std::vector<std::pair<std::unique_ptr<std::uint8_t[]>, std::size_t>> spare;
  const auto take = [&spare](Job& job) {
    const auto fits = std::find_if(spare.begin(), spare.end(), [&job](const auto& buffer) {
      return buffer.second >= job.size;
    });
    if (fits != spare.end()) {
      job.bytes = std::move(fits->first);
      job.capacity = fits->second;
      spare.erase(fits);
      return;
    }
    if (!spare.empty()) spare.pop_back();
    job.bytes = base::ReadBuffer(job.size);
    job.capacity = job.size;
  };

  std::size_t read = 0;
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    for (; read < jobs.size() && read < i + window; ++read) {
      Job& job = jobs[read];
      if (!job.make) continue;
      job.size = static_cast<std::size_t>(pictures[read].entry.DataSize);
      take(job);
      if (!source.ReadAt(pictures[read].dataOffset, std::span(job.bytes.get(), job.size))) {
        finish();
        result.status = PreviewStatus::Unreadable;
        result.error = "cannot read the picture " + job.name;
        return result;
      }
      if (helpers == 0) {
        job.preview = MakePreview(service, std::span(job.bytes.get(), job.size));
        job.made = true;
        continue;
      }
      {
        std::lock_guard lock(mutex);
        waiting.push_back(&job);
      }
      changed.notify_one();
      if (threads.size() < helpers) threads.emplace_back(help);
    }
    Job& job = jobs[i];
    if (job.make) {
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return job.made; });
    }
    if (job.bytes) spare.emplace_back(std::move(job.bytes), job.capacity);
    std::string error;
    if (job.make && !job.preview) {
      result.failures.push_back(job.name);
    } else if (job.make && !folder.WriteFile(job.jpeg, *job.preview, error, job.source)) {
      result.failures.push_back(job.name + " (" + error + ")");
    }
    job.preview.reset();
    if (progress) (void)progress(static_cast<int>(i + 1), static_cast<int>(jobs.size()));
  }
  finish();
  return result;
}

}  // namespace webview
