#include "session/albumcreation.h"

#include <gtest/gtest.h>

namespace session {
namespace {

using Entries = std::vector<std::string>;

// An analyser that finds every track at `bitrate` kbps.
compose::HeaderAnalyser AllAt(int bitrate) {
  return [bitrate](const std::string&, mp3header::MP3HeaderInfo& info) {
    info.Bitrate = static_cast<std::int16_t>(bitrate);
    info.HeaderPos = 1;
    return mp3header::AnalyseStatus::Ok;
  };
}

// The checks run in their order: a failed quality check speaks first, the order rules only
// after it passed; only contents that pass become the album's items.
TEST(AlbumCreation, ChecksQualityFirstThenTheOrderRules) {
  const struct {
    Entries entries;
    int bitrate;
    compose::OrderError order;
    std::string message;
  } cases[] = {
      {{"/m/a.mp3", "/m/a.txt"}, 128, compose::OrderError::None, ""},
      {{"/m/a.txt", "/m/a.mp3"},
       128,
       compose::OrderError::LyricsFirst,
       std::string(compose::OrderErrorMessage(compose::OrderError::LyricsFirst))},
      {{"/m/a.txt", "/m/a.mp3"},
       320,
       compose::OrderError::None,
       std::string(compose::kQualityCheckFailedMessage)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    compose::ContentsList list;
    (void)list.Drop(c.entries);
    AlbumCreation creation;
    const ContentsVerdict verdict = creation.Check(list, AllAt(c.bitrate));
    EXPECT_EQ(verdict.ok(), c.message.empty());
    EXPECT_EQ(verdict.order, c.order);
    EXPECT_EQ(verdict.Message(), c.message);
    EXPECT_EQ(creation.Items().size(), c.message.empty() ? c.entries.size() : 0u);
  }
}

}  // namespace
}  // namespace session
