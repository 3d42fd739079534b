#include "album/extraction.h"

#include <algorithm>

#include "base/fileio.h"

namespace album {

ExtractionResult ExtractSelected(base::ByteSource& source, const std::vector<ArchiveItem>& items,
                                 const std::vector<bool>& selected,
                                 const std::filesystem::path& folder,
                                 const base::Progress& progress, base::Replace replace) {
  ExtractionResult result;
  const std::size_t lines = std::min(items.size(), selected.size());
  for (std::size_t i = 0; i < lines; ++i) result.selected += selected[i] ? 1U : 0U;
  // One extraction for the whole run, so that no item replaces another of the same run.
  Extraction extraction(source, folder, replace);
  for (std::size_t i = 0; i < lines; ++i) {
    if (selected[i]) {
      std::string error;
      bool existed = false;
      if (const auto written = extraction.Extract(items[i], error, existed)) {
        result.written.push_back(written->path);
      } else if (existed && replace == base::Replace::Never) {
        result.kept.push_back(base::Utf8FromPath(extraction.TargetFor(items[i]).path.filename()));
      } else {
        result.failures.push_back("Could Not Extract " + items[i].name + " : " + error);
      }
    }
    if (progress && !progress(static_cast<int>(i + 1), static_cast<int>(lines))) {
      for (std::size_t rest = i + 1; rest < lines; ++rest) {
        if (selected[rest]) result.failures.push_back("Not Extracted : " + items[rest].name);
      }
      break;
    }
  }
  return result;
}

std::vector<std::string> ExistingTargets(base::ByteSource& source,
                                         const std::vector<ArchiveItem>& items,
                                         const std::vector<bool>& selected,
                                         const std::filesystem::path& folder) {
  const Extraction extraction(source, folder);
  std::vector<std::filesystem::path> seen;
  std::vector<std::string> names;
  for (std::size_t i = 0; i < std::min(items.size(), selected.size()); ++i) {
    if (!selected[i]) continue;
    // A renamed target is free; a second item of a name gets a free one in the run.
    const Extraction::Written target = extraction.TargetFor(items[i]);
    if (target.renamed || std::find(seen.begin(), seen.end(), target.path) != seen.end()) {
      continue;
    }
    seen.push_back(target.path);
    if (base::NameTaken(target.path)) names.push_back(base::Utf8FromPath(target.path.filename()));
  }
  return names;
}

bool MayDeleteAlbum(const ExtractionResult& result) {
  return result.failures.empty() && result.written.size() == result.selected;
}

std::string ExtractionCompletionText(const ExtractionResult& result, bool deleteAlbum) {
  std::string text(result.written.empty() && result.selected > 0 ? kNothingExtractedMessage
                                                                 : kExtractionCompletedMessage);
  for (const std::string& failure : result.failures) text += "\n" + failure;
  for (const std::string& name : result.kept) text += "\n" + std::string(kKeptFilePrefix) + name;
  if (deleteAlbum && !MayDeleteAlbum(result)) text += "\n" + std::string(kAlbumKeptMessage);
  return text;
}

}  // namespace album
