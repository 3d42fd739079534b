#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <gtest/gtest.h>

#include "album/archive.h"
#include "tests/album/albumtestutil.h"

namespace album {
namespace {

using testsupport::Bytes;
using testsupport::Pattern;
using testsupport::ReadFile;
using testsupport::ScopedTempDir;

TEST(SafeFileName, KeepsOnlyAPlainNameInsideTheFolder) {
  const struct {
    const char* stored;
    const char* safe;
  } cases[] = {
      {"song.mp3", "song.mp3"},
      {"../../etc/passwd", "passwd"},
      {"..\\..\\boot.ini", "boot.ini"},
      {"C:\\Windows\\x.dll", "x.dll"},
      {"C:evil.txt", "C_evil.txt"},
      {"..", "__"},
      {".", "_"},
      {"", "_"},
      {"dir/", "_"},
      {"a<b>c|d?.txt", "a_b_c_d_.txt"},
      {"CON", "_CON"},
      {"nul.txt", "_nul.txt"},
      {"COM1.mp3", "_COM1.mp3"},
      {"COMA.mp3", "COMA.mp3"},
      {"trail. ", "trail__"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    EXPECT_EQ(SafeFileName(c.stored), c.safe);
  }
}

TEST(Archive, ExtractsEveryItemByteExactAndReplacesOldFiles) {
  ScopedTempDir dir;
  const Bytes track = Pattern(3000, 1), picture = Pattern(4096, 2), words = Pattern(513, 3);
  const auto albumPath = dir / "a _LB.MP3";
  ASSERT_TRUE(
      testing::MakeAlbum(dir, {{"src/t.mp3", track}, {"src/t.txt", words}, {"src/c.gif", picture}},
                         albumPath)
          .ok());
  const auto out = dir / "out";
  std::filesystem::create_directory(out);
  testsupport::WriteText(out / "t.mp3", "an older, longer file that must be replaced whole");

  Archive archive;
  NullDisplay display;
  std::string error;
  ASSERT_EQ(OpenArchive(albumPath, display, {}, archive, error), OpenStatus::Ok);
  EXPECT_EQ(archive.format, ArchiveFormat::Album);
  for (const ArchiveItem& item : archive.items) {
    ASSERT_TRUE(ExtractItem(*archive.source, item, out, error)) << error;
  }
  EXPECT_EQ(ReadFile(out / "t.mp3"), track);
  EXPECT_EQ(ReadFile(out / "c.gif"), picture);
  EXPECT_EQ(ReadFile(out / "t.txt"), words);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out), {}), 3);
}

TEST(Archive, HostileNamesStayInsideTheChosenFolder) {
  ScopedTempDir dir;
  const auto out = dir / "inner";
  std::filesystem::create_directory(out);
  base::MemorySource source(Pattern(10));
  std::string error;
  const ArchiveItem item{ItemKind::Track, "../escaped.mp3", "", 0, 0, 0, 10};
  const auto written = ExtractItem(source, item, out, error);
  ASSERT_TRUE(written) << error;
  EXPECT_EQ(written->parent_path(), out);
  EXPECT_FALSE(std::filesystem::exists(dir / "escaped.mp3"));
}

TEST(Archive, AFailedCopyLeavesNoFile) {
  ScopedTempDir dir;
  base::MemorySource source(Pattern(10));
  std::string error;
  const ArchiveItem item{ItemKind::Track, "x.mp3", "", 0, 0, 5, 10};  // runs past the source
  EXPECT_FALSE(ExtractItem(source, item, dir.path(), error));
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(Archive, NumberedNamesKeepTheExtension) {
  const std::pair<const char*, const char*> cases[] = {{"x_LB.MP3", "x_LB (2).MP3"},
                                                       {"a.b.txt", "a.b (2).txt"},
                                                       {"plain", "plain (2)"},
                                                       {".hidden", ".hidden (2)"}};
  for (const auto& [name, numbered] : cases) {
    SCOPED_TRACE(name);
    EXPECT_EQ(NumberedName(name, 2), numbered);
  }
}

#ifndef _WIN32
TEST(Archive, OpeningRefusesWhatIsNoRegularFile) {
  ScopedTempDir dir;
  std::filesystem::create_directory(dir / "folder");
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  for (const char* name : {"folder", "pipe"}) {
    SCOPED_TRACE(name);
    std::string error;
    EXPECT_FALSE(base::FileSource::Open(dir / name, error));
    EXPECT_FALSE(error.empty());
  }
  std::string error;
  EXPECT_FALSE(base::FileSource::Open(dir / "pipe", error));
  EXPECT_EQ(error, base::kNotRegularFile);
}
#endif

TEST(Archive, AnOrdinaryFileIsUnsupported) {
  NullDisplay display;
  Archive archive;
  EXPECT_EQ(OpenArchive(std::make_unique<base::MemorySource>(testsupport::Mp3Stream(20)), display,
                        {}, archive),
            OpenStatus::Unsupported);
  std::string error;
  EXPECT_EQ(OpenArchive("/nonexistent/x.mp3", display, {}, archive, error), OpenStatus::CannotOpen);
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace album
