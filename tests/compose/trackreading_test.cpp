#include "compose/trackreading.h"

#include <gtest/gtest.h>

#include <array>

#include "tests/support/testsupport.h"

namespace compose {
namespace {

using testsupport::Bytes;

TrackReading Read(const std::string& path, const Bytes& bytes, DetailsProposal& proposal) {
  base::MemorySource source(bytes);
  return ReadTrack(path, source, proposal);
}

Bytes Tagged(std::string_view title, std::string_view artist, std::string_view albumName,
             std::string_view year) {
  return testsupport::Concat(
      {testsupport::Mp3Stream(2), testsupport::Id3v1Tag(title, artist, albumName, year)});
}

TEST(ReadTrack, TakesTheTagCutAtNulAndTrimmed) {
  DetailsProposal proposal;
  // Id3v1Tag pads with NUL; spaces around the texts are trimmed.
  const auto reading =
      Read("/m/01 - whatever.mp3", Tagged("  Song One ", "The Band", " First ", "1999"), proposal);
  EXPECT_TRUE(reading.fromTag);
  EXPECT_EQ(reading.songTitle, "Song One");
  EXPECT_EQ(reading.line, "Song One   -   The Band");
  EXPECT_EQ(proposal.albumTitle, "First");
  EXPECT_EQ(proposal.artist, "The Band");
  EXPECT_EQ(proposal.year, "1999");

  // A text after the NUL is not part of the field; bytes are Windows-1252.
  Bytes odd = Tagged("Caf\xE9", "x", "", "2001");
  odd[odd.size() - 128 + 3 + 5] = 'Z';
  EXPECT_EQ(Read("/m/b.mp3", odd, proposal).songTitle, "Café");
}

TEST(ReadTrack, FirstNonEmptyAlbumWinsAndLaterOnesOnlyJoinTheList) {
  DetailsProposal proposal;
  (void)Read("/m/1.mp3", Tagged("a", "", "", ""), proposal);
  EXPECT_TRUE(proposal.albumNames.empty());
  EXPECT_EQ(proposal.artist, "");
  (void)Read("/m/2.mp3", Tagged("b", "Second Artist", "Live", "2000"), proposal);
  (void)Read("/m/3.mp3", Tagged("c", "Third", "LIVE", "2002"), proposal);
  (void)Read("/m/4.mp3", Tagged("d", "Fourth", "Studio", "2003"), proposal);
  EXPECT_EQ(proposal.albumTitle, "Live");
  EXPECT_EQ(proposal.albumNames, (std::vector<std::string>{"Live", "Studio"}));
  // An empty artist from the first tag is no value: the next track fills it.
  EXPECT_EQ(proposal.artist, "Second Artist");
  EXPECT_EQ(proposal.year, "2000");
}

TEST(ReadTrack, GuessesFromTheFileNameWithoutATag) {
  // A path; the title, line, artist and album name it gives.
  const std::array<const char*, 5> cases[] = {
      {"/m/Artist - Title.mp3", "Title", "Title   -   Artist ", "Artist", ""},
      {"/m/01 - Title.mp3", "Title", "Title   -   01 ", "", ""},
      {"/m/Artist - Album - Title.mp3", "Title", "Title   -    Album ", "", "Album"},
      {"/m/Title.mp3", "Title", "Title   -               ", "", ""},
      {"/m/ 7.5 - Album - Song.MP3", "Song", "Song   -    Album ", "", ""},
      {"/m/a-b-c-d.mp3", "d", "d   -   c", "", "b"},
      {"/m/x.mp3", "x", "x   -               ", "", ""},
      {"/m/Band - .mp3", "", "   -   Band ", "Band", ""},
  };
  for (const auto& [path, title, line, artist, albumName] : cases) {
    SCOPED_TRACE(path);
    DetailsProposal proposal;
    const auto reading = Read(path, testsupport::Mp3Stream(2), proposal);
    EXPECT_FALSE(reading.fromTag);
    EXPECT_EQ(reading.songTitle, title);
    EXPECT_EQ(reading.line, line);
    EXPECT_EQ(proposal.artist, artist);
    EXPECT_EQ(proposal.albumTitle, albumName);
  }
}

TEST(ReadTrack, ShortOrMissingFilesFallBackToTheFileName) {
  DetailsProposal proposal;
  EXPECT_EQ(Read("/m/Who - Tiny.mp3", Bytes(50, 'T'), proposal).songTitle, "Tiny");
  EXPECT_EQ(ReadTrackFile("/nowhere/Who - Gone.mp3", proposal).songTitle, "Gone");
  EXPECT_EQ(proposal.artist, "Who");
}

}  // namespace
}  // namespace compose
