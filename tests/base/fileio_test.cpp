#include "base/fileio.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <filesystem>
#include <string>

#include "base/bytes.h"
#include "tests/support/testsupport.h"

namespace base {
namespace {

using testsupport::Pattern;
using testsupport::ReadFile;
using testsupport::ScopedTempDir;

TEST(AtomicFile, ReplacesOnlyWhenAllowedAndFitsAnyNameThatFits) {
  ScopedTempDir dir;
  const std::string longName = std::string(250, 'n') + ".mp3";  // 254 bytes
  const struct {
    std::string name;
    bool existing;
    Replace replace;
    bool committed;
  } cases[] = {
      {"new.mp3", false, Replace::Never, true},
      {"old.mp3", true, Replace::Never, false},
      {"old2.mp3", true, Replace::Allowed, true},
      {longName, false, Replace::Never, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name.size() > 20 ? "long name" : c.name);
    const auto target = dir / c.name;
    if (c.existing) testsupport::WriteText(target, "kept");
    std::string error;
    auto file = AtomicFile::Create(target, error);
    ASSERT_TRUE(file) << error;
    const Bytes data = Pattern(1000);
    ASSERT_TRUE(file->Sink().Write(data));
    EXPECT_EQ(file->Commit(error, c.replace), c.committed) << error;
    EXPECT_EQ(file->TargetExisted(), c.existing && !c.committed);
    EXPECT_EQ(ReadFile(target), c.committed ? data : testsupport::BytesOf("kept"));
    file.reset();
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
      EXPECT_NE(entry.path().extension(), ".tmp") << "an unfinished file stayed";
    }
  }
}

// Between two files the kernel copies: the bytes must land between what was written before
// (still buffered) and after, and a failing side must still be named.
TEST(CopyRange, CopiesBetweenFilesAndBuffersAndNamesTheFailingSide) {
  ScopedTempDir dir;
  const Bytes data = Pattern(600 * 1024, 7);
  const Bytes head = Pattern(10, 3);
  const struct {
    const char* name;
    bool fromFile;
    std::string sink;  // a file name, "" for memory, or a device that takes nothing
    std::int64_t offset, count, cutTo;  // cutTo: the source shortened once open, or -1
    CopyResult result;
  } cases[] = {
      {"file to file", true, "out", 1001, 500 * 1024, -1, CopyResult::Ok},
      {"memory to file", false, "out", 1001, 500 * 1024, -1, CopyResult::Ok},
      {"file to memory", true, "", 1001, 500 * 1024, -1, CopyResult::Ok},
      {"past the end", true, "out", 1001, 600 * 1024, -1, CopyResult::ReadFailed},
      {"source cut short", true, "out", 0, 600 * 1024, 300 * 1024, CopyResult::ReadFailed},
#ifdef __linux__
      {"full device", true, "/dev/full", 0, 300 * 1024, -1, CopyResult::WriteFailed},
#endif
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::WriteFile(dir / "source", data);
    std::string error;
    std::unique_ptr<ByteSource> source = std::make_unique<MemorySource>(data);
    if (c.fromFile) source = FileSource::Open(dir / "source", error);
    ASSERT_TRUE(source) << error;
    if (c.cutTo >= 0) std::filesystem::resize_file(dir / "source", std::uintmax_t(c.cutTo));
    const auto target = c.sink.starts_with("/") ? std::filesystem::path(c.sink) : dir / c.sink;
    FileHandle file = c.sink.empty() ? nullptr : OpenFile(target, "wb", error);
    MemorySink memory;
    FileSink fileSink(file.get());
    ByteSink& sink = file ? static_cast<ByteSink&>(fileSink) : memory;
    ASSERT_TRUE(sink.Write(head));
    EXPECT_EQ(CopyRange(*source, c.offset, c.count, sink), c.result);
    EXPECT_EQ(sink.WriteError().empty(), c.result != CopyResult::WriteFailed);
    if (c.result != CopyResult::Ok) continue;
    ASSERT_TRUE(sink.Write(head));
    Bytes expected = head;
    expected.insert(expected.end(), data.begin() + c.offset, data.begin() + c.offset + c.count);
    expected.insert(expected.end(), head.begin(), head.end());
    file.reset();
    EXPECT_EQ(c.sink.empty() ? memory.Data() : ReadFile(target), expected);
  }
}

TEST(NumberedName, KeepsTheExtensionAndTheNumberWithinTheLimit) {
  std::string accents;
  for (int i = 0; i < 250; ++i) accents += "\xC3\xA9";  // 500 bytes of "é"
  const struct {
    std::string name;
    int n;
    std::string expected;
  } cases[] = {
      {"x_LB.MP3", 2, "x_LB (2).MP3"},
      {"a.b.txt", 2, "a.b (2).txt"},
      {"plain", 2, "plain (2)"},
      {".hidden", 2, ".hidden (2)"},
      {"song.mp3", 1, "song.mp3"},
      {std::string(250, 'n') + ".mp3", 1, std::string(250, 'n') + ".mp3"},
      {std::string(250, 'n') + ".mp3", 2, std::string(247, 'n') + " (2).mp3"},
      {std::string(250, 'n') + ".mp3", 10, std::string(246, 'n') + " (10).mp3"},
      {accents + ".txt", 1, accents.substr(0, 250) + ".txt"},  // never half a character
      {"x." + std::string(300, 'e'), 1, "x." + std::string(253, 'e')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name.substr(0, 20) + " " + std::to_string(c.n));
    const std::string numbered = NumberedName(c.name, c.n, 255);
    EXPECT_EQ(numbered, c.expected);
    EXPECT_LE(numbered.size(), 255u);
  }
}

#ifndef _WIN32
TEST(FreePath, PassesOverEveryNameTakenOnDiskOrClaimed) {
  ScopedTempDir dir;
  testsupport::WriteText(dir / "a.mp3", "");
  testsupport::WriteText(dir / "a (2).mp3", "");
  std::filesystem::create_directory_symlink(dir / "missing", dir / "a (3).mp3");
  const auto claimed = [&](const std::filesystem::path& path) { return path == dir / "a (4).mp3"; };
  EXPECT_EQ(FreePath(dir.path(), "a.mp3", 1, claimed), dir / "a (5).mp3");
  EXPECT_EQ(FreePath(dir.path(), "b.mp3", 1), dir / "b.mp3");
  const std::string longName = std::string(254, 'n');
  testsupport::WriteText(dir / longName, "");
  EXPECT_EQ(FreePath(dir.path(), longName, 1), dir / (std::string(251, 'n') + " (2)"));
}

TEST(MayReplace, RefusesAFileMadeReadOnly) {
  ScopedTempDir dir;
  const struct {
    const char* name;
    mode_t mode;
    bool may;
  } cases[] = {{"mine.txt", 0644, true}, {"readonly.txt", 0444, false}, {"missing.txt", 0, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.mode != 0) {
      testsupport::WriteText(dir / c.name, "x");
      ASSERT_EQ(::chmod((dir / c.name).c_str(), c.mode), 0);
    }
    EXPECT_EQ(MayReplace(dir / c.name), c.may);
  }
}

TEST(RemoveStaleTemporaryFiles, RemovesOnlyOurOwnFilesOlderThanADay) {
  ScopedTempDir dir;
  const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(25);
  const struct {
    const char* name;
    bool aged;
    bool removed;
  } cases[] = {
      {".lb0123abcd.tmp", true, true},   {".lb0123abcd.tmp.keep", true, false},
      {".lb0123ABCD.tmp", true, false},  {".lb0123abc.tmp", true, false},
      {".lbfedcba98.tmp", false, false}, {"x.lb0123abcd.tmp", true, false},
  };
  for (const auto& c : cases) {
    testsupport::WriteText(dir / c.name, "left by a killed run");
    if (c.aged) std::filesystem::last_write_time(dir / c.name, old);
  }
  // Neither a folder nor a symlink of that name is ours to remove.
  std::filesystem::create_directory(dir / ".lb11111111.tmp");
  std::filesystem::create_symlink(dir / ".lb0123abcd.tmp.keep", dir / ".lb22222222.tmp");
  EXPECT_EQ(RemoveStaleTemporaryFiles(dir.path()), 1u);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(std::filesystem::exists(dir / c.name), !c.removed);
  }
  EXPECT_TRUE(std::filesystem::is_directory(dir / ".lb11111111.tmp"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / ".lb22222222.tmp"));
}

// A run ended by a signal takes its unfinished files with it, and still ends by that signal.
TEST(RemoveTemporaryFilesOnSignals, RemovesUnfinishedFilesAndEndsByTheSignal) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    ScopedTempDir dir;
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
      const RemoveTemporaryFilesOnSignals cleanup;
      std::string error;
      auto first = AtomicFile::Create(dir / "a.mp3", error);
      auto second = AtomicFile::Create(dir / "b.mp3", error);
      if (!first || !second || !first->Sink().Write(Pattern(100))) ::_exit(2);
      ::raise(signal);
      ::_exit(3);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), signal);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  }
}
#endif

}  // namespace
}  // namespace base
