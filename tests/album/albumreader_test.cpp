#include <gtest/gtest.h>

#include "album/albumreader.h"
#include "base/bytes.h"
#include "base/text.h"
#include "tests/album/albumtestutil.h"

namespace album {
namespace {

using testing::MakeAlbum;
using testsupport::Bytes;
using testsupport::Pattern;
using testsupport::ReadFile;
using testsupport::ScopedTempDir;

struct RecordingDisplay : AlbumDisplay {
  std::string title, artist, comment, year;
  int count = -1;
  std::vector<std::string> lines;
  void ShowAlbumTitle(const std::string& t) override { title = t; }
  void ShowArtist(const std::string& t) override { artist = t; }
  void ShowComment(const std::string& t) override { comment = t; }
  void ShowYear(const std::string& t) override { year = t; }
  void ShowTrackCount(int n) override { count = n; }
  void AddListItem(const std::string& t) override { lines.push_back(t); }
};

// Collects what a TagWriter would write, applying it to the buffer as a file would.
struct PatchRecorder {
  base::Bytes& data;
  int writes = 0;
  TagWriter Writer() {
    return [this](std::int64_t offset, std::span<const std::uint8_t> bytes) {
      std::copy(bytes.begin(), bytes.end(), data.begin() + offset);
      ++writes;
      return true;
    };
  }
};

base::Bytes MakeAlbumBytes(const std::vector<testing::Source>& sources, AlbumDetails details = {}) {
  ScopedTempDir dir;
  const auto out = dir / "a _LB.MP3";
  const WriteResult result = MakeAlbum(dir, sources, out, details);
  EXPECT_TRUE(result.ok()) << result.error;
  return ReadFile(out);
}

TEST(AlbumReader, ReadsBackEveryItemOfAWrittenAlbum) {
  const base::Bytes one = Pattern(5000, 1), two = Pattern(4096, 2), cover = Pattern(4096, 3),
                    back = Pattern(0, 4), words = Pattern(512, 5), empty;
  const std::string longName = std::string(300, 'n') + ".mp3";  // longer than a field holds
  const std::string longTitle(80, 't');
  base::Bytes data = MakeAlbumBytes({{"cover.jpg", cover},
                                     {"one.mp3", one, 1, "One"},
                                     {"one.txt", words},
                                     {"two.mp3", two, 1, longTitle, longName},
                                     {"empty.txt", empty},
                                     {"back.gif", back}},
                                    {"The Album", "Band", "2001", "Complete", "2"});
  base::MemorySource source(data);
  AlbumReader reader(source);
  RecordingDisplay display;
  ASSERT_EQ(OpenAlbum(reader, display, {}), ReadStatus::Ok);
  EXPECT_EQ(display.title, "The Album");
  EXPECT_EQ(display.artist, "Band" + std::string(26, ' '));
  EXPECT_EQ(display.year, "2001");
  EXPECT_EQ(display.count, 2);
  ASSERT_EQ(display.lines.size(), 6u);
  EXPECT_EQ(display.lines[0], "One" + std::string(47, ' '));
  EXPECT_EQ(display.lines[1], std::string(50, 't'));
  EXPECT_EQ(display.lines[2], "cover.jpg" + std::string(245, ' '));
  EXPECT_EQ(base::Trim(display.lines[5]), "empty.txt");

  const auto items = reader.Items();
  ASSERT_EQ(items.size(), 6u);
  EXPECT_EQ(items[1].name, std::string(300, 'n').substr(0, 254));
  const base::Bytes expected[] = {one, two, cover, back, words, empty};
  for (std::size_t i = 0; i < items.size(); ++i) {
    SCOPED_TRACE(i);
    base::Bytes got(static_cast<std::size_t>(items[i].size));
    ASSERT_TRUE(source.ReadAt(items[i].offset, got));
    EXPECT_EQ(got, expected[i]);
  }
  EXPECT_EQ(items[4].trackNumber, 1);
  EXPECT_EQ(items[5].trackNumber, 0);  // its MP3 was stored under another name: no track
  EXPECT_EQ(reader.TrackDataStart(1), 5000);
  EXPECT_EQ(reader.LyricsDataStart(1), items[5].offset);
}

TEST(AlbumReader, AnAlbumWithoutPicturesOrLyricsListsOnlyItsTracks) {
  base::Bytes data = MakeAlbumBytes({{"a.mp3", Pattern(100)}});
  base::MemorySource source(data);
  AlbumReader reader(source);
  RecordingDisplay display;
  ASSERT_EQ(OpenAlbum(reader, display, {}), ReadStatus::Ok);
  EXPECT_EQ(display.lines.size(), 1u);
  // One track: the directory starts at 1-based position size - 467.
  EXPECT_EQ(reader.Sections().directoryOffset + 1, static_cast<std::int64_t>(data.size()) - 467);
  EXPECT_EQ(TrackCountText(display.count), " 1");
}

TEST(AlbumReader, OpeningMarksTheTagAndAnswersYesEachTime) {
  base::Bytes data = MakeAlbumBytes({{"a.mp3", Pattern(100)}}, {"T", "A", "1999", "Complete", "9"});
  PatchRecorder patches{data};
  for (int round = 0; round < 2; ++round) {
    base::MemorySource source(data);
    AlbumReader reader(source);
    NullDisplay display;
    ASSERT_TRUE(reader.IsAlbum());
    EXPECT_TRUE(reader.ReadAlbumTag(display, patches.Writer()));
    EXPECT_EQ(data[data.size() - 2], 12);
    EXPECT_EQ(data[data.size() - 1], 255);
  }
}

TEST(AlbumReader, UpgradesAnOlderLayoutTag) {
  base::Bytes data =
      MakeAlbumBytes({{"a.mp3", Pattern(100)}}, {"ignored", "Artist", "1999", "C", "9"});
  // Older layout: the album title in the Album field.
  base::PutField(data, data.size() - 128 + 63, 30, "Old Title");
  PatchRecorder patches{data};
  base::MemorySource source(data);
  AlbumReader reader(source);
  RecordingDisplay display;
  ASSERT_TRUE(reader.IsAlbum());
  EXPECT_TRUE(reader.ReadAlbumTag(display, patches.Writer()));
  EXPECT_EQ(display.title, "Old Title");
  const auto tag =
      DecodeAlbumTag(std::span<const std::uint8_t, kTagSize>(data.data() + data.size() - 128, 128));
  EXPECT_EQ(base::Trim(tag.Title), "Old Title");
  EXPECT_EQ(base::Trim(tag.Album), "MP3 - Lyrabinder");
  EXPECT_EQ(tag.Track, 9);  // the whole tag as read replaces the opened mark
  EXPECT_EQ(base::Trim(tag.Artist), "Artist");
}

TEST(AlbumReader, AReadOnlyAlbumStillOpens) {
  base::Bytes data = MakeAlbumBytes({{"a.mp3", Pattern(100)}});
  const base::Bytes before = data;
  base::MemorySource source(data);
  AlbumReader reader(source);
  NullDisplay display;
  const TagWriter refusing = [](std::int64_t, std::span<const std::uint8_t>) { return false; };
  EXPECT_EQ(OpenAlbum(reader, display, refusing), ReadStatus::Ok);
  EXPECT_EQ(source.Data(), before);
}

TEST(AlbumReader, ATagWithoutTagIdentifierShowsNothing) {
  base::Bytes data = MakeAlbumBytes({{"a.mp3", Pattern(100)}});
  data[data.size() - 128] = 'X';
  base::MemorySource source(data);
  AlbumReader reader(source);
  RecordingDisplay display;
  EXPECT_FALSE(reader.ReadAlbumTag(display, {}));
  EXPECT_EQ(display.title, "");
}

// A source that fails the test when a reader asks for bytes outside the file: a damaged size
// must be refused from the numbers, never found out by reading.
class BoundedSource final : public base::ByteSource {
 public:
  explicit BoundedSource(base::Bytes data) : m_memory(std::move(data)) {}
  std::int64_t Size() const override { return m_memory.Size(); }
  bool ReadAt(std::int64_t offset, std::span<std::uint8_t> out) override {
    if (offset < 0 || offset + static_cast<std::int64_t>(out.size()) > Size()) {
      ADD_FAILURE() << "read of " << out.size() << " bytes at " << offset << " in a file of "
                    << Size();
      return false;
    }
    return m_memory.ReadAt(offset, out);
  }

