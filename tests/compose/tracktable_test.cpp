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
  std::vector<album::AlbumItem> items;
  for (const std::string& path :
       {(dir / "cover.jpg").string(), one, (dir / "First.txt").string(), two}) {
    items.push_back(album::FileItem(path));
  }
  const PreparedAlbum prepared = PrepareTrackTable(items, device, [&](int done, int total) {
    EXPECT_EQ(total, 2);
    EXPECT_EQ(done, ++calls);
    return true;
  });
  EXPECT_EQ(items[0].track.FileName, "");
  EXPECT_EQ(items[1].track.PlayLength, 183000);
  EXPECT_EQ(items[3].track.PlayLength, 1500);  // halves round to even
  EXPECT_EQ(items[1].track.FileName, "Band - First.mp3");
  EXPECT_EQ(items[1].track.SongTitle, "First");
  EXPECT_EQ(items[3].correction.lineText, "Second   -   02 ");
  EXPECT_FALSE(items[3].correction.ticked);
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
  // Pictures and lyrics between the tracks do not count.
  std::vector<album::AlbumItem> items{
      album::TrackItem("/one.mp3", 1, {1000, 0, "one.mp3", "One"}), album::FileItem("/c.jpg"),
      album::TrackItem("/two.mp3", 1, {0, 0, std::string("  two.mp3\0junk", 14), "Two"}),
      album::TrackItem("/three.mp3", 1, {0, 0, "three.mp3", "Three"})};
  const TrackTableCheck check = CheckTrackTable(items);
  EXPECT_FALSE(check.ok());
  EXPECT_EQ(check.index, 1u);
  EXPECT_EQ(check.message, "Non-standard file detected : two.mp3 ** Aborting Now **");
  items[2].track.PlayLength = items[3].track.PlayLength = 1;
  EXPECT_TRUE(CheckTrackTable(items).ok());
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

}  // namespace
}  // namespace compose
