#include "album/extraction.h"

#include <gtest/gtest.h>

#include "tests/album/albumtestutil.h"

namespace album {
namespace {

using testsupport::Bytes;
using testsupport::Pattern;
using testsupport::ReadFile;
using testsupport::ScopedTempDir;

struct Opened {
  ScopedTempDir dir;
  Archive archive;
  std::filesystem::path out = dir / "out";
  Opened() {
    // Lines: the track titled like lyrics, the picture, the lyrics.
    const auto result = testing::MakeAlbum(dir,
                                           {{"src/t.mp3", Pattern(3000, 1), 1, "song.TXT"},
                                            {"src/t.txt", Pattern(600, 2)},
                                            {"src/c.jpg", Pattern(5000, 3)}},
                                           dir / "a _LB.MP3");
    EXPECT_TRUE(result.ok()) << result.error;
    NullDisplay display;
    std::string error;
    EXPECT_EQ(OpenArchive(dir / "a _LB.MP3", display, {}, archive, error), OpenStatus::Ok);
    std::filesystem::create_directory(out);
  }
};

TEST(ExtractSelected, TakesEachItemsKindFromTheAlbumNotFromItsLine) {
  Opened opened;
  const ExtractionResult result = ExtractSelected(*opened.archive.source, opened.archive.items,
                                                  {true, false, false}, opened.out);
  ASSERT_EQ(result.written, std::vector{opened.out / "t.mp3"});
  EXPECT_EQ(ReadFile(opened.out / "t.mp3"), Pattern(3000, 1));
  EXPECT_TRUE(MayDeleteAlbum(result));
  EXPECT_EQ(ExtractionCompletionText(result, true), "File(s) Extraction Completed.");
}

TEST(ExtractSelected, KeepsTheAlbumUnlessEverySelectedItemWasExtracted) {
  {
    SCOPED_TRACE("an item that cannot be written");
    Opened opened;
    std::filesystem::create_directory(opened.out / "c.jpg");
    const ExtractionResult result = ExtractSelected(*opened.archive.source, opened.archive.items,
                                                    {true, true, true}, opened.out);
    EXPECT_EQ(result.written.size(), 2u);
    ASSERT_EQ(result.failures.size(), 1u);
    EXPECT_TRUE(result.failures[0].starts_with("Could Not Extract c.jpg : "));
    EXPECT_FALSE(MayDeleteAlbum(result));
    EXPECT_EQ(ExtractionCompletionText(result, true), "File(s) Extraction Completed.\n" +
                                                          result.failures[0] +
                                                          "\nThe Album Was Not Deleted, Because "
                                                          "Not Every Selected Item Was Extracted.");
    EXPECT_EQ(ExtractionCompletionText(result, false),
              "File(s) Extraction Completed.\n" + result.failures[0]);
  }
  {
    SCOPED_TRACE("stopped after the first line");
    Opened opened;
    std::vector<int> reported;
    const ExtractionResult result =
        ExtractSelected(*opened.archive.source, opened.archive.items, {true, true, true},
                        opened.out, [&reported](int done, int) {
                          reported.push_back(done);
                          return false;
                        });
    EXPECT_EQ(reported, std::vector{1});
    EXPECT_EQ(result.written.size(), 1u);
    EXPECT_EQ(result.failures.size(), 2u);
    EXPECT_FALSE(MayDeleteAlbum(result));
  }
}

}  // namespace
}  // namespace album
