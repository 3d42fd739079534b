#include "compose/contentslist.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "compose/creation.h"
#include "compose/textrules.h"
#include "compose/wavelist.h"
#include "tests/support/testsupport.h"

namespace compose {
namespace {

using testsupport::Bytes;
using Entries = std::vector<std::string>;

// A folder whose files enumerate in a chosen order; none: the folder cannot be read.
class FakeLister final : public FolderLister {
 public:
  explicit FakeLister(Entries names) : m_names(std::move(names)) {}
  explicit FakeLister(std::nullopt_t) {}
  std::optional<Entries> PlainFileNames(std::string_view, std::string& error) const override {
    if (!m_names) error = "Permission denied";
    return m_names;
  }

 private:
  std::optional<Entries> m_names;
};

Entries InFolder(const std::string& folder, const Entries& names) {
  Entries paths;
  for (const auto& name : names) paths.push_back(folder + name);
  return paths;
}

TEST(AddFolder, PutsPicturesFirstThenTracksByNumberEachWithItsLyrics) {
  const std::pair<Entries, Entries> cases[] = {
      {{"02 - Two.mp3", "01 - One.mp3", "One.txt", "Two.txt", "cover.jpg"},
       {"cover.jpg", "01 - One.mp3", "One.txt", "02 - Two.mp3", "Two.txt"}},
      // A name without a number goes in front of the numbered ones.
      {{"x - 3.mp3", "y.mp3"}, {"y.mp3", "x - 3.mp3"}},
      {{"3.mp3", "1.mp3", "2.mp3"}, {"1.mp3", "2.mp3", "3.mp3"}},
      // Enumerations that a few swap passes leave out of order.
      {{"4.mp3", "3.mp3", "2.mp3", "1.mp3"}, {"1.mp3", "2.mp3", "3.mp3", "4.mp3"}},
      {{"01 - a.mp3", "03 - c.mp3", "10 - j.mp3", "02 - b.mp3", "05 - e.mp3", "04 - d.mp3",
        "09 - i.mp3", "06 - f.mp3", "08 - h.mp3", "07 - g.mp3"},
       {"01 - a.mp3", "02 - b.mp3", "03 - c.mp3", "04 - d.mp3", "05 - e.mp3", "06 - f.mp3",
        "07 - g.mp3", "08 - h.mp3", "09 - i.mp3", "10 - j.mp3"}},
      {{"2.mp3", "b.mp3", "1.mp3", "a.mp3", "2 - again.mp3"},
       {"b.mp3", "a.mp3", "1.mp3", "2.mp3", "2 - again.mp3"}},
      // The first piece that is a number counts; halves round to even.
      {{"Band - 10 - Ten.mp3", "Band - 2.5 - Two.mp3", "Band - 1 - One.mp3"},
       {"Band - 1 - One.mp3", "Band - 2.5 - Two.mp3", "Band - 10 - Ten.mp3"}},
      {{"b.mp3", "a.mp3"}, {"b.mp3", "a.mp3"}},
      // Albums and other files stay out; lyrics that match no track go last.
      {{"notes.txt", "Old_LB.mp3", "1 - Song.mp3", "x.doc", "Song lyrics.TXT", "b.GIF"},
       {"b.GIF", "1 - Song.mp3", "Song lyrics.TXT", "notes.txt"}},
  };
  for (const auto& [enumerated, expected] : cases) {
    SCOPED_TRACE(enumerated.front());
    ContentsList list;
    const auto result = list.AddFolder("/f", FakeLister(enumerated));
    EXPECT_EQ(list.Entries(), InFolder("/f/", expected));
    EXPECT_EQ(result.added, expected.size());
    EXPECT_TRUE(result.enableMakeAlbum);
    EXPECT_TRUE(result.message.empty());  // placed lyrics are skipped silently
  }
}

TEST(AddFolder, ReportsDuplicatesOnceAndAddsTheRest) {
  ContentsList list;
  (void)list.AddFile("/F/ONE.MP3");
  const auto result = list.AddFolder("/f/", FakeLister({"one.mp3", "two.mp3"}));
  EXPECT_EQ(list.Entries(), (Entries{"/F/ONE.MP3", "/f/two.mp3"}));
  EXPECT_EQ(result.message, "Item(s) Were Not Added Due To Duplicate Names");

  // Adding the same folder again adds nothing; a lyrics file listed in another case is a
  // duplicate, not an exact match.
  ContentsList again;
  (void)again.AddFolder("/f/", FakeLister({"a.mp3", "a.txt"}));
  const auto second = again.AddFolder("/f/", FakeLister({"a.mp3", "A.txt"}));
  EXPECT_EQ(second.added, 0u);
  EXPECT_EQ(second.message, result.message);
}

TEST(FileSystemLister, ListsPlainVisibleFilesOnlyAndAnUnreadableFolderIsRefused) {
  testsupport::ScopedTempDir dir;
  testsupport::WriteText(dir / "a.mp3", "x");
  testsupport::WriteText(dir / ".hidden.mp3", "x");
  std::filesystem::create_directory(dir / "sub.mp3");
  std::filesystem::create_symlink(dir / "nowhere.mp3", dir / "broken.mp3");
  std::string error;
  const auto names = FileSystemLister().PlainFileNames(dir.path().string(), error);
  ASSERT_TRUE(names);
  EXPECT_EQ(*names, Entries{"a.mp3"});
  ContentsList list;
  const auto result = list.AddFolder((dir / "missing").string(), FileSystemLister());
  EXPECT_TRUE(result.refused);
  EXPECT_FALSE(result.error.empty());
  EXPECT_TRUE(list.Empty());
}

TEST(AddFile, ComparesWholePathsWithoutRegardToCase) {
  ContentsList list;
  EXPECT_EQ(list.AddFile("/C/A/x.mp3").added, 1u);
  const auto duplicate = list.AddFile("/C/a/X.MP3");
  EXPECT_EQ(duplicate.added, 0u);
  EXPECT_EQ(duplicate.message, "Could Not Add Item, Duplicate Name Found");
  EXPECT_TRUE(duplicate.enableMakeAlbum);
  EXPECT_EQ(list.AddFile("/C/Ä/song.mp3").added, 1u);
  EXPECT_EQ(list.AddFile("/C/ä/SONG.mp3").message, duplicate.message);
  // The same name in another folder is another entry.
  EXPECT_EQ(list.AddFile("/C/B/x.mp3").added, 1u);
  EXPECT_EQ(list.AddFile("  /C/trimmed.txt  ").added, 0u);  // kind decided before trimming
  EXPECT_EQ(list.AddFile("  /C/trimmed.txt").added, 1u);
  EXPECT_EQ(list.Entries().back(), "/C/trimmed.txt");
}

TEST(AddFile, IgnoresAlbumsAndOtherKindsSilently) {
  for (const char* path : {"/m/My_lb.mp3", "/m/x_LB.MP3.jpg", "/m/letter.doc", "/m/mp3"}) {
    SCOPED_TRACE(path);
    ContentsList list;
    const auto result = list.AddFile(path);
    EXPECT_TRUE(list.Empty());
    EXPECT_TRUE(result.message.empty());
    EXPECT_FALSE(result.enableMakeAlbum);
  }
}

TEST(Drop, RefusesTheWholeDropForOneUnacceptablePath) {
  ContentsList list;
  const Entries dropped{"/d/a.mp3", "/d/letter.doc", "/d/b.txt"};
  EXPECT_FALSE(ContentsList::CanDrop(dropped));
  EXPECT_TRUE(list.Drop(dropped).refused);
  EXPECT_TRUE(list.Empty());
  EXPECT_FALSE(ContentsList::CanDrop({"/d/a.mp3", "/d/Album_lb.mp3"}));

  const auto result = list.Drop({"/d/a.mp3", "/d/A.MP3", "/d/c.gif"});
  EXPECT_EQ(list.Entries(), (Entries{"/d/a.mp3", "/d/c.gif"}));
  EXPECT_EQ(result.message, "Could Not Add Some Item(s), Duplicate Name Found");
}

TEST(ContentsList, ReorderMovesTheEntryAndRemoveIgnoresAMissingIndex) {
  // The moves themselves are MoveEntry's (below); here, that the list uses it.
  ContentsList list;
  (void)list.Drop({"/A.mp3", "/B.mp3", "/C.mp3"});
  EXPECT_EQ(list.Reorder(0, 2), std::optional<std::size_t>(2));
  EXPECT_EQ(list.Entries(), (Entries{"/B.mp3", "/C.mp3", "/A.mp3"}));
  EXPECT_EQ(list.Reorder(1, 1), std::nullopt);
  EXPECT_FALSE(list.Remove(-1));
  EXPECT_FALSE(list.Remove(3));
  EXPECT_TRUE(list.Remove(0));
  EXPECT_EQ(list.Entries(), (Entries{"/C.mp3", "/A.mp3"}));
}

TEST(CheckOrderRules, FindsTheFirstBrokenRule) {
  const std::pair<Entries, OrderError> cases[] = {
      {{"a.txt", "b.mp3"}, OrderError::LyricsFirst},
      {{"a.mp3", "b.txt", "c.txt"}, OrderError::ConsecutiveLyrics},
      {{"a.mp3", "b.jpg", "c.txt"}, OrderError::LyricsAfterGraphics},
      {{"a.jpg", "b.txt"}, OrderError::LyricsAfterGraphics},
      {{"a.jpg", "b.gif"}, OrderError::NoMusic},
      {{}, OrderError::NoMusic},
      {{"a.mp3", "b.txt", "c.jpg"}, OrderError::None},
      {{"a.MP3 ", " b.TXT", "c.Gif"}, OrderError::None},
  };
  for (const auto& [entries, expected] : cases) {
    SCOPED_TRACE(testing::PrintToString(entries));
    EXPECT_EQ(CheckOrderRules(entries), expected);
  }
  EXPECT_EQ(OrderErrorMessage(OrderError::LyricsFirst),
            "Error: A Lyrics File Was Listed Before A Music File !");
  EXPECT_EQ(OrderErrorMessage(OrderError::ConsecutiveLyrics),
            "Error: Two Or More Consecutive Lyrics Files Listed !");
  EXPECT_EQ(OrderErrorMessage(OrderError::LyricsAfterGraphics),
            "Error: A Lyrics File Was Listed After A Graphics File !");
  EXPECT_EQ(OrderErrorMessage(OrderError::NoMusic),
            "Error: You Must Include At Least One Music File !");
}

using testsupport::Concat;

Bytes XingStream() {
  Bytes frame = testsupport::Mp3Frame();
  std::copy_n("Xing", 4, frame.begin() + 36);
  return Concat({frame, testsupport::Mp3Stream(4)});
}

TEST(QualityCheck, RewritesEveryRejectedTrackAndKeepsGoing) {
  testsupport::ScopedTempDir dir;
  const auto put = [&](const std::string& name, const Bytes& data) {
    testsupport::WriteFile(dir / name, data);
    return (dir / name).string();
  };
  const std::string good =
      put("good.mp3", Concat({testsupport::Id3v2Tag(1000), testsupport::Mp3Stream(4)}));
  const std::string fast =
      put("fast.mp3",
          Concat({testsupport::Mp3Frame(0xA0, 0x44, 522), testsupport::Mp3Frame(0xA0, 0x44, 522)}));
  const std::string vbr = put("vbr.mp3", XingStream());
  // Analysed right after an accepted track: its failed analysis must not inherit 128 kbps.
  const std::string tiny = put("tiny.mp3", Bytes(100, 0));
  const std::string lyrics = put("good.mp3.txt", testsupport::BytesOf("words"));
  const std::string second = put("second.mp3", testsupport::Mp3Stream(3));

  ContentsList list;
  (void)list.Drop({good, lyrics, fast, vbr, second, tiny});
  const QualityResult result = list.QualityCheck();
  EXPECT_FALSE(result.passed);
  EXPECT_EQ(result.message, "Bitrate quality check of some MP3's failed (ckeck list).");
  EXPECT_TRUE(list.Locked());
  EXPECT_EQ(list.Entries(),
            (Entries{good, lyrics, "Rejected Quality - Non 128 kbps (160) : fast.mp3",
                     "Rejected Quality - Variable Bitrate MP3 : vbr.mp3", second,
                     "Rejected Quality - Non 128 kbps (0) : tiny.mp3"}));
  EXPECT_EQ(result.FirstFramePositions, (std::vector<std::int32_t>{0, 1001, 1}));
  EXPECT_EQ(result.WriterPositions(), (std::vector<std::int32_t>{1001, 1}));
  ASSERT_EQ(result.rejections.size(), 3u);
  EXPECT_EQ(result.rejections[0].path, fast);
  EXPECT_EQ(result.rejections[2].status, mp3header::AnalyseStatus::TooShort);
}

TEST(QualityCheck, NeverPassesAFileWhoseAnalysisFails) {
  testsupport::ScopedTempDir dir;
  testsupport::WriteText(dir / "text.mp3", std::string(4000, 'a'));
  ContentsList list;
  (void)list.Drop({(dir / "good.mp3").string(), (dir / "text.mp3").string()});
  // The analyser reports 128 kbps with a failing status for the missing file.
  const QualityResult result = list.QualityCheck([](const std::string& path, auto& info) {
    if (path.ends_with("good.mp3")) {
      info.Bitrate = 128;
      return mp3header::AnalyseStatus::CannotOpen;
    }
    return AnalyseFile(path, info);
  });
  EXPECT_FALSE(result.passed);
  EXPECT_EQ(result.rejections.size(), 2u);
  EXPECT_EQ(list.Entries()[1], "Rejected Quality - Non 128 kbps (0) : text.mp3");
}

TEST(FindUnreadable, NamesMissingFilesAndFolders) {
  testsupport::ScopedTempDir dir;
  testsupport::WriteText(dir / "ok.txt", "x");
  std::filesystem::create_directory(dir / "folder.mp3");
  std::filesystem::create_symlink(dir / "nowhere", dir / "broken.jpg");
  const auto found = FindUnreadable({(dir / "ok.txt").string(), (dir / "folder.mp3").string(),
                                     (dir / "broken.jpg").string(), (dir / "gone.mp3").string()});
  std::vector<std::size_t> indices;
  for (const auto& entry : found) {
    indices.push_back(entry.index);
    EXPECT_FALSE(entry.error.empty());
  }
  EXPECT_EQ(indices, (std::vector<std::size_t>{1, 2, 3}));
}

TEST(TextRules, NumberTestAndTitleKey) {
  for (const char* number : {"1", " 01 ", "-3", "+2.5", "7.", ".5", "\t4\t"})
    EXPECT_TRUE(IsNumeric(number)) << number;
  for (const char* text : {"", " ", "1a", "1e3", "+", ".", "1 2", "one"})
    EXPECT_FALSE(IsNumeric(text)) << text;
  const std::pair<const char*, int> numbers[] = {
      {"Artist - 99999 - 7 - x.mp3", 7},  // too large for a track number
      {"03.mp3", 3},
      {"x - 3.mp3", 3},
      {"Band - 2.5 - y.mp3", 2},
      {"Band - 3.5 - y.mp3", 4},
      {"Band - Song.mp3", 0},
      {"Track-.5.mp3", 0},
      {"Take - -2.mp3", 2}};  // the dash splits the sign off
  for (const auto& [name, number] : numbers) EXPECT_EQ(TrackNumberOf(name), number) << name;
  EXPECT_EQ(TitleKey("01 - My Song.mp3"), "MY SONG");
  EXPECT_EQ(TitleKey("Plain.mp3"), "PLAIN");
}

// An analyser that finds every track at `bitrate` kbps.
HeaderAnalyser AllAt(int bitrate) {
  return [bitrate](const std::string&, mp3header::MP3HeaderInfo& info) {
    info.Bitrate = bitrate;
    info.HeaderPos = 1;
    return mp3header::AnalyseStatus::Ok;
  };
}

// The checks run in their order: a failed quality check speaks first, the order rules only
// after it passed.
TEST(CheckContents, QualityFirstThenTheOrderRules) {
  const auto check = [](const Entries& items, int bitrate) {
    ContentsList list;
    (void)list.Drop(items);
    return CheckContents(list, AllAt(bitrate));
  };
  const ContentsVerdict passes = check({"/m/a.mp3", "/m/a.txt"}, 128);
  EXPECT_TRUE(passes.ok());
  EXPECT_EQ(passes.order, OrderError::None);
  const ContentsVerdict lyricsFirst = check({"/m/a.txt", "/m/a.mp3"}, 128);
  EXPECT_FALSE(lyricsFirst.ok());
  EXPECT_EQ(lyricsFirst.order, OrderError::LyricsFirst);
  EXPECT_EQ(lyricsFirst.Message(), OrderErrorMessage(OrderError::LyricsFirst));
  const ContentsVerdict fast = check({"/m/a.txt", "/m/a.mp3"}, 320);
  EXPECT_FALSE(fast.ok());
  EXPECT_EQ(fast.order, OrderError::None);
  EXPECT_EQ(fast.Message(), kQualityCheckFailedMessage);
}

TEST(WaveList, AddsAndDropsByTheLastFourCharacters) {
  const std::tuple<const char*, bool, bool> cases[] = {
      {"/a/song.wav", true, true},    {"/a/SONG.WAV", true, true},
      {"/a/song.Wav", true, true},    {"/a/My.Wavs/song.mp3", false, false},
      {"/a/song.wave", false, false}, {"/a/song.mp3", false, false},
      {"wav", false, false},          {"/a/.wav", true, true},
  };
  for (const auto& [path, added, dropped] : cases) {
    SCOPED_TRACE(path);
    WaveList list;
    EXPECT_EQ(list.AddFile(path), added);
    EXPECT_EQ(list.Entries().size(), added ? 1u : 0u);
    EXPECT_EQ(WaveList::CanDrop({path}), dropped);
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
  EXPECT_EQ(list.AddFolder("/w", FakeLister(Entries{"b.wav", "notes.txt", "A.WAV"}), error), 2u);
  EXPECT_EQ(list.Entries(), (Entries{"/w/b.wav", "/w/A.WAV"}));
  EXPECT_EQ(list.AddFolder("/x/", FakeLister(Entries{"x.mp3"}), error), 0u);
  EXPECT_FALSE(list.AddFolder("/y", FakeLister(std::nullopt), error));
  EXPECT_EQ(error, "Permission denied");
  EXPECT_EQ(list.Entries().size(), 2u);
}

TEST(WaveList, RemovesLaterDuplicatesWithCaseCountedAndOnlyAnExistingEntry) {
  WaveList list;
  ASSERT_TRUE(list.Drop({"/a.wav", "/b.wav", "/a.wav", "/A.wav", "/b.wav", "/c.wav"}));
  list.RemoveDuplicates();
  EXPECT_EQ(list.Entries(), (Entries{"/a.wav", "/b.wav", "/A.wav", "/c.wav"}));
  EXPECT_FALSE(list.Remove(-1));
  EXPECT_FALSE(list.Remove(4));
  EXPECT_TRUE(list.Remove(0));
  EXPECT_EQ(list.Entries(), (Entries{"/b.wav", "/A.wav", "/c.wav"}));
}

TEST(MoveEntry, MovesTheEntryToTheTargetIndex) {
  const std::tuple<std::ptrdiff_t, std::ptrdiff_t, std::optional<std::size_t>, Entries> cases[] = {
      {0, 2, 2, {"B", "C", "A", "D"}},
      {3, 1, 1, {"A", "D", "B", "C"}},
      {1, 1, std::nullopt, {"A", "B", "C", "D"}},
      {-1, 0, std::nullopt, {"A", "B", "C", "D"}},
      {0, 4, std::nullopt, {"A", "B", "C", "D"}},
  };
  for (const auto& [from, to, moved, expected] : cases) {
    SCOPED_TRACE(std::to_string(from) + " to " + std::to_string(to));
    Entries entries{"A", "B", "C", "D"};
    EXPECT_EQ(MoveEntry(entries, from, to), moved);
    EXPECT_EQ(entries, expected);
  }
}

}  // namespace
}  // namespace compose
