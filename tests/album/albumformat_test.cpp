#include <gtest/gtest.h>

#include "album/albumformat.h"
#include "base/bytes.h"

namespace album {
namespace {

TEST(AlbumFormat, TrackEntryFieldsLieAtTheirOffsets) {
  const auto bytes = EncodeTrackEntry({185250, 4000, "01 - One.mp3", "One"});
  EXPECT_EQ(base::GetLE32(bytes, 0), 185250);
  EXPECT_EQ(base::GetLE32(bytes, 4), 4000);
  EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 20), "01 - One.mp3");
  EXPECT_EQ(bytes[20], ' ');
  EXPECT_EQ(bytes[261], ' ');
  EXPECT_EQ(std::string(bytes.begin() + 262, bytes.begin() + 265), "One");
  EXPECT_EQ(bytes[311], ' ');
  const TrackEntry back = DecodeTrackEntry(bytes);
  EXPECT_EQ(back.PlayLength, 185250);
  EXPECT_EQ(back.FileName, "01 - One.mp3" + std::string(242, ' '));
  EXPECT_EQ(back.SongTitle, "One" + std::string(47, ' '));
}

TEST(AlbumFormat, TagHoldsTheCurrentLayout) {
  AlbumTag tag{"TAG", "Title", "Artist", "MP3 - Lyrabinder", "1999", "Complete", 0, 7, 255};
  const auto bytes = EncodeAlbumTag(tag);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 3), "TAG");
  EXPECT_EQ(std::string(bytes.begin() + 63, bytes.begin() + 93), "MP3 - Lyrabinder              ");
  EXPECT_EQ(std::string(bytes.begin() + 93, bytes.begin() + 97), "1999");
  EXPECT_EQ(std::string(bytes.begin() + 97, bytes.begin() + 105), "Complete");
  EXPECT_EQ(bytes[125], 0);
  EXPECT_EQ(bytes[126], 7);
  EXPECT_EQ(bytes[127], 255);
}

TEST(AlbumFormat, TrailerNeedsTheExactSignature) {
  auto bytes = EncodeAlbumTrailer({624, 558, 360});
  ASSERT_TRUE(DecodeAlbumTrailer(bytes));
  EXPECT_EQ(DecodeAlbumTrailer(bytes)->PictureBytes, 558);
  bytes[0] = 'm';
  EXPECT_FALSE(DecodeAlbumTrailer(bytes));
}

TEST(AlbumFormat, RefusesSizesThatCannotDescribeTheFile) {
  const std::pair<const char*, AlbumTrailer> cases[] = {
      {"negative directory", {-312, 0, 0}},
      {"negative pictures", {312, -1, 0}},
      {"negative lyrics", {312, 0, -5}},
      {"no track", {0, 0, 0}},
      {"partial entry", {313, 0, 0}},
      {"past the start", {312, 400, 0}},
      {"overflowing sum", {312, 0x7FFFFFFF, 0x7FFFFFFF}},
  };
  for (const auto& [why, trailer] : cases) {
    SCOPED_TRACE(why);
    EXPECT_FALSE(LocateSections(312 + 156 + 100, trailer));
  }
  // No more tracks than the writer writes, however large the file.
  const std::int64_t large = std::int64_t{1} << 30;
  EXPECT_TRUE(LocateSections(large, {312 * kMaxTracks, 0, 0}));
  EXPECT_FALSE(LocateSections(large, {312 * (kMaxTracks + 1), 0, 0}));
}

TEST(AlbumFormat, ItemKindComesFromTheLastFourCharacters) {
  EXPECT_EQ(KindOf("/a/b/Song.Mp3"), ItemKind::Track);
  EXPECT_EQ(KindOf("lyrics.TXT"), ItemKind::Lyrics);
  EXPECT_EQ(KindOf("cover.jpg"), ItemKind::Picture);
  EXPECT_EQ(KindOf("cover.GIF"), ItemKind::Picture);
  EXPECT_EQ(KindOf("cover.jpeg"), ItemKind::Other);
  EXPECT_EQ(KindOf("mp3"), ItemKind::Other);
  EXPECT_TRUE(IsAlbumFileName("/x/Artist - Title _lb.mp3"));
  EXPECT_FALSE(IsAlbumFileName("/x/Artist - Title.mp3"));
}

}  // namespace
}  // namespace album
