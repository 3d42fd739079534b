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
  return album::WriteAlbum(output, entries, firstFramePositions, prepared.trackTable,
                           TitleCorrections(prepared.trackLines, ticked), details, progress,
                           replace);
}

}  // namespace compose
