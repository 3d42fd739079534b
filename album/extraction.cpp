#include "album/extraction.h"

#include <algorithm>

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
      if (const auto written = extraction.Extract(items[i], error)) {
        result.written.push_back(written->path);
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

bool MayDeleteAlbum(const ExtractionResult& result) {
  return result.failures.empty() && result.written.size() == result.selected;
}

std::string ExtractionCompletionText(const ExtractionResult& result, bool deleteAlbum) {
  std::string text(kExtractionCompletedMessage);
  for (const std::string& failure : result.failures) text += "\n" + failure;
  if (deleteAlbum && !MayDeleteAlbum(result)) text += "\n" + std::string(kAlbumKeptMessage);
  return text;
}

}  // namespace album
