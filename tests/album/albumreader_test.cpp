#include <gtest/gtest.h>

#include <algorithm>

#include "album/albumreader.h"
#include "album/albumwrap.h"
#include "base/bytes.h"
#include "base/text.h"
#include "tests/album/albumtestutil.h"

namespace album {
namespace {

using testing::MakeAlbum;
using testing::MakeWrap;
using testsupport::Pattern;
using testsupport::ReadFile;
using testsupport::ScopedTempDir;

// A TagWriter that applies what it is given to the buffer, as a file would.
TagWriter PatchesTo(base::Bytes& data) {
  return [&data](std::int64_t offset, std::span<const std::uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), data.begin() + offset);
    return true;
  };
}

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
  const AlbumContents album = OpenAlbum(source, {});
  ASSERT_TRUE(album.ok());
  EXPECT_EQ(album.details.title, "The Album");
  EXPECT_EQ(album.details.artist, "Band" + std::string(26, ' '));
  EXPECT_EQ(album.details.year, "2001");
  EXPECT_EQ(album.details.trackCount, 2);
  ASSERT_EQ(album.lines.size(), 6u);
  EXPECT_EQ(album.lines[0], "One" + std::string(47, ' '));
  EXPECT_EQ(album.lines[1], std::string(50, 't'));
  EXPECT_EQ(album.lines[2], "cover.jpg" + std::string(245, ' '));
  EXPECT_EQ(base::Trim(album.lines[5]), "empty.txt");

  AlbumReader reader(source);
  ASSERT_EQ(reader.ReadTrackDirectory(), ReadStatus::Ok);
  ASSERT_EQ(reader.ListPictures(), ReadStatus::Ok);
  ASSERT_EQ(reader.ListLyrics(), ReadStatus::Ok);
  const auto items = album.Items();
  EXPECT_EQ(reader.Items().size(), items.size());
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

TEST(AlbumReader, AReadOnlyAlbumWithoutPicturesOrLyricsOpensAndListsOnlyItsTracks) {
  const base::Bytes data = MakeAlbumBytes({{"a.mp3", Pattern(100)}});
  base::MemorySource source(data);
  const TagWriter refusing = [](std::int64_t, std::span<const std::uint8_t>) { return false; };
  const AlbumContents album = OpenAlbum(source, refusing);
  ASSERT_TRUE(album.ok());
  EXPECT_TRUE(album.tagAnsweredYes);
  EXPECT_EQ(source.Data(), data);
  EXPECT_EQ(album.lines.size(), 1u);
  // One track: the directory starts at 1-based position size - 467.
  EXPECT_EQ(album.sections.directoryOffset + 1, static_cast<std::int64_t>(data.size()) - 467);
  EXPECT_EQ(TrackCountText(album.details.trackCount), " 1");
}

TEST(AlbumReader, OpeningMarksTheTagAndAnswersYesEachTime) {
  base::Bytes data = MakeAlbumBytes({{"a.mp3", Pattern(100)}}, {"T", "A", "1999", "Complete", "9"});
  for (int round = 0; round < 2; ++round) {
    base::MemorySource source(data);
    AlbumReader reader(source);
    ASSERT_TRUE(reader.IsAlbum());
    EXPECT_TRUE(reader.ReadAlbumTag(PatchesTo(data)));
    EXPECT_EQ(data[data.size() - 2], 12);
    EXPECT_EQ(data[data.size() - 1], 255);
  }
}

TEST(AlbumReader, UpgradesAnOlderLayoutTag) {
  base::Bytes data =
      MakeAlbumBytes({{"a.mp3", Pattern(100)}}, {"ignored", "Artist", "1999", "C", "9"});
  // Older layout: the album title in the Album field.
  base::PutField(data, data.size() - 128 + 63, 30, "Old Title");
  base::MemorySource source(data);
  AlbumReader reader(source);
  ASSERT_TRUE(reader.IsAlbum());
  EXPECT_TRUE(reader.ReadAlbumTag(PatchesTo(data)));
  EXPECT_EQ(reader.Details().title, "Old Title");
  const auto tag =
      DecodeAlbumTag(std::span<const std::uint8_t, kTagSize>(data.data() + data.size() - 128, 128));
  EXPECT_EQ(base::Trim(tag.Title), "Old Title");
  EXPECT_EQ(base::Trim(tag.Album), "MP3 - Lyrabinder");
  EXPECT_EQ(tag.Track, 9);  // the whole tag as read replaces the opened mark
  EXPECT_EQ(base::Trim(tag.Artist), "Artist");
}