 private:
  base::MemorySource m_memory;
};

TEST(AlbumReader, RefusesDamagedAlbumsWithoutReadingPastTheFile) {
  const base::Bytes good = MakeAlbumBytes({{"a.mp3", Pattern(100)},
                                           {"a.txt", Pattern(10)},
                                           {"b.mp3", Pattern(50)},
                                           {"p.jpg", Pattern(30)}});
  const std::size_t n = good.size();
  const std::size_t dirBytes = n - 140, pictureBytes = n - 136, lyricsBytes = n - 132;
  const std::size_t pictureBlock = 150, lyricsBlock = 150 + 288, directory = 150 + 288 + 270;
  const struct {
    const char* why;
    std::size_t offset;
    std::int32_t value;
  } cases[] = {
      {"negative directory", dirBytes, -312},
      {"directory of no track", dirBytes, 0},
      {"directory not whole entries", dirBytes, 700},
      {"directory past the file", dirBytes, 312 * 1000},
      {"huge pictures", pictureBytes, 0x7FFFFF00},
      {"negative lyrics", lyricsBytes, -1},
      {"picture data past its block", pictureBlock, 31},
      {"negative picture size", pictureBlock, -5},
      {"lyrics data past its block", lyricsBlock, 1000},
      {"track audio past the audio section", directory + 4, 1000},
      {"negative track audio", directory + 4, -1},
  };
  {
    BoundedSource source(good);
    AlbumReader reader(source);
    NullDisplay display;
    ASSERT_EQ(OpenAlbum(reader, display, {}), ReadStatus::Ok);
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    base::Bytes data = good;
    base::PutLE32(data, c.offset, c.value);
    BoundedSource source(data);
    AlbumReader reader(source);
    NullDisplay display;
    EXPECT_EQ(OpenAlbum(reader, display, {}), ReadStatus::Damaged);
  }
  for (std::size_t size : {std::size_t{0}, std::size_t{155}, std::size_t{156}}) {
    SCOPED_TRACE(size);
    BoundedSource source(
        base::Bytes(good.end() - static_cast<long>(std::min(size, n)), good.end()));
    AlbumReader reader(source);
    NullDisplay display;
    EXPECT_NE(OpenAlbum(reader, display, {}), ReadStatus::Ok);
  }
}

}  // namespace
}  // namespace album
