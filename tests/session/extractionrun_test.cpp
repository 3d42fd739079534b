#include "session/extractionrun.h"

#include <gtest/gtest.h>

#include "tests/album/albumtestutil.h"

namespace session {
namespace {

using testsupport::Pattern;
using testsupport::ReadFile;
using testsupport::ScopedTempDir;

// An album opened for extraction. Its lines: the track titled like lyrics, the picture (one
// whole copy block), the lyrics (album order: pictures before lyrics).
struct Opened {
  ScopedTempDir dir;
  album::Archive archive;
  std::filesystem::path albumPath = dir / "a _LB.MP3";
  std::filesystem::path out = dir / "out";
  explicit Opened(std::vector<album::testing::Source> files = {
                      {"src/t.mp3", Pattern(5000, 1), 1, "song.TXT"},
                      {"src/t.txt", Pattern(513, 2)},
                      {"src/c.jpg", Pattern(4096, 3)}}) {
    const auto result = album::testing::MakeAlbum(dir, files, albumPath);
    EXPECT_TRUE(result.ok()) << result.error;
    archive = album::OpenArchive(albumPath, {});
    EXPECT_EQ(archive.status, album::OpenStatus::Ok) << archive.error;
    std::filesystem::create_directory(out);
  }
  ExtractionRun Run(std::vector<std::size_t> chosen, bool deleteAlbum = false) {
    return ExtractionRun({archive.source.get(), &archive.items, std::move(chosen), out,
                          deleteAlbum ? albumPath : std::filesystem::path()});
  }
  ExtractionResult Extract(std::vector<std::size_t> chosen, bool deleteAlbum = false) {
    ExtractionFrontEnd quiet;
    return Run(std::move(chosen), deleteAlbum).Run(quiet, base::Replace::Allowed);
  }
};

std::vector<std::string> Names(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<ItemStatus> Statuses(const ExtractionResult& result) {
  std::vector<ItemStatus> statuses;
  for (const ItemOutcome& item : result.items) statuses.push_back(item.status);
  return statuses;
}

TEST(ExtractionRun, CopiesTheChosenItemsByteExactWithTheKindOfTheAlbum) {
  Opened opened;
  testsupport::WriteText(opened.out / "t.mp3", "an older file that must be replaced whole");
  EXPECT_EQ(opened.Run({0}).ExistingFiles(), std::vector<std::string>{"t.mp3"});
  const ExtractionResult track = opened.Extract({0});
  ASSERT_EQ(Statuses(track), std::vector{ItemStatus::Written});
  EXPECT_EQ(track.items[0].path, opened.out / "t.mp3");
  EXPECT_EQ(ReadFile(opened.out / "t.mp3"), Pattern(5000, 1));
  EXPECT_TRUE(track.MayDeleteAlbum());
  EXPECT_EQ(track.CompletionText(), "File(s) Extraction Completed.");
  EXPECT_EQ(opened.Extract({1, 2}).Extracted(), 2u);
  EXPECT_EQ(ReadFile(opened.out / "c.jpg"), Pattern(4096, 3));
  EXPECT_EQ(ReadFile(opened.out / "t.txt"), Pattern(513, 2));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(opened.out), {}), 3);
}

// Two items stored under one name, and one named like the album: none replaces another, each
// renamed one is told, and none counts as a file that was there before.
TEST(ExtractionRun, NeverWritesOverAnItemOfTheRunNorTheAlbumAndSaysSo) {
  Opened opened({{"a/same.mp3", Pattern(100, 1), 1, "A"},
                 {"b/same.mp3", Pattern(200, 2), 1, "B"},
                 {"c/x.mp3", Pattern(300, 3), 1, "C", "a _LB.MP3"}});
  opened.out = opened.dir.path();
  EXPECT_TRUE(opened.Run({0, 1, 2}).ExistingFiles().empty());
  const ExtractionResult result = opened.Extract({0, 1, 2});
  EXPECT_EQ(Statuses(result),
            (std::vector{ItemStatus::Written, ItemStatus::Renamed, ItemStatus::Renamed}));
  EXPECT_EQ(ReadFile(opened.dir / "same.mp3"), Pattern(100, 1));
  EXPECT_EQ(ReadFile(opened.dir / "same (2).mp3"), Pattern(200, 2));
  EXPECT_EQ(ReadFile(opened.dir / "a _LB (2).MP3"), Pattern(300, 3));
  EXPECT_EQ(result.CompletionText(), "File(s) Extraction Completed.\n" +
                                         RenamedNote(1, opened.dir / "same (2).mp3") + "\n" +
                                         RenamedNote(2, opened.dir / "a _LB (2).MP3"));
  EXPECT_TRUE(result.MayDeleteAlbum());
}

// Items are copied two at a time; one that fails must not cost the next of its name that name.
TEST(ExtractionRun, AnItemAfterAFailedOneOfItsNameKeepsItsOwnName) {
  const struct {
    const char* name;
    std::vector<std::size_t> chosen;
    bool folderAtTheName;  // else the album loses the second item's bytes after opening
    std::vector<ItemStatus> statuses;
    std::vector<std::string> files;
  } kCases[] = {
      {"the name cannot be written",
       {0, 1},
       true,
       {ItemStatus::Failed, ItemStatus::Failed},
       {"same.mp3"}},
      {"the first cannot be read",
       {1, 0},
       false,
       {ItemStatus::Failed, ItemStatus::Written},
       {"same.mp3"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Opened opened(
        {{"a/same.mp3", Pattern(70000, 1), 1, "A"}, {"b/same.mp3", Pattern(90000, 2), 1, "B"}});
    if (c.folderAtTheName) std::filesystem::create_directory(opened.out / "same.mp3");
    if (!c.folderAtTheName) {
      std::filesystem::resize_file(opened.albumPath,
                                   static_cast<std::uintmax_t>(opened.archive.items[1].offset));
    }
    const ExtractionResult result = opened.Extract(c.chosen);
    EXPECT_EQ(Statuses(result), c.statuses);
    EXPECT_EQ(Names(opened.out), c.files);
    if (!c.folderAtTheName) {
      EXPECT_EQ(ReadFile(opened.out / "same.mp3"), Pattern(70000, 1));
    }
  }
}

TEST(ExtractionRun, DeletesTheAlbumOnlyWhenEveryChosenItemWasExtracted) {
  const std::string kept =
      "\nThe Album Was Not Deleted, Because Not Every Selected Item Was Extracted.";
  {
    SCOPED_TRACE("an item that cannot be written");
    Opened opened;
    std::filesystem::create_directory(opened.out / "c.jpg");
    const ExtractionResult result = opened.Extract({0, 1, 2}, true);
    EXPECT_EQ(Statuses(result),
              (std::vector{ItemStatus::Written, ItemStatus::Failed, ItemStatus::Written}));
    const std::string& failure = result.items[1].text;
    EXPECT_TRUE(failure.starts_with("Could Not Extract c.jpg : ")) << failure;
    EXPECT_EQ(result.CompletionText(), "File(s) Extraction Completed.\n" + failure + kept);
    EXPECT_TRUE(std::filesystem::exists(opened.albumPath));
    EXPECT_EQ(opened.Extract({0, 1, 2}).CompletionText(),
              "File(s) Extraction Completed.\n" + failure);
  }
  {
    SCOPED_TRACE("stopped after the first line");
    Opened opened;
    struct Stopping final : ExtractionFrontEnd {
      std::filesystem::path out;
      std::vector<int> lines;
      std::vector<std::string> namesAtTheStop;
      bool Progress(int line, int) override {
        lines.push_back(line);
        namesAtTheStop = Names(out);
        return false;
      }
    } stopping;
    stopping.out = opened.out;
    const ExtractionResult result = opened.Run({0, 1, 2}, true).Run(stopping);
    EXPECT_EQ(stopping.lines, std::vector{1});
    // The next item was already being copied; it never appears.
    ASSERT_EQ(stopping.namesAtTheStop.size(), 2u);
    EXPECT_TRUE(base::IsTemporaryName(stopping.namesAtTheStop[0]));
    EXPECT_EQ(Names(opened.out), std::vector<std::string>{"t.mp3"});
    EXPECT_EQ(Statuses(result),
              (std::vector{ItemStatus::Written, ItemStatus::NotReached, ItemStatus::NotReached}));
    EXPECT_EQ(result.CompletionText(),
              "File(s) Extraction Completed.\nNot Extracted : c.jpg\nNot Extracted : t.txt" + kept);
    EXPECT_TRUE(std::filesystem::exists(opened.albumPath));
  }
  {
    SCOPED_TRACE("every item");
    Opened opened;
    const ExtractionResult result = opened.Extract({2}, true);
    EXPECT_TRUE(result.albumDeleted);
    EXPECT_FALSE(std::filesystem::exists(opened.albumPath));
  }
}

}  // namespace
}  // namespace session