TEST(AlbumReader, ATagWithoutTagIdentifierShowsNothing) {
  base::Bytes data = MakeAlbumBytes({{"a.mp3", Pattern(100)}});
  data[data.size() - 128] = 'X';
  base::MemorySource source(data);
  AlbumReader reader(source);
  EXPECT_FALSE(reader.ReadAlbumTag({}));
  EXPECT_EQ(reader.Details().title, "");
}

// A file of `size` bytes (by default its head's): `head`, then zeros. It fails the test when
// a reader asks for bytes outside the file: a damaged size must be refused from the numbers,
// never found out by reading. It remembers the largest read.
class BoundedSource final : public base::ByteSource {
 public:
  explicit BoundedSource(base::Bytes head, std::int64_t size = -1)
      : m_head(std::move(head)),
        m_size(size < 0 ? static_cast<std::int64_t>(m_head.size()) : size) {}
  std::int64_t Size() const override { return m_size; }
  bool ReadAt(std::int64_t offset, std::span<std::uint8_t> out) override {
    largestRead = std::max(largestRead, out.size());
    if (offset < 0 || static_cast<std::int64_t>(out.size()) > m_size - offset) {
      ADD_FAILURE() << "read of " << out.size() << " bytes at " << offset << " in a file of "
                    << m_size;
      return false;
    }
    for (std::size_t i = 0; i < out.size(); ++i) {
      const auto at = static_cast<std::size_t>(offset) + i;
      out[i] = at < m_head.size() ? m_head[at] : 0;
    }
    return true;
  }
  std::size_t largestRead = 0;

 private:
  base::Bytes m_head;
  std::int64_t m_size;
};

TEST(AlbumReader, RefusesDamagedAlbumsWithoutReadingPastTheFile) {
  const base::Bytes good = MakeAlbumBytes({{"a.mp3", Pattern(100)},
                                           {"a.txt", Pattern(10)},
                                           {"b.mp3", Pattern(50)},
                                           {"p.jpg", Pattern(30)}});
  const std::size_t n = good.size();
  const std::size_t dirBytes = n - 140, pictureBytes = n - 136, lyricsBytes = n - 132;
  const std::size_t pictureBlock = 150, lyricsBlock = 150 + 288, directory = 150 + 288 + 270;
  const std::tuple<const char*, std::size_t, std::int32_t> cases[] = {
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
  const auto open = [](base::Bytes data) {
    BoundedSource source(std::move(data));
    return OpenAlbum(source, {}).status;
  };
  ASSERT_EQ(open(good), ReadStatus::Ok);
  for (const auto& [why, offset, value] : cases) {
    SCOPED_TRACE(why);
    base::Bytes data = good;
    base::PutLE32(data, offset, value);
    EXPECT_EQ(open(data), ReadStatus::Damaged);
  }
  for (std::size_t size : {std::size_t{0}, std::size_t{155}, std::size_t{156}}) {
    SCOPED_TRACE(size);
    EXPECT_NE(open(base::Bytes(good.end() - static_cast<long>(std::min(size, n)), good.end())),
              ReadStatus::Ok);
  }
}

TEST(AlbumWrap, ReadsTheHeaderFramesAndItems) {
  const base::Bytes first = Pattern(33017, 1), second = Pattern(120, 2);
  base::MemorySource source(MakeWrap({{"Artist - First Song.mp3", first}, {"Second.MP3", second}}));
  AlbumWrapReader reader(source);
  ASSERT_TRUE(reader.IsAlbumWrap());
  reader.ReadFrames();
  const ShownDetails& shown = reader.Details();
  EXPECT_EQ(shown.title, "Wrapped Album");
  EXPECT_EQ(shown.artist, "Some Artist");
  EXPECT_EQ(shown.comment, "Wrapper");
  ASSERT_EQ(reader.ListItems(), ReadStatus::Ok);
  EXPECT_EQ(shown.trackCount, 2);
  EXPECT_EQ(reader.CountField(), "2           ");
  ASSERT_EQ(reader.Lines().size(), 2u);
  EXPECT_EQ(reader.Lines()[0], " First Song" + std::string(39, ' '));
  EXPECT_EQ(base::Trim(reader.Lines()[1]), "Second");
  const auto items = reader.Items();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].name, "Artist - First Song.mp3");
  EXPECT_EQ(items[0].offset, 1337 + 2 * 501);
  EXPECT_EQ(items[0].size, 33017);
  base::Bytes got(second.size());
  ASSERT_TRUE(source.ReadAt(items[1].offset, got));
  EXPECT_EQ(got, second);
}

