#include <gtest/gtest.h>

#include "album/albumreader.h"
#include "album/albumwriter.h"
#include "base/bytes.h"
#include "base/text.h"
#include "tests/album/albumtestutil.h"

namespace album {
namespace {

using testing::MakeAlbum;
using testing::Source;
using testsupport::Pattern;
using testsupport::ReadFile;
using testsupport::ScopedTempDir;

base::Bytes Slice(const base::Bytes& data, std::size_t from, std::size_t count) {
  return base::Bytes(data.begin() + static_cast<long>(from),
                     data.begin() + static_cast<long>(from + count));
}

// A fresh folder and the album path in it.
class AlbumWriting : public ::testing::Test {
 protected:
  ScopedTempDir dir;
  const std::filesystem::path out = dir / "o _LB.MP3";
};

// The album at `path`, opened as the extraction window opens it.
struct Reopened {
  base::MemorySource source;
  AlbumContents contents;
  explicit Reopened(const std::filesystem::path& path)
      : source(ReadFile(path)), contents(OpenAlbum(source, {})) {
    EXPECT_TRUE(contents.ok());
  }
  std::vector<int> LyricsTracks() const {
    std::vector<int> numbers;
    for (const auto& lyrics : contents.lyrics) numbers.push_back(lyrics.entry.TrackNumber);
    return numbers;
  }
};

TEST_F(AlbumWriting, WritesATwoTrackAlbumWithCoverAndLyricsByteForByte) {
  const base::Bytes one = Pattern(1000, 1), two = Pattern(2000, 2), cover = Pattern(300, 3),
                    text = Pattern(100, 4);
  const WriteResult result = MakeAlbum(dir,
                                       {{"one.mp3", one, 1, "One"},
                                        {"one.txt", text},
                                        {"two.mp3", two, 0, "Two"},
                                        {"cover.jpg", cover}},
                                       out, {"Album", "Artist", "1999", "Complete", "2"});
  ASSERT_TRUE(result.ok()) << result.error;
  const base::Bytes album = ReadFile(out);
  ASSERT_EQ(album.size(), 4698u);
  EXPECT_EQ(Slice(album, 0, 1000), one);
  EXPECT_EQ(Slice(album, 1000, 2000), two);
  // Picture block at 3000 even though the lyrics stood first in the list.
  EXPECT_EQ(base::GetLE32(album, 3000), 300);
  EXPECT_EQ(std::string(album.begin() + 3004, album.begin() + 3013), "cover.jpg");
  EXPECT_EQ(album[3013], ' ');
  EXPECT_EQ(Slice(album, 3258, 300), cover);
  EXPECT_EQ(base::GetLE32(album, 3558), 100);
  EXPECT_EQ(base::GetLE16(album, 3562), 1);
  EXPECT_EQ(std::string(album.begin() + 3564, album.begin() + 3571), "one.txt");
  EXPECT_EQ(Slice(album, 3818, 100), text);
  EXPECT_EQ(base::GetLE32(album, 3918), 1000);  // PlayLength of the first track
  EXPECT_EQ(base::GetLE32(album, 3922), 1000);  // AudioBytes
  EXPECT_EQ(base::GetLE32(album, 3918 + 312 + 4), 2000);
  EXPECT_EQ(std::string(album.begin() + 4542, album.begin() + 4558), "MP3 - Lyrabinder");
  EXPECT_EQ(base::GetLE32(album, 4558), 624);
  EXPECT_EQ(base::GetLE32(album, 4562), 558);
  EXPECT_EQ(base::GetLE32(album, 4566), 360);
  EXPECT_EQ(std::string(album.begin() + 4570, album.begin() + 4578), "TAGAlbum");
  EXPECT_EQ(album[4570 + 126], 2);
  EXPECT_EQ(album[4570 + 127], 255);
}

// A sink that takes `room` bytes, then refuses with a cause of its own.
class FullSink final : public base::ByteSink {
 public:
  explicit FullSink(std::size_t room) : m_room(room) {}
  bool Write(std::span<const std::uint8_t> data) override {
    if (data.size() > m_room) return false;
    m_room -= data.size();
    return true;
  }
  std::string WriteError() const override { return "No space left on device"; }

