#include "compose/tracktable.h"

#include <gtest/gtest.h>

#include <map>

#include "album/albumwriter.h"
#include "tests/support/testsupport.h"

namespace compose {
namespace {

// A device that answers the length query from a table and records what it was sent.
class FakeDevice final : public media::MediaDevice {
 public:
  std::map<std::string, std::string> replies;  // path -> "status mp3 length" reply
  std::vector<std::string> sent;

  media::MediaReply SendString(std::string_view command) override {
    sent.emplace_back(command);
    if (command.starts_with("open \"")) {
      m_open = std::string(command.substr(6, command.rfind('"') - 6));
    } else if (command == "status mp3 length") {
      const auto it = replies.find(m_open);
      if (it != replies.end()) return {media::MediaError::None, it->second};
      return {media::MediaError::UnknownAlias, {}};
    }
    return {};
  }

 private:
  std::string m_open;
};

TEST(PrepareTrackTable, ReadsEveryTrackInListOrder) {
  testsupport::ScopedTempDir dir;
  const std::string one = (dir / "Band - First.mp3").string();
  const std::string two = (dir / "02 - Second.mp3").string();
  testsupport::WriteFile(one, testsupport::Mp3Stream(3));
  testsupport::WriteFile(two, testsupport::Mp3Stream(3));
  FakeDevice device;
  device.replies = {{one, "183000"}, {two, "1500.5"}};
  int calls = 0;
  const PreparedAlbum prepared =
      PrepareTrackTable({(dir / "cover.jpg").string(), one, (dir / "First.txt").string(), two},
                        device, [&](int done, int total) {
                          EXPECT_EQ(total, 2);
                          EXPECT_EQ(done, ++calls);
                          return true;
                        });
  ASSERT_EQ(prepared.trackTable.size(), 2u);
  EXPECT_EQ(prepared.trackTable[0].PlayLength, 183000);
  EXPECT_EQ(prepared.trackTable[1].PlayLength, 1500);  // halves round to even
  EXPECT_EQ(prepared.trackTable[0].FileName, "Band - First.mp3");
  EXPECT_EQ(prepared.trackTable[0].SongTitle, "First");
  EXPECT_EQ(prepared.trackLines,
            (std::vector<std::string>{"First   -   Band ", "Second   -   02 "}));
  EXPECT_EQ(prepared.proposal.artist, "Band");
  EXPECT_EQ(prepared.tracks, "2");
  EXPECT_EQ(prepared.completeness, "Complete");
  EXPECT_EQ(
      std::vector<std::string>(device.sent.begin(), device.sent.begin() + 4),
      (std::vector<std::string>{"open \"" + one + "\" type MPEGVideo alias mp3",
                                "set mp3 time format tmsf", "status mp3 length", "close all"}));
}

TEST(QueryPlayLength, TakesTheLeadingNumberOfTheReply) {
  const std::pair<const char*, std::int32_t> cases[] = {
      {"1234", 1234}, {"1234.5", 1234}, {"1235.5", 1236}, {"  42ms", 42},
      {"abc", 0},     {"", 0},          {"-5", 0},        {"99999999999", 2147483647}};
  for (const auto& [reply, expected] : cases) {
    SCOPED_TRACE(reply);
    FakeDevice device;
    device.replies["/x.mp3"] = reply;
    EXPECT_EQ(media::QueryPlayLength(device, "/x.mp3"), expected);
  }
  FakeDevice silent;
  EXPECT_EQ(media::QueryPlayLength(silent, "/unknown.mp3"), 0);
  EXPECT_EQ(silent.sent.back(), "close all");
}

TEST(CheckTrackTable, StopsAtTheFirstTrackWithoutLength) {
  std::vector<album::TrackEntry> table{{1000, 0, "one.mp3", "One"},
                                       {0, 0, std::string("  two.mp3\0junk", 14), "Two"},
                                       {0, 0, "three.mp3", "Three"}};
  const TrackTableCheck check = CheckTrackTable(table);
  EXPECT_FALSE(check.ok());
  EXPECT_EQ(check.index, 1u);
  EXPECT_EQ(check.message, "Non-standard file detected : two.mp3 ** Aborting Now **");
  table[1].PlayLength = table[2].PlayLength = 1;
  EXPECT_TRUE(CheckTrackTable(table).ok());
}

TEST(Details, RequiredFieldsAndOutputNames) {
  album::AlbumDetails details{"Title", "Artist", "1999", "", ""};
  EXPECT_TRUE(DetailsComplete(details));
  for (std::string album::AlbumDetails::*field :
       {&album::AlbumDetails::albumTitle, &album::AlbumDetails::artist,
        &album::AlbumDetails::year}) {
    album::AlbumDetails missing = details;
    missing.*field = "";
    EXPECT_FALSE(DetailsComplete(missing));
  }
  EXPECT_EQ(ProposedAlbumFileName("Artist", "Title"), "Artist - Title _LB.MP3");

  const std::pair<const char*, const char*> names[] = {
      {"/d/My Album.mp3", "/d/My Album _LB.MP3"},
      {"/d/My Album .MP3", "/d/My Album _LB.MP3"},
      {"/d/Best_lb.mp3", "/d/Best_lb.mp3"},
      {"/d/x_Lb.Mp3 copy", "/d/x_Lb.Mp3 copy"},
      {"/d/My Album", "/d/My Album _LB.MP3"},  // no extension: nothing is cut off
      {"a.b", "a.b _LB.MP3"},
  };
  for (const auto& [chosen, expected] : names)
    EXPECT_EQ(AlbumOutputName(chosen), expected) << chosen;
}

TEST(TitleCorrections, PairEachLineWithItsTick) {
  // What a ticked line gives is checked where the album is written (albumwriter_test).
  const auto corrections = TitleCorrections({"Artist   -   Song ", "b   -   c"}, {true});
  ASSERT_EQ(corrections.size(), 2u);
  EXPECT_TRUE(corrections[0].ticked);
  EXPECT_EQ(corrections[0].lineText, "Artist   -   Song ");
  EXPECT_FALSE(corrections[1].ticked);
}

}  // namespace
}  // namespace compose
