#include "compose/creation.h"

#include <gtest/gtest.h>

namespace compose {
namespace {

mp3header::AnalyseStatus AllGood(const std::string&, mp3header::MP3HeaderInfo& info) {
  info.Bitrate = 128;
  info.HeaderPos = 1;
  return mp3header::AnalyseStatus::Ok;
}

mp3header::AnalyseStatus AllFast(const std::string&, mp3header::MP3HeaderInfo& info) {
  info.Bitrate = 320;
  info.HeaderPos = 1;
  return mp3header::AnalyseStatus::Ok;
}

// The checks run in their order: a failed quality check speaks first, the order rules only
// after it passed.
TEST(CheckContents, QualityFirstThenTheOrderRules) {
  struct Case {
    const char* name;
    std::vector<std::string> items;
    HeaderAnalyser analyse;
    bool ok;
    OrderError order;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"passes", {"/m/a.mp3", "/m/a.txt"}, AllGood, true, OrderError::None, ""},
      {"lyrics first",
       {"/m/a.txt", "/m/a.mp3"},
       AllGood,
       false,
       OrderError::LyricsFirst,
       std::string(OrderErrorMessage(OrderError::LyricsFirst))},
      {"quality before order",
       {"/m/a.txt", "/m/a.mp3"},
       AllFast,
       false,
       OrderError::None,
       std::string(kQualityCheckFailedMessage)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ContentsList list;
    (void)list.Drop(c.items);
    const ContentsVerdict verdict = CheckContents(list, c.analyse);
    EXPECT_EQ(verdict.ok(), c.ok);
    EXPECT_EQ(verdict.order, c.order);
    if (!c.ok) {
      EXPECT_EQ(verdict.Message(), c.message);
    }
  }
}

}  // namespace
}  // namespace compose