TEST(AlbumWrap, AnOrdinaryMp3IsNotAnArchive) {
  base::MemorySource source(testsupport::Mp3Stream(10));
  EXPECT_FALSE(AlbumWrapReader(source).IsAlbumWrap());
  base::MemorySource tiny(base::Bytes(100, 0));
  EXPECT_FALSE(AlbumWrapReader(tiny).IsAlbumWrap());
}

TEST(AlbumWrap, RefusesCountsAndSizesBeyondTheFile) {
  const auto wrap = [](std::string count) { return MakeWrap({{"a.mp3", Pattern(10)}}, count); };
  base::Bytes shortened = wrap(""), nameless = wrap("");
  shortened.pop_back();
  std::fill(nameless.begin() + 1337, nameless.begin() + 1337 + 501, ' ');
  const std::pair<const char*, base::Bytes> cases[] = {{"count beyond the file", wrap("99999999")},
                                                       {"negative count", wrap("-3")},
                                                       {"no count", wrap("x")},
                                                       {"item beyond the file", shortened},
                                                       {"record without name", nameless}};
  for (const auto& [why, data] : cases) {
    SCOPED_TRACE(why);
    base::MemorySource source(data);
    AlbumWrapReader reader(source);
    ASSERT_TRUE(reader.IsAlbumWrap());
    EXPECT_EQ(reader.ListItems(), ReadStatus::Damaged);
  }
  // Whole records of empty items, one more than an album may hold.
  std::vector<testing::WrapItem> many(kMaxTracks, {"a.mp3", {}});
  for (const auto& [count, status] :
       {std::pair{kMaxTracks, ReadStatus::Ok}, std::pair{kMaxTracks + 1, ReadStatus::Damaged}}) {
    SCOPED_TRACE(count);
    many.resize(static_cast<std::size_t>(count), {"a.mp3", {}});
    base::MemorySource source(MakeWrap(many));
    AlbumWrapReader reader(source);
    EXPECT_EQ(reader.ListItems(), status);
  }
}

TEST(AlbumWrap, AClaimedFrameLengthNeverDecidesWhatIsRead) {
  // A 1.5 GB file whose first frame claims 0x7FFFFFFF bytes: only the header is ever read.
  for (const std::int32_t claimed : {0x7FFFFFFF, 1325, 1400}) {
    SCOPED_TRACE(claimed);
    base::Bytes data = MakeWrap({{"a.mp3", Pattern(10)}});
    base::PutLE32(data, 10 + 7, claimed);
    BoundedSource source(data, std::int64_t{1536} << 20);
    AlbumWrapReader reader(source);
    reader.ReadFrames();
    EXPECT_LE(source.largestRead, static_cast<std::size_t>(kWrapHeaderSize));
    EXPECT_EQ(reader.Details().title, "");  // the damaged frame ends the reading
  }
}

TEST(AlbumWrap, ItemTitles) {
  EXPECT_EQ(WrapItemTitle("Band - Song.mp3"), " Song");
  EXPECT_EQ(WrapItemTitle("Song.mp3"), "Song");
  EXPECT_EQ(WrapItemTitle("a-b"), "");
}

}  // namespace
}  // namespace album