 private:
  std::size_t m_room;
};

TEST_F(AlbumWriting, WriteAlbumToWritesTheFilesBytesIntoAnySinkAndNamesItsCause) {
  ASSERT_TRUE(MakeAlbum(dir, {{"one.mp3", Pattern(5000, 1), 1, "One"}, {"c.jpg", Pattern(300, 3)}},
                        out, {"Album", "Artist", "1999", "Complete", "1"})
                  .ok());
  const std::vector<AlbumItem> items = {
      TrackItem((dir / "one.mp3").string(), 1, {1000, 0, "one.mp3", "One"}, {}),
      FileItem((dir / "c.jpg").string())};
  const AlbumDetails details{"Album", "Artist", "1999", "Complete", "1"};
  base::MemorySink memory;
  const WriteResult written = WriteAlbumTo(memory, "memory", items, details, {});
  ASSERT_TRUE(written.ok()) << written.error;
  EXPECT_EQ(memory.Data(), ReadFile(out));

  FullSink full(4096);
  const WriteResult refused = WriteAlbumTo(full, "small disk", items, details, {});
  EXPECT_EQ(refused.status, WriteStatus::WriteFailed);
  EXPECT_EQ(refused.error, "Cannot Write The Album File : small disk (No space left on device)");
}

TEST_F(AlbumWriting, CopiesTracksFromTheirFirstFrame) {
  const base::Bytes audio = testsupport::Mp3Stream(3);
  ASSERT_TRUE(
      MakeAlbum(dir, {{"t.mp3", testsupport::Concat({testsupport::Id3v2Tag(4096), audio}), 4097}},
                out)
          .ok());
  const base::Bytes album = ReadFile(out);
  EXPECT_EQ(Slice(album, 0, audio.size()), audio);
  EXPECT_EQ(base::GetLE32(album, audio.size() + 4), static_cast<std::int32_t>(audio.size()));
}

TEST_F(AlbumWriting, TickedLinesGiveTheTitleAfterTheSeparatorAndProgressRunsToItemsPlusTwo) {
  std::vector<int> values;
  int maximum = 0;
  const WriteProgress progress = [&](int v, int m) {
    maximum = m;
    values.push_back(v);
    return true;
  };
  ASSERT_TRUE(
      MakeAlbum(dir, {{"a.mp3", Pattern(10), 1, "Guess A"}, {"b.mp3", Pattern(10), 1, "Guess B"}},
                out, {}, {{true, "Artist   -   Real - Title"}, {false, "x   -   y"}}, progress)
          .ok());
  const Reopened album(out);
  ASSERT_EQ(album.contents.tracks.size(), 2u);
  EXPECT_EQ(base::Trim(album.contents.tracks[0].SongTitle), "Real - Title");
  EXPECT_EQ(base::Trim(album.contents.tracks[1].SongTitle), "Guess B");
  EXPECT_EQ(maximum, 4);
  EXPECT_EQ(values, (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST_F(AlbumWriting, LyricsBelongToTheFirstTrackOfTheSameNameBeyondTrack256Too) {
  ASSERT_TRUE(MakeAlbum(dir,
                        {{"cd1/song.mp3", Pattern(10)},
                         {"cd2/song.mp3", Pattern(20)},
                         {"song.txt", Pattern(5)},
                         {"other.mp3", Pattern(30)},
                         {"other.txt", Pattern(6)}},
                        out)
                  .ok());
  EXPECT_EQ(Reopened(out).LyricsTracks(), (std::vector<int>{1, 3}));
  std::vector<Source> sources;
  for (int i = 0; i < 300; ++i) sources.push_back({"t" + std::to_string(i) + ".mp3", Pattern(3)});
  sources.push_back({"last.txt", Pattern(4)});
  ASSERT_TRUE(MakeAlbum(dir, sources, out, {"A", "B", "2000", "Complete", "255"}).ok());
  EXPECT_EQ(Reopened(out).LyricsTracks(), std::vector<int>{300});
}

TEST_F(AlbumWriting, RefusalsAndFailuresLeaveNoFileAndTheOldAlbumUntouched) {
  testsupport::WriteFile(dir / "a.mp3", Pattern(10));
  testsupport::WriteText(out, "old album");
  const AlbumItem track = TrackItem((dir / "a.mp3").string(), 1, {1, 0, "a.mp3", "x"});
  const auto refused = [&](const std::vector<AlbumItem>& items, const char* tracks) {
    const WriteResult result = WriteAlbum(out, items, {"A", "B", "C", "D", tracks}, {});
    EXPECT_EQ(ReadFile(out), testsupport::BytesOf("old album"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
    return result;
  };
  // A tracks value that does not fit a byte is refused before writing.
  for (const char* tracks : {"256", "-1", "1000"}) {
    SCOPED_TRACE(tracks);
    EXPECT_EQ(refused({track}, tracks).status, WriteStatus::TracksOutOfRange);
  }
  const WriteResult missing =
      refused({TrackItem((dir / "missing.mp3").string(), 1, {1, 0, "missing.mp3", "x"})}, "1");
  EXPECT_EQ(missing.status, WriteStatus::SourceUnreadable);
  EXPECT_NE(missing.error.find("missing.mp3"), std::string::npos);
  EXPECT_EQ(refused({FileItem("a.jpg")}, "").status, WriteStatus::TrackCount);
  EXPECT_EQ(TracksByte("12 tracks"), 12);
  EXPECT_EQ(TracksByte(""), 0);
  EXPECT_EQ(TracksByte("254.5"), 254);
}

TEST_F(AlbumWriting, AnUnreadablePictureEndsThePictureBlockOnly) {
  testsupport::WriteFile(dir / "a.mp3", Pattern(10));
  testsupport::WriteFile(dir / "first.jpg", Pattern(7));
  testsupport::WriteFile(dir / "later.jpg", Pattern(8));
  testsupport::WriteFile(dir / "a.txt", Pattern(9));
  const std::vector<AlbumItem> items{
      TrackItem((dir / "a.mp3").string(), 1, {1, 0, "a.mp3", "x"}),
      FileItem((dir / "a.txt").string()), FileItem((dir / "first.jpg").string()),
      FileItem((dir / "gone.jpg").string()), FileItem((dir / "later.jpg").string())};
  const WriteResult result = WriteAlbum(out, items, {"A", "B", "C", "D", "1"}, {});
  ASSERT_TRUE(result.ok()) << result.error;
  ASSERT_EQ(result.warnings.size(), 1u);
  const Reopened album(out);
  ASSERT_EQ(album.contents.pictures.size(), 1u);
  EXPECT_EQ(base::Trim(album.contents.pictures[0].entry.FileName), "first.jpg");
  EXPECT_EQ(album.LyricsTracks(), std::vector<int>{1});
}

}  // namespace
}  // namespace album
