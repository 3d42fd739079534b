#include <gtest/gtest.h>

#include <algorithm>

#include "album/albumwrap.h"
#include "base/bytes.h"
#include "base/text.h"
#include "tests/album/albumtestutil.h"
#include "tests/support/testsupport.h"

namespace album {
namespace {

using testsupport::Bytes;
using testsupport::Pattern;

using testing::MakeWrap;

struct Shown : NullDisplay {
  std::string title, artist, comment;
  int count = 0;
  std::vector<std::string> lines;
  void ShowAlbumTitle(const std::string& t) override { title = t; }
  void ShowArtist(const std::string& t) override { artist = t; }
  void ShowComment(const std::string& t) override { comment = t; }
  void ShowTrackCount(int n) override { count = n; }
  void AddListItem(const std::string& t) override { lines.push_back(t); }
};

TEST(AlbumWrap, ReadsTheHeaderFramesAndItems) {
  const base::Bytes first = Pattern(33017, 1), second = Pattern(120, 2);
  base::MemorySource source(MakeWrap({{"Artist - First Song.mp3", first}, {"Second.MP3", second}}));
  AlbumWrapReader reader(source);
  ASSERT_TRUE(reader.IsAlbumWrap());
  Shown shown;
  reader.ReadFrames(shown);
  EXPECT_EQ(shown.title, "Wrapped Album");
  EXPECT_EQ(shown.artist, "Some Artist");
  EXPECT_EQ(shown.comment, "Wrapper");
  ASSERT_EQ(reader.ListItems(shown), ReadStatus::Ok);
  EXPECT_EQ(shown.count, 2);
  EXPECT_EQ(reader.CountField(), "2           ");
  ASSERT_EQ(shown.lines.size(), 2u);
  EXPECT_EQ(shown.lines[0], " First Song" + std::string(39, ' '));
  EXPECT_EQ(base::Trim(shown.lines[1]), "Second");
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
  const struct {
    const char* why;
    base::Bytes data;
  } cases[] = {
      {"count beyond the file", MakeWrap({{"a.mp3", Pattern(10)}}, "99999999")},
      {"negative count", MakeWrap({{"a.mp3", Pattern(10)}}, "-3")},
      {"no count", MakeWrap({{"a.mp3", Pattern(10)}}, "x")},
      {"item beyond the file",
       [] {
         base::Bytes d = MakeWrap({{"a.mp3", Pattern(10)}});
         d.resize(d.size() - 1);
         return d;
       }()},
      {"record without name",
       [] {
         base::Bytes d = MakeWrap({{"a.mp3", Pattern(10)}});
         std::fill(d.begin() + 1337, d.begin() + 1337 + 501, ' ');
         return d;
       }()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    base::MemorySource source(c.data);
    AlbumWrapReader reader(source);
    ASSERT_TRUE(reader.IsAlbumWrap());
    NullDisplay display;
    EXPECT_EQ(reader.ListItems(display), ReadStatus::Damaged);
  }
}

TEST(AlbumWrap, FrameLengthsBeyondTheFileStopTheReading) {
  base::Bytes data = MakeWrap({{"a.mp3", Pattern(10)}});
  base::PutLE32(data, 10 + 7, 0x7FFFFFFF);
  base::MemorySource source(data);
  Shown shown;
  AlbumWrapReader(source).ReadFrames(shown);  // must neither crash nor allocate the length
  SUCCEED();
}

// A sparse file: the given bytes, then zeros up to `size`; remembers the largest read.
class SparseSource final : public base::ByteSource {
 public:
  SparseSource(base::Bytes head, std::int64_t size) : m_head(std::move(head)), m_size(size) {}
  std::int64_t Size() const override { return m_size; }
  bool ReadAt(std::int64_t offset, std::span<std::uint8_t> out) override {
    largestRead = std::max(largestRead, out.size());
    if (offset < 0 || static_cast<std::int64_t>(out.size()) > m_size - offset) return false;
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

TEST(AlbumWrap, AClaimedFrameLengthNeverDecidesWhatIsRead) {
  // A 1.5 GB file whose first frame claims 0x7FFFFFFF bytes: only the header is ever read.
  for (const std::int32_t claimed : {0x7FFFFFFF, 1325, 1400}) {
    SCOPED_TRACE(claimed);
    base::Bytes data = MakeWrap({{"a.mp3", Pattern(10)}});
    base::PutLE32(data, 10 + 7, claimed);
    SparseSource source(data, std::int64_t{1536} << 20);
    Shown shown;
    AlbumWrapReader(source).ReadFrames(shown);
    EXPECT_LE(source.largestRead, static_cast<std::size_t>(kWrapHeaderSize));
    EXPECT_EQ(shown.title, "");  // the damaged frame ends the reading
  }
}

TEST(AlbumWrap, ItemTitles) {
  EXPECT_EQ(WrapItemTitle("Band - Song.mp3"), " Song");
  EXPECT_EQ(WrapItemTitle("Song.mp3"), "Song");
  EXPECT_EQ(WrapItemTitle("a-b"), "");
}

}  // namespace
}  // namespace album
