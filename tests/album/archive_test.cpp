#ifndef _WIN32
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#endif

#include <gtest/gtest.h>

#include "album/archive.h"
#include "tests/album/albumtestutil.h"

namespace album {
namespace {

using testsupport::Pattern;
using testsupport::ReadFile;
using testsupport::ScopedTempDir;

TEST(SafeFileName, KeepsOnlyAPlainNameInsideTheFolder) {
  const std::pair<const char*, const char*> cases[] = {{"song.mp3", "song.mp3"},
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
                                                       {"trail. ", "trail__"}};
  for (const auto& [stored, safe] : cases) {
    SCOPED_TRACE(stored);
    EXPECT_EQ(SafeFileName(stored), safe);
  }
}

#ifndef _WIN32
// What an extraction does where the name is taken: by the user's file, by an item of the same
// run, or a name that does not fit the folder.
TEST(Extraction, NeverReplacesAFileUnlessAllowedAndNeverOneMadeReadOnly) {
  ScopedTempDir dir;
  const std::string longName = std::string(250, 'n') + ".txt";  // 254 bytes
  std::string accents;
  for (int i = 0; i < 250; ++i) accents += "\xC3\xA9";
  const struct {
    const char* what;
    std::vector<std::string> items;
    const char* existing;  // the user's file, named as the first item
    mode_t mode;
    base::Replace replace;
    std::vector<std::string> written;  // empty where refused
  } cases[] = {
      {"new", {"a.txt"}, nullptr, 0, base::Replace::Never, {"a.txt"}},
      {"existing, not allowed", {"a.txt"}, "user", 0644, base::Replace::Never, {}},
      {"existing, allowed", {"a.txt"}, "user", 0644, base::Replace::Allowed, {"a.txt"}},
      {"read-only, allowed", {"a.txt"}, "user", 0444, base::Replace::Allowed, {}},
      {"same name three times",
       {longName, longName, longName},
       nullptr,
       0,
       base::Replace::Never,
       {longName, std::string(247, 'n') + " (2).txt", std::string(247, 'n') + " (3).txt"}},
      {"500 bytes",
       {accents + ".txt"},
       nullptr,
       0,
       base::Replace::Never,
       {accents.substr(0, 250) + ".txt"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto out = dir / c.what;
    std::filesystem::create_directory(out);
    const auto first = out / base::PathFromUtf8(c.items[0]);
    if (c.existing) {
      testsupport::WriteText(first, c.existing);
      ASSERT_EQ(::chmod(first.c_str(), c.mode), 0);
    }
    base::MemorySource source(Pattern(30));
    Extraction extraction(source, out, c.replace);
    std::vector<std::string> written;
    for (std::size_t i = 0; i < c.items.size(); ++i) {
      std::string error;
      bool existed = false;
      const auto item = extraction.Extract(
          {ItemKind::Lyrics, c.items[i], "", 0, 0, static_cast<std::int64_t>(i * 10), 10}, error,
          existed);
      EXPECT_EQ(existed, !item && c.existing) << error;
      if (!item) continue;
      written.push_back(base::Utf8FromPath(item->path.filename()));
      const testsupport::Bytes all = Pattern(30);
      const auto from = all.begin() + static_cast<std::ptrdiff_t>(i * 10);
      EXPECT_EQ(ReadFile(item->path), testsupport::Bytes(from, from + 10));
    }
    EXPECT_EQ(written, c.written);
    if (c.existing && c.written.empty()) {
      EXPECT_EQ(ReadFile(first), testsupport::BytesOf(c.existing));
    }
  }
}
#endif

TEST(ExtractItem, StaysInsideTheFolderAndLeavesNoFileOfAFailedCopy) {
  ScopedTempDir dir;
  const auto out = dir / "inner";
  std::filesystem::create_directory(out);
  base::MemorySource source(Pattern(10));
  std::string error;
  const auto written =
      ExtractItem(source, {ItemKind::Track, "../escaped.mp3", "", 0, 0, 0, 10}, out, error);
  ASSERT_TRUE(written) << error;
  EXPECT_EQ(written->parent_path(), out);
  EXPECT_FALSE(std::filesystem::exists(dir / "escaped.mp3"));
  // This one runs past the source.
  EXPECT_FALSE(ExtractItem(source, {ItemKind::Track, "x.mp3", "", 0, 0, 5, 10}, out, error));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out), {}), 1);
}

#ifndef _WIN32
TEST(Archive, OpeningRefusesWhatIsNoRegularFile) {
  ScopedTempDir dir;
  std::filesystem::create_directory(dir / "folder");
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  const std::pair<const char*, std::string> cases[] = {
      {"folder", std::strerror(EISDIR)}, {"pipe", std::string(base::kNotRegularFile)}};
  for (const auto& [name, why] : cases) {
    SCOPED_TRACE(name);
    std::string error;
    EXPECT_FALSE(base::FileSource::Open(dir / name, error));
    EXPECT_EQ(error, why);
  }
}
#endif

TEST(Archive, AnOrdinaryFileIsUnsupported) {
  EXPECT_EQ(
      OpenArchive(std::make_unique<base::MemorySource>(testsupport::Mp3Stream(20)), {}).status,
      OpenStatus::Unsupported);
  const Archive missing = OpenArchive("/nonexistent/x.mp3", {});
  EXPECT_EQ(missing.status, OpenStatus::CannotOpen);
  EXPECT_FALSE(missing.error.empty());
}

}  // namespace
}  // namespace album
