#include "compose/creation.h"

namespace compose {

std::string ContentsVerdict::Message() const {
  if (!quality.passed) return quality.message;
  return std::string(OrderErrorMessage(order));
}

ContentsVerdict CheckContents(ContentsList& list, const HeaderAnalyser& analyse) {
  ContentsVerdict verdict;
  verdict.quality = list.QualityCheck(analyse);
  if (verdict.quality.passed) verdict.order = list.CheckOrderRules();
  return verdict;
}

album::WriteResult WriteComposedAlbum(const std::filesystem::path& output,
                                      const std::vector<std::string>& entries,
                                      const std::vector<std::int32_t>& firstFramePositions,
                                      const PreparedAlbum& prepared,
                                      const std::vector<bool>& ticked,
                                      const album::AlbumDetails& details,
                                      const album::WriteProgress& progress, base::Replace replace) {
  const std::vector<album::TitleCorrection> corrections =
      TitleCorrections(prepared.trackLines, ticked);
  // The checks before gave one position and one track per MP3 of the list.
  std::vector<album::AlbumItem> items;
  std::size_t k = 0;
  for (const std::string& entry : entries) {
    if (album::KindOf(entry) != album::ItemKind::Track) {
      items.push_back(album::FileItem(entry));
      continue;
    }
    if (k >= prepared.trackTable.size() || k >= firstFramePositions.size()) {
      album::WriteResult result;
      result.status = album::WriteStatus::TrackCount;
      result.error = "The Track List Does Not Match The Album Contents";
      return result;
    }
    items.push_back(
        album::TrackItem(entry, firstFramePositions[k], prepared.trackTable[k],
                         k < corrections.size() ? corrections[k] : album::TitleCorrection{}));
    ++k;
  }
  return album::WriteAlbum(output, items, details, progress, replace);
}

}  // namespace compose
