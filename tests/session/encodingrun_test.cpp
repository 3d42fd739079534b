// The encoding run on an encoder double: the replace rules and stops between files (the
// command line's tests run it in parallel on the real bridge).
#include <gtest/gtest.h>

#include <fstream>
#include <mutex>

#include "session/encodingrun.h"
#include "session/mp3encoder.h"
#include "tests/support/testsupport.h"
#include "wavpress/wavpress.h"

namespace {

namespace fs = std::filesystem;
using session::FileStatus;
using session::ReplaceRule;

// Writes each MP3 in two chunks; refuses an existing one unless replacing, as the bridge does.
class FakeEncoder final : public session::Mp3Encoder {
 public:
  void SetEncoder(std::int32_t) override {}
  session::EncodeOutcome EncodeMp3(const std::string& path, bool replace,
                                   const base::Progress& progress,
                                   const fs::path& output) override {
    const fs::path mp3 = output.empty() ? fs::path(path).replace_extension(".mp3") : output;
    {
      const std::lock_guard lock(mutex);
      calls.push_back((replace ? "replace " : "encode ") + mp3.filename().string());
    }
    if (fs::exists(mp3) && !replace) return {WAVPRESS_FAILED, WAVPRESS_OUTPUT_EXISTS, "exists"};
    for (int percent : {50, 100}) {
      if (!progress(percent, 100)) return {WAVPRESS_STOPPED, WAVPRESS_NO_FAILURE, "part kept"};
    }
    std::ofstream(mp3) << "mp3";
    return {};
  }
  std::mutex mutex;
  std::vector<std::string> calls;
};

// Answers every question alike; stops the run when file `stopAfter` ended or at its chunk.
struct Front final : session::EncodingObserver, session::EncodingQuestions {
  bool ReplaceExisting(const std::string&) override {
    ++questions;
    return answer;
  }
  bool FileProgress(std::size_t index, int) override { return index != stopAtChunkOf; }
  void FileEnded(const session::EncodedFile& file) override {
    if (file.index == stopAfter && run) run->Stop();
  }
  session::EncodingRun* run = nullptr;
  bool answer = false;
  int questions = 0;
  std::size_t stopAfter = 99, stopAtChunkOf = 99;
};

TEST(EncodingRun, ReplacesAnExistingMp3AsItsRuleSays) {
  const struct {
    ReplaceRule rule;
    bool answer;
    int questions;
    FileStatus status;
    const char* call;  // none for a file left out
  } cases[] = {
      {ReplaceRule::Ask, true, 1, FileStatus::Encoded, "replace a.mp3"},
      {ReplaceRule::Ask, false, 1, FileStatus::LeftOut, nullptr},
      {ReplaceRule::Always, false, 0, FileStatus::Encoded, "replace a.mp3"},
      {ReplaceRule::Never, true, 0, FileStatus::Failed, "encode a.mp3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    testsupport::ScopedTempDir dir;
    std::ofstream(dir / "a.mp3") << "mine";
    FakeEncoder encoder;
    Front front;
    front.answer = c.answer;
    session::EncodingRun run(encoder, {.files = {(dir / "a.wav").string()}, .replace = c.rule});
    const auto result = run.Run(front, &front);
    EXPECT_EQ(front.questions, c.questions);
    EXPECT_EQ(result.files[0].status, c.status);
    EXPECT_EQ(encoder.calls,
              c.call ? std::vector<std::string>{c.call} : std::vector<std::string>{});
    EXPECT_EQ(result.Report(), c.status == FileStatus::Failed
                                   ? "Encoding Complete !\nEncoding failed: exists"
                                   : "Encoding Complete !");
  }
}

// A stop in the pause after a file starts no other; after the last file it stops nothing.
TEST(EncodingRun, AStopEndsTheRunBeforeTheNextFileOnly) {
  const struct {
    std::size_t stopAfter, stopAtChunkOf;
    int pauseMs;  // a stop cuts the pause short
    std::vector<FileStatus> statuses;
    const char* report;
  } cases[] = {
      {0, 99, 600000, {FileStatus::Encoded, FileStatus::NotStarted}, "Encoding Cancelled !"},
      {1, 99, 0, {FileStatus::Encoded, FileStatus::Encoded}, "Encoding Complete !"},
      {99, 1, 0, {FileStatus::Encoded, FileStatus::Stopped}, "Encoding Cancelled !\npart kept"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    testsupport::ScopedTempDir dir;
    FakeEncoder encoder;
    session::EncodingRun run(
        encoder,
        {.files = {(dir / "a.wav").string(), (dir / "b.wav").string()}, .pauseMs = c.pauseMs});
    Front front;
    front.run = &run;
    front.stopAfter = c.stopAfter;
    front.stopAtChunkOf = c.stopAtChunkOf;
    const auto result = run.Run(front, &front);
    ASSERT_EQ(result.files.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) EXPECT_EQ(result.files[i].status, c.statuses[i]) << i;
    EXPECT_EQ(result.Report(), c.report);
  }
}

}  // namespace
