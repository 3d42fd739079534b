#include "compose/wavelist.h"

#include <gtest/gtest.h>

namespace compose {
namespace {

using Entries = std::vector<std::string>;

class ListedFolder final : public FolderLister {
 public:
  explicit ListedFolder(std::optional<Entries> names) : m_names(std::move(names)) {}
  std::optional<Entries> PlainFileNames(std::string_view, std::string& error) const override {
    if (!m_names) error = "Permission denied";
    return m_names;
  }

 private:
  std::optional<Entries> m_names;
};

TEST(WaveList, AddsByTheLastFourCharactersAndDropsByAnyWav) {
  const struct {
    const char* path;
    bool added;
    bool dropped;
  } cases[] = {
      {"/a/song.wav", true, true},   {"/a/SONG.WAV", true, true},
      {"/a/song.Wav", true, true},   {"/a/My.Wavs/song.mp3", false, true},
      {"/a/song.wave", false, true}, {"/a/song.mp3", false, false},
      {"wav", false, false},         {"/a/.wav", true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    WaveList list;
    EXPECT_EQ(list.AddFile(c.path), c.added);
    EXPECT_EQ(list.Entries().size(), c.added ? 1u : 0u);
    EXPECT_EQ(WaveList::CanDrop({c.path}), c.dropped);
  }
  // One path of the wrong kind refuses the whole drop.
  WaveList list;
  EXPECT_FALSE(list.Drop({"/a/x.wav", "/a/y.mp3"}));
  EXPECT_TRUE(list.Empty());
  EXPECT_TRUE(list.Drop({"/a/x.wav", "/a/x.wav"}));
  EXPECT_EQ(list.Entries(), (Entries{"/a/x.wav", "/a/x.wav"}));
}

TEST(WaveList, AddsAFoldersWavesInListingOrder) {
  WaveList list;
  std::string error;
  EXPECT_EQ(list.AddFolder("/w", ListedFolder(Entries{"b.wav", "notes.txt", "A.WAV"}), error), 2u);
  EXPECT_EQ(list.Entries(), (Entries{"/w/b.wav", "/w/A.WAV"}));
  EXPECT_EQ(list.AddFolder("/x/", ListedFolder(Entries{"x.mp3"}), error), 0u);
  EXPECT_FALSE(list.AddFolder("/y", ListedFolder(std::nullopt), error));
  EXPECT_EQ(error, "Permission denied");
  EXPECT_EQ(list.Entries().size(), 2u);
}

TEST(WaveList, RemovesLaterDuplicatesWithCaseCounted) {
  WaveList list;
  ASSERT_TRUE(list.Drop({"/a.wav", "/b.wav", "/a.wav", "/A.wav", "/b.wav", "/c.wav"}));
  list.RemoveDuplicates();
  EXPECT_EQ(list.Entries(), (Entries{"/a.wav", "/b.wav", "/A.wav", "/c.wav"}));
}

TEST(WaveList, RemovesOnlyAnExistingEntry) {
  WaveList list;
  ASSERT_TRUE(list.Drop({"/a.wav", "/b.wav"}));
  EXPECT_FALSE(list.Remove(-1));
  EXPECT_FALSE(list.Remove(2));
  EXPECT_TRUE(list.Remove(0));
  EXPECT_EQ(list.Entries(), (Entries{"/b.wav"}));
}

TEST(MoveEntry, MovesTheEntryToTheTargetIndex) {
  const struct {
    std::ptrdiff_t from, to;
    std::optional<std::size_t> moved;
    Entries expected;
  } cases[] = {
      {0, 2, 2, {"B", "C", "A", "D"}},
      {3, 1, 1, {"A", "D", "B", "C"}},
      {1, 1, std::nullopt, {"A", "B", "C", "D"}},
      {-1, 0, std::nullopt, {"A", "B", "C", "D"}},
      {0, 4, std::nullopt, {"A", "B", "C", "D"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.from) + " to " + std::to_string(c.to));
    Entries entries{"A", "B", "C", "D"};
    EXPECT_EQ(MoveEntry(entries, c.from, c.to), c.moved);
    EXPECT_EQ(entries, c.expected);
  }
}

}  // namespace
}  // namespace compose
